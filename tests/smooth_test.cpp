// Smoothed normals: the vector helpers, seams and their limits, exactness against the plain
// algorithm on generated meshes, and every allocation failure.
#include "mesh_gen.h"
#include "ops_oracle.h"
#include "test_hooks.h"
#include "test_util.h"

#include "ops/ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace
{

bool SameBits(const Vec3& a, const Vec3& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Show(const Vec3& v)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", v.x, v.y, v.z);
    return text;
}

TEST(SmoothVectors, NormalizeCrossDot)
{
    struct Row
    {
        Vec3 in, out;
        float length;
    } rows[] = {
        {{3, 4, 0}, {0.6f, 0.8f, 0}, 5},
        {{0, 0, 0}, {0, 0, 0}, 0},
        {{0, 0, -2}, {0, 0, -1}, 2},
        {{1e-30f, 0, 0}, {1, 0, 0}, 1e-30f}, // squares need double precision
        {{3e38f, 3e38f, 0}, {0.70710677f, 0.70710677f, 0}, std::numeric_limits<float>::infinity()},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(Show(row.in));
        Vec3 v = row.in;
        EXPECT_EQ(NormalizeVector(v), row.length);
        EXPECT_TRUE(SameBits(v, row.out)) << Show(v);
    }
    EXPECT_TRUE(SameBits(CrossProduct({1, 0, 0}, {0, 1, 0}), {0, 0, 1}));
    EXPECT_TRUE(SameBits(CrossProduct({1, 2, 3}, {4, 5, 6}), {-3, 6, -3}));
    EXPECT_EQ(DotProduct({1, 2, 3}, {4, 5, 6}), 32.0f);
    EXPECT_EQ(DotProduct({1, 0, 0}, {0, 1, 0}), 0.0f);
}

// A vertex of its own facet, whose two other corners are private vertices placed so the
// facet faces +z tilted by (tx, ty).
void AddTiltedFacet(Mesh* mesh, uint32_t f, uint32_t v, uint32_t privateBase, float tx, float ty)
{
    Vec3 p = mesh->vertices[v];
    mesh->vertices[privateBase] = {p.x + 1, p.y, p.z + tx};
    mesh->vertices[privateBase + 1] = {p.x, p.y + 1, p.z + ty};
    SetTriangle(mesh, f, int32_t(v), int32_t(privateBase), int32_t(privateBase + 1));
}

// Seam vertices at the given positions, each with one tilted facet.
MeshPtr SeamMesh(const std::vector<Vec3>& points)
{
    uint32_t n = uint32_t(points.size());
    MeshPtr mesh(NewMesh(n * 3, n));
    for (uint32_t i = 0; i < n; ++i)
        mesh->vertices[i] = points[i];
    for (uint32_t i = 0; i < n; ++i)
        AddTiltedFacet(mesh.get(), i, i, n + 2 * i, 0.01f * float(i % 7), -0.02f * float(i % 5));
    FinishMesh(mesh.get());
    return mesh;
}

// Seam vertices at the given x positions (y and z 0).
MeshPtr SeamMesh(const std::vector<float>& xs)
{
    std::vector<Vec3> points;
    for (float x : xs)
        points.push_back({x, 0, 0});
    return SeamMesh(points);
}

TEST(SmoothSeams, DegenerateFirstFacetLeavesZeroNormal)
{
    MeshPtr mesh(NewMesh(5, 2));
    Vec3 points[] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {1, 0, 0}, {0, 1, 0}};
    std::memcpy(mesh->vertices, points, sizeof points);
    SetTriangle(mesh.get(), 0, 0, 1, 2); // collinear
    SetTriangle(mesh.get(), 1, 0, 3, 4);
    FinishMesh(mesh.get());
    ASSERT_EQ(SmoothMeshNormals(mesh.get()), 1);
    EXPECT_TRUE(SameBits(mesh->facets[0].faceNormal, {0, 0, 0}));
    EXPECT_TRUE(SameBits(mesh->normals[0], {0, 0, 0})) << Show(mesh->normals[0]);
    EXPECT_TRUE(SameBits(mesh->normals[3], {0, 0, 1})) << Show(mesh->normals[3]);
    EXPECT_EQ(mesh->normalCount, 5u);
    CheckMeshInvariants(mesh.get());
}

