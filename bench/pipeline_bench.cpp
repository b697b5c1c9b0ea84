// The batch tool's whole road on the generated torus: import, Smooth Seams, Compact Normals,
// Quads to Triangles and export, through RunCli as korvella-cli runs it (without a terminal
// bar), written to the scratch folder.
#include "bench.h"
#include "generate.h"

#include "cli/cli.h"

#include <cstdio>
#include <string>

KORVELLA_BENCH(pipeline)
{
    GeneratedObjInfo info;
    const char* input = BenchObjFile(context, &info);
    if (!input)
        return;
    std::string output = BenchScratchPath("pipeline.obj");
    const char* argv[] = {"korvella-cli",  "-q", "--smooth",     "--compact",
                          "--triangulate", "-o", output.c_str(), input};
    const int argc = int(sizeof argv / sizeof argv[0]);
    double best = 1e30;
    for (int i = 0; i < (context.quick ? 1 : 2); ++i)
    {
        std::remove(output.c_str());
        double start = BenchSeconds();
        int code = RunCli(argc, argv, stdout, stderr);
        double seconds = BenchSeconds() - start;
        if (code != CLI_EXIT_DONE)
        {
            std::fprintf(stderr, "pipeline: korvella-cli exit code %d\n", code);
            return;
        }
        best = seconds < best ? seconds : best;
    }
    std::remove(output.c_str());
    const char* name = info.facetCount >= 1000000 ? "pipeline_1m_ms" : "pipeline_100k_ms";
    ReportFigure(name, best * 1000, "ms");
}
