// Export speed of WriteObjMeshFile on the generated 1,000,000-facet torus, beside the plain
// fprintf writer writing the same bytes, and the heap the writer needs beyond the mesh.
//
// Both write into the benchmark's scratch folder under the build folder, so the figures
// include the file system's work (on this project's machines ext4 on a virtual disk, with the
// written pages staying in the page cache). The target is removed before every run, untimed,
// so that no run pays for releasing the previous file's pages.
#include "bench.h"
#include "fprintf_writer.h"

#include "export/export.h"
#include "mesh/mesh.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{

// Seconds of one write into a fresh target, or a negative number when it failed.
template <typename Write> double TimeWrite(const std::string& path, Write write)
{
    std::remove(path.c_str());
    double start = BenchSeconds();
    bool written = write();
    double seconds = BenchSeconds() - start;
    return written ? seconds : -1;
}

// True when the two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b)
{
    FILE* first = std::fopen(a.c_str(), "rb");
    FILE* second = std::fopen(b.c_str(), "rb");
    bool same = first && second;
    static char blockA[1 << 16], blockB[1 << 16];
    while (same)
    {
        size_t got = std::fread(blockA, 1, sizeof blockA, first);
        same = std::fread(blockB, 1, sizeof blockB, second) == got &&
               std::equal(blockA, blockA + got, blockB);
        if (got == 0)
            break;
    }
    if (first)
        std::fclose(first);
    if (second)
        std::fclose(second);
    return same;
}

// The best of several writes with WriteObjMeshFile; negative when one failed.
double BestWriterSeconds(Mesh* mesh, const std::string& path, int runs)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
    {
        double seconds = TimeWrite(
            path, [&] { return WriteObjMeshFile(mesh, path.c_str(), EXPORT_OPTIONS_AT_START); });
        if (seconds < 0)
            return -1;
        best = seconds < best ? seconds : best;
    }
    return best;
}

// The heap the writer holds at its peak over what was in use before it started.
void ReportWriterHeap(Mesh* mesh, const std::string& path)
{
    if (!HeapTracking())
        return;
    std::remove(path.c_str());
    size_t before = HeapBytesInUse();
    ResetHeapPeak();
    WriteObjMeshFile(mesh, path.c_str(), EXPORT_OPTIONS_AT_START);
    ReportFigure("export_peak_kib", double(HeapPeakBytes() - before) / 1024, "KiB");
}

} // namespace

// With the start-up option word: every section, group and material lines, loaded order.
// Named "writer" so that it runs after the import benchmark, whose first read is to be the
// first of the process.
KORVELLA_BENCH(writer)
{
    const char* source = BenchObjFile(context, nullptr);
    Mesh* mesh = source ? ReadObjMesh(source) : nullptr;
    if (!mesh)
    {
        std::fprintf(stderr, "writer: no mesh to write\n");
        return;
    }
    std::string path = BenchScratchPath("export.obj");
    std::string plainPath = BenchScratchPath("export_fprintf.obj");
    double best = BestWriterSeconds(mesh, path, context.quick ? 2 : 5);
    double plain = 1e30;
    for (int i = 0; i < (context.quick ? 1 : 2) && plain > 0; ++i)
    {
        double seconds = TimeWrite(
            plainPath,
            [&] { return WriteObjMeshFprintf(mesh, plainPath.c_str(), EXPORT_OPTIONS_AT_START); });
        if (seconds < 0 || seconds < plain)
            plain = seconds;
    }
    double bytes = FileBytes(path);
    if (best < 0 || plain < 0 || bytes == 0)
        std::fprintf(stderr, "writer: a write failed\n");
    else if (!SameBytes(path, plainPath))
        std::fprintf(stderr, "writer: the fprintf writer wrote other bytes; no comparison\n");
    else
    {
        ReportFigure("export_mbps", bytes / 1e6 / best, "MB/s");
        ReportFigure("export_fprintf_mbps", bytes / 1e6 / plain, "MB/s");
        ReportFigure("export_vs_fprintf", plain / best, "ratio");
        ReportFigure("export_mib", bytes / (1 << 20), "MiB");
    }
    ReportWriterHeap(mesh, path);
    std::remove(path.c_str());
    std::remove(plainPath.c_str());
    FreeMesh(mesh);
}
