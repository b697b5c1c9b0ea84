// ReadObjMesh: counts, names, faces, line pieces, progress calls, failures and bad input.
#include "mesh/mesh.h"
#include "progress_recorder.h"
#include "test_hooks.h"
#include "test_util.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{

using Log = std::vector<std::string>;

class ReaderTest : public HookedTest
{
protected:
    void TearDown() override
    {
        FreeMesh(mesh);
        HookedTest::TearDown();
    }
    // Reads text written to a scratch file; checks the record's invariants.
    Mesh* Read(const std::string& text, const std::string& tag = "in.obj")
    {
        FreeMesh(mesh);
        mesh = ReadObjMesh(WriteScratchFile(tag, text).c_str());
        if (mesh)
            CheckMeshInvariants(mesh);
        return mesh;
    }
    Mesh* mesh = nullptr;
};

struct CountCase
{
    const char* what;
    std::string text;
    uint32_t vertices, uvs, normals, facets, quads, groups, materials;
    uint32_t flags;
};

const uint32_t BASE = MESH_HAS_GROUPS | MESH_HAS_MATERIALS;
const uint32_t VUF = BASE | MESH_HAS_VERTICES | MESH_HAS_UVS | MESH_HAS_FACETS;
const char* const TRIANGLE = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";

TEST_F(ReaderTest, CountsWhatTheLinesHold)
{
    const std::string tri = TRIANGLE;
    const std::string withNormal = tri + "vn 0 0 1\n";
    const CountCase cases[] = {
        {"empty file", "", 0, 0, 0, 0, 0, 1, 1, BASE},
        {"comments only", "# a\n#v 1 2 3\n", 0, 0, 0, 0, 0, 1, 1, BASE},
        {"short vertex line", "v 1 2\nv 1 2 3\n", 1, 0, 0, 0, 0, 1, 1, BASE | MESH_HAS_VERTICES},
        {"indented lines", " v 1 2 3\n\tf 1/1 1/1 1/1\n", 0, 0, 0, 0, 0, 1, 1, BASE},
        {"triangle", (tri + "f 1/1 2/1 3/1\n"), 3, 1, 0, 1, 0, 1, 1, VUF},
        {"five corners make a quad", (tri + "v 1 1 0\nv 2 2 0\nf 1/1 2/1 3/1 4/1 5/1\n"), 5, 1, 0,
         1, 1, 1, 1, VUF | MESH_HAS_QUADS},
        {"normals need the three-index form", (withNormal + "f 1/1 2/1 3/1\n"), 3, 1, 1, 0, 0, 1, 1,
         BASE | MESH_HAS_VERTICES | MESH_HAS_UVS | MESH_HAS_NORMALS},
        {"no normals refuse the three-index form", (tri + "f 1/1/1 2/1/1 3/1/1\n"), 3, 1, 0, 0, 0,
         1, 1, BASE | MESH_HAS_VERTICES | MESH_HAS_UVS},
        {"forms without texture index", (tri + "f 1//1 2//1 3//1\nf 1 2 3\n"), 3, 1, 0, 0, 0, 1, 1,
         BASE | MESH_HAS_VERTICES | MESH_HAS_UVS},
        {"indices outside the counts", (tri + "f 1/1 2/1 4/1\nf 0/1 1/1 2/1\nf 1/2 2/1 3/1\n"), 3,
         1, 0, 0, 0, 1, 1, BASE | MESH_HAS_VERTICES | MESH_HAS_UVS},
        {"indices beyond 32 bits", (tri + "f 1/1 2/1 4294967299/1\n"), 3, 1, 0, 0, 0, 1, 1,
         BASE | MESH_HAS_VERTICES | MESH_HAS_UVS},
        {"negative indices", (tri + "f -3/-1 -2/-1 -1/-1\nf -4/1 1/1 2/1\n"), 3, 1, 0, 1, 0, 1, 1,
         VUF},
        {"names without text", "g\ng \nusemtl\t\n", 0, 0, 0, 0, 0, 1, 1, BASE},
        {"groups and materials", "g a\ng b\ng a\nusemtl m\nusemtl Default\ng Default\n", 0, 0, 0, 0,
         0, 3, 2, BASE},
        {"two blanks make another group", "g leg\ng  leg\n", 0, 0, 0, 0, 0, 3, 1, BASE},
        {"mtllib", "mtllib a.mtl\n", 0, 0, 0, 0, 0, 1, 1, BASE | MESH_HAS_MATERIAL_LIBRARY},
        {"equal normals", "vn 0 0 1\nvn 0 1 0\nvn -0 0 1\n", 0, 0, 3, 0, 0, 1, 1,
         BASE | MESH_HAS_NORMALS | MESH_DUPLICATE_NORMALS},
        {"normals differing in the last bit",
         "vn 1 0 0\nvn 1.0000001 0 0\nvn nan 0 0\nvn nan 0 0\n", 0, 0, 4, 0, 0, 1, 1,
         BASE | MESH_HAS_NORMALS},
    };
    for (const CountCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NE(Read(c.text), nullptr);
        EXPECT_EQ(mesh->vertexCount, c.vertices);
        EXPECT_EQ(mesh->uvCount, c.uvs);
        EXPECT_EQ(mesh->normalCount, c.normals);
        EXPECT_EQ(mesh->facetCount, c.facets);
        EXPECT_EQ(mesh->quadCount, c.quads);
        EXPECT_EQ(mesh->groupCount, c.groups);
        EXPECT_EQ(mesh->materialCount, c.materials);
        EXPECT_EQ(mesh->flags, c.flags);
    }
}

