// ReadObjMeshWith in the all-faces mode: a table of face lines and the facets and report they
// give, and both modes reading files of the default grammar alike.
#include "mesh/mesh.h"
#include "mesh_gen.h"
#include "progress_recorder.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace
{

// Six positions on a hexagon (counter-clockwise seen from +z), four texture coordinates and
// two normals.
const std::string HEADER = "v 2 0 0\nv 1 1.7 0\nv -1 1.7 0\nv -2 0 0\nv -1 -1.7 0\nv 1 -1.7 0\n"
                           "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nvn 0 0 -1\n";

// The facets as text: 1-based "v/t/n" corners, facets apart by "; ", a facet outside group 0
// or material 0 led by "[group,material]".
std::string DescribeFacets(const Mesh* mesh)
{
    std::string text;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        text += f ? "; " : "";
        if (facet.groupIndex || facet.materialIndex)
            text += std::string("[") + mesh->groups[facet.groupIndex].name + "," +
                    mesh->materials[facet.materialIndex].name + "] ";
        for (uint32_t c = 0; c < facet.cornerCount; ++c)
            text += (c ? " " : "") + std::to_string(facet.vertexIndex[c] + 1) + "/" +
                    std::to_string(facet.uvIndex[c] + 1) + "/" +
                    std::to_string(facet.normalIndex[c] + 1);
    }
    return text;
}

struct FaceCase
{
    const char* what;
    std::string lines; // after HEADER
    const char* facets;
    uint32_t uvs, normals; // counts, placeholders included
    ReadReport report;     // unread lines, cut faces, bad-index faces, placeholder corners
};

const std::string LONG_GAP(400, ' ');

const FaceCase faceCases[] = {
    {"v/t/n", "f 1/1/1 2/2/1 3/3/2\n", "1/1/1 2/2/1 3/3/2", 4, 2, {0, 0, 0, 0}},
    {"v only: both placeholders", "f 1 2 3\n", "1/5/3 2/5/3 3/5/3", 5, 3, {0, 0, 0, 3}},
    {"v//n", "f 1//1 2//2 3//1\n", "1/5/1 2/5/2 3/5/1", 5, 2, {0, 0, 0, 3}},
    {"v/t", "f 4/4 5/3 6/2\n", "4/4/3 5/3/3 6/2/3", 4, 3, {0, 0, 0, 3}},
    {"mixed quad", "f 1 2/2 3//2 4/4/1\n", "1/5/3 2/2/3 3/5/2 4/4/1", 5, 3, {0, 0, 0, 3}},
    {"negative", "f -6/-4/-2 -5/-3/-1 -1/-1/-1\n", "1/1/1 2/2/2 6/4/2", 4, 2, {0, 0, 0, 0}},
    {"continued", "f 1/1/1 \\\n 2/2/1 \\\r\n3/3/1\n", "1/1/1 2/2/1 3/3/1", 4, 2, {0, 0, 0, 0}},
    {"longer than 255",
     "f 1/1/1" + LONG_GAP + "2/2/1 3/3/1\n",
     "1/1/1 2/2/1 3/3/1",
     4,
     2,
     {0, 0, 0, 0}},
    {"trailing text ignored",
     "f 1/1/1 2/2/1 3/3/1 # note\n",
     "1/1/1 2/2/1 3/3/1",
     4,
     2,
     {0, 0, 0, 0}},
    {"pentagon",
     "f 1/1/1 2/1/1 3/1/1 4/1/1 5/1/1\n",
     "5/1/1 1/1/1 2/1/1; 5/1/1 2/1/1 3/1/1; 3/1/1 4/1/1 5/1/1",
     4,
     2,
     {0, 0, 0, 0}},
    {"two corners", "f 1/1/1 2/2/1\n", "", 4, 2, {1, 0, 0, 0}},
    {"broken corner", "f 1/1/1 2/ 3/3/1\n", "", 4, 2, {1, 0, 0, 0}},
    {"index 0 (the placeholders stay)", "f 1 2 0\n", "", 5, 3, {0, 0, 1, 0}},
    {"beyond the count", "f 1 2 7\n", "", 5, 3, {0, 0, 1, 0}},
    {"texture beyond the count", "f 1/5 2/1 3/1\n", "", 4, 3, {0, 0, 1, 0}},
    {"beyond 32 bits", "f 1 2 4294967299\n", "", 5, 3, {0, 0, 1, 0}},
    {"negative before the start", "f 1 2 -7\n", "", 5, 3, {0, 0, 1, 0}},
    {"groups and materials kept",
     "g g1\nusemtl m1\nf 1/1/1 2/1/1 3/1/1 4/1/1 5/1/1\n",
     "[g1,m1] 5/1/1 1/1/1 2/1/1; [g1,m1] 5/1/1 2/1/1 3/1/1; [g1,m1] 3/1/1 4/1/1 5/1/1",
     4,
     2,
     {0, 0, 0, 0}},
    {"o names groups",
     "o a\nf 1/1/1 2/1/1 3/1/1\no b\nf 4/1/1 5/1/1 6/1/1\n",
     "[a,Default] 1/1/1 2/1/1 3/1/1; [b,Default] 4/1/1 5/1/1 6/1/1",
     4,
     2,
     {0, 0, 0, 0}},
    {"o beside g",
     "o a\nf 1/1/1 2/1/1 3/1/1\ng b\nf 4/1/1 5/1/1 6/1/1\n",
     "1/1/1 2/1/1 3/1/1; [b,Default] 4/1/1 5/1/1 6/1/1",
     4,
     2,
     {0, 0, 0, 0}},
};

class AllFacesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        allocationFailAt = 0;
        progressLogEnabled = false;
    }
    void TearDown() override
    {
        progressLogEnabled = true;
    }
    MeshPtr Read(const std::string& text, bool allFaces, ReadReport* report)
    {
        ReadOptions options = {allFaces};
        std::string path = WriteScratchFile("in.obj", text);
        MeshPtr mesh(ReadObjMeshWith(path.c_str(), &options, report));
        std::remove(path.c_str());
        if (mesh)
            CheckMeshInvariants(mesh.get());
        return mesh;
    }
};

void ExpectReport(const ReadReport& got, const ReadReport& expected)
{
    EXPECT_EQ(got.unreadFaceLines, expected.unreadFaceLines);
    EXPECT_EQ(got.cutFaces, expected.cutFaces);
    EXPECT_EQ(got.badIndexFaces, expected.badIndexFaces);
    EXPECT_EQ(got.placeholderCorners, expected.placeholderCorners);
}

TEST_F(AllFacesTest, FaceLinesGiveTheirFacets)
{
    for (const FaceCase& c : faceCases)
    {
        SCOPED_TRACE(c.what);
        ReadReport report;
        MeshPtr mesh = Read(HEADER + c.lines, true, &report);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(DescribeFacets(mesh.get()), c.facets);
        EXPECT_EQ(mesh->uvCount, c.uvs);
        EXPECT_EQ(mesh->normalCount, c.normals);
        ExpectReport(report, c.report);
        if (mesh->uvCount > 4) // the placeholders are zero
        {
            EXPECT_EQ(mesh->uCoords[4] + mesh->vCoords[4], 0.0f);
        }
    }
}

// A file of the default grammar: every corner v/t (v/t/n when the file has normals), three
// or four corners, short lines; indices now and then negative, zero or out of range.
std::string DefaultGrammarFile(std::mt19937& random)
{
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    bool normals = pick(3) != 0;
    int v = 1 + pick(8), t = 1 + pick(5), n = normals ? 1 + pick(4) : 0;
    std::string text = "mtllib lib.mtl\n";
    for (int i = 0; i < v; ++i)
        text += "v " + std::to_string(pick(2000) - 1000) + "." + std::to_string(pick(100)) + " " +
                std::to_string(pick(7)) + " -" + std::to_string(pick(9)) + "e-1\n";
    for (int i = 0; i < t; ++i)
        text += "vt 0." + std::to_string(pick(1000)) + " " + std::to_string(pick(2)) + "\n";
    for (int i = 0; i < n; ++i)
        text += "vn 0 " + std::to_string(pick(2)) + " 1\n";
    auto index = [&](int count)
    {
        int r = pick(20);
        return std::to_string(r == 0   ? 0
                              : r == 1 ? count + 1
                              : r < 5  ? -1 - pick(count)
                                       : 1 + pick(count));
    };
    for (int f = 0, faces = pick(12); f < faces; ++f)
    {
        if (pick(4) == 0)
            text += pick(2) ? "g part" + std::to_string(pick(3)) + "\n"
                            : "usemtl m" + std::to_string(pick(3)) + "\n";
        text += pick(5) == 0 ? "# note\n" : "";
        text += "f";
        for (int c = 0, corners = 3 + pick(2); c < corners; ++c)
            text += " " + index(v) + "/" + index(t) + (normals ? "/" + index(n) : "");
        text += "\n";
    }
    return text;
}

TEST_F(AllFacesTest, BothModesReadTheDefaultGrammarAlike)
{
    std::mt19937 random(12);
    for (int draw = 0; draw < 300; ++draw)
    {
        std::string text = DefaultGrammarFile(random);
        SCOPED_TRACE(text);
        ReadReport plainReport, allReport;
        progressLogEnabled = true;
        ClearProgressLog();
        MeshPtr plain = Read(text, false, &plainReport);
        std::vector<std::string> plainLog = progressLog;
        ClearProgressLog();
        MeshPtr all = Read(text, true, &allReport);
        ASSERT_TRUE(plain && all);
        EXPECT_EQ(MeshImage(all.get()), MeshImage(plain.get()));
        EXPECT_EQ(progressLog, plainLog);
        EXPECT_EQ(allReport.badIndexFaces, plainReport.badIndexFaces);
        EXPECT_EQ(allReport.placeholderCorners + plainReport.unreadFaceLines, 0u);
        if (HasFailure())
            return;
    }
}

} // namespace
