// korvella-cli --render run as a process: option errors, where pictures go, and the PNG bytes
// compared with a golden file that the native and the Windows program must both reproduce.
#include "cli/cli.h"
#include "cli_test_util.h"

#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{

// The picture of the smoothed torus: the same bytes from every build of the program.
TEST(CliRenderProgram, PictureMatchesTheGoldenFile)
{
    std::string picture = ScratchPath("torus.png");
    ProgramRun run = RunProgram({"--smooth", "--render", picture, "--size", "160x120", "--view",
                                 "iso", GoldenPath("torus.obj")},
                                "golden");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    std::string bytes = ReadWholeFile(picture);
    ASSERT_FALSE(bytes.empty());
    std::string golden = GoldenPath("torus_smooth_iso.png");
    if (UpdatingGolden())
    {
        FILE* file = std::fopen(golden.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    EXPECT_TRUE(bytes == ReadWholeFile(golden)) << "differs from " << golden;
    RemoveFile(picture);
}

TEST(CliRenderProgram, WithOutDirOnePicturePerInputNamedAfterTheMesh)
{
    std::string dir = ScratchPath("objs"), pictures = ScratchPath("pictures");
    ASSERT_TRUE(MakeFolder(dir));
    ASSERT_TRUE(MakeFolder(pictures));
    std::string box = WriteScratchFile("box.obj", boxObjText), torus = GoldenPath("torus.obj");
    ProgramRun run = RunProgram(
        {"--out-dir", dir, "--render", pictures, "--size", "64x48", box, torus}, "outdir");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    // each picture equals the one the single input gives with --render FILE
    for (const std::string& input : {box, torus})
    {
        CliArguments arguments = {};
        arguments.outputDir = dir.c_str();
        arguments.renderPath = pictures.c_str();
        char path[MESH_PATH_SIZE];
        ASSERT_TRUE(MakeRenderPath(&arguments, input.c_str(), path));
        std::string alone = ScratchPath("alone.png");
        EXPECT_EQ(RunProgram({"--render", alone, "--size", "64x48", input}, "alone").exitCode, 0);
        std::string bytes = ReadWholeFile(path);
        EXPECT_EQ(bytes.compare(0, 4, "\x89PNG"), 0) << path;
        EXPECT_TRUE(bytes == ReadWholeFile(alone)) << path;
        RemoveFile(path);
        RemoveFile(alone);
        ASSERT_TRUE(MakeOutputPath(&arguments, input.c_str(), path));
        RemoveFile(path);
    }
}

TEST(CliRenderProgram, MeshWithoutVerticesHasNoPicture)
{
    std::string empty = WriteScratchFile("empty.obj", "# no vertices\nvn 0 0 1\n");
    std::string picture = ScratchPath("empty.png");
    ProgramRun run = RunProgram({"--render", picture, empty}, "empty");
    EXPECT_EQ(run.exitCode, CLI_EXIT_WRITE);
    EXPECT_EQ(WithUnixLineEnds(run.err),
              "korvella-cli: no picture of " + empty + ": the mesh has no vertices\n");
    EXPECT_FALSE(FileExists(picture));
}

} // namespace