TEST(SmoothSeams, BoxIsNotChained)
{
    MeshPtr mesh = SeamMesh({0.0f, 0.0004f, 0.0008f});
    SmoothMeshNormals(mesh.get());
    EXPECT_TRUE(SameBits(mesh->normals[0], mesh->normals[1]));
    Vec3 own = mesh->facets[2].faceNormal;
    EXPECT_TRUE(SameBits(mesh->normals[2], own)) << Show(mesh->normals[2]) << Show(own);
    EXPECT_FALSE(SameBits(mesh->normals[0], mesh->normals[2]));
    EXPECT_TRUE(mesh->flags & MESH_DUPLICATE_NORMALS);
}

TEST(SmoothSeams, ThirtyPartnersAtMost)
{
    MeshPtr mesh = SeamMesh(std::vector<float>(32, 0.0f));
    SmoothMeshNormals(mesh.get());
    for (int v = 1; v <= 30; ++v)
        EXPECT_TRUE(SameBits(mesh->normals[v], mesh->normals[0])) << v;
    // the last one groups on its own, from its own facet only
    EXPECT_TRUE(SameBits(mesh->normals[31], mesh->facets[31].faceNormal));
    EXPECT_FALSE(SameBits(mesh->normals[31], mesh->normals[0]));
    MeshPtr plain = SeamMesh(std::vector<float>(32, 0.0f));
    OracleSmoothMeshNormals(plain.get());
    EXPECT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
}

TEST(SmoothSeams, WhichPairsJoin)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float cell = 1.0f / 512;
    struct Row
    {
        Vec3 a, b;
        bool joined;
    } rows[] = {
        {{0, 0, 0}, {0, 0, 0}, true},
        {{0, 0, 0}, {0.0004999f, 0, 0}, true},
        {{0, 0, 0}, {0.0005f, 0, 0}, false}, // 0.0005f lies just above 0.0005
        {{0, 0, 0}, {0, -0.0004999f, 0.0004999f}, true},
        {{0, 0, 0}, {0, 0, -0.0006f}, false},
        {{cell - 1e-7f, 0, 0}, {cell + 0.0004f, 0, 0}, true}, // across a cell border
        {{-cell, 5, 0}, {-cell - 0.00049f, 5, 0}, true},
        {{-0.0f, 0, 0}, {0.0003f, 0, 0}, true},
        {{1e30f, 0, 0}, {1e30f, 0, 0}, true}, // far out, still one place
        {{1e30f, 0, 0}, {-1e30f, 0, 0}, false},
        {{2097152.0f, 0, 0}, {2097152.25f, 0, 0}, false},
        {{4194304.0f, 1, 1}, {4194304.0f, 1, 1}, true},
        {{inf, 0, 0}, {inf, 0, 0}, false},
        {{nan, 0, 0}, {nan, 0, 0}, false},
        {{0, nan, 0}, {0, 0, 0}, false},
        {{1000.0001f, 0, 0}, {1000.0005f, 0, 0}, true},
        {{8192.0f - 1.0f / 2048, 0, 0}, {8192.0f, 0, 0}, true}, // 2^-11 apart
        {{16384.0f - 1.0f / 1024, 0, 0}, {16384.0f, 0, 0}, false},
        {{0, -16384.0f, 0}, {0, -16384.0f, 0}, true},
        {{0, 0, 3e38f}, {0, 0, 3e38f}, true},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(Show(row.a) + " " + Show(row.b));
        MeshPtr mesh(NewMesh(6, 2));
        mesh->vertices[0] = row.a;
        mesh->vertices[1] = row.b;
        // each vertex gets a facet of its own, both facing +z but tilted differently
        mesh->vertices[2] = {-50, 0, 0};
        mesh->vertices[3] = {-49, 0, 0.1f};
        mesh->vertices[4] = {-50, 1, -0.2f};
        mesh->vertices[5] = {-49, 1, 0.3f};
        // the pair sits in the fourth corner of two quads, so the face normals come from
        // ordinary positions whatever the pair holds
        SetQuad(mesh.get(), 0, 2, 3, 4, 0);
        SetQuad(mesh.get(), 1, 2, 3, 5, 1);
        FinishMesh(mesh.get());
        MeshPtr plain(CopyMesh(mesh.get()));
        SmoothMeshNormals(mesh.get());
        OracleSmoothMeshNormals(plain.get());
        EXPECT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
        EXPECT_EQ((mesh->flags & MESH_DUPLICATE_NORMALS) != 0, row.joined);
    }
}

