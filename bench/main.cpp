// korvella_bench: runs every registered benchmark and prints its figures.
//
// Usage: korvella_bench [--quick] [--filter TEXT] [--only NAME] [--suffix TEXT] [--list]
// --filter runs the benchmarks whose name contains TEXT, --only the one named NAME (repeated,
// the ones named); --suffix
// is appended to every figure name (the Wine run reports import_mbps_wine64).
// Progress notes go to stderr; the run ends with one "name value unit" line per figure on
// stdout, so that runs can be compared line by line.
#include "bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace
{

struct BenchEntry
{
    const char* name;
    BenchFunction function;
};

struct Figure
{
    std::string name;
    double value;
    std::string unit;
};

std::vector<BenchEntry>& Benchmarks()
{
    static std::vector<BenchEntry> list;
    return list;
}

std::vector<Figure> figures;
std::string figureSuffix;

} // namespace

BenchRegistrar::BenchRegistrar(const char* name, BenchFunction function)
{
    Benchmarks().push_back(BenchEntry{name, function});
}

void ReportFigure(const char* name, double value, const char* unit)
{
    figures.push_back(Figure{name + figureSuffix, value, unit});
    std::fprintf(stderr, "  %s%s %.6g %s\n", name, figureSuffix.c_str(), value, unit);
}

double BenchSeconds()
{
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double FileBytes(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    std::fseek(file, 0, SEEK_END);
    double bytes = double(std::ftell(file));
    std::fclose(file);
    return bytes;
}

double BenchKernelSeconds()
{
#ifdef _WIN32
    return 0;
#else
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
#endif
}

std::string BenchScratchPath(const std::string& fileName)
{
    const char* folder = "bench_scratch";
#ifdef _WIN32
    mkdir(folder);
#else
    mkdir(folder, 0755);
#endif
    return std::string(folder) + "/" + fileName;
}

int main(int argc, char** argv)
{
    BenchContext context{false};
    std::string filter;
    std::vector<std::string> only;
    bool listOnly = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--quick") == 0)
            context.quick = true;
        else if (std::strcmp(argv[i], "--filter") == 0 && i + 1 < argc)
            filter = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only.push_back(argv[++i]);
        else if (std::strcmp(argv[i], "--suffix") == 0 && i + 1 < argc)
            figureSuffix = argv[++i];
        else if (std::strcmp(argv[i], "--list") == 0)
            listOnly = true;
        else
        {
            std::fprintf(stderr, "usage: korvella_bench [--quick] [--filter TEXT] [--only NAME] "
                                 "[--suffix TEXT] [--list]\n");
            return 2;
        }
    }
    std::vector<BenchEntry> list = Benchmarks();
    std::sort(list.begin(), list.end(),
              [](const BenchEntry& a, const BenchEntry& b)
              { return std::strcmp(a.name, b.name) < 0; });
    for (const BenchEntry& entry : list)
    {
        if (!filter.empty() && std::strstr(entry.name, filter.c_str()) == nullptr)
            continue;
        if (!only.empty() && std::find(only.begin(), only.end(), entry.name) == only.end())
            continue;
        if (listOnly)
        {
            std::printf("%s\n", entry.name);
            continue;
        }
        std::fprintf(stderr, "bench %s%s\n", entry.name, context.quick ? " (quick)" : "");
        entry.function(context);
    }
    for (const Figure& figure : figures)
        std::printf("%s %.6g %s\n", figure.name.c_str(), figure.value, figure.unit.c_str());
    return 0;
}
