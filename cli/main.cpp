// korvella-cli: reads OBJ meshes, runs the mesh operations on them, and writes them again.
#include "cli.h"

#ifdef _WIN32
#include <io.h>
#define IsTerminal(stream) (_isatty(_fileno(stream)) != 0)
#else
#include <csignal>
#include <unistd.h>
#define IsTerminal(stream) (isatty(fileno(stream)) != 0)
#endif

int main(int argc, char** argv)
{
#ifndef _WIN32
    // past a file-size limit a write then fails (exit 4, the old file kept) instead of the
    // signal ending the program with a temporary file left behind
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // the bar is for people watching; -q takes it away again in RunCli
    if (IsTerminal(stderr))
        progressStream = stderr;
    return RunCli(argc, argv, stdout, stderr);
}