// A far vertex widens the mesh so that the grid's cells grow by powers of two; pairs that
// straddle the borders of cells of every such width must still be found.
TEST(SmoothSeams, PairsAcrossCellBordersOfWideMeshes)
{
    const float farOut[] = {0.0f, 3000.0f, -70000.0f, 2e6f, 1e30f};
    const float widths[] = {1.0f / 512, 1.0f / 256, 1.0f / 64, 1.0f / 4, 4.0f};
    for (float far : farOut)
    {
        SCOPED_TRACE(far);
        // pairs 0.00049 apart, each on a line of its own (y) so that no two pairs meet
        std::vector<Vec3> points = {{far, 0, 0}};
        float y = 0;
        for (float width : widths)
            for (float offset : {-0.0004f, -1e-6f, 0.0f, 1e-6f, 0.0004f})
                for (float x : {width * 3 + offset, -width * 5 + offset})
                {
                    y += 0.01f;
                    points.push_back({x, y, 0});
                    points.push_back({x + (x > 0 ? 0.00049f : -0.00049f), y, 0});
                }
        MeshPtr mesh = SeamMesh(points);
        MeshPtr plain(CopyMesh(mesh.get()));
        SmoothMeshNormals(mesh.get());
        OracleSmoothMeshNormals(plain.get());
        ASSERT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
        for (size_t v = 1; v + 1 < points.size(); v += 2)
            EXPECT_TRUE(SameBits(mesh->normals[v], mesh->normals[v + 1])) << v;
    }
}

TEST(SmoothSeams, TwoSidedSheetKeepsBothSides)
{
    MeshPtr mesh(NewMesh(6, 2));
    Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    std::memcpy(mesh->vertices, points, sizeof points);
    std::memcpy(mesh->vertices + 3, points, sizeof points);
    SetTriangle(mesh.get(), 0, 0, 1, 2);
    SetTriangle(mesh.get(), 1, 3, 5, 4);
    FinishMesh(mesh.get());
    SmoothMeshNormals(mesh.get());
    for (int v = 0; v < 3; ++v)
    {
        EXPECT_TRUE(SameBits(mesh->normals[v], {0, 0, 1})) << v;
        EXPECT_TRUE(SameBits(mesh->normals[v + 3], {0, 0, -1})) << v;
    }
    EXPECT_FALSE(mesh->flags & MESH_DUPLICATE_NORMALS);
}

TEST(SmoothSeams, WhichCornersAFacetUses)
{
    // vertex 3 is the fourth corner: used by a quad, not by a triangle
    for (uint32_t corners : {3u, 4u})
    {
        SCOPED_TRACE(corners);
        MeshPtr mesh(NewMesh(4, 1));
        Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 5}};
        std::memcpy(mesh->vertices, points, sizeof points);
        SetQuad(mesh.get(), 0, 0, 1, 2, 3);
        mesh->facets[0].cornerCount = corners;
        FinishMesh(mesh.get());
        SmoothMeshNormals(mesh.get());
        Vec3 expected = corners == 4 ? Vec3{0, 0, 1} : Vec3{0, 0, 0};
        EXPECT_TRUE(SameBits(mesh->normals[3], expected)) << Show(mesh->normals[3]);
    }
}

