// Hand-built meshes and export helpers for the writer's tests.
#include "writer_meshes.h"

#include "export/export.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

static Group* BuildTable(const std::vector<std::string>& names, const TestMesh& shape, bool byGroup)
{
    Group* table = AllocateArrayOf<Group>(names.size());
    for (size_t i = 0; i < names.size(); i++)
    {
        Group& entry = table[i];
        std::snprintf(entry.name, sizeof entry.name, "%s", names[i].c_str());
        for (const TestFacet& f : shape.facets)
            entry.facetListCount += (byGroup ? f.group : f.material) == i;
        if (entry.facetListCount == 0)
            continue;
        entry.facetList = AllocateArrayOf<uint32_t>(entry.facetListCount);
        for (size_t k = 0; k < shape.facets.size(); k++)
        {
            if ((byGroup ? shape.facets[k].group : shape.facets[k].material) == i)
                entry.facetList[entry.facetListFill++] = static_cast<uint32_t>(k);
        }
    }
    return table;
}

static void BuildFacets(Mesh* mesh, const TestMesh& shape)
{
    mesh->facetCount = static_cast<uint32_t>(shape.facets.size());
    if (mesh->facetCount == 0)
        return;
    mesh->facets = AllocateArrayOf<Facet>(mesh->facetCount);
    for (size_t i = 0; i < shape.facets.size(); i++)
    {
        const TestFacet& source = shape.facets[i];
        Facet& facet = mesh->facets[i];
        facet.groupIndex = source.group;
        facet.materialIndex = source.material;
        facet.cornerCount = static_cast<uint32_t>(source.corners.size());
        for (size_t c = 0; c < source.corners.size(); c++)
        {
            facet.vertexIndex[c] = source.corners[c][0];
            facet.uvIndex[c] = source.corners[c][1];
            facet.normalIndex[c] = source.corners[c][2];
        }
        mesh->quadCount += facet.cornerCount == 4;
    }
}

MeshPtr BuildMesh(const TestMesh& shape)
{
    Mesh* mesh = AllocateArrayOf<Mesh>(1);
    std::snprintf(mesh->materialLibrary, sizeof mesh->materialLibrary, "%s", shape.library.c_str());
    mesh->scale = {1.0f, 1.0f, 1.0f};
    mesh->vertexCount = static_cast<uint32_t>(shape.vertices.size());
    if (mesh->vertexCount)
    {
        mesh->vertices = AllocateArrayOf<Vec3>(mesh->vertexCount);
        std::memcpy(mesh->vertices, shape.vertices.data(), mesh->vertexCount * sizeof(Vec3));
    }
    mesh->uvCount = static_cast<uint32_t>(shape.uvs.size());
    if (mesh->uvCount)
    {
        mesh->uCoords = AllocateArrayOf<float>(mesh->uvCount);
        mesh->vCoords = AllocateArrayOf<float>(mesh->uvCount);
        for (uint32_t i = 0; i < mesh->uvCount; i++)
        {
            mesh->uCoords[i] = shape.uvs[i][0];
            mesh->vCoords[i] = shape.uvs[i][1];
        }
    }
    mesh->normalCount = static_cast<uint32_t>(shape.normals.size());
    if (mesh->normalCount)
    {
        mesh->normals = AllocateArrayOf<Vec3>(mesh->normalCount);
        std::memcpy(mesh->normals, shape.normals.data(), mesh->normalCount * sizeof(Vec3));
    }
    BuildFacets(mesh, shape);
    mesh->groupCount = static_cast<uint32_t>(shape.groups.size());
    mesh->groups = BuildTable(shape.groups, shape, true);
    mesh->materialCount = static_cast<uint32_t>(shape.materials.size());
    mesh->materials = BuildTable(shape.materials, shape, false);

    mesh->flags = MESH_HAS_GROUPS | MESH_HAS_MATERIALS;
    mesh->flags |= mesh->vertexCount ? uint32_t(MESH_HAS_VERTICES) : 0u;
    mesh->flags |= mesh->uvCount ? uint32_t(MESH_HAS_UVS) : 0u;
    mesh->flags |= mesh->normalCount ? uint32_t(MESH_HAS_NORMALS) : 0u;
    mesh->flags |= mesh->facetCount ? uint32_t(MESH_HAS_FACETS) : 0u;
    mesh->flags |= mesh->quadCount ? uint32_t(MESH_HAS_QUADS) : 0u;
    mesh->flags |= shape.library.empty() ? 0u : uint32_t(MESH_HAS_MATERIAL_LIBRARY);
    return MeshPtr(mesh);
}

TestMesh OneTriangle()
{
    TestMesh t;
    t.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    t.facets = {{0, 0, {{{0, 0, 0}}, {{1, 0, 0}}, {{2, 0, 0}}}}};
    return t;
}

TestMesh FullMesh()
{
    TestMesh t;
    t.library = "full.mtl";
    t.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 2, -0.25f}, {-1e-3f, 3, 7}};
    t.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.25f, 0.75f}};
    t.normals = {{0, 0, 1}, {0, 0, -1}, {0.6f, 0.8f, 0}};
    t.groups = {"Default", "body", "lid"};
    t.materials = {"Default", "red", "blue"};
    t.facets = {
        {1, 1, {{{0, 0, 0}}, {{1, 1, 0}}, {{2, 2, 0}}, {{3, 3, 0}}}},
        {1, 2, {{{3, 3, 1}}, {{2, 2, 1}}, {{4, 4, 1}}}},
        {2, 1, {{{2, 2, 2}}, {{4, 4, 2}}, {{5, 0, 2}}}},
        {0, 0, {{{0, 1, 0}}, {{5, 2, 1}}, {{4, 3, 2}}}},
        {1, 1, {{{5, 4, 2}}, {{4, 1, 1}}, {{3, 0, 0}}}},
    };
    return t;
}

std::string ExportText(Mesh* mesh, uint32_t options, const std::string& tag)
{
    std::string path = ScratchPath(tag);
    std::remove(path.c_str());
    EXPECT_TRUE(WriteObjMeshFile(mesh, path.c_str(), options));
    std::string bytes = ReadWholeFile(path);
    std::remove(path.c_str());
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); i++)
    {
#ifdef _WIN32
        if (bytes[i] == '\n')
        {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (bytes[i] == '\r')
        {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at byte " << i;
            continue;
        }
#else
        EXPECT_NE(bytes[i], '\r') << "CR at byte " << i;
#endif
        text += bytes[i];
    }
    return text;
}