TEST_F(ReaderTest, FillsTheRecordFromTheFile)
{
    const char* text = "mtllib first.mtl\n"
                       "mtllib second.mtl third.mtl\n"
                       "v 1 -2 3\n"
                       "v -4 5 0.5 9\n"
                       "vt 0.25 0.75\n"
                       "vt 1 0\n"
                       "vn 0 0 1\n"
                       "f 1/1/1 2/2/1 1/2/1\n"
                       "g head neck \t\n"
                       "usemtl skin extra\n"
                       "f 2/1/1 1/2/1 2/1/1 1/1/1\n"
                       "g Default\n"
                       "f -1/-1/-1 -2/-2/-1 -1/-2/-1\n";
    ASSERT_NE(Read(text, "scene.obj"), nullptr);
    EXPECT_STREQ(mesh->filePath, ScratchPath("scene.obj").c_str());
    EXPECT_STREQ(mesh->materialLibrary, "second.mtl");
    EXPECT_EQ(mesh->vertices[1].x, -4.0f);
    EXPECT_EQ(mesh->vertices[1].z, 0.5f);
    EXPECT_EQ(mesh->uCoords[0], 0.25f);
    EXPECT_EQ(mesh->vCoords[0], 0.75f);
    EXPECT_EQ(mesh->boundsMin.x, -4.0f);
    EXPECT_EQ(mesh->boundsMax.y, 5.0f);
    EXPECT_EQ(mesh->boundsMin.z, 0.5f);
    EXPECT_EQ(mesh->scale.x, 1.0f);
    ASSERT_EQ(mesh->groupCount, 2u);
    EXPECT_STREQ(mesh->groups[1].name, "head neck");
    ASSERT_EQ(mesh->materialCount, 2u);
    EXPECT_STREQ(mesh->materials[1].name, "skin");
    ASSERT_EQ(mesh->facetCount, 3u);
    const Facet& quad = mesh->facets[1];
    EXPECT_EQ(quad.cornerCount, 4u);
    EXPECT_EQ(quad.groupIndex, 1u);
    EXPECT_EQ(quad.materialIndex, 1u);
    EXPECT_EQ(quad.vertexIndex[0], 1);
    EXPECT_EQ(quad.uvIndex[1], 1);
    const Facet& last = mesh->facets[2];
    EXPECT_EQ(last.groupIndex, 0u);
    EXPECT_EQ(last.materialIndex, 1u);
    EXPECT_EQ(last.vertexIndex[0], 1); // -1: the latest vertex
    EXPECT_EQ(last.vertexIndex[1], 0);
    EXPECT_EQ(last.uvIndex[1], 0);
    EXPECT_EQ(mesh->groups[0].facetListCount, 2u);
    EXPECT_EQ(mesh->groups[0].facetList[1], 2u);
    EXPECT_EQ(mesh->quadCount, 1u);
}

