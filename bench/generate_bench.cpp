// Speed of the mesh generator, and a check that its files hold what it reports.
#include "bench.h"
#include "generate.h"

#include <cstdio>

KORVELLA_BENCH(generate)
{
    uint32_t facets = context.quick ? 20000 : 200000;
    std::string path = BenchScratchPath("generate.obj");
    GeneratedObjInfo info;
    double start = BenchSeconds();
    if (!WriteGeneratedObj(path.c_str(), facets, GENERATED_FACES_VTN, &info))
    {
        std::fprintf(stderr, "generate: cannot write %s\n", path.c_str());
        return;
    }
    double seconds = BenchSeconds() - start;
    std::remove(path.c_str());
    ReportFigure("generate_mbps", info.byteCount / 1e6 / seconds, "MB/s");
}
