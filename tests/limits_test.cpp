// The limits of a 32-bit process: sizes that overflow size_t are refused, and an allocation
// that fails at any point of a read, an operation or a write leaves no mesh or the mesh as it
// was, with every array released.
#include "export/export.h"
#include "mesh/mesh.h"
#include "mesh_gen.h"
#include "ops/ops.h"
#include "progress_recorder.h"
#include "test_hooks.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

struct OverflowCase
{
    const char* what;
    size_t count;
    size_t size;
};

// On a 32-bit build a 72-byte facet overflows from 59,652,324 facets on, a position or
// normal from 357,913,942; on a 64-bit build the same lines test the 64-bit limits.
TEST(Limits, AllocateArrayRefusesSizesThatOverflow)
{
    const OverflowCase cases[] = {
        {"facets", SIZE_MAX / sizeof(Facet) + 1, sizeof(Facet)},
        {"positions", SIZE_MAX / sizeof(Vec3) + 1, sizeof(Vec3)},
        {"coordinates", SIZE_MAX / sizeof(float) + 1, sizeof(float)},
        {"facet lists", SIZE_MAX / sizeof(uint32_t) + 1, sizeof(uint32_t)},
        {"groups", SIZE_MAX / sizeof(Group) + 1, sizeof(Group)},
        {"records", SIZE_MAX / sizeof(Mesh) + 1, sizeof(Mesh)},
        {"every count", SIZE_MAX, sizeof(Facet)},
        {"largest element", 2, SIZE_MAX},
        {"half and two", SIZE_MAX / 2 + 1, 2},
    };
    for (const OverflowCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        allocationCount = 0;
        long held = allocationsHeld;
        EXPECT_EQ(AllocateArray(c.count, c.size), nullptr);
        EXPECT_EQ(allocationCount, 1);
        EXPECT_EQ(allocationsHeld, held);
    }
    // nothing of zero bytes is still an array, and it is released like one
    long held = allocationsHeld;
    void* empty = AllocateArray(0, sizeof(Facet));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(allocationsHeld, held + 1);
    ReleaseArray(empty);
    ReleaseArray(nullptr);
    EXPECT_EQ(allocationsHeld, held);
}

const char* const PIPELINE_FILE = "mtllib parts.mtl\n"
                                  "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 0\nv 0 0 1\n"
                                  "vt 0 0\nvt 1 0\nvt 1 1\n"
                                  "vn 0 0 1\nvn 0 1 0\nvn 0 0 1\n"
                                  "g front\nusemtl red\nf 1/1/1 2/2/1 3/3/3 4/1/3\n"
                                  "g back\nf 5/1/2 4/2/2 3/3/2\nusemtl blue\n"
                                  "f 1/1/1 4/2/2 6/3/3 2/1/1\nf 2/1/1 3/2/2 6/3/3\n";

// One step of the pipeline: an operation on the mesh that may meet the injected failure.
// run gives 1 when the step reports success, 0 when it reports failure, -1 when it reports
// nothing.
struct Step
{
    const char* what;
    std::function<int(Mesh*)> run;
};

// Runs each step; the step that meets the injected failure must report it (when it reports
// anything), leave the mesh as it was and hold no more arrays than before. Returns whether
// the failure was met.
bool RunSteps(Mesh* mesh, const std::vector<Step>& steps)
{
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.what);
        std::string before = MeshImage(mesh);
        long held = allocationsHeld;
        bool pending = allocationFailAt > 0;
        int result = step.run(mesh);
        if (pending && allocationFailAt == 0)
        {
            EXPECT_NE(result, 1);
            EXPECT_EQ(MeshImage(mesh), before);
            EXPECT_EQ(allocationsHeld, held);
            return true;
        }
        EXPECT_NE(result, 0);
    }
    return false;
}

class LimitsPipeline : public HookedTest
{
protected:
    void SetUp() override
    {
        HookedTest::SetUp();
        progressLogEnabled = false;
        input = WriteScratchFile("in.obj", PIPELINE_FILE);
        output = ScratchPath("out.obj");
        std::string output = this->output;
        steps = {
            {"Compact Normals", [](Mesh* m) { return CompactNormals(m), -1; }},
            {"Quads to Triangles", [](Mesh* m) { return ConvertQuadsToTriangles(m), -1; }},
            {"Smooth Seams", [](Mesh* m) { return SmoothMeshNormals(m) != 0 ? 1 : 0; }},
            {"Compact Normals again", [](Mesh* m) { return CompactNormals(m), -1; }},
            {"export", [output](Mesh* m)
             { return WriteObjMeshFile(m, output.c_str(), EXPORT_OPTIONS_AT_START) ? 1 : 0; }},
        };
    }
    void TearDown() override
    {
        HookedTest::TearDown();
        std::remove(input.c_str());
        std::remove(output.c_str());
    }
    std::string input;
    std::string output;
    std::vector<Step> steps;
};

