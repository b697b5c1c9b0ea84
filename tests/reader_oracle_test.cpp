// ReadObjMesh against the literal line-by-line reader on generated files, and a digest of
// what it reads from them that must come out the same on every build.
#include "mesh/mesh.h"
#include "progress_recorder.h"
#include "reader_literal.h"
#include "test_util.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

using Log = std::vector<std::string>;

struct Random
{
    uint64_t state;
    uint32_t Next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    }
    uint32_t Below(uint32_t n)
    {
        return Next() % n;
    }
    template <size_t N> const char* Pick(const char* const (&list)[N])
    {
        return list[Below(N)];
    }
};

std::string Number(Random& random)
{
    static const char* const odd[] = {"nan", "-inf", "1e", "0x1.8p1", "1e39", "-0",    "1e-45",
                                      ".5",  "3.",   "0x", "-",       "2e+",  "1.5.5", "7"};
    if (random.Below(12) == 0)
        return random.Pick(odd);
    std::string text = random.Below(3) == 0 ? "-" : "";
    text += std::to_string(random.Below(40) - 20);
    if (random.Below(2))
        text += "." + std::to_string(random.Below(100000));
    if (random.Below(8) == 0)
        text += "e" + std::to_string(int(random.Below(12)) - 6);
    return text;
}

// One corner index: mostly in range, sometimes negative, zero, beyond the count or huge.
std::string Index(Random& random, int written)
{
    int range = written + 3;
    switch (random.Below(12))
    {
    case 0:
        return "-" + std::to_string(1 + random.Below(uint32_t(range)));
    case 1:
        return "0";
    case 2:
        return "4294967297";
    default:
        return std::to_string(1 + random.Below(uint32_t(range)));
    }
}

std::string FaceLine(Random& random, int vertices, int uvs, int normals)
{
    std::string line = random.Below(10) ? "f " : "f";
    uint32_t corners = 3 + random.Below(3);
    uint32_t form = random.Below(10); // mostly v/vt/vn and v/vt
    for (uint32_t c = 0; c < corners; ++c)
    {
        line += c ? (random.Below(12) ? " " : "\t ") : "";
        line += Index(random, vertices);
        if (form < 8 || form == 9)
            line += "/" + Index(random, uvs);
        if (form < 5)
            line += "/" + Index(random, normals);
        if (form == 8)
            line += "//" + Index(random, normals);
    }
    return line;
}

std::string OtherLine(Random& random)
{
    static const char* const names[] = {"a",
                                        "b",
                                        "Default",
                                        "head neck",
                                        " leg",
                                        "leg ",
                                        "x\ty",
                                        "a_very_long_name_that_goes_on_past_sixty_three_chars_"
                                        "and_then_some_more"};
    static const char* const other[] = {"# comment",
                                        "",
                                        "s 1",
                                        "s off",
                                        "o thing",
                                        "g",
                                        "usemtl",
                                        "mtllib a.mtl b.mtl",
                                        "mtllib second.mtl",
                                        " v 1 2 3",
                                        "l 1 2",
                                        "\x01\x02binary",
                                        "vt 1",
                                        "vn 1 2",
                                        "v 1 2"};
    switch (random.Below(4))
    {
    case 0:
        return std::string("g ") + random.Pick(names);
    case 1:
        return std::string("usemtl ") + random.Pick(names);
    case 2:
        return std::string(255 + random.Below(100), '#') + "v 1 2 3";
    default:
        return random.Pick(other);
    }
}

// A file of random lines; the second text has CR LF line ends where the first has LF.
void MakeFile(Random& random, std::string& unixText, std::string& dosText)
{
    static const char* const normals[] = {"0 0 1",         "0 1 0",   "-0 0 1",
                                          "0 0 1.0000001", "nan 0 0", "1 0 0"};
    int vertices = 0, uvs = 0, normalCount = 0;
    uint32_t lines = random.Below(250);
    bool duplicates = random.Below(2) == 0;
    for (uint32_t i = 0; i < lines; ++i)
    {
        std::string line;
        uint32_t kind = random.Below(10);
        if (kind < 2)
            line = "v " + Number(random) + " " + Number(random) + " " + Number(random), ++vertices;
        else if (kind == 2)
            line = "vt " + Number(random) + " " + Number(random), ++uvs;
        else if (kind == 3 && duplicates)
            line = std::string("vn ") + random.Pick(normals), ++normalCount;
        else if (kind == 3)
            line = "vn " + std::to_string(normalCount++) + " 0 1";
        else if (kind < 8)
            line = FaceLine(random, vertices, uvs, normalCount);
        else
            line = OtherLine(random);
        if (random.Below(100) == 0)
            line.insert(line.size() / 2, 1, '\0');
        bool last = i + 1 == lines;
        bool crlf = random.Below(2) == 0;
        bool ended = !(last && random.Below(2));
        unixText += line + (ended ? "\n" : "");
        dosText += line + (ended ? (crlf ? "\r\n" : "\n") : "");
    }
}

