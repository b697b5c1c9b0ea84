// The batch tool's work in-process: statistics text, operations, outputs and exit codes.
#include "cli/cli.h"
#include "cli_test_util.h"

#include "export/export.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

#ifdef _WIN32
const char* const folderSeparator = "\\";
#else
const char* const folderSeparator = "/";
#endif

struct CliResult
{
    int code;
    std::string out;
    std::string err;
};

CliResult RunInProcess(const std::vector<std::string>& words)
{
    std::vector<const char*> argv = {"korvella-cli"};
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    CaptureFile out("out"), err("err");
    int code = RunCli(int(argv.size()), argv.data(), out.file, err.file);
    return {code, WithUnixLineEnds(out.Text()), WithUnixLineEnds(err.Text())};
}

std::string MeshNameLine(const std::string& path)
{
    return "Mesh Name: " + std::string(MeshNameFromPath(path.c_str())) + "\n";
}

// The statistics text with the bound lines replaced.
std::string WithBounds(const char* bounds)
{
    std::string text = boxStatisticsText;
    return text.substr(0, text.find("MinX")) + bounds;
}

TEST(CliProcess, StatisticsFollowTheOperations)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    struct Row
    {
        std::vector<std::string> steps;
        std::string expectedStats; // after the name line
    };
    std::string stats = boxStatisticsText;
    auto replaced = [&](const char* from, const char* to)
    {
        std::string text = stats;
        text.replace(text.find(from), std::string(from).size(), to);
        return text;
    };
    const Row rows[] = {
        {{}, stats},
        {{"--triangulate"}, replaced("Facets: 3", "Facets: 4")},
        {{"--triangulate", "--triangulate"}, replaced("Facets: 3", "Facets: 4")},
        {{"--compact"}, replaced("Normals: 3", "Normals: 2")},
        {{"--scale", "2"},
         WithBounds("MinX: 0.00000\nMinY: -1.00000\nMinZ: 0.00000\n"
                    "MaxX: 2.00000\nMaxY: 2.00000\nMaxZ: 4.00000\n")},
        {{"--scale", "2,0.05,20", "--scale", "0.5,1,1"},
         WithBounds("MinX: 0.00000\nMinY: -0.50000\nMinZ: 0.00000\n"
                    "MaxX: 0.50000\nMaxY: 1.00000\nMaxZ: 2.00000\n")},
        {{"--scale", "1,0.05,20"},
         WithBounds("MinX: 0.00000\nMinY: -0.02500\nMinZ: 0.00000\n"
                    "MaxX: 1.00000\nMaxY: 0.05000\nMaxZ: 40.00000\n")},
    };
    for (const Row& row : rows)
    {
        std::vector<std::string> words = row.steps;
        SCOPED_TRACE(testing::PrintToString(words));
        words.push_back("--stats");
        words.push_back(box);
        CliResult result = RunInProcess(words);
        EXPECT_EQ(result.code, CLI_EXIT_DONE);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, MeshNameLine(box) + row.expectedStats);
    }
}

TEST(CliProcess, SmoothingGivesOneNormalPerVertex)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    CliResult result = RunInProcess({"--smooth", "--stats", box});
    EXPECT_EQ(result.code, CLI_EXIT_DONE);
    EXPECT_NE(result.out.find("\nNormals: 6\n"), std::string::npos) << result.out;
}

TEST(CliProcess, StatisticsOfEveryInputInOrder)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    std::string tri =
        WriteScratchFile("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n");
    CliResult result = RunInProcess({"--stats", tri, box});
    EXPECT_EQ(result.code, CLI_EXIT_DONE);
    std::string triStats = "Material lib: N/A\nMaterials: 1\nGroups: 1\nFacets: 1\n"
                           "Vertices: 3\nNormals: 0\nUV Coords: 1\n"
                           "MinX: 0.00000\nMinY: 0.00000\nMinZ: 0.00000\n"
                           "MaxX: 1.00000\nMaxY: 1.00000\nMaxZ: 0.00000\n";
    EXPECT_EQ(result.out, MeshNameLine(tri) + triStats + MeshNameLine(box) + boxStatisticsText);
}

