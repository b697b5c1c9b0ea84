// Parsing of the batch tool's command line: actions, steps, option word, usage errors.
#include "cli/cli.h"

#include "export/export.h"
#include "ops/ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

// Parses a command line given as one string of blank-separated words (no quoting needed here).
struct Parsed
{
    CliArguments arguments;
    std::vector<std::string> words;
    std::vector<const char*> argv;

    explicit Parsed(const std::string& line)
    {
        words.push_back("korvella-cli");
        size_t start = 0;
        while (start < line.size())
        {
            size_t end = line.find(' ', start);
            if (end == std::string::npos)
                end = line.size();
            if (end > start)
                words.push_back(line.substr(start, end - start));
            start = end + 1;
        }
        for (const std::string& word : words)
            argv.push_back(word.c_str());
        ParseCliArguments(int(argv.size()), argv.data(), &arguments);
    }
    ~Parsed()
    {
        FreeCliArguments(&arguments);
    }
};

TEST(CliArguments, OptionWordFromSwitchesInCommandLineOrder)
{
    struct Row
    {
        uint32_t expected;
        const char* line;
    };
    const Row rows[] = {
        {0x1366, "a.obj"},
        {0x1366 & ~OPT_EXPORT_UV_COORDS, "--no-uvs a.obj"},
        {0x1366, "--no-uvs --uvs a.obj"},
        {0x1366 & ~OPT_EXPORT_UV_COORDS, "--uvs --no-uvs a.obj"},
        {0x1366 & ~(OPT_EXPORT_NORMALS | OPT_EXPORT_FACES | OPT_EXPORT_GROUP_NAMES |
                    OPT_EXPORT_MATERIALS),
         "--no-normals --no-faces --no-groups --no-materials a.obj"},
        {0x1366 | OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY | OPT_REVERSE_FACES,
         "--flip-u --flip-v --reverse a.obj"},
        {0x0366 | OPT_SORT_BY_MATERIAL, "--sort material a.obj"},
        {0x0366 | OPT_SORT_BY_GROUP, "--sort material --sort group a.obj"},
        {0x1366, "--sort group --sort loaded a.obj"},
        // the option word is where the switches start, wherever it stands
        {0x0002 | OPT_EXPORT_NORMALS, "--normals --options 2 a.obj"},
        {0x0C00, "--options 0xC00 a.obj"},
        {OPT_SORT_BY_GROUP, "--options 0xC00 --sort group a.obj"}, // one sort bit remains
        {0x0000, "--options 0x40 --no-faces a.obj"},
        {0xFFFFFFFF, "--options 4294967295 a.obj"},
        {OPT_EXPORT_UV_COORDS | OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS | OPT_EXPORT_FACES |
             OPT_EXPORT_NORMALS,
         "--options 0 --uvs --normals --faces --groups --materials --options 0x300 a.obj"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.line);
        Parsed parsed(row.line);
        ASSERT_EQ(parsed.arguments.action, CLI_RUN) << parsed.arguments.message;
        EXPECT_EQ(parsed.arguments.exportOptions, row.expected);
    }
}

TEST(CliArguments, StepsKeepCommandLineOrderAndRepeat)
{
    Parsed parsed("--triangulate x.obj --scale 2 --smooth --compact --scale 0.5,1,20 --smooth");
    ASSERT_EQ(parsed.arguments.action, CLI_RUN) << parsed.arguments.message;
    const CliOperation expected[] = {CLI_TRIANGULATE, CLI_SCALE, CLI_SMOOTH,
                                     CLI_COMPACT,     CLI_SCALE, CLI_SMOOTH};
    ASSERT_EQ(parsed.arguments.stepCount, 6u);
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(parsed.arguments.steps[i].operation, expected[i]) << "step " << i;
    EXPECT_EQ(parsed.arguments.steps[1].scale.x, 2.0f);
    EXPECT_EQ(parsed.arguments.steps[1].scale.z, 2.0f);
    EXPECT_EQ(parsed.arguments.steps[4].scale.x, 0.5f);
    EXPECT_EQ(parsed.arguments.steps[4].scale.y, 1.0f);
    EXPECT_EQ(parsed.arguments.steps[4].scale.z, 20.0f);
    ASSERT_EQ(parsed.arguments.inputCount, 1u);
    EXPECT_STREQ(parsed.arguments.inputs[0], "x.obj");
}

