// In-memory mesh generator and copies for the tests and benchmarks.
#include "mesh_gen.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

static void NameTable(Group* table, uint32_t count, const char* prefix)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        if (i == 0)
            std::snprintf(table[i].name, MESH_NAME_SIZE, "Default");
        else
            std::snprintf(table[i].name, MESH_NAME_SIZE, "%s%u", prefix, i);
    }
}

Mesh* NewMesh(uint32_t vertexCount, uint32_t facetCount, uint32_t groupCount,
              uint32_t materialCount)
{
    Mesh* mesh = AllocateArrayOf<Mesh>(1);
    std::snprintf(mesh->filePath, MESH_PATH_SIZE, "generated.obj");
    mesh->vertexCount = vertexCount;
    mesh->facetCount = facetCount;
    mesh->groupCount = groupCount;
    mesh->materialCount = materialCount;
    mesh->scale = {1.0f, 1.0f, 1.0f};
    mesh->vertices = vertexCount ? AllocateArrayOf<Vec3>(vertexCount) : nullptr;
    mesh->facets = facetCount ? AllocateArrayOf<Facet>(facetCount) : nullptr;
    mesh->groups = AllocateArrayOf<Group>(groupCount);
    mesh->materials = AllocateArrayOf<Material>(materialCount);
    NameTable(mesh->groups, groupCount, "group");
    NameTable(mesh->materials, materialCount, "material");
    for (uint32_t f = 0; f < facetCount; ++f)
        mesh->facets[f].cornerCount = 3;
    FinishMesh(mesh);
    return mesh;
}

void SetNormalCount(Mesh* mesh, uint32_t normalCount)
{
    ReleaseArray(mesh->normals);
    mesh->normalCount = normalCount;
    mesh->normals = normalCount ? AllocateArrayOf<Vec3>(normalCount) : nullptr;
    if (normalCount)
        mesh->flags |= MESH_HAS_NORMALS;
    else
        mesh->flags &= ~uint32_t(MESH_HAS_NORMALS);
}

static void SetCorners(Mesh* mesh, uint32_t f, const int32_t* corners, uint32_t count)
{
    Facet& facet = mesh->facets[f];
    facet.cornerCount = count;
    for (uint32_t k = 0; k < count; ++k)
    {
        facet.vertexIndex[k] = corners[k];
        facet.uvIndex[k] = corners[k];
        facet.normalIndex[k] = corners[k];
    }
}

void SetTriangle(Mesh* mesh, uint32_t f, int32_t a, int32_t b, int32_t c)
{
    const int32_t corners[3] = {a, b, c};
    SetCorners(mesh, f, corners, 3);
}

void SetQuad(Mesh* mesh, uint32_t f, int32_t a, int32_t b, int32_t c, int32_t d)
{
    const int32_t corners[4] = {a, b, c, d};
    SetCorners(mesh, f, corners, 4);
}

static void RebuildLists(Mesh* mesh, Group* table, uint32_t count, bool byGroup)
{
    for (uint32_t e = 0; e < count; ++e)
    {
        if (table[e].facetListCount > 0)
            ReleaseArray(table[e].facetList);
        table[e].facetList = nullptr;
        table[e].facetListCount = 0;
        table[e].facetListFill = 0;
    }
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        ++table[byGroup ? mesh->facets[f].groupIndex : mesh->facets[f].materialIndex]
              .facetListCount;
    for (uint32_t e = 0; e < count; ++e)
        if (table[e].facetListCount > 0)
            table[e].facetList = AllocateArrayOf<uint32_t>(table[e].facetListCount);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        Group& entry = table[byGroup ? mesh->facets[f].groupIndex : mesh->facets[f].materialIndex];
        entry.facetList[entry.facetListFill++] = f;
    }
}

void FinishMesh(Mesh* mesh)
{
    mesh->quadCount = 0;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        mesh->quadCount += mesh->facets[f].cornerCount == 4;
    uint32_t keep = mesh->flags & (MESH_HAS_NORMALS | MESH_DUPLICATE_NORMALS | MESH_SMOOTHED);
    mesh->flags = keep | MESH_HAS_GROUPS | MESH_HAS_MATERIALS;
    if (mesh->vertexCount)
        mesh->flags |= MESH_HAS_VERTICES;
    if (mesh->facetCount)
        mesh->flags |= MESH_HAS_FACETS;
    if (mesh->quadCount)
        mesh->flags |= MESH_HAS_QUADS;
    RebuildLists(mesh, mesh->groups, mesh->groupCount, true);
    RebuildLists(mesh, mesh->materials, mesh->materialCount, false);
    Vec3 low = {3000.0f, 3000.0f, 3000.0f}, high = {-3000.0f, -3000.0f, -3000.0f};
    for (uint32_t v = 0; v < mesh->vertexCount; ++v)
    {
        const Vec3& p = mesh->vertices[v];
        low = {std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z)};
        high = {std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z)};
    }
    mesh->boundsMin = low;
    mesh->boundsMax = high;
}