TEST(CliProcess, OutputEqualsTheWriterWithTheSameWord)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    struct Row
    {
        uint32_t word;
        std::vector<std::string> switches;
    };
    const Row rows[] = {
        {0x1366, {}},
        {0x1366 | OPT_REVERSE_FACES | OPT_FLIP_UV_VERTICALLY, {"--reverse", "--flip-v"}},
        {0x0366 | OPT_SORT_BY_MATERIAL, {"--sort", "material"}},
        {0x0366 | OPT_SORT_BY_GROUP, {"--sort", "group", "--no-uvs", "--uvs"}},
        {0x1366 & ~(OPT_EXPORT_NORMALS | OPT_EXPORT_GROUP_NAMES), {"--no-normals", "--no-groups"}},
        {0x0040, {"--options", "0x40"}},
        {0x1002,
         {"--options", "0x1366", "--no-uvs", "--no-normals", "--no-faces", "--no-groups",
          "--no-materials", "--options", "0x1366"}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::PrintToString(row.switches));
        std::string output = ScratchPath("out.obj");
        std::string direct = ScratchPath("direct.obj");
        std::vector<std::string> words = row.switches;
        words.insert(words.end(), {"-o", output, box});
        CliResult result = RunInProcess(words);
        ASSERT_EQ(result.code, CLI_EXIT_DONE) << result.err;
        Mesh* mesh = ReadObjMesh(box.c_str());
        ASSERT_NE(mesh, nullptr);
        ASSERT_TRUE(WriteObjMeshFile(mesh, direct.c_str(), row.word));
        FreeMesh(mesh);
        std::string written = ReadWholeFile(output);
        EXPECT_GT(written.size(), 100u);
        EXPECT_EQ(written, ReadWholeFile(direct));
        RemoveFile(output);
        RemoveFile(direct);
    }
}

TEST(CliProcess, OutputPathGetsTheDefaultExtension)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    // the scratch names hold a "." of their own, so the bare name goes into a folder
    std::string dir = ScratchPath("dir");
    ASSERT_TRUE(MakeFolder(dir));
    std::string bare = dir + folderSeparator + "bare";
    RemoveFile(bare + ".obj");
    CliResult result = RunInProcess({"-q", "-o", bare, box});
    EXPECT_EQ(result.code, CLI_EXIT_DONE);
    EXPECT_TRUE(FileExists(bare + ".obj"));
    EXPECT_FALSE(FileExists(bare));
    RemoveFile(bare + ".obj");
}

TEST(CliProcess, OneUnreadableInputDoesNotStopTheOthers)
{
    std::string dir = ScratchPath("dir");
    ASSERT_TRUE(MakeFolder(dir));
    std::string a = WriteScratchFile("a.obj", boxObjText);
    std::string b = WriteScratchFile("b.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n");
    std::string missing = ScratchPath("missing.obj");
    CliResult result = RunInProcess({"--out-dir", dir, a, missing, b});
    EXPECT_EQ(result.code, CLI_EXIT_READ);
    EXPECT_EQ(result.err, "korvella-cli: cannot read " + missing + "\n");
    char outA[MESH_PATH_SIZE], outB[MESH_PATH_SIZE], outMissing[MESH_PATH_SIZE];
    CliArguments arguments = {};
    arguments.outputDir = dir.c_str();
    ASSERT_TRUE(MakeOutputPath(&arguments, a.c_str(), outA));
    ASSERT_TRUE(MakeOutputPath(&arguments, b.c_str(), outB));
    ASSERT_TRUE(MakeOutputPath(&arguments, missing.c_str(), outMissing));
    EXPECT_NE(ReadWholeFile(outA).find("# 3 Total Facets"), std::string::npos);
    EXPECT_NE(ReadWholeFile(outB).find("# 1 Total Facets"), std::string::npos);
    EXPECT_FALSE(FileExists(outMissing));
    RemoveFile(outA);
    RemoveFile(outB);
}

