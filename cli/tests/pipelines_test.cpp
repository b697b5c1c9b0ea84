// korvella-cli in pipelines: the cases that need other users, links, resource limits and
// devices run in pipelines_test.py, which runs the built program; the Windows rule on
// read-only files is checked here under Wine.
#include "cli/cli.h"
#include "cli_test_util.h"

#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#endif

namespace
{

#ifndef _WIN32
TEST(CliPipelines, PermissionsLinksLimitsStreamsAndJson)
{
    std::string script = GoldenPath("../pipelines_test.py");
    ProgramRun run =
        RunCommand("/usr/bin/env", {"python3", script, CliProgramPath(), GoldenPath("")}, "pipes");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(" checks passed, 0 failed\n"), std::string::npos) << run.out;
    std::printf("%s", run.out.c_str());
}
#else
TEST(CliPipelines, ReadOnlyAttributeRefusesTheWrite)
{
    std::string box = WriteScratchFile("box.obj", boxObjText);
    std::string target = WriteScratchFile("locked.obj", "old contents\n");
    ASSERT_EQ(_chmod(target.c_str(), _S_IREAD), 0);
    ProgramRun run = RunProgram({"-o", target, box}, "locked");
    EXPECT_EQ(run.exitCode, CLI_EXIT_WRITE);
    EXPECT_EQ(WithUnixLineEnds(run.err), "korvella-cli: cannot write " + target + "\n");
    EXPECT_EQ(ReadWholeFile(target), "old contents\n");
    _chmod(target.c_str(), _S_IREAD | _S_IWRITE);
    RemoveFile(target);
}
#endif

} // namespace
