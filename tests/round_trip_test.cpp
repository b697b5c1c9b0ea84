// Read-write-read: generated meshes written with WriteObjMeshFile under many option words and
// read back with ReadObjMesh keep their counts, facets, indices, groups and materials, as far
// as the option word writes them.
//
// What the option word changes on purpose, and the checks expect:
// - a section not written leaves its placeholder: one vertex (0, 0, 0) or one texture
//   coordinate (0, 0), and every index of that kind reads 0; unwritten normals read as none;
// - reversed corners come back reversed; flipped texture coordinates come back as 1 - U, 1 - V;
// - a sorted order comes back as the new loaded order, so facet i of the read mesh is the
//   i-th facet of the sorted order;
// - without group names (materials) every facet reads as "Default"; with them, the tables
//   hold "Default" and the names of the written facets in order of first appearance, so
//   groups and materials without facets are gone; without materials there is no library;
// - numbers are written with eight decimals, so a coordinate comes back within 5e-9 plus half
//   a float step; NaN and infinities come back as such.
#include "export/export.h"
#include "mesh/mesh.h"
#include "mesh_gen.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const uint32_t ALL = EXPORT_OPTIONS_AT_START; // every section, names, loaded order
const uint32_t SORTS = OPT_SORT_AS_LOADED | OPT_SORT_BY_GROUP | OPT_SORT_BY_MATERIAL;

struct OptionRow
{
    const char* name;
    uint32_t options;
    bool scaled; // scale factors other than 1 on the mesh
};

const OptionRow optionRows[] = {
    {"start-up word", ALL, false},
    {"scaled", ALL, true},
    {"reversed", ALL | OPT_REVERSE_FACES, false},
    {"by material", (ALL & ~SORTS) | OPT_SORT_BY_MATERIAL, false},
    {"by group, reversed", (ALL & ~SORTS) | OPT_SORT_BY_GROUP | OPT_REVERSE_FACES, false},
    {"flipped U and V", ALL | OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY, true},
    {"flipped V only", ALL | OPT_FLIP_UV_VERTICALLY, false},
    {"no texture coordinates", ALL & ~OPT_EXPORT_UV_COORDS, false},
    {"no normals", ALL & ~OPT_EXPORT_NORMALS, false},
    {"no vertices", ALL & ~OPT_EXPORT_VERTICES, false},
    {"no vertices, normals or uvs",
     ALL & ~(OPT_EXPORT_VERTICES | OPT_EXPORT_NORMALS | OPT_EXPORT_UV_COORDS), false},
    {"no names", ALL & ~(OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS), false},
    {"groups only, by material", (ALL & ~(SORTS | OPT_EXPORT_MATERIALS)) | OPT_SORT_BY_MATERIAL,
     false},
    {"materials only, by group", (ALL & ~(SORTS | OPT_EXPORT_GROUP_NAMES)) | OPT_SORT_BY_GROUP,
     true},
    {"no faces", ALL & ~OPT_EXPORT_FACES, false},
    {"no sort bit at all", ALL & ~SORTS, false},
};

struct MeshDraw
{
    uint32_t draw;
    bool withUvs;
};

// Random meshes, with and without texture coordinates, normals, quads and awkward numbers.
std::vector<MeshDraw> MeshDraws()
{
    std::vector<MeshDraw> draws;
    for (uint32_t draw = 1; draw <= 12; ++draw)
        draws.push_back({draw, draw % 4 != 0});
    return draws;
}

// The generated mesh, given texture coordinates (one per vertex, which the facets' texture
// indices already name), a material library, and the row's scale factors.
Mesh* MakeMesh(const MeshDraw& draw, bool scaled)
{
    Mesh* mesh = GenerateMesh(draw.draw, OptionsForDraw(draw.draw));
    if (draw.withUvs && mesh->vertexCount > 0)
    {
        mesh->uvCount = mesh->vertexCount;
        mesh->uCoords = AllocateArrayOf<float>(mesh->uvCount);
        mesh->vCoords = AllocateArrayOf<float>(mesh->uvCount);
        for (uint32_t i = 0; i < mesh->uvCount; ++i)
        {
            mesh->uCoords[i] = float(i % 7) / 7.0f;
            mesh->vCoords[i] = 1.0f - float(i % 13) / 26.0f;
        }
        mesh->flags |= MESH_HAS_UVS;
    }
    std::snprintf(mesh->materialLibrary, MESH_PATH_SIZE, "surfaces.mtl");
    mesh->flags |= MESH_HAS_MATERIAL_LIBRARY;
    if (scaled)
        mesh->scale = {2.5f, 0.05f, 20.0f};
    return mesh;
}