// One warning line per input that lost something, in both modes; exit codes unchanged.
TEST(CliProcess, ReadWarningsNameWhatWasLeftOut)
{
    std::string faces = WriteScratchFile("faces.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                                      "v -1 1 0\nvt 0 0\nvn 0 0 1\n"
                                                      "f 1//1 2//1 3//1\nf 1 2 3 4 5\n"
                                                      "f 1//1 2//1 9//1\n"
                                                      "f 1/1/1 2/1/1 3/1/1 4/1/1 5/1/1\n"
                                                      "f 1/1/1 2/1/1 9/1/1\n");
    std::string box = WriteScratchFile("box.obj", boxObjText);
    struct Row
    {
        std::vector<std::string> words;
        std::string facetsLine, err;
    } rows[] = {
        {{faces},
         "Facets: 1\n",
         "korvella-cli: warning: " + faces +
             ": 3 face lines in forms not read, 1 face cut to its first four corners, 1 face "
             "left out for its indices; --all-faces reads every face form\n"},
        {{"--all-faces", faces},
         "Facets: 7\n",
         "korvella-cli: warning: " + faces +
             ": 2 faces left out for their indices, 8 corners given a placeholder texture "
             "coordinate or normal\n"},
        {{box}, "Facets: 3\n", ""},
        {{"--all-faces", box}, "Facets: 3\n", ""},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.words.back() + (row.words.size() > 1 ? " --all-faces" : ""));
        std::vector<std::string> words = row.words;
        words.insert(words.begin(), "--stats");
        CliResult result = RunInProcess(words);
        EXPECT_EQ(result.code, CLI_EXIT_DONE);
        EXPECT_NE(result.out.find(row.facetsLine), std::string::npos) << result.out;
        EXPECT_EQ(result.err, row.err);
    }
}

TEST(CliProcess, UnwritableOutputIsNamedAndTheHighestCodeWins)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    std::string missing = ScratchPath("missing.obj");
    std::string noDir = ScratchPath("no_such_folder");
    char outBox[MESH_PATH_SIZE];
    CliArguments arguments = {};
    arguments.outputDir = noDir.c_str();
    ASSERT_TRUE(MakeOutputPath(&arguments, box.c_str(), outBox));

    CliResult result = RunInProcess({"--out-dir", noDir, missing, box});
    EXPECT_EQ(result.code, CLI_EXIT_WRITE);
    EXPECT_EQ(result.err, "korvella-cli: cannot read " + missing + "\n" +
                              "korvella-cli: cannot write " + outBox + "\n");
    EXPECT_FALSE(FileExists(noDir));

    // an output that exists is left as it was when the new one cannot be written
    std::string keep = WriteScratchFile("keep.obj", "precious\n");
    result = RunInProcess({"-o", keep + "/x.obj", box});
    EXPECT_EQ(result.code, CLI_EXIT_WRITE);
    EXPECT_EQ(ReadWholeFile(keep), "precious\n");
}

