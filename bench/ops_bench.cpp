// Speed and working memory of Smooth Seams, Compact Normals and Quads to Triangles on torus
// meshes with texture seams, and the plain quadratic algorithms on a small one for the ratio.
#include "bench.h"

#include "mesh/mesh.h"
#include "ops/ops.h"
#include "tests/mesh_gen.h"
#include "tests/ops_oracle.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{

// A torus of rings x columns cells. The last column and row repeat the first positions (the
// texture seams), so those positions are stored twice. Most cells are quads; every third row
// is split into two triangles per cell. Rows fall into groups, columns into materials.
Mesh* TorusMesh(uint32_t facetTarget)
{
    uint32_t columns = uint32_t(std::sqrt(double(facetTarget) * 0.75)) + 2;
    uint32_t rows = 3;
    while (true)
    {
        uint32_t facets = 0;
        for (uint32_t r = 0; r < rows; ++r)
            facets += r % 3 == 2 ? 2 * columns : columns;
        if (facets >= facetTarget)
            break;
        ++rows;
    }
    uint32_t facetCount = 0;
    for (uint32_t r = 0; r < rows; ++r)
        facetCount += r % 3 == 2 ? 2 * columns : columns;
    uint32_t perRow = columns + 1;
    Mesh* mesh = NewMesh((rows + 1) * perRow, facetCount, 9, 5);
    const double pi = 3.14159265358979323846;
    for (uint32_t r = 0; r <= rows; ++r)
        for (uint32_t c = 0; c <= columns; ++c)
        {
            double u = 2 * pi * (c % columns) / columns, v = 2 * pi * (r % rows) / rows;
            double radius = 1.0 + 0.35 * std::cos(v);
            mesh->vertices[r * perRow + c] = {float(radius * std::cos(u)),
                                              float(radius * std::sin(u)),
                                              float(0.35 * std::sin(v))};
        }
    uint32_t f = 0;
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c)
        {
            int32_t a = int32_t(r * perRow + c), b = a + 1;
            int32_t d = a + int32_t(perRow), e = d + 1;
            uint32_t first = f;
            if (r % 3 == 2)
            {
                SetTriangle(mesh, f++, a, b, e);
                SetTriangle(mesh, f++, a, e, d);
            }
            else
                SetQuad(mesh, f++, a, b, e, d);
            for (uint32_t k = first; k < f; ++k)
            {
                mesh->facets[k].groupIndex = 1 + r * 8 / rows;
                mesh->facets[k].materialIndex = 1 + c * 4 / columns;
            }
        }
    FinishMesh(mesh);
    return mesh;
}

struct Timing
{
    double ms;
    double peakMb; // heap above what was in use before the operation
};

template <typename Operation> Timing Measure(Operation operation)
{
    size_t before = HeapBytesInUse();
    ResetHeapPeak();
    double start = BenchSeconds();
    operation();
    double seconds = BenchSeconds() - start;
    return {seconds * 1000, (HeapPeakBytes() - before) / 1e6};
}

void Report(const std::string& name, double value, const char* unit)
{
    ReportFigure(name.c_str(), value, unit);
}

// The first and the fastest of several timings of one operation.
struct Runs
{
    Timing first, best;
    void Add(const Timing& timing, int run)
    {
        if (run == 0)
            first = best = timing;
        else if (timing.ms < best.ms)
            best = timing;
    }
};

// Runs the three operations in the order a user would, on fresh copies of one mesh: the
// fastest run of each is reported, and at 1,000,000 facets the first too, which gets its
// memory fresh from the system.
void RunSize(uint32_t facets, const char* label, int runs)
{
    Mesh* base = TorusMesh(facets);
    std::fprintf(stderr, "ops: %s: %u facets, %u vertices, %d runs\n", label, base->facetCount,
                 base->vertexCount, runs);
    Runs smooth, compact, quads;
    for (int run = 0; run < runs; ++run)
    {
        Mesh* mesh = CopyMesh(base);
        smooth.Add(Measure([&] { SmoothMeshNormals(mesh); }), run);
        compact.Add(Measure([&] { CompactNormals(mesh); }), run);
        quads.Add(Measure([&] { ConvertQuadsToTriangles(mesh); }), run);
        FreeMesh(mesh);
    }
    std::string prefix = std::string(label) + "_";
    Report("smooth_" + prefix + "ms", smooth.best.ms, "ms");
    Report("compact_" + prefix + "ms", compact.best.ms, "ms");
    Report("quads_" + prefix + "ms", quads.best.ms, "ms");
    if (HeapTracking())
    {
        Report("smooth_" + prefix + "peak_mb", smooth.first.peakMb, "MB");
        Report("compact_" + prefix + "peak_mb", compact.first.peakMb, "MB");
        Report("quads_" + prefix + "peak_mb", quads.first.peakMb, "MB");
    }
    if (facets >= 1000000)
    {
        Report("smooth_" + prefix + "first_ms", smooth.first.ms, "ms");
        Report("compact_" + prefix + "first_ms", compact.first.ms, "ms");
        Report("quads_" + prefix + "first_ms", quads.first.ms, "ms");
        // measured against a budget of 40 bytes per vertex plus 16 per facet
        double perVertex = (double(smoothWorkBytes) - 16.0 * base->facetCount) / base->vertexCount;
        Report("smooth_work_bytes_per_vertex", perVertex, "bytes");
    }
    FreeMesh(base);
}

// The fastest of several runs of an operation, each on a fresh copy of the mesh; the last
// copy is handed back for comparison.
template <typename Operation>
double BestMs(const Mesh* base, int runs, Operation operation, Mesh** result)
{
    double best = 0;
    for (int run = 0; run < runs; ++run)
    {
        Mesh* mesh = CopyMesh(base);
        double ms = Measure([&] { operation(mesh); }).ms;
        best = run == 0 || ms < best ? ms : best;
        if (run + 1 < runs)
            FreeMesh(mesh);
        else
            *result = mesh;
    }
    return best;
}

// The fast and the plain operations on one small mesh, with the same results checked.
void CompareWithPlain(uint32_t facets, int runs)
{
    Mesh* base = TorusMesh(facets);
    Mesh *fast = nullptr, *plain = nullptr;
    double quick = BestMs(base, runs, SmoothMeshNormals, &fast);
    double slow = BestMs(base, 2, OracleSmoothMeshNormals, &plain);
    if (MeshImage(fast) != MeshImage(plain))
        std::fprintf(stderr, "ops: smoothing differs from the plain algorithm\n");
    Report("smooth_literal_10k_ms", slow, "ms");
    Report("smooth_vs_literal_10k", slow / quick, "ratio");
    Mesh *fastCompact = nullptr, *plainCompact = nullptr;
    double compactQuick = BestMs(fast, runs, CompactNormals, &fastCompact);
    double compactSlow = BestMs(plain, 2, OracleCompactNormals, &plainCompact);
    if (MeshImage(fastCompact) != MeshImage(plainCompact))
        std::fprintf(stderr, "ops: compaction differs from the plain algorithm\n");
    Report("compact_vs_literal_10k", compactSlow / compactQuick, "ratio");
    for (Mesh* mesh : {base, fast, plain, fastCompact, plainCompact})
        FreeMesh(mesh);
}

} // namespace

KORVELLA_BENCH(ops)
{
    int runs = context.quick ? 1 : 6; // best of six, for the same reason as the import's
    RunSize(10000, "10k", runs);
    RunSize(100000, "100k", runs);
    if (!context.quick)
        RunSize(1000000, "1m", runs);
    CompareWithPlain(10000, context.quick ? 1 : 5);
}