MeshPtr WriteAndRead(Mesh* mesh, uint32_t options, const std::string& tag)
{
    std::string path = ScratchPath(tag);
    EXPECT_TRUE(WriteObjMeshFile(mesh, path.c_str(), options));
    MeshPtr read(ReadObjMesh(path.c_str()));
    std::remove(path.c_str());
    return read;
}

// A written number read back: within 5e-9 of what was written, plus half a float step.
void ExpectNumber(double written, float read, const char* what, uint32_t index)
{
    SCOPED_TRACE(std::string(what) + " " + std::to_string(index));
    float nearest = float(written);
    if (std::isnan(written))
        EXPECT_TRUE(std::isnan(read));
    else if (std::isinf(nearest))
        EXPECT_EQ(read, nearest);
    else
    {
        // the decimal text is within 5e-9 of the value, the float read within half a step of it
        float magnitude = std::fabs(read);
        double halfStep = (double(std::nextafter(magnitude, INFINITY)) - magnitude) / 2;
        EXPECT_NEAR(read, written, 5e-9 + halfStep + 1e-15);
    }
}

void CheckVertices(const Mesh* mesh, const Mesh* read, uint32_t options)
{
    if (!(options & OPT_EXPORT_VERTICES))
    {
        ASSERT_EQ(read->vertexCount, 1u);
        EXPECT_TRUE(read->vertices[0].x == 0 && read->vertices[0].y == 0 &&
                    read->vertices[0].z == 0);
        return;
    }
    ASSERT_EQ(read->vertexCount, mesh->vertexCount);
    for (uint32_t i = 0; i < mesh->vertexCount; ++i)
    {
        ExpectNumber(double(mesh->vertices[i].x) * mesh->scale.x, read->vertices[i].x, "x", i);
        ExpectNumber(double(mesh->vertices[i].y) * mesh->scale.y, read->vertices[i].y, "y", i);
        ExpectNumber(double(mesh->vertices[i].z) * mesh->scale.z, read->vertices[i].z, "z", i);
    }
}

void CheckUvs(const Mesh* mesh, const Mesh* read, uint32_t options)
{
    if (!(options & OPT_EXPORT_UV_COORDS) || mesh->uvCount == 0)
    {
        ASSERT_EQ(read->uvCount, 1u);
        EXPECT_TRUE(read->uCoords[0] == 0 && read->vCoords[0] == 0);
        return;
    }
    ASSERT_EQ(read->uvCount, mesh->uvCount);
    for (uint32_t i = 0; i < mesh->uvCount; ++i)
    {
        double u = mesh->uCoords[i], v = mesh->vCoords[i];
        ExpectNumber((options & OPT_FLIP_UV_HORIZONTALLY) ? 1.0 - u : u, read->uCoords[i], "u", i);
        ExpectNumber((options & OPT_FLIP_UV_VERTICALLY) ? 1.0 - v : v, read->vCoords[i], "v", i);
    }
}

bool NormalsWritten(const Mesh* mesh, uint32_t options)
{
    return (mesh->flags & MESH_HAS_NORMALS) && (options & OPT_EXPORT_NORMALS) &&
           mesh->normalCount > 0;
}

