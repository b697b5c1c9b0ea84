// Normal compaction: which normals count as equal, the renumbered corners, exactness against
// the plain algorithm, and every allocation failure.
#include "mesh_gen.h"
#include "ops_oracle.h"
#include "test_hooks.h"
#include "test_util.h"

#include "ops/ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{

// One triangle per normal, its three corners all naming that normal.
MeshPtr MeshWithNormals(const std::vector<Vec3>& normals)
{
    uint32_t n = uint32_t(normals.size());
    MeshPtr mesh(NewMesh(3, n));
    SetNormalCount(mesh.get(), n);
    for (uint32_t i = 0; i < n; ++i)
    {
        mesh->normals[i] = normals[i];
        SetTriangle(mesh.get(), i, 0, 1, 2);
        for (int k = 0; k < 3; ++k)
            mesh->facets[i].normalIndex[k] = int32_t(i);
    }
    mesh->flags |= MESH_DUPLICATE_NORMALS;
    FinishMesh(mesh.get());
    return mesh;
}

std::vector<int32_t> FirstCorners(const Mesh* mesh)
{
    std::vector<int32_t> corners;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        corners.push_back(mesh->facets[f].normalIndex[0]);
    return corners;
}

TEST(CompactNormals, KeepsFirstOfEachAndRenumbers)
{
    const Vec3 A = {1, 0, 0}, B = {0, 1, 0}, C = {0, 0, 1};
    MeshPtr mesh = MeshWithNormals({A, B, A, B, C});
    CompactNormals(mesh.get());
    ASSERT_EQ(mesh->normalCount, 3u);
    EXPECT_EQ(std::memcmp(&mesh->normals[0], &A, sizeof A), 0);
    EXPECT_EQ(std::memcmp(&mesh->normals[1], &B, sizeof B), 0);
    EXPECT_EQ(std::memcmp(&mesh->normals[2], &C, sizeof C), 0);
    EXPECT_EQ(FirstCorners(mesh.get()), (std::vector<int32_t>{0, 1, 0, 1, 2}));
    EXPECT_FALSE(mesh->flags & MESH_DUPLICATE_NORMALS);
    EXPECT_TRUE(mesh->flags & MESH_HAS_NORMALS);
    CheckMeshInvariants(mesh.get());
}

TEST(CompactNormals, WhatCountsAsEqual)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float next = std::nextafter(0.5f, 1.0f);
    struct Row
    {
        const char* name;
        std::vector<Vec3> normals;
        std::vector<int32_t> corners; // new index of each old normal
        uint32_t kept;
    } rows[] = {
        {"single", {{0, 0, 1}}, {0}, 1},
        {"last bit differs", {{0.5f, 0, 0}, {next, 0, 0}}, {0, 1}, 2},
        {"zero and minus zero", {{-0.0f, 1, 0}, {0.0f, 1, 0}}, {0, 0}, 1},
        {"NaN equals nothing", {{nan, 0, 0}, {nan, 0, 0}, {1, 1, 1}, {1, 1, 1}}, {0, 1, 2, 2}, 3},
        {"order of first use",
         {{3, 3, 3}, {2, 2, 2}, {3, 3, 3}, {1, 1, 1}, {2, 2, 2}},
         {0, 1, 0, 2, 1},
         3},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        MeshPtr mesh = MeshWithNormals(row.normals);
        CompactNormals(mesh.get());
        EXPECT_EQ(FirstCorners(mesh.get()), row.corners);
        EXPECT_EQ(mesh->normalCount, row.kept);
    }
    // the first of a set is the one kept, with its sign of zero
    MeshPtr mesh = MeshWithNormals({{-0.0f, 1, 0}, {0.0f, 1, 0}});
    CompactNormals(mesh.get());
    EXPECT_TRUE(std::signbit(mesh->normals[0].x));
}

TEST(CompactNormals, UnusedNormalIsKept)
{
    MeshPtr mesh = MeshWithNormals({{1, 0, 0}, {0, 1, 0}, {1, 0, 0}});
    mesh->facets[1].normalIndex[0] = mesh->facets[1].normalIndex[1] = 0;
    mesh->facets[1].normalIndex[2] = 0; // normal 1 named by no corner
    CompactNormals(mesh.get());
    EXPECT_EQ(mesh->normalCount, 2u);
    EXPECT_EQ(FirstCorners(mesh.get()), (std::vector<int32_t>{0, 0, 0}));
}

