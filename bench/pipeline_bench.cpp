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
    size_t before = HeapBytesInUse();
    ResetHeapPeak();
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
    double peakMib = double(HeapPeakBytes() - before) / (1024 * 1024);
    std::remove(output.c_str());
    bool million = info.facetCount >= 1000000;
    ReportFigure(million ? "pipeline_1m_ms" : "pipeline_100k_ms", best * 1000, "ms");
    ReportFigure(million ? "cli_pipeline_1m_s" : "cli_pipeline_100k_s", best, "s");
    if (HeapTracking())
        ReportFigure(million ? "cli_pipeline_1m_peak_mib" : "cli_pipeline_100k_peak_mib", peakMib,
                     "MiB");
}