void CheckNormals(const Mesh* mesh, const Mesh* read, uint32_t options)
{
    if (!NormalsWritten(mesh, options))
    {
        EXPECT_EQ(read->normalCount, 0u);
        EXPECT_FALSE(read->flags & MESH_HAS_NORMALS);
        return;
    }
    ASSERT_EQ(read->normalCount, mesh->normalCount);
    for (uint32_t i = 0; i < mesh->normalCount; ++i)
    {
        ExpectNumber(mesh->normals[i].x, read->normals[i].x, "nx", i);
        ExpectNumber(mesh->normals[i].y, read->normals[i].y, "ny", i);
        ExpectNumber(mesh->normals[i].z, read->normals[i].z, "nz", i);
    }
}

// The facets in the order the writer takes them.
std::vector<uint32_t> WrittenOrder(const Mesh* mesh, uint32_t options)
{
    std::vector<uint32_t> order;
    const Group* table = (options & OPT_SORT_BY_MATERIAL) ? mesh->materials
                         : (options & OPT_SORT_BY_GROUP)  ? mesh->groups
                                                          : nullptr;
    uint32_t count = (options & OPT_SORT_BY_MATERIAL) ? mesh->materialCount : mesh->groupCount;
    for (uint32_t f = 0; !table && f < mesh->facetCount; ++f)
        order.push_back(f);
    for (uint32_t e = 0; table && e < count; ++e)
        order.insert(order.end(), table[e].facetList, table[e].facetList + table[e].facetListCount);
    return order;
}

// Corner k of the read facet is corner from of the written one, each index kept where its
// section was written and 0 (the placeholder, or no normal) where not.
void CheckFacet(const Facet& facet, const Facet& read, bool vertices, bool uvs, bool normals,
                bool reversed)
{
    ASSERT_EQ(read.cornerCount, facet.cornerCount);
    for (uint32_t k = 0; k < facet.cornerCount; ++k)
    {
        uint32_t from = reversed ? facet.cornerCount - 1 - k : k;
        EXPECT_EQ(read.vertexIndex[k], vertices ? facet.vertexIndex[from] : 0) << "corner " << k;
        EXPECT_EQ(read.uvIndex[k], uvs ? facet.uvIndex[from] : 0) << "corner " << k;
        EXPECT_EQ(read.normalIndex[k], normals ? facet.normalIndex[from] : 0) << "corner " << k;
    }
}

void CheckFacets(const Mesh* mesh, const Mesh* read, uint32_t options)
{
    std::vector<uint32_t> order = WrittenOrder(mesh, options);
    if (!(options & OPT_EXPORT_FACES))
        order.clear();
    ASSERT_EQ(read->facetCount, order.size());
    bool vertices = (options & OPT_EXPORT_VERTICES) != 0;
    bool uvs = (options & OPT_EXPORT_UV_COORDS) && mesh->uvCount > 0;
    bool normals = NormalsWritten(mesh, options);
    bool reversed = (options & OPT_REVERSE_FACES) != 0;
    for (uint32_t i = 0; i < read->facetCount; ++i)
    {
        SCOPED_TRACE("facet " + std::to_string(i) + " written from " + std::to_string(order[i]));
        CheckFacet(mesh->facets[order[i]], read->facets[i], vertices, uvs, normals, reversed);
    }
}

// Per read facet, its group's (material's) name; and the table the reader should build.
void CheckNames(const Mesh* mesh, const Mesh* read, uint32_t options, bool groups)
{
    bool written = (options & (groups ? OPT_EXPORT_GROUP_NAMES : OPT_EXPORT_MATERIALS)) != 0;
    const Group* table = groups ? mesh->groups : mesh->materials;
    const Group* readTable = groups ? read->groups : read->materials;
    std::vector<std::string> names = {"Default"};
    std::vector<uint32_t> order = WrittenOrder(mesh, options);
    for (uint32_t i = 0; i < read->facetCount; ++i)
    {
        const Facet& facet = mesh->facets[order[i]];
        std::string name = table[groups ? facet.groupIndex : facet.materialIndex].name;
        if (!written)
            name = "Default";
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        const Facet& readFacet = read->facets[i];
        EXPECT_EQ(readTable[groups ? readFacet.groupIndex : readFacet.materialIndex].name, name)
            << "facet " << i;
    }
    ASSERT_EQ(groups ? read->groupCount : read->materialCount, names.size());
    for (size_t e = 0; e < names.size(); ++e)
        EXPECT_EQ(readTable[e].name, names[e]) << "entry " << e;
}

