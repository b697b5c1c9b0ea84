// Capture files, process runs and golden paths for the batch tool's tests.
#include "cli_test_util.h"

#include "tests/test_util.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

CaptureFile::CaptureFile(const std::string& tag) : path(ScratchPath(tag))
{
    file = std::fopen(path.c_str(), "w+b");
}

CaptureFile::~CaptureFile()
{
    if (file)
        std::fclose(file);
    std::remove(path.c_str());
}

std::string CaptureFile::Text()
{
    if (!file)
        return "<no capture file>";
    std::fflush(file);
    return ReadWholeFile(path);
}

std::string WithUnixLineEnds(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            result += text[i];
    return result;
}

// A path given at build time, as this platform's file functions take it. The Windows programs
// run under Wine, where drive Z: is the root of the Linux file system.
static std::string HostPath(const char* buildPath)
{
#ifdef _WIN32
    std::string path = buildPath;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
#else
    return buildPath;
#endif
}

std::string GoldenPath(const std::string& name)
{
#ifdef _WIN32
    return HostPath(KORVELLA_CLI_GOLDEN_DIR) + "\\" + name;
#else
    return HostPath(KORVELLA_CLI_GOLDEN_DIR) + "/" + name;
#endif
}

bool UpdatingGolden()
{
    const char* value = std::getenv("KORVELLA_UPDATE_GOLDEN");
    return value && std::strcmp(value, "1") == 0;
}

#ifdef _WIN32
// Runs the program with fds 1 and 2 pointed at the files for the time of the run.
static int SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& outPath, const std::string& errPath)
{
    std::vector<std::string> quoted;
    quoted.push_back("\"" + program + "\"");
    for (const std::string& argument : arguments)
        quoted.push_back(argument.empty() || argument.find(' ') != std::string::npos
                             ? "\"" + argument + "\""
                             : argument);
    std::vector<const char*> argv;
    for (const std::string& argument : quoted)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    int savedOut = _dup(1), savedErr = _dup(2);
    // text mode, as a shell's redirection gives: the child inherits the mode with the fd
    int out = _open(outPath.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, 0666);
    int err = _open(errPath.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, 0666);
    int code = -1;
    if (out >= 0 && err >= 0 && _dup2(out, 1) == 0 && _dup2(err, 2) == 0)
        code = static_cast<int>(_spawnv(_P_WAIT, program.c_str(), argv.data()));
    _dup2(savedOut, 1);
    _dup2(savedErr, 2);
    _close(savedOut);
    _close(savedErr);
    if (out >= 0)
        _close(out);
    if (err >= 0)
        _close(err);
    return code;
}
#else
static int SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& outPath, const std::string& errPath)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0666);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0666);
    pid_t child;
    int started = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
#endif

ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::string& tag)
{
    return RunCommand(HostPath(KORVELLA_CLI_PROGRAM), arguments, tag);
}

std::string CliProgramPath()
{
    return HostPath(KORVELLA_CLI_PROGRAM);
}

ProgramRun RunCommand(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& tag)
{
    std::string outPath = ScratchPath(tag + "_stdout");
    std::string errPath = ScratchPath(tag + "_stderr");
    ProgramRun run;
    run.exitCode = SpawnProgram(program, arguments, outPath, errPath);
    run.out = ReadWholeFile(outPath);
    run.err = ReadWholeFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

bool MakeFolder(const std::string& path)
{
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0777);
#endif
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFDIR);
}

void RemoveFile(const std::string& path)
{
    std::remove(path.c_str());
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

const char boxObjText[] = "mtllib box.mtl\n"
                          "v 0 0 0\n"
                          "v 1 0 0\n"
                          "v 1 1 0\n"
                          "v 0 1 0\n"
                          "v 0 0 1\n"
                          "v 1 -0.5 2\n"
                          "vt 0 0\n"
                          "vt 1 0\n"
                          "vt 1 1\n"
                          "vt 0 1\n"
                          "vn 0 0 1\n"
                          "vn 0 0 1\n"
                          "vn 0 1 0\n"
                          "g front\n"
                          "usemtl red\n"
                          "f 1/1/1 2/2/1 3/3/2 4/4/2\n"
                          "g side\n"
                          "usemtl blue\n"
                          "f 1/1/3 5/2/3 6/3/3\n"
                          "usemtl red\n"
                          "f 2/1/3 6/2/3 3/3/3\n";

const char boxStatisticsText[] = "Material lib: box.mtl\n"
                                 "Materials: 3\n"
                                 "Groups: 3\n"
                                 "Facets: 3\n"
                                 "Vertices: 6\n"
                                 "Normals: 3\n"
                                 "UV Coords: 4\n"
                                 "MinX: 0.00000\n"
                                 "MinY: -0.50000\n"
                                 "MinZ: 0.00000\n"
                                 "MaxX: 1.00000\n"
                                 "MaxY: 1.00000\n"
                                 "MaxZ: 2.00000\n";