TEST(SmoothSeams, RepeatedCornerOffersOnce)
{
    MeshPtr mesh(NewMesh(5, 2));
    Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 1}, {5, 5, 5}};
    std::memcpy(mesh->vertices, points, sizeof points);
    SetTriangle(mesh.get(), 0, 0, 1, 2); // +z
    SetQuad(mesh.get(), 1, 0, 1, 3, 0);  // tilted towards -y, vertex 0 twice
    FinishMesh(mesh.get());
    SmoothMeshNormals(mesh.get());
    Vec3 b = mesh->facets[1].faceNormal;
    Vec3 sum = {0 + b.x, 0 + b.y, 1 + b.z};
    Vec3 once = {float(sum.x / 2.0), float(sum.y / 2.0), float(sum.z / 2.0)};
    NormalizeVector(once);
    Vec3 twice = {b.x, float(double(sum.y) + b.y), float(double(sum.z) + b.z)};
    NormalizeVector(twice);
    ASSERT_FALSE(SameBits(once, twice));
    EXPECT_TRUE(SameBits(mesh->normals[0], once)) << Show(mesh->normals[0]);
}

TEST(SmoothSeams, NormalArrayAndCounts)
{
    struct Row
    {
        uint32_t vertices, facets, normalsBefore;
    } rows[] = {{4, 1, 0}, {4, 1, 9}, {4, 1, 4}, {4, 0, 0}, {0, 0, 0}, {0, 0, 3}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::to_string(row.vertices) + " " + std::to_string(row.facets) + " " +
                     std::to_string(row.normalsBefore));
        MeshPtr mesh(NewMesh(row.vertices, row.facets));
        for (uint32_t v = 0; v < row.vertices; ++v)
            mesh->vertices[v] = {float(v % 2), float(v / 2), 0};
        if (row.facets)
            SetTriangle(mesh.get(), 0, 0, 1, 2);
        SetNormalCount(mesh.get(), row.normalsBefore);
        for (uint32_t n = 0; n < row.normalsBefore; ++n)
            mesh->normals[n] = {7, 7, 7};
        FinishMesh(mesh.get());
        Vec3* before = mesh->normals;
        EXPECT_EQ(SmoothMeshNormals(mesh.get()), 1);
        EXPECT_EQ(mesh->normalCount, row.vertices);
        EXPECT_EQ(mesh->flags & (MESH_HAS_NORMALS | MESH_SMOOTHED),
                  uint32_t(MESH_HAS_NORMALS | MESH_SMOOTHED));
        if (row.normalsBefore >= row.vertices)
        {
            EXPECT_EQ(mesh->normals, before); // kept, with its larger room
        }
        // vertex 3 belongs to no facet: zero in a new array, the old value in a kept one
        if (row.vertices == 4)
        {
            Vec3 untouched = row.normalsBefore >= 4 ? Vec3{7, 7, 7} : Vec3{0, 0, 0};
            EXPECT_TRUE(SameBits(mesh->normals[3], untouched)) << Show(mesh->normals[3]);
        }
    }
}

TEST(SmoothSeams, CornerOutsideTheVerticesIsHarmless)
{
    MeshPtr mesh(NewMesh(3, 2));
    Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    std::memcpy(mesh->vertices, points, sizeof points);
    SetTriangle(mesh.get(), 0, 0, 1, 2);
    SetTriangle(mesh.get(), 1, 0, 1, 40);
    mesh->facets[1].vertexIndex[0] = -3;
    EXPECT_EQ(SmoothMeshNormals(mesh.get()), 1);
    EXPECT_TRUE(SameBits(mesh->facets[1].faceNormal, {0, 0, 0}));
    EXPECT_TRUE(SameBits(mesh->normals[1], {0, 0, 1}));
}

TEST(SmoothSeams, ProgressSequence)
{
    MeshPtr mesh = SeamMesh({0, 1, 2});
    auto log = RecordProgress([&] { SmoothMeshNormals(mesh.get()); });
    std::vector<std::string> expected = {"open Computing Face Normals... 0..3 0..3",
                                         "pos1 0",
                                         "pos1 1",
                                         "pos1 2",
                                         "close",
                                         "open Generating Smoothed Vertex Normals... 0..9 0..9"};
    for (int v = 0; v < 9; ++v)
    {
        expected.push_back("pos1 " + std::to_string(v));
        expected.push_back("pos2 0");
    }
    expected.push_back("close");
    EXPECT_EQ(log, expected);
    MeshPtr plain = SeamMesh({0, 1, 2});
    EXPECT_EQ(log, RecordProgress([&] { OracleSmoothMeshNormals(plain.get()); }));
}

