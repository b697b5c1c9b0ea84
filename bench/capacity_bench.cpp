// The largest benchmark torus korvella-cli carries through import, Quads to Triangles, Smooth
// Seams, Compact Normals and export while its address space is limited to 3 GiB. That stands
// in for Korvella.exe, a 32-bit program that gets 4 GiB on 64-bit Windows, less what the
// system's libraries, its own image and the heap's fragmentation take.
//
// Each size is tried in a child process of its own (setrlimit, then the built korvella-cli),
// by bisection in steps of a million facets. A try writes the file first, about 136 bytes per
// facet, and the output beside it; both are removed afterwards.
#include "bench.h"
#include "generate.h"

#ifndef _WIN32
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

const rlim_t addressLimit = rlim_t(3) << 30;
const uint32_t stepFacets = 1000000;
// 32 million facets cannot fit: the torus has half as many quads, and its 48 million
// triangles of 72 bytes alone are more than 3 GiB.
const uint32_t mostSteps = 32;

// Runs korvella-cli on input with the address space limited; its exit code, or -1 when it
// did not end normally.
int RunLimited(const std::string& input, const std::string& output)
{
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0)
    {
        struct rlimit limit = {addressLimit, addressLimit};
        if (setrlimit(RLIMIT_AS, &limit) == 0)
            execl(KORVELLA_CLI_PROGRAM, "korvella-cli", "-q", "--triangulate", "--smooth",
                  "--compact", "-o", output.c_str(), input.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Whether the scratch folder has room for the input and output of a try.
bool RoomFor(const std::string& path, uint32_t facets)
{
    struct statvfs disk;
    return statvfs(path.c_str(), &disk) == 0 &&
           double(disk.f_bavail) * double(disk.f_frsize) > 400.0 * facets;
}

// 1 when a torus of this many facets goes through, 0 when korvella-cli gives up, -1 when the
// try could not be made.
int Try(uint32_t facets)
{
    std::string input = BenchScratchPath("capacity.obj");
    std::string output = BenchScratchPath("capacity_out.obj");
    if (!RoomFor(input.substr(0, input.rfind('/')), facets))
    {
        std::fprintf(stderr, "capacity: no disk room for %u facets\n", facets);
        return -1;
    }
    double start = BenchSeconds();
    int result = -1, code = -1;
    if (WriteGeneratedObj(input.c_str(), facets, GENERATED_FACES_VTN))
    {
        code = RunLimited(input, output);
        result = code == 0 ? 1 : code > 0 && code != 127 ? 0 : -1;
    }
    std::remove(input.c_str());
    std::remove(output.c_str());
    std::fprintf(stderr, "capacity: %u facets: %s (exit %d, %.0f s)\n", facets,
                 result > 0    ? "done"
                 : result == 0 ? "refused"
                               : "not tried",
                 code, BenchSeconds() - start);
    return result;
}

} // namespace

KORVELLA_BENCH(capacity)
{
    if (context.quick)
    {
        std::fprintf(stderr, "capacity: skipped with --quick (files of gigabytes)\n");
        return;
    }
    uint32_t fits = 0, fails = mostSteps; // in steps; 0 facets fit, mostSteps cannot
    while (fails - fits > 1)
    {
        uint32_t middle = (fits + fails) / 2;
        int result = Try(middle * stepFacets);
        if (result < 0)
            return;
        (result ? fits : fails) = middle;
    }
    ReportFigure("capacity_3gib_facets", double(fits) * stepFacets, "facets");
}
#endif