TEST_F(ReaderTest, BoundsStartAtThreeThousand)
{
    ASSERT_NE(Read("v 4000 -4000 1\nv 5000 -5000 nan\n"), nullptr);
    EXPECT_EQ(mesh->boundsMin.x, 3000.0f);
    EXPECT_EQ(mesh->boundsMax.x, 5000.0f);
    EXPECT_EQ(mesh->boundsMin.y, -5000.0f);
    EXPECT_EQ(mesh->boundsMax.y, -3000.0f);
    EXPECT_TRUE(mesh->boundsMin.z != mesh->boundsMin.z); // a NaN cannot be compared: it wins
    EXPECT_EQ(mesh->boundsMax.z, 1.0f);
    ASSERT_NE(Read(""), nullptr);
    EXPECT_EQ(mesh->boundsMin.y, 3000.0f);
    EXPECT_EQ(mesh->boundsMax.z, -3000.0f);
}

TEST_F(ReaderTest, NameTablesHoldAtMost256Names)
{
    std::string text = std::string(TRIANGLE);
    for (int i = 0; i < 300; ++i)
        text +=
            "g group" + std::to_string(i) + "\nusemtl m" + std::to_string(i) + "\nf 1/1 2/1 3/1\n";
    ASSERT_NE(Read(text), nullptr);
    EXPECT_EQ(mesh->groupCount, 256u);
    EXPECT_EQ(mesh->materialCount, 256u);
    EXPECT_STREQ(mesh->groups[255].name, "group254");
    EXPECT_EQ(mesh->facets[254].groupIndex, 255u);
    EXPECT_EQ(mesh->facets[255].groupIndex, 0u); // the 257th name resolves to "Default"
    EXPECT_EQ(mesh->groups[0].facetListCount, 300u - 255u);
}

TEST_F(ReaderTest, LongNamesAreCutTo63Characters)
{
    std::string stem(63, 'n');
    std::string text = std::string(TRIANGLE) + "g " + stem + "A\nf 1/1 2/1 3/1\ng " + stem +
                       "B\nf 1/1 2/1 3/1\nusemtl " + stem + "xyz\nmtllib " + std::string(240, 'L') +
                       "\n";
    ASSERT_NE(Read(text), nullptr);
    ASSERT_EQ(mesh->groupCount, 2u);
    EXPECT_EQ(std::string(mesh->groups[1].name), stem);
    EXPECT_EQ(mesh->groups[1].facetListCount, 2u);
    EXPECT_EQ(std::string(mesh->materials[1].name), stem);
    EXPECT_EQ(std::strlen(mesh->materialLibrary), 240u);
}

// Pieces of at most 255 characters, CR LF as LF, NUL ending a line's text.
TEST_F(ReaderTest, CutsLinesAsA256ByteBufferDoes)
{
    struct PieceCase
    {
        const char* what;
        std::string text;
        uint32_t lines;
        uint32_t vertices;
    };
    const std::string pad(252, ' ');
    const PieceCase cases[] = {
        {"300 characters are two lines", "v 1 2 3" + std::string(293, ' ') + "\n", 2, 1},
        {"the rest of a long line is a line", std::string(255, '#') + "v 1 2 3\n", 2, 1},
        {"254 characters and CR LF are one line", "#" + std::string(253, 'x') + "\r\nv 1 2 3\n", 2,
         1},
        {"255 characters and CR LF are two", "#" + std::string(254, 'x') + "\r\nv 1 2 3\n", 3, 1},
        {"a lone CR stays in the line", "v 1 2 3\rv 4 5 6\n", 1, 1},
        {"CR CR LF keeps one CR", "v 1 2 3\r\r\n", 1, 1},
        {"no final line feed", "v 1 2 3\nv 4 5 6", 2, 2},
        {"a NUL ends the text", std::string("v 1 2\0 3\nv 1 2 3\n", 17), 2, 1},
        {"a NUL starts a line", std::string("\0v 1 2 3\n", 9), 1, 0},
        {"blank lines count", "\n\n\r\n", 3, 0},
    };
    for (const PieceCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        ClearProgressLog();
        ASSERT_NE(Read(c.text), nullptr);
        EXPECT_EQ(mesh->vertexCount, c.vertices);
        std::string loading = "open Loading Mesh... 0.." + std::to_string(c.lines) + " 0.." +
                              std::to_string(c.vertices);
        EXPECT_NE(std::find(progressLog.begin(), progressLog.end(), loading), progressLog.end());
    }
}

