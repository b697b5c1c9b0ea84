// Quads to triangles: the split of one quad, facet order and lists, progress, exactness
// against the plain algorithm, and every allocation failure.
#include "mesh_gen.h"
#include "ops_oracle.h"
#include "test_hooks.h"
#include "test_util.h"

#include "ops/ops.h"

#include <gtest/gtest.h>

namespace
{

std::vector<int32_t> VertexCorners(const Facet& facet)
{
    return std::vector<int32_t>(facet.vertexIndex, facet.vertexIndex + facet.cornerCount);
}

std::vector<uint32_t> List(const Group& entry)
{
    return std::vector<uint32_t>(entry.facetList, entry.facetList + entry.facetListCount);
}

TEST(QuadsToTriangles, SplitsOneQuad)
{
    MeshPtr mesh(NewMesh(14, 1));
    SetQuad(mesh.get(), 0, 10, 11, 12, 13);
    Facet& quad = mesh->facets[0];
    for (int k = 0; k < 4; ++k)
    {
        quad.uvIndex[k] = 20 + k;
        quad.normalIndex[k] = 30 + k;
    }
    quad.faceNormal = {0.25f, 0.5f, -1};
    SetNormalCount(mesh.get(), 40);
    mesh->uvCount = 0;
    FinishMesh(mesh.get());
    ConvertQuadsToTriangles(mesh.get());
    ASSERT_EQ(mesh->facetCount, 2u);
    const Facet& first = mesh->facets[0];
    const Facet& second = mesh->facets[1];
    EXPECT_EQ(VertexCorners(first), (std::vector<int32_t>{10, 11, 12}));
    EXPECT_EQ(VertexCorners(second), (std::vector<int32_t>{12, 13, 10}));
    EXPECT_EQ(std::vector<int32_t>(first.uvIndex, first.uvIndex + 3),
              (std::vector<int32_t>{20, 21, 22}));
    EXPECT_EQ(std::vector<int32_t>(second.normalIndex, second.normalIndex + 3),
              (std::vector<int32_t>{32, 33, 30}));
    EXPECT_EQ(second.faceNormal.y, 0.5f);
    EXPECT_EQ(mesh->quadCount, 0u);
    EXPECT_FALSE(mesh->flags & MESH_HAS_QUADS);
    CheckMeshInvariants(mesh.get());
}

TEST(QuadsToTriangles, OrderAndLists)
{
    MeshPtr mesh(NewMesh(4, 3, 3, 2));
    SetTriangle(mesh.get(), 0, 0, 1, 2);
    SetQuad(mesh.get(), 1, 0, 1, 2, 3);
    SetTriangle(mesh.get(), 2, 1, 2, 3);
    mesh->facets[1].groupIndex = 1; // a group holding only the quad
    mesh->facets[0].groupIndex = 2;
    mesh->facets[2].groupIndex = 2;
    mesh->facets[1].materialIndex = 1;
    mesh->facets[2].materialIndex = 1;
    FinishMesh(mesh.get());
    ConvertQuadsToTriangles(mesh.get());
    ASSERT_EQ(mesh->facetCount, 4u);
    EXPECT_EQ(VertexCorners(mesh->facets[0]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(VertexCorners(mesh->facets[1]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(VertexCorners(mesh->facets[2]), (std::vector<int32_t>{2, 3, 0}));
    EXPECT_EQ(VertexCorners(mesh->facets[3]), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(mesh->groups[0].facetListCount, 0u);
    EXPECT_EQ(List(mesh->groups[1]), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(List(mesh->groups[2]), (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(List(mesh->materials[0]), (std::vector<uint32_t>{0}));
    EXPECT_EQ(List(mesh->materials[1]), (std::vector<uint32_t>{1, 2, 3}));
    CheckMeshInvariants(mesh.get());
}

TEST(QuadsToTriangles, NothingToDo)
{
    struct Row
    {
        const char* name;
        bool quads;
        bool secondRun;
    } rows[] = {{"no quads", false, false}, {"second run", true, true}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        MeshPtr mesh(NewMesh(4, 2));
        SetTriangle(mesh.get(), 0, 0, 1, 2);
        if (row.quads)
            SetQuad(mesh.get(), 1, 0, 1, 2, 3);
        FinishMesh(mesh.get());
        if (row.secondRun)
            ConvertQuadsToTriangles(mesh.get());
        std::string before = MeshImage(mesh.get());
        auto log = RecordProgress([&] { ConvertQuadsToTriangles(mesh.get()); });
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(MeshImage(mesh.get()), before);
    }
}

TEST(QuadsToTriangles, ProgressSteps)
{
    MeshPtr mesh(NewMesh(4, 250));
    for (uint32_t f = 0; f < 250; ++f)
        SetTriangle(mesh.get(), f, 0, 1, 2);
    SetQuad(mesh.get(), 7, 0, 1, 2, 3);
    FinishMesh(mesh.get());
    auto log = RecordProgress([&] { ConvertQuadsToTriangles(mesh.get()); });
    std::vector<std::string> expected = {"open Reducing Quads to Triangles... 0..250 0..250"};
    for (uint32_t i = 0; i < 250; i += 2)
        expected.push_back("pos1 " + std::to_string(i));
    expected.push_back("close");
    expected.push_back("open Initializing Groups and Materials... 0..251 0..251");
    for (uint32_t j = 0; j < 251; j += 2)
        expected.push_back("pos1 " + std::to_string(j));
    expected.push_back("close");
    EXPECT_EQ(log, expected);
}

TEST(QuadsToTriangles, MatchesPlainAlgorithmOnGeneratedMeshes)
{
    int split = 0;
    for (uint32_t draw = 1; draw <= 300; ++draw)
    {
        SCOPED_TRACE(draw);
        MeshGenOptions options = OptionsForDraw(draw);
        options.quads = draw % 7 != 0;
        MeshPtr mesh(GenerateMesh(draw, options));
        if (draw % 2)
            SmoothMeshNormals(mesh.get()); // face normals travel with the triangles
        MeshPtr plain(CopyMesh(mesh.get()));
        split += mesh->quadCount > 0;
        auto fastLog = RecordProgress([&] { ConvertQuadsToTriangles(mesh.get()); });
        auto plainLog = RecordProgress([&] { OracleConvertQuadsToTriangles(plain.get()); });
        ASSERT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
        ASSERT_EQ(fastLog, plainLog);
        CheckMeshInvariants(mesh.get());
    }
    EXPECT_GT(split, 200);
}

// A mesh whose new facet array is large enough to ask for large pages.
TEST(QuadsToTriangles, LargeMeshMatchesPlainAlgorithm)
{
    const uint32_t facets = 40000;
    MeshPtr mesh(NewMesh(facets + 3, facets, 3, 2));
    for (uint32_t f = 0; f < facets; ++f)
    {
        int32_t v = int32_t(f);
        if (f % 3 == 1)
            SetTriangle(mesh.get(), f, v, v + 1, v + 2);
        else
            SetQuad(mesh.get(), f, v, v + 1, v + 2, v + 3);
        mesh->facets[f].groupIndex = f % 3;
        mesh->facets[f].materialIndex = f / 7 % 2;
        mesh->facets[f].faceNormal = {float(f), -float(f), 0.5f};
    }
    FinishMesh(mesh.get());
    MeshPtr plain(CopyMesh(mesh.get()));
    uint32_t quads = mesh->quadCount;
    ConvertQuadsToTriangles(mesh.get());
    OracleConvertQuadsToTriangles(plain.get());
    ASSERT_EQ(mesh->facetCount, facets + quads);
    EXPECT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
}

TEST(QuadsToTriangles, EveryAllocationFailureLeavesTheMesh)
{
    MeshGenOptions options = OptionsForDraw(6);
    options.quads = true;
    MeshPtr mesh(GenerateMesh(6, options));
    ASSERT_GT(mesh->quadCount, 0u);
    auto split = [](Mesh* m) { return ConvertQuadsToTriangles(m), -1; };
    EXPECT_GE(ExpectEachAllocationFailureChangesNothing(mesh.get(), split), 4);
}

TEST(QuadsToTriangles, UnknownGroupChangesNothing)
{
    MeshPtr mesh(NewMesh(4, 2, 2, 2));
    SetQuad(mesh.get(), 0, 0, 1, 2, 3);
    SetTriangle(mesh.get(), 1, 0, 1, 2);
    FinishMesh(mesh.get());
    mesh->facets[1].materialIndex = 5; // names no material
    std::string before = MeshImage(mesh.get());
    auto log = RecordProgress([&] { ConvertQuadsToTriangles(mesh.get()); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(MeshImage(mesh.get()), before);
}

} // namespace