// An allocation failure at each point of a read, every operation and an export, in turn.
TEST_F(LimitsPipeline, EveryAllocationFailureLeavesNothingHeld)
{
    long baseline = allocationsHeld;
    allocationCount = 0;
    Mesh* mesh = ReadObjMesh(input.c_str());
    ASSERT_NE(mesh, nullptr);
    RunSteps(mesh, steps);
    FreeMesh(mesh);
    int total = allocationCount;
    ASSERT_EQ(allocationsHeld, baseline);
    ASSERT_GT(total, 20);
    for (int failAt = 1; failAt <= total; ++failAt)
    {
        SCOPED_TRACE("allocation " + std::to_string(failAt) + " fails");
        allocationCount = 0;
        allocationFailAt = failAt;
        mesh = ReadObjMesh(input.c_str());
        bool met = mesh == nullptr;
        if (mesh)
        {
            CheckMeshInvariants(mesh);
            met = allocationFailAt == 0 || RunSteps(mesh, steps);
            FreeMesh(mesh);
        }
        EXPECT_TRUE(met);
        allocationFailAt = 0;
        EXPECT_EQ(allocationsHeld, baseline);
    }
}

// What an operation refused for its size must not have touched.
struct Untouched
{
    uint32_t flags, normalCount;
    const Vec3* normals;
    Facet facet;
};

Untouched Record(const Mesh* mesh)
{
    return {mesh->flags, mesh->normalCount, mesh->normals, mesh->facets[0]};
}

void ExpectUntouched(const Mesh* mesh, const Untouched& before)
{
    EXPECT_EQ(mesh->flags, before.flags);
    EXPECT_EQ(mesh->normalCount, before.normalCount);
    EXPECT_EQ(mesh->normals, before.normals);
    EXPECT_EQ(std::memcmp(&mesh->facets[0], &before.facet, sizeof(Facet)), 0);
}

// A record whose counts promise more elements than a 32-bit address space holds: the
// operation refuses its first array for its size, before any element is touched.
class Limits32 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (sizeof(size_t) > 4)
            GTEST_SKIP() << "these counts fit a 64-bit size_t";
        SetTriangle(mesh.get(), 0, 0, 1, 2);
        FinishMesh(mesh.get());
    }
    MeshPtr mesh{NewMesh(4, 1)};
};

// Without normals, smoothing first asks for count * 12 bytes.
TEST_F(Limits32, SmoothSeamsRefusesVertexCountsPast32BitSizes)
{
    Mesh* m = mesh.get();
    const uint32_t realCount = m->vertexCount;
    for (uint32_t count : {0x15555556u, 0x20000000u, 0xFFFFFFFFu})
    {
        SCOPED_TRACE(count);
        m->vertexCount = count;
        Untouched before = Record(m);
        long held = allocationsHeld;
        EXPECT_EQ(SmoothMeshNormals(m), 0);
        ExpectUntouched(m, before);
        EXPECT_EQ(allocationsHeld, held);
    }
    m->vertexCount = realCount;
}

// Caught by reading the sizes: the slot table of 2^31 slots doubled to 0 and the sizing loop
// never ended for counts between 2^30 and 2^31.
TEST_F(Limits32, CompactNormalsRefusesCountsWhoseSlotTableWouldWrap)
{
    Mesh* m = mesh.get();
    SetNormalCount(m, 3);
    for (uint32_t count : {0x15555556u, 0x40000001u, 0x7FFFFFFFu, 0xFFFFFFFFu})
    {
        SCOPED_TRACE(count);
        m->normalCount = count;
        Untouched before = Record(m);
        long held = allocationsHeld;
        CompactNormals(m);
        ExpectUntouched(m, before);
        EXPECT_EQ(allocationsHeld, held);
    }
    m->normalCount = 3;
}

} // namespace