TEST(SmoothSeams, MatchesPlainAlgorithmOnGeneratedMeshes)
{
    int joined = 0, withNormals = 0;
    for (uint32_t draw = 1; draw <= 300; ++draw)
    {
        SCOPED_TRACE(draw);
        MeshPtr mesh(GenerateMesh(draw, OptionsForDraw(draw)));
        MeshPtr plain(CopyMesh(mesh.get()));
        withNormals += mesh->normalCount > 0;
        std::vector<std::string> fastLog, plainLog;
        int result = 0, plainResult = 0;
        fastLog = RecordProgress([&] { result = SmoothMeshNormals(mesh.get()); });
        plainLog = RecordProgress([&] { plainResult = OracleSmoothMeshNormals(plain.get()); });
        ASSERT_EQ(result, plainResult);
        ASSERT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
        ASSERT_EQ(fastLog, plainLog);
        CheckMeshInvariants(mesh.get());
        joined += (mesh->flags & MESH_DUPLICATE_NORMALS) != 0;
    }
    // the generated meshes must exercise seams and meshes that arrive with normals
    EXPECT_GT(joined, 100);
    EXPECT_GT(withNormals, 100);
}

// The two passes called on their own, as the vertex pass alone lists the facets of each vertex.
TEST(SmoothSeams, SeparatePassesMatchPlainPasses)
{
    for (uint32_t draw = 1; draw <= 60; ++draw)
    {
        SCOPED_TRACE(draw);
        MeshPtr mesh(GenerateMesh(draw, OptionsForDraw(draw)));
        SetNormalCount(mesh.get(), mesh->vertexCount + draw % 3);
        MeshPtr plain(CopyMesh(mesh.get()));
        ComputeFaceNormals(mesh.get());
        OracleComputeFaceNormals(plain.get());
        ASSERT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
        SmoothVertexNormals(mesh.get());
        OracleSmoothVertexNormals(plain.get());
        ASSERT_EQ(MeshImage(mesh.get()), MeshImage(plain.get()));
    }
}

TEST(SmoothSeams, EveryAllocationFailureLeavesTheMesh)
{
    for (uint32_t draw : {3u, 8u, 21u})
        for (bool roomy : {false, true})
        {
            SCOPED_TRACE(std::to_string(draw) + (roomy ? " roomy" : ""));
            MeshPtr mesh(GenerateMesh(draw, OptionsForDraw(draw)));
            SetNormalCount(mesh.get(), roomy ? mesh->vertexCount + 2 : 1);
            FinishMesh(mesh.get());
            // smoothing reports each failure: 0, never "nothing"
            auto smooth = [](Mesh* m) { return SmoothMeshNormals(m) != 0 ? 1 : 0; };
            EXPECT_GE(ExpectEachAllocationFailureChangesNothing(mesh.get(), smooth), roomy ? 5 : 6);
        }
}

TEST(SmoothSeams, VertexPassWritesNothingWithoutStorage)
{
    MeshPtr mesh = SeamMesh({0, 0});
    SetNormalCount(mesh.get(), mesh->vertexCount);
    ComputeFaceNormals(mesh.get());
    for (int k = 1; k <= 3; ++k)
    {
        allocationCount = 0;
        allocationFailAt = k;
        SmoothVertexNormals(mesh.get());
        allocationFailAt = 0;
        EXPECT_TRUE(SameBits(mesh->normals[0], {0, 0, 0})) << k;
    }
    SmoothVertexNormals(mesh.get());
    EXPECT_FALSE(SameBits(mesh->normals[0], {0, 0, 0}));
    EXPECT_GT(smoothWorkBytes, 0u);
}

} // namespace