TEST(CompactNormals, ThousandEqualNormals)
{
    MeshPtr mesh = MeshWithNormals(std::vector<Vec3>(1000, Vec3{0.6f, 0.8f, 0}));
    auto log = RecordProgress([&] { CompactNormals(mesh.get()); });
    EXPECT_EQ(mesh->normalCount, 1u);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(mesh->facets[f].normalIndex[k], 0);
    // N = 1000: primary bar every 10th normal, secondary (sweeping by 10) at every one
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "open Removing Duplicate Normals... 0..1000 0..1000");
    EXPECT_EQ(log[1], "pos1 0");
    EXPECT_EQ(log[2], "pos2 10");
    EXPECT_EQ(log[3], "pos2 20");
    EXPECT_EQ(std::count(log.begin(), log.end(), "close"), 2);
    EXPECT_EQ(log.size(), size_t(2 * (1 + 100 + 1000 + 1)));
}

TEST(CompactNormals, AfterSmoothingPartnersShareAnIndex)
{
    // two triangles sharing an edge whose vertices are stored twice (a seam)
    MeshPtr mesh(NewMesh(6, 2));
    Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0.2f}};
    std::memcpy(mesh->vertices, points, sizeof points);
    SetTriangle(mesh.get(), 0, 0, 1, 2);
    SetTriangle(mesh.get(), 1, 3, 5, 4);
    FinishMesh(mesh.get());
    SmoothMeshNormals(mesh.get());
    ASSERT_TRUE(mesh->flags & MESH_DUPLICATE_NORMALS);
    CompactNormals(mesh.get());
    EXPECT_LT(mesh->normalCount, mesh->vertexCount);
    EXPECT_EQ(mesh->facets[0].normalIndex[1], mesh->facets[1].normalIndex[0]);
    EXPECT_EQ(mesh->facets[0].normalIndex[2], mesh->facets[1].normalIndex[2]);
    CheckMeshInvariants(mesh.get());
}

TEST(CompactNormals, NothingWithoutNormals)
{
    MeshPtr mesh = MeshWithNormals({{1, 0, 0}, {1, 0, 0}});
    mesh->flags &= ~uint32_t(MESH_HAS_NORMALS);
    std::string before = MeshImage(mesh.get());
    auto log = RecordProgress([&] { CompactNormals(mesh.get()); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(MeshImage(mesh.get()), before);
}

TEST(CompactNormals, MatchesPlainAlgorithmOnGeneratedMeshes)
{
    int shrunk = 0;
    for (uint32_t draw = 1; draw <= 300; ++draw)
    {
        SCOPED_TRACE(draw);
        MeshGenOptions options = OptionsForDraw(draw);
        options.extraNormals = true;
        MeshPtr mesh(GenerateMesh(draw, options));
        if (draw % 3 == 0)
            SmoothMeshNormals(mesh.get()); // seams give repeated normals too
        if (draw % 5 == 0 && mesh->facetCount > 1)
        {
            // corners naming no normal keep their defined renumbering
            mesh->facets[0].normalIndex[0] = -1;
            mesh->facets[1].normalIndex[1] = int32_t(mesh->normalCount + 3);
        }
        MeshPtr plain(CopyMesh(mesh.get()));
        uint32_t before = mesh->normalCount;
        auto fastLog = RecordProgress([&] { CompactNormals(mesh.get()); });
        auto plainLog = RecordProgress([&] { OracleCompactNormals(plain.get()); });
        ASSERT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
        ASSERT_EQ(fastLog, plainLog);
        shrunk += mesh->normalCount < before;
    }
    EXPECT_GT(shrunk, 150);
}

TEST(CompactNormals, EveryAllocationFailureLeavesTheMesh)
{
    MeshGenOptions options = OptionsForDraw(4);
    options.extraNormals = true;
    MeshPtr mesh(GenerateMesh(4, options));
    auto compact = [](Mesh* m) { return CompactNormals(m), -1; };
    EXPECT_GE(ExpectEachAllocationFailureChangesNothing(mesh.get(), compact), 2);
}

} // namespace