TEST(CliArguments, InputsOutputsAndFlags)
{
    Parsed parsed("-q a.obj --stats -- -b.obj --smooth - --out-dir");
    ASSERT_EQ(parsed.arguments.action, CLI_RUN) << parsed.arguments.message;
    ASSERT_EQ(parsed.arguments.inputCount, 5u);
    const char* expected[] = {"a.obj", "-b.obj", "--smooth", "-", "--out-dir"};
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_STREQ(parsed.arguments.inputs[i], expected[i]);
    EXPECT_TRUE(parsed.arguments.quiet);
    EXPECT_TRUE(parsed.arguments.printStats);
    EXPECT_EQ(parsed.arguments.stepCount, 0u);
    EXPECT_EQ(parsed.arguments.outputPath, nullptr);

    Parsed single("-o out/b a.obj");
    ASSERT_EQ(single.arguments.action, CLI_RUN);
    EXPECT_STREQ(single.arguments.outputPath, "out/b");
    Parsed many("--out-dir out a.obj b.obj c.obj");
    ASSERT_EQ(many.arguments.action, CLI_RUN);
    EXPECT_STREQ(many.arguments.outputDir, "out");
    EXPECT_EQ(many.arguments.inputCount, 3u);
}

TEST(CliArguments, HelpAndVersionNeedNoInput)
{
    struct Row
    {
        CliAction expected;
        const char* line;
    };
    const Row rows[] = {
        {CLI_SHOW_HELP, "-h"},
        {CLI_SHOW_HELP, "--help"},
        {CLI_SHOW_HELP, "--version --help a.obj"},
        {CLI_SHOW_HELP, "--help --version"},
        {CLI_SHOW_VERSION, "--version"},
        {CLI_SHOW_VERSION, "a.obj --version -o x"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.line);
        Parsed parsed(row.line);
        EXPECT_EQ(parsed.arguments.action, row.expected);
    }
}

