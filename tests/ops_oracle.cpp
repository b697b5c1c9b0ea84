// The mesh operations in their plain quadratic form: each vertex scans every facet and every
// later vertex, each normal every later normal, each removed normal every corner.
#include "ops_oracle.h"

#include "mesh/mesh.h"
#include "ui/ui.h"

#include <cmath>
#include <vector>

// ---- smoothing ----

static float Normalize(Vec3& v)
{
    double length = std::sqrt((double(v.x) * v.x + double(v.y) * v.y) + double(v.z) * v.z);
    if (length != 0)
    {
        v.x = float(v.x / length);
        v.y = float(v.y / length);
        v.z = float(v.z / length);
    }
    return float(length);
}

void OracleComputeFaceNormals(Mesh* mesh)
{
    uint32_t s = mesh->facetCount / 100;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        Facet& facet = mesh->facets[f];
        const Vec3& v0 = mesh->vertices[facet.vertexIndex[0]];
        const Vec3& v1 = mesh->vertices[facet.vertexIndex[1]];
        const Vec3& v2 = mesh->vertices[facet.vertexIndex[2]];
        Vec3 a = {v1.x - v0.x, v1.y - v0.y, v1.z - v0.z};
        Vec3 b = {v2.x - v0.x, v2.y - v0.y, v2.z - v0.z};
        Vec3 n;
        n.x = float(double(a.y) * b.z - double(a.z) * b.y);
        n.y = float(double(a.z) * b.x - double(a.x) * b.z);
        n.z = float(double(a.x) * b.y - double(a.y) * b.x);
        Normalize(n);
        facet.faceNormal = n;
        if (s == 0 || f % s == 0)
            SetProgressPos(f);
    }
}

static bool Uses(const Facet& facet, uint32_t v)
{
    uint32_t corners = facet.cornerCount == 4 ? 4 : 3;
    for (uint32_t k = 0; k < corners; ++k)
        if (facet.vertexIndex[k] == int32_t(v))
            return true;
    return false;
}

struct OracleSum
{
    Vec3 sum;
    uint32_t n;
};

static bool OfferNormal(OracleSum& s, const Vec3& fn)
{
    if (s.n == 0)
    {
        s.sum = fn;
        s.n = 1;
        return true;
    }
    double dot = (double(fn.z) * s.sum.z + double(fn.y) * s.sum.y) + double(fn.x) * s.sum.x;
    if (dot > 0)
    {
        s.sum.x = float(double(s.sum.x) + fn.x);
        s.sum.y = float(double(s.sum.y) + fn.y);
        s.sum.z = float(double(s.sum.z) + fn.z);
        s.n += 1;
        return true;
    }
    return false;
}

static bool Within(const Vec3& a, const Vec3& b)
{
    return std::fabs(double(b.x) - double(a.x)) < 0.0005 &&
           std::fabs(double(b.y) - double(a.y)) < 0.0005 &&
           std::fabs(double(b.z) - double(a.z)) < 0.0005;
}

void OracleSmoothVertexNormals(Mesh* mesh)
{
    uint32_t V = mesh->vertexCount;
    uint8_t* mark = AllocateArrayOf<uint8_t>(V);
    if (!mark)
        return;
    uint32_t sA = V / 100, sB = sA / 50, d = 0;
    for (uint32_t i = 0; i < V; ++i)
    {
        d += sA;
        if (d >= V)
            d = 0;
        if (sA == 0 || i % sA == 0)
            SetProgressPos(i);
        if (sB == 0 || i % sB == 0)
            SetProgressPos2(d);
        if (mark[i])
            continue;
        OracleSum s = {{0, 0, 0}, 0};
        uint32_t partners[30];
        uint32_t partnerCount = 0;
        for (uint32_t f = 0; f < mesh->facetCount; ++f)
            if (Uses(mesh->facets[f], i))
                OfferNormal(s, mesh->facets[f].faceNormal);
        for (uint32_t j = i + 1; j < V; ++j)
        {
            if (mark[j] || !Within(mesh->vertices[i], mesh->vertices[j]))
                continue;
            uint32_t m = 0;
            for (uint32_t f = 0; f < mesh->facetCount; ++f)
                if (Uses(mesh->facets[f], j) && OfferNormal(s, mesh->facets[f].faceNormal))
                    m += 1;
            if (m > 0 && partnerCount < 30)
            {
                partners[partnerCount++] = j;
                mesh->flags |= MESH_DUPLICATE_NORMALS;
            }
        }
        if (s.n > 0)
        {
            Vec3& normal = mesh->normals[i];
            normal.x = float(double(s.sum.x) / s.n);
            normal.y = float(double(s.sum.y) / s.n);
            normal.z = float(double(s.sum.z) / s.n);
            Normalize(normal);
            for (uint32_t k = 0; k < partnerCount; ++k)
            {
                mesh->normals[partners[k]] = normal;
                mark[partners[k]] = 1;
            }
        }
    }
    ReleaseArray(mark);
}