// ---- random meshes ----

namespace
{

struct Generator
{
    std::mt19937 random;
    uint32_t Below(uint32_t n)
    {
        return n ? uint32_t(random() % n) : 0;
    }
    bool Chance(uint32_t percent)
    {
        return Below(100) < percent;
    }
};

// Offsets that sit on, just inside and just outside the 0.0005 box, and tiny ones.
const float seamOffsets[] = {0.0f,     0.0f,       0.0f,    1e-7f,    -1e-7f,  0.0004f,
                             -0.0004f, 0.0004999f, 0.0005f, -0.0005f, 0.0008f, 0.00049999f};

float PickOffset(Generator& g)
{
    return seamOffsets[g.Below(sizeof seamOffsets / sizeof seamOffsets[0])];
}

// Copies per position: mostly one, sometimes a seam of up to maxCopies.
uint32_t PickCopies(Generator& g, uint32_t maxCopies)
{
    if (maxCopies <= 1 || g.Chance(70))
        return 1;
    if (g.Chance(80))
        return 2 + g.Below(maxCopies < 4 ? maxCopies - 1 : 3);
    return 2 + g.Below(maxCopies - 1);
}

Vec3 AwkwardPosition(Generator& g)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {std::numeric_limits<float>::quiet_NaN(),
                            inf,
                            -inf,
                            1e30f,
                            -1e30f,
                            2097152.0f,
                            4194304.5f,
                            1e-30f};
    float v = values[g.Below(8)];
    Vec3 p = {float(g.Below(3)), float(g.Below(3)), 0.0f};
    (g.Chance(50) ? p.x : g.Chance(50) ? p.y : p.z) = v;
    return p;
}

struct Layout
{
    std::vector<Vec3> vertices;
    std::vector<std::vector<int32_t>> copies; // vertices stored at each grid position
};

Layout PlaceVertices(Generator& g, const MeshGenOptions& options)
{
    Layout layout;
    uint32_t n = options.gridSize;
    // spacing on the grid's cell borders (multiples of 1/512), or tighter than the box
    const double spacings[] = {1.0 / 512, 2.0 / 512, 0.0003, 0.01, 0.25};
    double spacing = spacings[g.Below(5)];
    double bend = g.Chance(50) ? 0.0 : 0.3;
    layout.copies.resize(size_t(n) * n);
    for (uint32_t y = 0; y < n; ++y)
        for (uint32_t x = 0; x < n; ++x)
        {
            Vec3 base = {float(x * spacing), float(y * spacing),
                         float(bend * std::sin(double(x) * 0.7) * std::cos(double(y) * 0.5))};
            uint32_t copies = PickCopies(g, options.maxCopies);
            for (uint32_t c = 0; c < copies; ++c)
            {
                Vec3 p = base;
                if (c > 0)
                {
                    p.x += PickOffset(g);
                    p.y += g.Chance(30) ? PickOffset(g) : 0.0f;
                }
                if (options.awkward && g.Chance(3))
                    p = AwkwardPosition(g);
                layout.copies[size_t(y) * n + x].push_back(int32_t(layout.vertices.size()));
                layout.vertices.push_back(p);
            }
        }
    return layout;
}