// Folds a mesh into a 64-bit number: counts, names, values bit by bit, facets and lists.
struct Digest
{
    uint64_t value = 1469598103934665603ull;
    void Add(const void* data, size_t size)
    {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            value = (value ^ bytes[i]) * 1099511628211ull;
    }
    void AddTable(const Group* table, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i)
        {
            Add(table[i].name, std::strlen(table[i].name) + 1);
            Add(&table[i].facetListCount, 4);
            if (table[i].facetListCount > 0)
                Add(table[i].facetList, 4 * size_t(table[i].facetListCount));
        }
    }
    void AddMesh(const Mesh* mesh)
    {
        Add(mesh->materialLibrary, std::strlen(mesh->materialLibrary) + 1);
        Add(&mesh->vertexCount, 7 * 4);
        Add(&mesh->scale, 9 * 4);
        Add(&mesh->flags, 4);
        Add(mesh->vertices, 12 * size_t(mesh->vertexCount));
        Add(mesh->normals, 12 * size_t(mesh->normalCount));
        Add(mesh->uCoords, 4 * size_t(mesh->uvCount));
        Add(mesh->vCoords, 4 * size_t(mesh->uvCount));
        for (uint32_t f = 0; f < mesh->facetCount; ++f)
        {
            const Facet& facet = mesh->facets[f];
            Add(&facet, 12);
            Add(facet.vertexIndex, 4 * facet.cornerCount);
            Add(facet.uvIndex, 4 * facet.cornerCount);
            if (mesh->flags & MESH_HAS_NORMALS)
                Add(facet.normalIndex, 4 * facet.cornerCount);
        }
        AddTable(mesh->groups, mesh->groupCount);
        AddTable(mesh->materials, mesh->materialCount);
    }
};

uint64_t DigestOf(const Mesh* mesh)
{
    Digest digest;
    digest.AddMesh(mesh);
    return digest.value;
}

const int FILE_COUNT = 400;

// Reads every generated file (CR LF version) and returns the digest of all meshes.
uint64_t ReadGeneratedFiles(std::vector<std::string>* unixPaths, std::vector<Log>* logs)
{
    Random random{99};
    Digest all;
    for (int i = 0; i < FILE_COUNT; ++i)
    {
        std::string unixText, dosText;
        MakeFile(random, unixText, dosText);
        std::string tag = std::to_string(i);
        std::string dosPath = WriteScratchFile("dos" + tag + ".obj", dosText);
        if (unixPaths)
            unixPaths->push_back(WriteScratchFile("unix" + tag + ".obj", unixText));
        ClearProgressLog();
        Mesh* mesh = ReadObjMesh(dosPath.c_str());
        if (logs)
            logs->push_back(progressLog);
        EXPECT_NE(mesh, nullptr);
        if (!mesh)
            continue;
        CheckMeshInvariants(mesh);
        uint64_t digest = DigestOf(mesh);
        all.Add(&digest, sizeof digest);
        FreeMesh(mesh);
    }
    return all.value;
}

// The digest of the generated files as read natively, where the literal reader confirms
// each mesh; a build that reads any value, index or name differently changes it.
const uint64_t GENERATED_FILES_DIGEST = 0xde2bd77d0310e996ull;

TEST(ReaderOracleTest, GeneratedFilesReadAlikeOnEveryBuild)
{
    uint64_t digest = ReadGeneratedFiles(nullptr, nullptr);
    EXPECT_EQ(digest, GENERATED_FILES_DIGEST) << std::hex << "0x" << digest;
}

#ifndef _WIN32

TEST(ReaderOracleTest, MatchesTheLiteralReader)
{
    std::vector<std::string> unixPaths;
    std::vector<Log> logs;
    ReadGeneratedFiles(&unixPaths, &logs);
    for (size_t i = 0; i < unixPaths.size(); ++i)
    {
        SCOPED_TRACE(unixPaths[i]);
        ClearProgressLog();
        Mesh* literal = ReadObjMeshLiteral(unixPaths[i].c_str());
        ASSERT_NE(literal, nullptr);
        Log literalLog = progressLog;
        std::string dosPath = unixPaths[i];
        dosPath.replace(dosPath.find("_unix"), 5, "_dos");
        Mesh* mesh = ReadObjMesh(dosPath.c_str());
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(DigestOf(mesh), DigestOf(literal));
        EXPECT_EQ(mesh->facetCount, literal->facetCount);
        EXPECT_EQ(mesh->flags, literal->flags);
        EXPECT_EQ(logs[i], literalLog);
        FreeMesh(mesh);
        FreeMesh(literal);
        if (HasFailure())
            return;
    }
}

// Groups and materials that change at most faces make more runs of facets than the reader
// notes, in one part and in two; the lists then come from the facet table and still match.
TEST(ReaderOracleTest, ManyShortRunsOfFacetsMatchTheLiteralReader)
{
    Random random{5};
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";
    for (int i = 0; i < 20000; ++i)
    {
        if (random.Below(2))
            text += "g g" + std::to_string(random.Below(40)) + "\n";
        if (random.Below(2))
            text += "usemtl m" + std::to_string(random.Below(40)) + "\n";
        text += random.Below(3) ? "f 1/1 2/1 3/1\n" : "f 1/1 2/1 9/1\n"; // a bad index: a gap
    }
    std::string path = WriteScratchFile("runs.obj", text);
    Mesh* literal = ReadObjMeshLiteral(path.c_str());
    ASSERT_NE(literal, nullptr);
    uint64_t saved = twoPartReadFrom;
    twoPartMeetingPiece = 1; // in two parts, the side thread's pieces alone make too many
    for (uint64_t from : {uint64_t(UINT64_MAX), uint64_t(0)})
    {
        twoPartReadFrom = from;
        Mesh* mesh = ReadObjMesh(path.c_str());
        EXPECT_NE(mesh, nullptr);
        if (!mesh)
            continue;
        EXPECT_GT(mesh->facetCount, 10000u);
        EXPECT_EQ(DigestOf(mesh), DigestOf(literal)) << "read from " << from;
        FreeMesh(mesh);
    }
    twoPartReadFrom = saved;
    twoPartMeetingPiece = -1;
    FreeMesh(literal);
    std::remove(path.c_str());
}

#endif

} // namespace
