// The built korvella-cli run as a process: exit codes, stderr lines, stdout statistics and the
// bytes it writes, compared with golden files shared by the native and the Windows program.
#include "cli/cli.h"
#include "cli_test_util.h"

#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

size_t LineCount(const std::string& text)
{
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

// Compares text (line ends already LF) with a golden file, or rewrites the file when updating.
void ExpectGolden(const std::string& text, const std::string& name)
{
    std::string path = GoldenPath(name);
    if (UpdatingGolden())
    {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        return;
    }
    std::string expected = ReadWholeFile(path);
    ASSERT_FALSE(expected.empty()) << "missing golden file " << path;
    EXPECT_EQ(text, expected) << "differs from " << path;
}

// Line ends as this platform's text files have them: CR LF on Windows, LF elsewhere.
void ExpectPlatformLineEnds(const std::string& raw)
{
    size_t crlf = 0;
    for (size_t i = 1; i < raw.size(); ++i)
        crlf += raw[i] == '\n' && raw[i - 1] == '\r';
#ifdef _WIN32
    EXPECT_EQ(crlf, LineCount(raw));
#else
    EXPECT_EQ(crlf, 0u);
#endif
}

TEST(CliProgram, HelpAndVersion)
{
    ProgramRun help = RunProgram({"--help"}, "help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(WithUnixLineEnds(help.out), std::string(cliHelpText));
    EXPECT_EQ(help.err, "");
    ProgramRun shortHelp = RunProgram({"-h"}, "h");
    EXPECT_EQ(shortHelp.exitCode, 0);
    EXPECT_EQ(shortHelp.out, help.out);
    ProgramRun version = RunProgram({"--version"}, "version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(WithUnixLineEnds(version.out), "korvella-cli " KORVELLA_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST(CliProgram, UsageErrorsExitWithTwoAndOneLine)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    struct Row
    {
        const char* expectedErr;
        std::vector<std::string> arguments;
    };
    const Row rows[] = {
        {"korvella-cli: no input file (see --help)\n", {}},
        {"korvella-cli: no input file (see --help)\n", {"--stats", "-q"}},
        {"korvella-cli: unknown option --smoothe (see --help)\n", {"--smoothe", box}},
        {"korvella-cli: --scale needs a value\n", {box, "--scale"}},
        {"korvella-cli: bad scale \"0\" (S or X,Y,Z, each from 0.05 to 20)\n",
         {"--scale", "0", box}},
        {"korvella-cli: bad scale \"1,2\" (S or X,Y,Z, each from 0.05 to 20)\n",
         {"--scale", "1,2", box}},
        {"korvella-cli: bad option word \"0x1g\" (decimal or 0x-hexadecimal)\n",
         {"--options", "0x1g", box}},
        {"korvella-cli: bad sort order \"size\" (loaded, material or group)\n",
         {"--sort", "size", box}},
        {"korvella-cli: -o takes a single input, 2 given; use --out-dir\n",
         {"-o", "x.obj", box, box}},
        {"korvella-cli: - (standard input) given more than once\n", {"--stats", "-", box, "-"}},
        {"korvella-cli: --stats and -o - would both write to standard output\n",
         {"--stats=json", "-o", "-", box}},
        {"korvella-cli: --render needs a value\n", {box, "--render"}},
        {"korvella-cli: --render needs a non-empty value\n", {"--render", "", box}},
        {"korvella-cli: bad size \"0x10\" (WxH, each side from 1 to 8192)\n",
         {"--render", "a.png", "--size", "0x10", box}},
        {"korvella-cli: bad size \"640x8193\" (WxH, each side from 1 to 8192)\n",
         {"--render", "a.png", "--size", "640x8193", box}},
        {"korvella-cli: bad size \"64x48 \" (WxH, each side from 1 to 8192)\n",
         {"--render", "a.png", "--size", "64x48 ", box}},
        {"korvella-cli: bad view \"side\" (iso, front, back, left, right, top or bottom)\n",
         {"--render", "a.png", "--view", "side", box}},
        {"korvella-cli: --size and --view need --render\n", {"--view", "top", box}},
        {"korvella-cli: --render FILE takes a single input; with --out-dir it names a folder\n",
         {"--render", "a.png", box, box}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.expectedErr);
        ProgramRun run = RunProgram(row.arguments, "usage");
        EXPECT_EQ(run.exitCode, CLI_EXIT_USAGE);
        EXPECT_EQ(WithUnixLineEnds(run.err), row.expectedErr);
        EXPECT_EQ(run.out, "");
    }
}

TEST(CliProgram, StatisticsOfAKnownMesh)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    ProgramRun run = RunProgram({"--stats", box}, "stats");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, ""); // no progress bar when stderr is not a terminal
    std::string name = std::string("Mesh Name: ") + MeshNameFromPath(box.c_str()) + "\n";
    EXPECT_EQ(WithUnixLineEnds(run.out), name + boxStatisticsText);
    ExpectPlatformLineEnds(run.out);
}

// One run of the program on a golden input, its output file compared with a golden file.
struct GoldenCase
{
    const char* name; // the golden file is NAME.expected.obj
    const char* input;
    std::vector<std::string> arguments;
};

const GoldenCase goldenCases[] = {
    {"torus_default", "torus.obj", {}},
    {"torus_smooth_compact_triangulate", "torus.obj", {"--smooth", "--compact", "--triangulate"}},
    {"torus_compact_by_material", "torus.obj", {"--compact", "--sort", "material"}},
    {"torus_scaled_flipped_reversed",
     "torus.obj",
     {"--scale", "2,0.5,1.25", "--flip-u", "--flip-v", "--reverse", "--sort", "group"}},
    {"torus_triangulate_smooth_no_uvs",
     "torus.obj",
     {"--triangulate", "--smooth", "--scale", "0.3", "--no-uvs", "--no-materials"}},
    {"torus_word_without_faces", "torus.obj", {"--options", "0x0026", "--smooth"}},
    {"plain_smooth_by_group", "torus_no_normals.obj", {"--smooth", "--sort", "group", "-q"}},
    {"plain_groups_only", "torus_no_normals.obj", {"--options", "4416", "--no-materials"}},
};

TEST(CliProgram, WrittenBytesMatchGoldenFiles)
{
    for (const GoldenCase& row : goldenCases)
    {
        SCOPED_TRACE(row.name);
        std::string output = ScratchPath(row.name) + ".obj";
        RemoveFile(output);
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.end(), {"-o", output, GoldenPath(row.input)});
        ProgramRun run = RunProgram(arguments, row.name);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, "");
        std::string raw = ReadWholeFile(output);
        ExpectPlatformLineEnds(raw);
        ExpectGolden(WithUnixLineEnds(raw), std::string(row.name) + ".expected.obj");
        RemoveFile(output);
    }
}

