// AnalyzeMeshNormals against comparing every pair in order: flag and progress calls.
#include "mesh/mesh.h"
#include "progress_recorder.h"
#include "reader_literal.h"
#include "test_hooks.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{

using Log = std::vector<std::string>;

// A mesh holding only normals, released by FreeMesh.
Mesh* NormalsMesh(const std::vector<Vec3>& normals, uint32_t flags = MESH_HAS_NORMALS)
{
    Mesh* mesh = AllocateArrayOf<Mesh>(1);
    mesh->normalCount = uint32_t(normals.size());
    mesh->flags = flags;
    if (!normals.empty())
    {
        mesh->normals = AllocateArrayOf<Vec3>(normals.size());
        std::copy(normals.begin(), normals.end(), mesh->normals);
    }
    return mesh;
}

// Runs one analysis; returns whether it set the flag, with the progress log.
bool Analyze(const std::vector<Vec3>& normals, bool literal, Log& log)
{
    Mesh* mesh = NormalsMesh(normals);
    ClearProgressLog();
    if (literal)
        AnalyzeMeshNormalsLiteral(mesh);
    else
        AnalyzeMeshNormals(mesh);
    log = progressLog;
    bool flagged = (mesh->flags & MESH_DUPLICATE_NORMALS) != 0;
    FreeMesh(mesh);
    return flagged;
}

class AnalysisTest : public HookedTest
{
};

const float NAN_F = NAN;

struct PairCase
{
    bool expected;
    const char* what;
    std::vector<Vec3> normals;
};

TEST_F(AnalysisTest, EqualMeansEveryComponentExactlyEqual)
{
    const float nextToOne = std::nextafter(1.0f, 2.0f);
    const PairCase cases[] = {
        {false, "none", {}},
        {false, "one", {{0, 0, 1}}},
        {true, "repeated", {{0, 0, 1}, {0, 1, 0}, {0, 0, 1}}},
        {true, "zero and minus zero", {{0, -0.0f, 1}, {-0.0f, 0, 1}}},
        {false, "last bit differs", {{1, 0, 0}, {nextToOne, 0, 0}}},
        {false, "NaN equals nothing", {{NAN_F, 0, 0}, {NAN_F, 0, 0}}},
        {true, "NaN elsewhere", {{NAN_F, 0, 0}, {1, 2, 3}, {NAN_F, 0, 0}, {1, 2, 3}}},
    };
    for (const PairCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        Log log, literalLog;
        EXPECT_EQ(Analyze(c.normals, false, log), c.expected);
        EXPECT_EQ(Analyze(c.normals, true, literalLog), c.expected);
        EXPECT_EQ(log, literalLog);
    }
}

TEST_F(AnalysisTest, ShowsNothingWithoutNormals)
{
    Mesh* mesh = NormalsMesh({{0, 0, 1}, {0, 0, 1}}, 0);
    ClearProgressLog();
    AnalyzeMeshNormals(mesh);
    EXPECT_EQ(mesh->flags, 0u);
    EXPECT_EQ(progressLog, Log());
    mesh->flags = MESH_HAS_NORMALS | MESH_DUPLICATE_NORMALS;
    mesh->normals[1].x = 1;
    AnalyzeMeshNormals(mesh);
    EXPECT_TRUE(mesh->flags & MESH_DUPLICATE_NORMALS); // never cleared
    FreeMesh(mesh);
    AnalyzeMeshNormals(nullptr);
}

TEST_F(AnalysisTest, AnEarlyPairEndsWithTheBarFull)
{
    std::vector<Vec3> normals;
    for (int i = 0; i < 1000; ++i)
        normals.push_back(Vec3{float(i), 0, 1});
    normals[700] = normals[3];
    Log log;
    ASSERT_TRUE(Analyze(normals, false, log));
    const Log expected = {"open Analyzing Mesh Normals... 0..1000 0..1000", "pos1 0", "pos1 1000",
                          "close"};
    EXPECT_EQ(log, expected);
}

// Generated sets: few distinct values (pairs anywhere), many (pairs late or none), zeros of
// both signs and NaNs; sizes around the hundred where the bar's step changes.
TEST_F(AnalysisTest, AgreesWithComparingEveryPair)
{
    uint32_t state = 2024;
    auto next = [&state]() { return (state = state * 1664525u + 1013904223u) >> 8; };
    const float values[] = {0.0f, -0.0f, 1.0f, 0.5f, NAN_F, -1.0f};
    for (int round = 0; round < 600; ++round)
    {
        SCOPED_TRACE(round);
        uint32_t count = next() % (round % 3 == 0 ? 40 : 400);
        uint32_t distinct = round % 2 ? 3 : 1000000;
        std::vector<Vec3> normals;
        for (uint32_t i = 0; i < count; ++i)
        {
            if (distinct == 3)
                normals.push_back({values[next() % 6], values[next() % 6], values[next() % 6]});
            else
                normals.push_back({float(next() % distinct), float(next() % 7), 1});
        }
        Log log, literalLog;
        EXPECT_EQ(Analyze(normals, false, log), Analyze(normals, true, literalLog));
        EXPECT_EQ(log, literalLog);
        if (HasFailure())
            return;
    }
}

TEST_F(AnalysisTest, WithoutRoomForTheTableComparesPairs)
{
    std::vector<Vec3> normals;
    for (int i = 0; i < 300; ++i)
        normals.push_back(Vec3{float(i % 250), 1, 0});
    Log expected, log;
    ASSERT_TRUE(Analyze(normals, true, expected));
    allocationCount = 0;
    allocationFailAt = 3; // the record, the normals, then the table
    ASSERT_TRUE(Analyze(normals, false, log));
    EXPECT_EQ(allocationFailAt, 0); // the failure was used
    EXPECT_EQ(log, expected);
}

} // namespace