// CR LF on both sides of the first read's end (the CR at offsets 2^20 - 3 to 2^20) reads as
// the same file with LF alone.
TEST_F(ReaderTest, LineEndsAcrossBlockBoundaries)
{
    const size_t block = 1 << 20;
    for (size_t shift = 0; shift < 4; ++shift)
    {
        SCOPED_TRACE(shift);
        std::string unix = std::string(block - 3 + shift, '#') + "\nv 1 2 3\nv 4 5 6\n";
        std::string dos = std::string(block - 3 + shift, '#') + "\r\nv 1 2 3\r\nv 4 5 6\r\n";
        progressLogEnabled = true;
        ClearProgressLog();
        ASSERT_NE(Read(unix, "unix.obj"), nullptr);
        Log unixLog = progressLog;
        ASSERT_EQ(mesh->vertexCount, 2u);
        ClearProgressLog();
        ASSERT_NE(Read(dos, "dos.obj"), nullptr);
        EXPECT_EQ(mesh->vertexCount, 2u);
        EXPECT_EQ(mesh->vertices[1].z, 6.0f);
        EXPECT_EQ(progressLog, unixLog);
    }
}

TEST_F(ReaderTest, ReportsEveryPhase)
{
    const char* text = "# piece\n"
                       "v 0 0 0\nv 1 0 0\nv 1 1 0\n"
                       "vn 0 0 1\nvn 0 1 0\nvn 0 0 1\n"
                       "vt 0 0\n"
                       "f 1/1/1 2/1/1 3/1/2\n";
    ASSERT_NE(Read(text), nullptr);
    const Log expected = {
        "open Scanning file... 0..100 0..100",
        "close",
        "open Loading Mesh... 0..9 0..3",
        "pos1 1",
        "pos1 2",
        "pos1 3",
        "pos1 4",
        "pos1 5",
        "pos1 6",
        "pos1 7",
        "pos1 8",
        "pos1 9",
        "close",
        "open Initializing Groups and Materials... 0..1 0..1",
        "pos1 0",
        "close",
        "open Analyzing Mesh Normals... 0..3 0..3",
        "pos1 0",
        "pos1 3",
        "close",
    };
    EXPECT_EQ(progressLog, expected);
    EXPECT_FALSE(progressState.open);
}

// With hundreds of lines the first bar moves at every hundredth of them.
TEST_F(ReaderTest, MovesTheBarAtEveryHundredth)
{
    for (int lines : {99, 100, 250, 1234})
    {
        SCOPED_TRACE(lines);
        std::string text = TRIANGLE;
        int facets = lines - 4;
        for (int i = 0; i < facets; ++i)
            text += i % 2 ? "f 1/1 2/1 3/1\n" : "# x\n";
        ClearProgressLog();
        ASSERT_NE(Read(text), nullptr);
        Log expected = {"open Scanning file... 0..100 0..100", "close",
                        "open Loading Mesh... 0.." + std::to_string(lines) + " 0..3"};
        for (int n = 1; n <= lines; ++n)
            if (lines / 100 == 0 || n % (lines / 100) == 0)
                expected.push_back("pos1 " + std::to_string(n));
        expected.push_back("close");
        uint32_t f = mesh->facetCount;
        expected.push_back("open Initializing Groups and Materials... 0.." + std::to_string(f) +
                           " 0.." + std::to_string(f));
        for (uint32_t i = 0; i < f; ++i)
            if (f / 100 == 0 || i % (f / 100) == 0)
                expected.push_back("pos1 " + std::to_string(i));
        expected.push_back("close");
        EXPECT_EQ(progressLog, expected);
    }
}

