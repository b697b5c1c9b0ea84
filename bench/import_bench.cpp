// Import speed of ReadObjMesh on a generated torus, its heap peak, and the literal
// fgets + sscanf reading of the same file for comparison.
#include "bench.h"
#include "generate.h"

#include "mesh/mesh.h"
#include "tests/reader_literal.h"

#include <cstdio>
#include <string>

namespace
{

// The file both import benchmarks read, made once per run.
struct ImportFile
{
    std::string path;
    GeneratedObjInfo info;
    double bestSeconds; // ReadObjMesh, 0 until measured
};

ImportFile importFile;

const ImportFile& PrepareFile(const BenchContext& context)
{
    if (!importFile.path.empty())
        return importFile;
    uint32_t facets = context.quick ? 100000 : 1000000;
    importFile.path = BenchScratchPath("import_" + std::to_string(facets) + ".obj");
    if (!WriteGeneratedObj(importFile.path.c_str(), facets, GENERATED_FACES_VTN, &importFile.info))
    {
        std::fprintf(stderr, "import: cannot write %s\n", importFile.path.c_str());
        importFile.path.clear();
    }
    return importFile;
}

// Bytes of every array the record owns, as allocated.
double MeshBytes(const Mesh* mesh)
{
    double bytes = sizeof(Mesh);
    bytes += double(mesh->facetCount) * sizeof(Facet);
    bytes += double(mesh->vertexCount + mesh->normalCount) * sizeof(Vec3);
    bytes += double(mesh->uvCount) * 2 * sizeof(float);
    bytes += double(mesh->groupCount + mesh->materialCount) * sizeof(Group);
    bytes += double(mesh->facetCount) * 2 * sizeof(uint32_t); // group and material lists
    return bytes;
}

// Times one read; returns its seconds, or a negative number when it failed.
double TimeRead(const char* path, Mesh* (*read)(const char*))
{
    double start = BenchSeconds();
    Mesh* mesh = read(path);
    double seconds = BenchSeconds() - start;
    if (!mesh)
        return -1;
    FreeMesh(mesh);
    return seconds;
}

} // namespace

const char* BenchObjFile(const BenchContext& context, GeneratedObjInfo* info)
{
    const ImportFile& file = PrepareFile(context);
    if (file.path.empty())
        return nullptr;
    if (info)
        *info = file.info;
    return file.path.c_str();
}

// The first read of the process, then the best of several more (the file is in the cache
// already, having just been written). The first read takes its arrays fresh from the system,
// and on a virtual machine the first touch of memory the guest has not used lately costs far
// more than the zeroing of a page the system has handed out before; the kernel time of the
// first and of the fastest read shows that share. The heap peak is measured on
// a read of its own: the highest number of heap bytes in use during the read, over what the
// finished mesh holds, so 1.0 means the reader needs nothing beyond the record.
KORVELLA_BENCH(import)
{
    const ImportFile& file = PrepareFile(context);
    const char* path = file.path.c_str();
    // best of eight: the machines these run on change speed from second to second, and the
    // Windows build's figures are compared with these
    int repeats = context.quick ? 2 : 8;
    double first = 0, best = 1e30, firstKernel = 0, bestKernel = 0;
    for (int i = 0; i <= repeats; ++i)
    {
        double kernel = BenchKernelSeconds();
        double seconds = TimeRead(path, ReadObjMesh);
        kernel = BenchKernelSeconds() - kernel;
        if (seconds < 0)
        {
            std::fprintf(stderr, "import: no mesh from %s\n", path);
            return;
        }
        if (i == 0)
        {
            first = seconds;
            firstKernel = kernel;
        }
        else if (seconds < best)
        {
            best = seconds;
            bestKernel = kernel;
        }
    }
    importFile.bestSeconds = best;
    ReportFigure("import_mbps", file.info.byteCount / 1e6 / best, "MB/s");
    ReportFigure("import_ns_per_line", best * 1e9 / double(file.info.lineCount), "ns");
    ReportFigure("import_first_mbps", file.info.byteCount / 1e6 / first, "MB/s");
    if (firstKernel > 0) // where the platform tells
    {
        ReportFigure("import_first_kernel_ms", firstKernel * 1000, "ms");
        ReportFigure("import_kernel_ms", bestKernel * 1000, "ms");
    }
    ReportFigure("import_facets", file.info.facetCount, "facets");
    if (!HeapTracking())
        return;
    size_t before = HeapBytesInUse();
    ResetHeapPeak();
    Mesh* mesh = ReadObjMesh(path);
    double peak = double(HeapPeakBytes() - before);
    ReportFigure("import_peak_over_mesh", peak / MeshBytes(mesh), "ratio");
    ReportFigure("import_peak_mib", peak / (1 << 20), "MiB");
    FreeMesh(mesh);
}

// The same file read line by line through fgets and sscanf, the better of two reads (one with
// --quick), so that both sides of the ratio are best times.
KORVELLA_BENCH(import_sscanf)
{
    const ImportFile& file = PrepareFile(context);
    if (file.bestSeconds <= 0)
        Bench_import(context);
    double seconds = 1e30;
    for (int i = 0; i < (context.quick ? 1 : 2) && seconds > 0; ++i)
    {
        double read = TimeRead(file.path.c_str(), ReadObjMeshLiteral);
        if (read < seconds)
            seconds = read;
    }
    if (seconds < 0 || file.bestSeconds <= 0)
        return;
    ReportFigure("import_sscanf_mbps", file.info.byteCount / 1e6 / seconds, "MB/s");
    ReportFigure("import_vs_sscanf", seconds / file.bestSeconds, "ratio");
}