TEST(CliArguments, UsageErrorsNameTheirCause)
{
    struct Row
    {
        const char* messagePart;
        const char* line;
    };
    const Row rows[] = {
        {"no input file", ""},
        {"no input file", "--smooth --stats"},
        {"unknown option --smoth", "--smoth a.obj"},
        {"unknown option -x", "a.obj -x"},
        {"unknown option --scale=2", "--scale=2 a.obj"},
        {"--scale needs a value", "a.obj --scale"},
        {"bad scale \"30\"", "--scale 30 a.obj"},
        {"bad scale \"0.04\"", "--scale 0.04 a.obj"},
        {"bad scale \"1,2\"", "--scale 1,2 a.obj"},
        {"bad scale \"1,2,3,4\"", "--scale 1,2,3,4 a.obj"},
        {"bad scale \"1,,3\"", "--scale 1,,3 a.obj"},
        {"bad scale \"2x\"", "--scale 2x a.obj"},
        {"bad scale \"nan\"", "--scale nan a.obj"},
        {"bad scale \"-1\"", "--scale -1 a.obj"},
        {"bad option word \"0x\"", "--options 0x a.obj"},
        {"bad option word \"12a\"", "--options 12a a.obj"},
        {"bad option word \"-1\"", "--options -1 a.obj"},
        {"bad option word \"0x100000000\"", "--options 0x100000000 a.obj"},
        {"bad option word \"4294967296\"", "--options 4294967296 a.obj"},
        {"--options needs a value", "a.obj --options"},
        {"bad sort order \"name\"", "--sort name a.obj"},
        {"-o takes a single input, 2 given", "-o x a.obj b.obj"},
        {"only one of -o and --out-dir", "-o x --out-dir y a.obj"},
        {"only one of -o and --out-dir", "-o x -o y a.obj"},
        {"-o needs a value", "a.obj -o"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.line);
        Parsed parsed(row.line);
        ASSERT_EQ(parsed.arguments.action, CLI_USAGE_ERROR);
        std::string message = parsed.arguments.message;
        EXPECT_NE(message.find(row.messagePart), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << "one line";
        EXPECT_EQ(message.rfind("korvella-cli: ", 0), 0u) << message;
    }
}

TEST(CliArguments, EmptyValueOfOutputIsRefused)
{
    const char* argv[] = {"korvella-cli", "--out-dir", "", "a.obj"};
    CliArguments arguments;
    ParseCliArguments(4, argv, &arguments);
    EXPECT_EQ(arguments.action, CLI_USAGE_ERROR);
    EXPECT_NE(std::string(arguments.message).find("--out-dir needs a non-empty value"),
              std::string::npos);
    FreeCliArguments(&arguments);
}

// The batch tool takes exactly the factors the scale dialog's mesh record takes: the floats
// next to both ends of the range are refused outside it and taken inside, by both.
TEST(CliArguments, ScaleFactorsFollowTheDialogRange)
{
    Mesh mesh = {};
    for (float limit : {SCALE_FACTOR_MIN, SCALE_FACTOR_MAX})
        for (int step = -3; step <= 3; ++step)
        {
            float factor = limit;
            for (int k = 0; k < std::abs(step); ++k)
                factor = std::nextafter(factor, step < 0 ? 0.0f : 100.0f);
            char text[32];
            std::snprintf(text, sizeof text, "%.9g", double(factor));
            SCOPED_TRACE(text);
            Vec3 parsed = {};
            bool accepted = ParseScaleFactors(text, &parsed);
            bool inside = limit == SCALE_FACTOR_MIN ? step >= 0 : step <= 0;
            EXPECT_EQ(accepted, inside);
            EXPECT_EQ(accepted, SetMeshScale(&mesh, factor, factor, factor));
            if (accepted)
            {
                EXPECT_EQ(parsed.x, factor);
            }
        }
}

TEST(CliArguments, ScaleFactorsAtAndAcrossTheLimits)
{
    struct Row
    {
        bool valid;
        float x, y, z;
        const char* text;
    };
    const Row rows[] = {
        {true, 0.05f, 0.05f, 0.05f, "0.05"},
        {true, 20.0f, 20.0f, 20.0f, "20"},
        {true, 20.0f, 20.0f, 20.0f, "2e1"},
        {true, 0.5f, 0.5f, 0.5f, ".5"},
        {true, 1.0f, 0.25f, 3.0f, "1,0.25,3"},
        {false, 0, 0, 0, "0.0499"},
        {false, 0, 0, 0, "20.001"},
        {false, 0, 0, 0, ""},
        {false, 0, 0, 0, " 1"},
        {false, 0, 0, 0, "+1"},
        {false, 0, 0, 0, "0x1p1"},
        {false, 0, 0, 0, "inf"},
        {false, 0, 0, 0, "1,1,1,"},
        {false, 0, 0, 0, "1,1"},
        {false, 0, 0, 0, "1;1;1"},
        {false, 0, 0, 0, "1,21,1"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.text);
        Vec3 scale = {-1, -1, -1};
        ASSERT_EQ(ParseScaleFactors(row.text, &scale), row.valid);
        if (!row.valid)
            continue;
        EXPECT_EQ(scale.x, row.x);
        EXPECT_EQ(scale.y, row.y);
        EXPECT_EQ(scale.z, row.z);
    }
}

TEST(CliArguments, OptionWordNumbers)
{
    struct Row
    {
        bool valid;
        uint32_t word;
        const char* text;
    };
    const Row rows[] = {
        {true, 0x1366, "0x1366"}, {true, 0x1366, "4966"}, {true, 0xABCD, "0XabCd"},
        {true, 0, "0"},           {true, 12, "012"},      {false, 0, ""},
        {false, 0, " 12"},        {false, 0, "+12"},      {false, 0, "0x-1"},
        {false, 0, "0b101"},      {false, 0, "1.0"},      {false, 0, "99999999999999999999999"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.text);
        uint32_t word = 0xDEADBEEF;
        ASSERT_EQ(ParseOptionWord(row.text, &word), row.valid);
        if (row.valid)
        {
            EXPECT_EQ(word, row.word);
        }
    }
}

TEST(CliArguments, OutputPathOfEachInput)
{
    struct Row
    {
        const char* expected; // "/" stands for the platform's folder separator
        const char* line;
        const char* input;
    };
    const Row rows[] = {
        {"", "--stats a.obj", "models\\a.obj"},
        {"out/b", "-o out/b a.obj", "models\\a.obj"},
        {"out/chair.obj", "--out-dir out a.obj", "models\\chair.obj"},
        {"out/chair.obj", "--out-dir out/ a.obj", "chair.obj"},
        {"out/archive.tar.obj", "--out-dir out a.obj", "archive.tar.obj"},
        {"out/InvalidMeshName.obj", "--out-dir out a.obj", "models\\.obj"},
        {"out/noext.obj", "--out-dir out a.obj", "noext"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.line);
        Parsed parsed(row.line);
        char path[MESH_PATH_SIZE];
        ASSERT_TRUE(MakeOutputPath(&parsed.arguments, row.input, path));
        std::string expected = row.expected;
#ifdef _WIN32
        if (parsed.arguments.outputDir && expected.find("out/") == 0 &&
            std::string(parsed.arguments.outputDir) == "out")
            expected[3] = '\\';
#endif
        EXPECT_EQ(std::string(path), expected);
    }
}

TEST(CliArguments, OutputPathThatDoesNotFitIsRefused)
{
    std::string dir(MESH_PATH_SIZE - 10, 'd');
    std::string line = "--out-dir " + dir + " a.obj";
    Parsed parsed(line);
    char path[MESH_PATH_SIZE];
    EXPECT_TRUE(MakeOutputPath(&parsed.arguments, "abcd.obj", path)); // 246 + 1 + 4 + 4 = 255
    EXPECT_EQ(std::string(path).size(), size_t(MESH_PATH_SIZE - 1));
    EXPECT_FALSE(MakeOutputPath(&parsed.arguments, "abcde.obj", path));
    EXPECT_STREQ(path, "");

    // a folder name longer than the whole buffer
    Parsed longDir("--out-dir " + std::string(MESH_PATH_SIZE + 40, 'd') + " a.obj");
    EXPECT_FALSE(MakeOutputPath(&longDir.arguments, "a.obj", path));
    EXPECT_STREQ(path, "");

    Parsed longOutput("-o " + std::string(MESH_PATH_SIZE, 'o') + " a.obj");
    EXPECT_FALSE(MakeOutputPath(&longOutput.arguments, "a.obj", path));
}

} // namespace
