// Scratch files and the mesh invariant check shared by the tests.
#include "test_util.h"

#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

std::string ScratchPath(const std::string& tag)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
    for (char& c : name)
        if (c == '/')
            c = '_';
    return "scratch_" + name + "_" + tag;
}

std::string WriteScratchFile(const std::string& tag, const std::string& bytes)
{
    std::string path = ScratchPath(tag);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return path;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

static void CheckTable(const Mesh* mesh, const Group* table, uint32_t count, bool byGroup)
{
    ASSERT_NE(table, nullptr);
    ASSERT_GE(count, 1u);
    EXPECT_STREQ(table[0].name, "Default");
    std::vector<int> seen(mesh->facetCount, 0);
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const Group& entry = table[i];
        EXPECT_LT(std::strlen(entry.name), size_t(MESH_NAME_SIZE));
        for (uint32_t j = i + 1; j < count; ++j)
            EXPECT_STRNE(entry.name, table[j].name);
        EXPECT_EQ(entry.facetListFill, entry.facetListCount);
        total += entry.facetListCount;
        if (entry.facetListCount == 0)
            continue;
        ASSERT_NE(entry.facetList, nullptr);
        for (uint32_t k = 0; k < entry.facetListCount; ++k)
        {
            uint32_t f = entry.facetList[k];
            ASSERT_LT(f, mesh->facetCount);
            if (k > 0)
            {
                EXPECT_LT(entry.facetList[k - 1], f);
            }
            uint32_t owner = byGroup ? mesh->facets[f].groupIndex : mesh->facets[f].materialIndex;
            EXPECT_EQ(owner, i);
            ++seen[f];
        }
    }
    EXPECT_EQ(total, mesh->facetCount);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        EXPECT_EQ(seen[f], 1) << "facet " << f;
}

static void CheckFacets(const Mesh* mesh)
{
    uint32_t quads = 0;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        ASSERT_TRUE(facet.cornerCount == 3 || facet.cornerCount == 4) << "facet " << f;
        quads += facet.cornerCount == 4;
        ASSERT_LT(facet.groupIndex, mesh->groupCount);
        ASSERT_LT(facet.materialIndex, mesh->materialCount);
        for (uint32_t c = 0; c < facet.cornerCount; ++c)
        {
            ASSERT_GE(facet.vertexIndex[c], 0);
            ASSERT_LT(uint32_t(facet.vertexIndex[c]), mesh->vertexCount);
            if (mesh->uvCount > 0)
            {
                ASSERT_GE(facet.uvIndex[c], 0);
                ASSERT_LT(uint32_t(facet.uvIndex[c]), mesh->uvCount);
            }
            if (mesh->flags & MESH_HAS_NORMALS)
            {
                ASSERT_GE(facet.normalIndex[c], 0);
                ASSERT_LT(uint32_t(facet.normalIndex[c]), mesh->normalCount);
            }
        }
    }
    EXPECT_EQ(quads, mesh->quadCount);
    EXPECT_EQ((mesh->flags & MESH_HAS_QUADS) != 0, quads > 0);
}

void CheckMeshInvariants(const Mesh* mesh)
{
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->facets != nullptr, mesh->facetCount > 0);
    EXPECT_EQ(mesh->vertices != nullptr, mesh->vertexCount > 0);
    EXPECT_EQ(mesh->uCoords != nullptr, mesh->uvCount > 0);
    EXPECT_EQ(mesh->vCoords != nullptr, mesh->uvCount > 0);
    if (mesh->normalCount > 0)
    {
        EXPECT_NE(mesh->normals, nullptr);
    }
    EXPECT_EQ((mesh->flags & MESH_HAS_NORMALS) != 0, mesh->normalCount > 0);
    EXPECT_EQ(mesh->flags & ~0x7FEu, 0u);
    EXPECT_LT(std::strlen(mesh->filePath), size_t(MESH_PATH_SIZE));
    EXPECT_LT(std::strlen(mesh->materialLibrary), size_t(MESH_PATH_SIZE));
    CheckFacets(mesh);
    CheckTable(mesh, mesh->groups, mesh->groupCount, true);
    CheckTable(mesh, mesh->materials, mesh->materialCount, false);
}