int OracleSmoothMeshNormals(Mesh* mesh)
{
    uint32_t V = mesh->vertexCount, F = mesh->facetCount;
    if (mesh->normalCount < V)
    {
        Vec3* fresh = AllocateArrayOf<Vec3>(V);
        if (!fresh)
            return 0;
        ReleaseArray(mesh->normals);
        mesh->normals = fresh;
    }
    ShowProgress("Computing Face Normals...", 0, int32_t(F), 0, int32_t(F), true);
    OracleComputeFaceNormals(mesh);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Generating Smoothed Vertex Normals...", 0, int32_t(V), 0, int32_t(V), true);
    OracleSmoothVertexNormals(mesh);
    ShowProgress("Done", 0, 0, 0, 0, false);
    for (uint32_t f = 0; f < F; ++f)
        for (uint32_t k = 0; k < mesh->facets[f].cornerCount; ++k)
            mesh->facets[f].normalIndex[k] = mesh->facets[f].vertexIndex[k];
    mesh->normalCount = V;
    mesh->flags |= MESH_HAS_NORMALS | MESH_SMOOTHED;
    return 1;
}

// ---- compaction ----

static void Sweep(uint32_t i, uint32_t N, uint32_t sA, uint32_t sB, uint32_t& d)
{
    d += sA;
    if (d >= N)
        d = 0;
    if (sA == 0 || i % sA == 0)
        SetProgressPos(i);
    if (sB == 0 || i % sB == 0)
        SetProgressPos2(d);
}