TEST(CliProgram, StatisticsAfterOperationsMatchGoldenText)
{
    ProgramRun run = RunProgram({"--stats", "--smooth", "--triangulate", "--scale", "1.5,2,0.25",
                                 "--compact", GoldenPath("torus.obj")},
                                "stats");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(LineCount(run.out), 1u + STATISTICS_LINE_COUNT);
    ExpectGolden(WithUnixLineEnds(run.out), "torus_stats.expected.txt");
}

TEST(CliProgram, SeveralInputsWithOneUnreadable)
{
    std::string dir = ScratchPath("dir");
    ASSERT_TRUE(MakeFolder(dir));
    std::string box = WriteScratchFile("box.obj", boxObjText);
    std::string missing = ScratchPath("missing.obj");
    ProgramRun run =
        RunProgram({"--out-dir", dir, "--stats", box, missing, GoldenPath("torus.obj")}, "many");
    EXPECT_EQ(run.exitCode, CLI_EXIT_READ);
    EXPECT_EQ(WithUnixLineEnds(run.err), "korvella-cli: cannot read " + missing + "\n");
    EXPECT_EQ(LineCount(run.out), 2u * (1 + STATISTICS_LINE_COUNT));
    CliArguments arguments = {};
    arguments.outputDir = dir.c_str();
    char boxOut[MESH_PATH_SIZE], torusOut[MESH_PATH_SIZE];
    ASSERT_TRUE(MakeOutputPath(&arguments, box.c_str(), boxOut));
    ASSERT_TRUE(MakeOutputPath(&arguments, "torus.obj", torusOut));
    EXPECT_NE(ReadWholeFile(boxOut).find("# 3 Total Facets"), std::string::npos);
    if (!UpdatingGolden())
    {
        EXPECT_EQ(WithUnixLineEnds(ReadWholeFile(torusOut)),
                  ReadWholeFile(GoldenPath("torus_default.expected.obj")));
    }
    RemoveFile(boxOut);
    RemoveFile(torusOut);
}

TEST(CliProgram, UnwritableOutputFolder)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    std::string noDir = ScratchPath("no_such_folder");
    CliArguments arguments = {};
    arguments.outputDir = noDir.c_str();
    char output[MESH_PATH_SIZE];
    ASSERT_TRUE(MakeOutputPath(&arguments, box.c_str(), output));
    ProgramRun run = RunProgram({"--out-dir", noDir, box}, "nodir");
    EXPECT_EQ(run.exitCode, CLI_EXIT_WRITE);
    EXPECT_EQ(WithUnixLineEnds(run.err),
              "korvella-cli: cannot write " + std::string(output) + "\n");
    EXPECT_FALSE(FileExists(noDir));
}

TEST(CliProgram, OverlongInputPathIsAReadFailure)
{
    std::string longPath = std::string(300, 'p') + ".obj";
    ProgramRun run = RunProgram({"--stats", longPath}, "long");
    EXPECT_EQ(run.exitCode, CLI_EXIT_READ);
    EXPECT_EQ(WithUnixLineEnds(run.err),
              "korvella-cli: cannot read " + longPath + ": path too long\n");
    EXPECT_EQ(run.out, "");
}

} // namespace
