// Reading a file in two parts on two threads against reading it in one: generated files in
// both modes, with the middle of the file moved across every kind of line.
#include "mesh/mesh.h"
#include "mesh_check.h"
#include "progress_recorder.h"
#include "test_util.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

// A file mixing every kind of line either mode reads or skips: positions, texture
// coordinates and normals, groups, objects, materials, faces of every form and length before
// and after the positions they name, indices negative or out of range, continued, long and
// CR-ended lines.
std::string MixedFile(std::mt19937& random)
{
    auto pick = [&](uint32_t n) { return random() % n; };
    auto index = [&](uint32_t written)
    {
        uint32_t r = pick(16);
        return r == 0  ? std::string("0")
               : r < 4 ? "-" + std::to_string(1 + pick(written + 1))
                       : std::to_string(1 + pick(written + 3));
    };
    std::string text;
    uint32_t positions = 0;
    for (int line = 0, lines = 20 + int(pick(60)); line < lines; ++line)
    {
        switch (pick(12))
        {
        case 0:
        case 1:
        case 2:
            text += "v " + std::to_string(pick(9)) + "." + std::to_string(pick(99)) + " " +
                    std::to_string(int(pick(5)) - 2) + " 0." + std::to_string(pick(7)) + "\n";
            ++positions;
            break;
        case 3:
            text += pick(2) ? "vt 0.5 0.25\n" : "vn 0 0 1\n";
            break;
        case 4:
        {
            static const char* const lead[] = {"g part", "o piece", "usemtl m", "mtllib l"};
            text += lead[pick(4)] + std::to_string(pick(4)) + "\n";
            break;
        }
        case 5:
            text += pick(2) ? "# " + std::string(pick(300), 'x') + "\n" : "\r\n";
            break;
        default:
        {
            static const char* const forms[] = {"", "/1", "//1", "/1/1", "/-1/1"};
            text += "f";
            for (uint32_t c = 0, corners = 3 + pick(6); c < corners; ++c)
                text += (pick(10) == 0 ? " \\\n " : " ") + index(positions) + forms[pick(5)];
            text += pick(4) == 0 ? "\r\n" : "\n";
        }
        }
    }
    return text;
}

struct ReadResult
{
    bool read;
    std::string image;
    ReadReport report;
    std::vector<std::string> progress;
};

// meeting: where the threads' loading meets (see twoPartMeetingPiece)
ReadResult ReadInParts(const std::string& path, bool allFaces, bool twoParts, int meeting = -1)
{
    twoPartReadFrom = twoParts ? 0 : UINT64_MAX;
    twoPartMeetingPiece = meeting;
    ReadOptions options = {allFaces};
    ReadResult result = {};
    ClearProgressLog();
    Mesh* mesh = ReadObjMeshWith(path.c_str(), &options, &result.report);
    result.read = mesh != nullptr;
    result.image = mesh ? MeshImage(mesh) : "";
    result.progress = progressLog;
    FreeMesh(mesh);
    return result;
}

class ReaderPartsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = twoPartReadFrom;
        allocationFailAt = 0;
        progressLogEnabled = true;
        if (std::thread::hardware_concurrency() == 1)
            GTEST_SKIP() << "one processor: every file is read in one part";
    }
    void TearDown() override
    {
        twoPartReadFrom = saved;
        twoPartMeetingPiece = -1;
    }
    uint64_t saved = 0;
};

TEST_F(ReaderPartsTest, TwoPartsReadAsOne)
{
    std::mt19937 random(7);
    int turn = 0;
    for (int draw = 0; draw < 30; ++draw)
    {
        std::string body = MixedFile(random);
        // a first line of growing length walks the cuts between pieces over the body's lines;
        // the threads meet at each piece in turn, or where they happen to
        for (size_t shift = 0; shift < body.size() / 2; shift += 1 + body.size() / 40)
        {
            int meeting = turn++ % (TWO_PART_PIECES + 2) - 1;
            std::string text = "#" + std::string(shift, ' ') + "\n" + body;
            std::string path = WriteScratchFile("parts.obj", text);
            for (bool allFaces : {false, true})
            {
                SCOPED_TRACE(text);
                SCOPED_TRACE(meeting);
                ReadResult one = ReadInParts(path, allFaces, false);
                ReadResult two = ReadInParts(path, allFaces, true, meeting);
                ASSERT_TRUE(one.read && two.read);
                EXPECT_EQ(two.image, one.image);
                EXPECT_EQ(two.progress, one.progress);
                EXPECT_EQ(two.report.unreadFaceLines, one.report.unreadFaceLines);
                EXPECT_EQ(two.report.cutFaces, one.report.cutFaces);
                EXPECT_EQ(two.report.badIndexFaces, one.report.badIndexFaces);
                EXPECT_EQ(two.report.placeholderCorners, one.report.placeholderCorners);
            }
            std::remove(path.c_str());
            if (HasFailure())
                return;
        }
    }
}

// Every allocation of a two-part read can fail, the second part's included: no mesh, the
// display closed, nothing held.
TEST_F(ReaderPartsTest, EveryAllocationFailureLeavesNoMesh)
{
    std::string path = WriteScratchFile("fail.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                                    "v 0.5 2 0\nf 1 2 3 5 4\ng a\n"
                                                    "f -1 -2 -3 -4 -5\nf 1 2 3 5 4\n");
    ReadOptions options = {true};
    int allocations[2];
    for (int parts = 1; parts <= 2; ++parts)
    {
        twoPartReadFrom = parts == 2 ? 0 : UINT64_MAX;
        allocationCount = 0;
        Mesh* whole = ReadObjMeshWith(path.c_str(), &options, nullptr);
        ASSERT_NE(whole, nullptr);
        allocations[parts - 1] = allocationCount;
        FreeMesh(whole);
    }
    EXPECT_GT(allocations[1], allocations[0]); // the second part's scratch
    long held = allocationsHeld;
    for (int failAt = 1; failAt <= allocations[1]; ++failAt)
    {
        SCOPED_TRACE(failAt);
        allocationCount = 0;
        allocationFailAt = failAt;
        Mesh* mesh = ReadObjMeshWith(path.c_str(), &options, nullptr);
        EXPECT_EQ(mesh, nullptr);
        EXPECT_FALSE(progressState.open);
        EXPECT_EQ(allocationsHeld, held);
        FreeMesh(mesh);
    }
    allocationFailAt = 0;
    std::remove(path.c_str());
}

} // namespace