TEST(CliProcess, InputsSharingAnOutputFileAreRefusedBeforeAnyWork)
{
    std::string dir = ScratchPath("dir");
    ASSERT_TRUE(MakeFolder(dir));
    std::string sub = ScratchPath("sub");
    ASSERT_TRUE(MakeFolder(sub));
    std::string first = WriteScratchFile("same.obj", boxObjText);
    std::string second = sub + folderSeparator + first;
    {
        FILE* file = std::fopen(second.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(boxObjText, file);
        std::fclose(file);
    }
    CliResult result = RunInProcess({"--stats", "--out-dir", dir, first, second});
    EXPECT_EQ(result.code, CLI_EXIT_USAGE);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("would both be written to"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    char output[MESH_PATH_SIZE];
    CliArguments arguments = {};
    arguments.outputDir = dir.c_str();
    ASSERT_TRUE(MakeOutputPath(&arguments, first.c_str(), output));
    EXPECT_FALSE(FileExists(output));
    RemoveFile(second);
}

TEST(CliProcess, HelpVersionAndUsageErrors)
{
    struct Row
    {
        int code;
        std::string out;
        std::string errPart;
        std::vector<std::string> words;
    };
    const Row rows[] = {
        {CLI_EXIT_DONE, cliHelpText, "", {"--help"}},
        {CLI_EXIT_DONE, "korvella-cli " KORVELLA_VERSION "\n", "", {"--version"}},
        {CLI_EXIT_USAGE, "", "korvella-cli: no input file", {}},
        {CLI_EXIT_USAGE, "", "korvella-cli: unknown option --bogus", {"--bogus", "a.obj"}},
        {CLI_EXIT_USAGE, "", "korvella-cli: bad scale \"21\"", {"--scale", "21", "a.obj"}},
        {CLI_EXIT_USAGE, "", "korvella-cli: -o takes a single input", {"-o", "x", "a", "b"}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::PrintToString(row.words));
        CliResult result = RunInProcess(row.words);
        EXPECT_EQ(result.code, row.code);
        EXPECT_EQ(result.out, row.out);
        if (row.errPart.empty())
        {
            EXPECT_EQ(result.err, "");
        }
        else
        {
            EXPECT_EQ(result.err.find(row.errPart), 0u) << result.err;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
        }
    }
}

} // namespace

namespace
{

// Every allocation of a run fails in turn: the input is then either not read (3) or not
// written (4), never written without the operations it asked for.
TEST(CliProcess, AllocationFailureAnywhereWritesNothingOrTheWholeResult)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    std::string output = ScratchPath("out.obj");
    std::string expected = ScratchPath("expected.obj");
    const char* argv[] = {"korvella-cli", "--smooth", "--triangulate", "-o", "", box.c_str()};
    argv[4] = expected.c_str();
    ASSERT_EQ(RunCli(6, argv, stdout, stderr), CLI_EXIT_DONE);
    std::string complete = ReadWholeFile(expected);
    ASSERT_FALSE(complete.empty());
    RemoveFile(expected);

    argv[4] = output.c_str();
    CliArguments arguments;
    ParseCliArguments(6, argv, &arguments);
    ASSERT_EQ(arguments.action, CLI_RUN);
    allocationCount = 0;
    Mesh* mesh = ReadObjMesh(box.c_str());
    int readAllocations = allocationCount;
    FreeMesh(mesh);
    bool smoothingFailed = false, splittingFailed = false;
    for (int failAt = 1; failAt <= readAllocations + 40; ++failAt)
    {
        SCOPED_TRACE(failAt);
        RemoveFile(output);
        CaptureFile err("err");
        allocationCount = 0;
        allocationFailAt = failAt;
        int code = ProcessInput(&arguments, box.c_str(), stdout, err.file);
        allocationFailAt = 0;
        std::string message = err.Text();
        if (code == CLI_EXIT_DONE)
        {
            EXPECT_EQ(ReadWholeFile(output), complete);
            continue;
        }
        EXPECT_EQ(code, failAt <= readAllocations ? CLI_EXIT_READ : CLI_EXIT_WRITE) << message;
        EXPECT_FALSE(FileExists(output)) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        smoothingFailed |= message.find("korvella-cli: --smooth could not run on " + box) == 0;
        splittingFailed |= message.find("korvella-cli: --triangulate could not run on " + box) == 0;
    }
    EXPECT_TRUE(smoothingFailed);
    EXPECT_TRUE(splittingFailed);
    FreeCliArguments(&arguments);
    RemoveFile(output);
}

} // namespace

namespace
{

TEST(CliProcess, QuietTakesTheBarAwayFromATerminal)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    for (bool quiet : {false, true})
    {
        SCOPED_TRACE(quiet);
        CaptureFile terminal("terminal");
        progressStream = terminal.file;
        std::vector<std::string> words = {"--smooth", box};
        if (quiet)
            words.insert(words.begin(), "-q");
        EXPECT_EQ(RunInProcess(words).code, CLI_EXIT_DONE);
        progressStream = nullptr;
        std::string drawn = terminal.Text();
        EXPECT_EQ(drawn.find("\rScanning file..."), quiet ? std::string::npos : 0u);
        EXPECT_EQ(drawn.find("\rComputing Face Normals...") != std::string::npos, !quiet);
    }
}

} // namespace