namespace
{

// Runs the fast and the plain smoothing on copies of the mesh; both must return the same,
// leave the same record and report the same progress.
void ExpectSameAsPlain(const Mesh* mesh)
{
    MeshPtr fast(CopyMesh(mesh)), plain(CopyMesh(mesh));
    int fastResult = 0, plainResult = 0;
    auto fastLog = RecordProgress([&] { fastResult = SmoothMeshNormals(fast.get()); });
    auto plainLog = RecordProgress([&] { plainResult = OracleSmoothMeshNormals(plain.get()); });
    EXPECT_EQ(fastResult, plainResult);
    UnifyComputedNans(fast.get());
    UnifyComputedNans(plain.get());
    EXPECT_EQ(MeshImage(fast.get()), MeshImage(plain.get()));
    EXPECT_EQ(fastLog, plainLog);
}

// How a vertex of a hand-built case takes part: not at all, through a facet facing up or
// down, through a degenerate facet (zero normal), or a degenerate facet and then one facing up.
enum Role
{
    UNUSED,
    UP,
    DOWN,
    FLAT,
    FLAT_THEN_UP
};

struct Placed
{
    Vec3 at;
    Role role;
};

uint32_t FacetsOf(Role role)
{
    return role == UNUSED ? 0 : role == FLAT_THEN_UP ? 2 : 1;
}

// Each placed vertex in order, then two private corner vertices per facet.
MeshPtr PlacedMesh(const std::vector<Placed>& placed)
{
    uint32_t n = uint32_t(placed.size()), facets = 0;
    for (const Placed& p : placed)
        facets += FacetsOf(p.role);
    MeshPtr mesh(NewMesh(n + 2 * facets, facets));
    uint32_t f = 0;
    for (uint32_t v = 0; v < n; ++v)
    {
        Vec3 p = placed[v].at;
        mesh->vertices[v] = p;
        float tilt = 0.01f * float(v % 7);
        for (uint32_t k = 0; k < FacetsOf(placed[v].role); ++k, ++f)
        {
            int32_t a = int32_t(n + 2 * f), b = a + 1;
            bool flat = placed[v].role == FLAT || (placed[v].role == FLAT_THEN_UP && k == 0);
            mesh->vertices[a] = {p.x + 1, p.y, p.z + (flat ? 0 : tilt)};
            mesh->vertices[b] = flat ? Vec3{p.x + 2, p.y, p.z} : Vec3{p.x, p.y + 1, p.z - tilt};
            if (placed[v].role == DOWN)
                std::swap(a, b);
            SetTriangle(mesh.get(), f, int32_t(v), a, b);
        }
    }
    FinishMesh(mesh.get());
    return mesh;
}

// count vertices at one point, with roles by index from the pattern.
std::vector<Placed> Pile(Vec3 at, uint32_t count, std::vector<Role> pattern)
{
    std::vector<Placed> placed;
    for (uint32_t k = 0; k < count; ++k)
        placed.push_back({at, pattern[k % pattern.size()]});
    return placed;
}

std::vector<Placed> Joined(std::vector<std::vector<Placed>> parts)
{
    std::vector<Placed> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(SmoothSeams, WorstCasesMatchPlainAlgorithm)
{
    const Vec3 p = {0.25f, -3, 7}, far = {1e30f, 0, 0};
    const float step = 1.0f / 2048;
    struct Row
    {
        const char* name;
        std::vector<Placed> placed;
    } rows[] = {
        {"stray far vertex",
         Joined({Pile(p, 3, {UP}),
                 {{far, UP}, {{0.5f, 0, 0}, UP}, {far, UP}, {{-1e30f, 0, 0}, UP}},
                 {{{8192 - step, 1, 1}, UP}, {{8192, 1, 1}, UP}, {{16384, 2, 2}, UP}},
                 {{{16384 - 2 * step, 2, 2}, UP}, {{16384, 2, 2}, DOWN}, {{16384, 2, 2}, UP}}})},
        {"unused vertices",
         Joined({{{p, UNUSED}},
                 Pile(p, 4, {UP, UNUSED, DOWN, FLAT}),
                 {{{p.x + 0.0003f, p.y, p.z}, UP}, {far, UNUSED}, {far, UP}, {p, UNUSED}}})},
        {"zero pile", Joined({Pile(p, 45, {FLAT}), {{p, UNUSED}}, Pile(p, 5, {UP})})},
        {"unused heads over a zero pile",
         Joined({Pile(p, 6, {UNUSED, FLAT, FLAT}), Pile(p, 4, {UP, UNUSED}), Pile(p, 3, {FLAT})})},
        {"equal pile", Pile(p, 75, {UP})},
        {"opposite pile", Pile(p, 75, {UP, DOWN, DOWN})},
        {"degenerate first facets", Pile(p, 50, {FLAT_THEN_UP, UP, FLAT, DOWN, UNUSED})},
        {"opposite first", Joined({Pile(p, 3, {DOWN}), Pile(p, 40, {UNUSED, UP, FLAT})})},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        MeshPtr mesh = PlacedMesh(row.placed);
        ExpectSameAsPlain(mesh.get());
    }
}

// Random meshes on a coarse lattice with offsets around the box edge and the cell borders,
// stray far and non-finite coordinates, unused vertices and piles under degenerate facets.
class OutlierMeshes
{
public:
    explicit OutlierMeshes(uint32_t draw) : random(draw) {}

    MeshPtr Draw()
    {
        uint32_t vertices = 30 + Below(170), facets = vertices / 2 + Below(vertices * 2);
        MeshPtr mesh(NewMesh(vertices, facets));
        for (uint32_t v = 0; v < vertices; ++v)
            mesh->vertices[v] = Position(v > 0 ? mesh->vertices[Below(v)] : Vec3{0, 0, 0});
        std::vector<int32_t> used; // about a quarter of the vertices stay unused
        for (uint32_t v = 0; v < vertices; ++v)
            if (Below(4) != 0)
                used.push_back(int32_t(v));
        if (used.empty())
            used.push_back(0);
        for (uint32_t f = 0; f < facets; ++f)
        {
            int32_t c[4];
            for (int32_t& corner : c)
                corner = used[Below(uint32_t(used.size()))];
            if (Below(4) == 0)
                SetQuad(mesh.get(), f, c[0], c[1], c[2], c[3]);
            else
                SetTriangle(mesh.get(), f, c[0], c[1], c[2]);
        }
        FinishMesh(mesh.get());
        return mesh;
    }

private:
    std::mt19937 random;

    uint32_t Below(uint32_t n)
    {
        return n ? uint32_t(random() % n) : 0;
    }

    // A copy of an earlier position (piles), a shifted copy, a lattice point or an outlier.
    Vec3 Position(Vec3 earlier)
    {
        static const float offsets[] = {0,       0.0002f,     -0.0004999f,  0.0005f,
                                        0.0006f, 1.0f / 512,  -1.0f / 512,  0.0019f,
                                        1e-7f,   1.0f / 2048, -1.0f / 2048, 0.3f};
        static const float outliers[] = {1e30f,
                                         -1e30f,
                                         16384.0f,
                                         8192.0f,
                                         3e38f,
                                         std::numeric_limits<float>::infinity(),
                                         std::numeric_limits<float>::quiet_NaN()};
        uint32_t pick = Below(20);
        if (pick < 5)
            return earlier;
        if (pick < 10)
        {
            float* axis = &earlier.x + Below(3);
            *axis += offsets[Below(sizeof offsets / sizeof *offsets)];
            return earlier;
        }
        Vec3 lattice = {0.5f * float(Below(3)), 0.5f * float(Below(2)), 0};
        if (pick == 19)
            (&lattice.x)[Below(3)] = outliers[Below(sizeof outliers / sizeof *outliers)];
        return lattice;
    }
};

TEST(SmoothSeams, RandomMeshesWithOutliersMatchPlainAlgorithm)
{
    int joined = 0;
    for (uint32_t draw = 1; draw <= 150; ++draw)
    {
        SCOPED_TRACE(draw);
        MeshPtr mesh = OutlierMeshes(draw).Draw();
        ExpectSameAsPlain(mesh.get());
        MeshPtr probe(CopyMesh(mesh.get()));
        SmoothMeshNormals(probe.get());
        joined += (probe->flags & MESH_DUPLICATE_NORMALS) != 0;
    }
    EXPECT_GT(joined, 100); // the draws must exercise seams
}

} // namespace