static bool Equal(const Vec3& a, const Vec3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

void OracleCompactNormals(Mesh* mesh)
{
    uint32_t N = mesh->normalCount;
    if (!(mesh->flags & MESH_HAS_NORMALS) || N == 0 || !mesh->normals)
        return;
    uint8_t* removed = AllocateArrayOf<uint8_t>(N);
    if (!removed)
        return;
    Vec3* fresh = AllocateArrayOf<Vec3>(N);
    if (!fresh)
    {
        ReleaseArray(removed);
        return;
    }
    uint32_t kept = 0, sA = N / 100, sB = sA / 50, d = 0;
    ShowProgress("Removing Duplicate Normals...", 0, int32_t(N), 0, int32_t(N), true);
    for (uint32_t i = 0; i < N; ++i)
    {
        Sweep(i, N, sA, sB, d);
        if (removed[i])
            continue;
        for (uint32_t j = i + 1; j < N; ++j)
        {
            if (removed[j] || !Equal(mesh->normals[j], mesh->normals[i]))
                continue;
            for (uint32_t f = 0; f < mesh->facetCount; ++f)
                for (uint32_t k = 0; k < mesh->facets[f].cornerCount; ++k)
                    if (mesh->facets[f].normalIndex[k] == int32_t(j))
                        mesh->facets[f].normalIndex[k] = int32_t(i);
            removed[j] = 1;
        }
        fresh[kept++] = mesh->normals[i];
    }
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Fixing up Normal Indices...", 0, int32_t(N), 0, int32_t(N), true);
    d = 0;
    // the lowering compares each corner's index as it stood when this pass began
    std::vector<int32_t> before;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        for (uint32_t k = 0; k < mesh->facets[f].cornerCount; ++k)
            before.push_back(mesh->facets[f].normalIndex[k]);
    for (uint32_t j = 0; j < N; ++j)
    {
        Sweep(j, N, sA, sB, d);
        if (!removed[j])
            continue;
        size_t c = 0;
        for (uint32_t f = 0; f < mesh->facetCount; ++f)
            for (uint32_t k = 0; k < mesh->facets[f].cornerCount; ++k, ++c)
                if (before[c] > int32_t(j))
                    mesh->facets[f].normalIndex[k] -= 1;
    }
    ShowProgress("Done", 0, 0, 0, 0, false);
    ReleaseArray(mesh->normals);
    mesh->flags &= ~uint32_t(MESH_DUPLICATE_NORMALS);
    mesh->normals = fresh;
    mesh->normalCount = kept;
    ReleaseArray(removed);
}

// ---- quads to triangles ----

void OracleConvertQuadsToTriangles(Mesh* mesh)
{
    if (!(mesh->flags & MESH_HAS_QUADS))
        return;
    uint32_t newCount = mesh->facetCount + mesh->quadCount;
    Facet* fresh = AllocateArrayOf<Facet>(newCount);
    if (!fresh)
        return;
    Group* tables[2] = {mesh->groups, mesh->materials};
    uint32_t counts[2] = {mesh->groupCount, mesh->materialCount};
    for (int t = 0; t < 2; ++t)
        for (uint32_t e = 0; e < counts[t]; ++e)
        {
            if (tables[t][e].facetListCount != 0 && tables[t][e].facetList)
                ReleaseArray(tables[t][e].facetList);
            tables[t][e].facetList = nullptr;
            tables[t][e].facetListCount = 0;
            tables[t][e].facetListFill = 0;
        }
    ShowProgress("Reducing Quads to Triangles...", 0, int32_t(mesh->facetCount), 0,
                 int32_t(mesh->facetCount), true);
    uint32_t step = mesh->facetCount / 100, next = 0;
    for (uint32_t i = 0; i < mesh->facetCount; ++i)
    {
        const Facet& old = mesh->facets[i];
        mesh->groups[old.groupIndex].facetListCount += 1;
        mesh->materials[old.materialIndex].facetListCount += 1;
        if (old.cornerCount == 4)
        {
            mesh->groups[old.groupIndex].facetListCount += 1;
            mesh->materials[old.materialIndex].facetListCount += 1;
            const int pick[2][3] = {{0, 1, 2}, {2, 3, 0}};
            for (int t = 0; t < 2; ++t)
            {
                Facet& tri = fresh[next++];
                tri.materialIndex = old.materialIndex;
                tri.groupIndex = old.groupIndex;
                tri.cornerCount = 3;
                for (int k = 0; k < 3; ++k)
                {
                    tri.vertexIndex[k] = old.vertexIndex[pick[t][k]];
                    tri.uvIndex[k] = old.uvIndex[pick[t][k]];
                    tri.normalIndex[k] = old.normalIndex[pick[t][k]];
                }
                tri.faceNormal = old.faceNormal;
            }
        }
        else
            fresh[next++] = old;
        if (step == 0 || i % step == 0)
            SetProgressPos(i);
    }
    ReleaseArray(mesh->facets);
    mesh->facets = fresh;
    mesh->facetCount = newCount;
    for (int t = 0; t < 2; ++t)
        for (uint32_t e = 0; e < counts[t]; ++e)
        {
            if (tables[t][e].facetListCount != 0)
                tables[t][e].facetList = AllocateArrayOf<uint32_t>(tables[t][e].facetListCount);
            tables[t][e].facetListFill = 0;
        }
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Initializing Groups and Materials...", 0, int32_t(newCount), 0, int32_t(newCount),
                 true);
    step = newCount / 100;
    for (uint32_t j = 0; j < newCount; ++j)
    {
        Group& g = mesh->groups[fresh[j].groupIndex];
        g.facetList[g.facetListFill++] = j;
        Material& m = mesh->materials[fresh[j].materialIndex];
        m.facetList[m.facetListFill++] = j;
        if (step == 0 || j % step == 0)
            SetProgressPos(j);
    }
    ShowProgress("Done", 0, 0, 0, 0, false);
    mesh->quadCount = 0;
    mesh->flags &= ~uint32_t(MESH_HAS_QUADS);
}