// Renumbers the vertices at random so that seams are not stored next to each other.
void Shuffle(Generator& g, Layout& layout)
{
    std::vector<int32_t> order(layout.vertices.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int32_t(i);
    std::shuffle(order.begin(), order.end(), g.random);
    std::vector<Vec3> moved(layout.vertices.size());
    for (size_t i = 0; i < order.size(); ++i)
        moved[order[i]] = layout.vertices[i];
    layout.vertices = moved;
    for (auto& list : layout.copies)
        for (auto& v : list)
            v = order[v];
}

struct FacetSpec
{
    int32_t corners[4];
    uint32_t count;
};

int32_t Copy(Generator& g, const Layout& layout, uint32_t n, uint32_t x, uint32_t y)
{
    const auto& list = layout.copies[size_t(y) * n + x];
    return list[g.Below(uint32_t(list.size()))];
}

std::vector<FacetSpec> PlaceFacets(Generator& g, const Layout& layout,
                                   const MeshGenOptions& options)
{
    std::vector<FacetSpec> facets;
    uint32_t n = options.gridSize;
    bool twoSided = g.Chance(30);
    for (uint32_t y = 0; y + 1 < n; ++y)
        for (uint32_t x = 0; x + 1 < n; ++x)
        {
            if (g.Chance(10))
                continue; // holes leave vertices unused
            int32_t a = Copy(g, layout, n, x, y), b = Copy(g, layout, n, x + 1, y);
            int32_t c = Copy(g, layout, n, x + 1, y + 1), d = Copy(g, layout, n, x, y + 1);
            bool flip = twoSided ? g.Chance(50) : g.Chance(5);
            if (flip)
                std::swap(b, d);
            if (options.quads && g.Chance(40))
                facets.push_back({{a, b, c, d}, 4});
            else
            {
                facets.push_back({{a, b, c, 0}, 3});
                facets.push_back({{a, c, d, 0}, 3});
            }
            if (options.awkward && g.Chance(8))
            {
                // degenerate, collinear or corner-repeating facets
                int32_t e = Copy(g, layout, n, x, y);
                facets.push_back(g.Chance(50) ? FacetSpec{{a, a, b, 0}, 3}
                                              : FacetSpec{{a, e, c, a}, 4});
            }
        }
    std::shuffle(facets.begin(), facets.end(), g.random);
    return facets;
}

// Normals from a small palette (with -0, 0 and NaN), so that many repeat.
void FillNormals(Generator& g, Mesh* mesh, uint32_t count)
{
    const float palette[] = {
        0.0f, -0.0f,       1.0f,        -1.0f,
        0.5f, 0.70710677f, 0.70710683f, std::numeric_limits<float>::quiet_NaN()};
    SetNormalCount(mesh, count);
    for (uint32_t i = 0; i < count; ++i)
    {
        uint32_t span = g.Chance(90) ? 7 : 8;
        mesh->normals[i] = {palette[g.Below(span)], palette[g.Below(3)], palette[g.Below(span)]};
    }
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        for (uint32_t k = 0; k < mesh->facets[f].cornerCount; ++k)
            mesh->facets[f].normalIndex[k] = int32_t(g.Below(count));
}

} // namespace

MeshGenOptions OptionsForDraw(uint32_t draw)
{
    Generator g{std::mt19937(draw * 2654435761u + 17)};
    MeshGenOptions options;
    options.gridSize = 2 + g.Below(12);
    options.maxCopies = g.Chance(15) ? 40 : 1 + g.Below(6);
    options.quads = g.Chance(60);
    options.awkward = g.Chance(40);
    options.extraNormals = g.Chance(60);
    return options;
}

Mesh* GenerateMesh(uint32_t draw, const MeshGenOptions& options)
{
    Generator g{std::mt19937(draw)};
    Layout layout = PlaceVertices(g, options);
    Shuffle(g, layout);
    std::vector<FacetSpec> facets = PlaceFacets(g, layout, options);
    uint32_t unused = g.Chance(30) ? g.Below(5) : 0;
    uint32_t groups = 1 + g.Below(4), materials = 1 + g.Below(3);
    Mesh* mesh = NewMesh(uint32_t(layout.vertices.size()) + unused, uint32_t(facets.size()), groups,
                         materials);
    for (size_t v = 0; v < layout.vertices.size(); ++v)
        mesh->vertices[v] = layout.vertices[v];
    for (uint32_t u = 0; u < unused; ++u)
        mesh->vertices[layout.vertices.size() + u] = {float(u), -1.0f, 0.5f};
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const FacetSpec& shape = facets[f];
        if (shape.count == 4)
            SetQuad(mesh, f, shape.corners[0], shape.corners[1], shape.corners[2],
                    shape.corners[3]);
        else
            SetTriangle(mesh, f, shape.corners[0], shape.corners[1], shape.corners[2]);
        mesh->facets[f].groupIndex = g.Below(groups);
        mesh->facets[f].materialIndex = g.Below(materials);
    }
    if (options.extraNormals)
        FillNormals(g, mesh, 1 + g.Below(mesh->vertexCount * 2 + 1));
    FinishMesh(mesh);
    return mesh;
}

// ---- copies ----

template <typename T> static T* CopyArray(const T* from, size_t count)
{
    if (!from || count == 0)
        return nullptr;
    T* to = AllocateArrayOf<T>(count);
    std::memcpy(to, from, sizeof(T) * count);
    return to;
}

static Group* CopyTable(const Group* from, uint32_t count)
{
    Group* to = CopyArray(from, count);
    for (uint32_t e = 0; to && e < count; ++e)
        to[e].facetList =
            to[e].facetListCount ? CopyArray(from[e].facetList, from[e].facetListCount) : nullptr;
    return to;
}

Mesh* CopyMesh(const Mesh* mesh)
{
    Mesh* copy = CopyArray(mesh, 1);
    copy->facets = CopyArray(mesh->facets, mesh->facetCount);
    copy->vertices = CopyArray(mesh->vertices, mesh->vertexCount);
    copy->normals = CopyArray(mesh->normals, mesh->normalCount);
    copy->uCoords = CopyArray(mesh->uCoords, mesh->uvCount);
    copy->vCoords = CopyArray(mesh->vCoords, mesh->uvCount);
    copy->groups = CopyTable(mesh->groups, mesh->groupCount);
    copy->materials = CopyTable(mesh->materials, mesh->materialCount);
    return copy;
}