TEST_F(ReaderTest, FilesThatCannotBeReadGiveNoMeshAndNoDisplay)
{
    std::vector<std::string> paths = {ScratchPath("missing.obj"), ".", ""};
    for (const std::string& path : paths)
    {
        SCOPED_TRACE(path);
        EXPECT_EQ(ReadObjMesh(path.c_str()), nullptr);
        EXPECT_EQ(progressLog, Log());
    }
    EXPECT_EQ(ReadObjMesh(nullptr), nullptr);
}

#ifndef _WIN32
TEST_F(ReaderTest, UnreadableFilesGiveNoMeshAndNoDisplay)
{
    std::string locked = WriteScratchFile("locked.obj", "v 1 2 3\n");
    chmod(locked.c_str(), 0);
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: permissions do not stop reading";
    EXPECT_EQ(ReadObjMesh(locked.c_str()), nullptr);
    EXPECT_EQ(progressLog, Log());
}
#endif

// Every allocation a read makes can fail: no mesh, the display closed, nothing leaked
// (the sanitizer build reports leaks at exit).
TEST_F(ReaderTest, EveryAllocationFailureLeavesNoMesh)
{
    std::string text = std::string(TRIANGLE) + "vn 0 0 1\nvn 0 0 1\ng a\nusemtl m\n" +
                       "f 1/1/1 2/1/1 3/1/2\ng b\nf 1/1/1 2/1/1 3/1/2\n";
    std::string path = WriteScratchFile("fail.obj", text);
    allocationCount = 0;
    Mesh* whole = ReadObjMesh(path.c_str());
    ASSERT_NE(whole, nullptr);
    int allocations = allocationCount;
    // record, facets, u, v, vertices, normals, groups, materials, three lists (groups a and b,
    // material m), the normal table
    EXPECT_EQ(allocations, 12);
    for (int failAt = 1; failAt <= allocations; ++failAt)
    {
        SCOPED_TRACE(failAt);
        ClearProgressLog();
        allocationCount = 0;
        allocationFailAt = failAt;
        Mesh* result = ReadObjMesh(path.c_str());
        EXPECT_FALSE(progressState.open);
        if (failAt == allocations)
        {
            // the duplicate search falls back to comparing pairs: same result
            ASSERT_NE(result, nullptr);
            EXPECT_EQ(result->flags, whole->flags);
            FreeMesh(result);
            continue;
        }
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(progressLog.empty(), failAt == 1);
        if (!progressLog.empty())
        {
            EXPECT_EQ(progressLog.back(), "close");
        }
    }
    FreeMesh(whole);
}

// Binary data, NUL bytes and very long lines give a sound record.
TEST_F(ReaderTest, BinaryAndRaggedFilesGiveASoundRecord)
{
    std::string binary;
    uint32_t state = 12345;
    for (int i = 0; i < 300000; ++i)
    {
        state = state * 1103515245u + 12345u;
        binary += char(state >> 23);
    }
    ASSERT_NE(Read(binary), nullptr);
    std::string ragged = std::string(TRIANGLE) + std::string(100000, 'f') + "\n" + "f 1/1 2/1 3/1" +
                         std::string(70000, ' ') + "4/1\n" + std::string(5000, '\0') +
                         "\nf 1/1 2/1 3/1\n";
    ASSERT_NE(Read(ragged), nullptr);
    EXPECT_EQ(mesh->facetCount, 2u);
}

// Every prefix of a small file reads into a sound record.
TEST_F(ReaderTest, EveryPrefixOfAFileReads)
{
    const std::string text = "mtllib cube.mtl\r\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 1e-3\n"
                             "vt 0 0\nvt 1 1\nvn 0 0 1\nvn 0 0 -1\ng side one\nusemtl red\n"
                             "f 1/1/1 2/2/1 3/1/1 4/2/1\ng two\nf -1/-1/-1 -2/-2/-2 -3/-1/-1\n";
    progressLogEnabled = false;
    for (size_t length = 0; length <= text.size(); ++length)
    {
        SCOPED_TRACE(length);
        ASSERT_NE(Read(text.substr(0, length)), nullptr);
    }
    EXPECT_EQ(mesh->facetCount, 2u);
    EXPECT_EQ(mesh->quadCount, 1u);
}

} // namespace
