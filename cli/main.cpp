// korvella-cli: reads OBJ meshes, runs the mesh operations on them, and writes them again.
#include "cli.h"

#ifdef _WIN32
#include <io.h>
#define IsTerminal(stream) (_isatty(_fileno(stream)) != 0)
#else
#include <unistd.h>
#define IsTerminal(stream) (isatty(fileno(stream)) != 0)
#endif

#include <cstring>

// True when the arguments ask for silence; the full parse happens in RunCli.
static bool QuietRequested(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "-q") == 0 || std::strcmp(argv[i], "--quiet") == 0)
            return true;
    }
    return false;
}

int main(int argc, char** argv)
{
    if (!QuietRequested(argc, argv) && IsTerminal(stderr))
        progressStream = stderr;
    return RunCli(argc, argv, stdout, stderr);
}