void CheckReadBack(const Mesh* mesh, const Mesh* read, uint32_t options)
{
    ASSERT_NE(read, nullptr);
    CheckMeshInvariants(read);
    CheckVertices(mesh, read, options);
    CheckUvs(mesh, read, options);
    CheckNormals(mesh, read, options);
    CheckFacets(mesh, read, options);
    {
        SCOPED_TRACE("groups");
        CheckNames(mesh, read, options, true);
    }
    {
        SCOPED_TRACE("materials");
        CheckNames(mesh, read, options, false);
    }
    bool library = (options & OPT_EXPORT_MATERIALS) != 0;
    EXPECT_STREQ(read->materialLibrary, library ? mesh->materialLibrary : "");
    EXPECT_EQ((read->flags & MESH_HAS_MATERIAL_LIBRARY) != 0, library);
    EXPECT_EQ(read->quadCount == 0, !(read->flags & MESH_HAS_QUADS));
}

} // namespace

TEST(RoundTrip, GeneratedMeshesUnderEveryOptionWord)
{
    for (const OptionRow& row : optionRows)
        for (const MeshDraw& draw : MeshDraws())
        {
            SCOPED_TRACE(std::string(row.name) + ", draw " + std::to_string(draw.draw) +
                         (draw.withUvs ? "" : " without texture coordinates"));
            MeshPtr mesh(MakeMesh(draw, row.scaled));
            ASSERT_GT(mesh->facetCount, 0u);
            MeshPtr read = WriteAndRead(mesh.get(), row.options, "trip.obj");
            CheckReadBack(mesh.get(), read.get(), row.options);
        }
}

// After one trip the text is settled: writing what was read and reading it again changes
// nothing, where the option word neither reverses corners nor flips texture coordinates.
TEST(RoundTrip, SecondTripWritesTheSameText)
{
    const uint32_t changing = OPT_REVERSE_FACES | OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY;
    for (const OptionRow& row : optionRows)
    {
        if (row.options & changing)
            continue;
        for (const MeshDraw& draw : MeshDraws())
        {
            SCOPED_TRACE(std::string(row.name) + ", draw " + std::to_string(draw.draw));
            MeshPtr mesh(MakeMesh(draw, row.scaled));
            MeshPtr once = WriteAndRead(mesh.get(), row.options, "once.obj");
            ASSERT_NE(once, nullptr);
            std::string first = ScratchPath("first.obj"), second = ScratchPath("second.obj");
            ASSERT_TRUE(WriteObjMeshFile(once.get(), first.c_str(), row.options));
            MeshPtr twice(ReadObjMesh(first.c_str()));
            ASSERT_NE(twice, nullptr);
            ASSERT_TRUE(WriteObjMeshFile(twice.get(), second.c_str(), row.options));
            EXPECT_EQ(ReadWholeFile(first), ReadWholeFile(second));
            std::remove(first.c_str());
            std::remove(second.c_str());
        }
    }
}

// The draws above are only worth their rows if they hold what the option words act on.
TEST(RoundTrip, DrawsHoldNormalsQuadsAndOddNumbers)
{
    int withNormals = 0, withQuads = 0, withOddNumbers = 0, withoutUvs = 0;
    for (const MeshDraw& draw : MeshDraws())
    {
        MeshPtr mesh(MakeMesh(draw, false));
        withNormals += mesh->normalCount > 0;
        withQuads += mesh->quadCount > 0;
        withoutUvs += mesh->uvCount == 0;
        for (uint32_t i = 0; i < mesh->vertexCount; ++i)
        {
            const Vec3& v = mesh->vertices[i];
            if (!std::isfinite(v.x + v.y + v.z) || std::fabs(v.x) > 1e20f)
            {
                ++withOddNumbers;
                break;
            }
        }
    }
    EXPECT_GE(withNormals, 3);
    EXPECT_GE(withQuads, 3);
    EXPECT_GE(withOddNumbers, 2);
    EXPECT_GE(withoutUvs, 2);
}
