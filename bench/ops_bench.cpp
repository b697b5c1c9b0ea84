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

// Runs the three operations in the order a user would on one mesh size.
void RunSize(uint32_t facets, const char* label)
{
    Mesh* mesh = TorusMesh(facets);
    std::fprintf(stderr, "ops: %s: %u facets, %u vertices\n", label, mesh->facetCount,
                 mesh->vertexCount);
    Timing smooth = Measure([&] { SmoothMeshNormals(mesh); });
    Timing compact = Measure([&] { CompactNormals(mesh); });
    Timing quads = Measure([&] { ConvertQuadsToTriangles(mesh); });
    std::string prefix = std::string(label) + "_";
    Report("smooth_" + prefix + "ms", smooth.ms, "ms");
    Report("compact_" + prefix + "ms", compact.ms, "ms");
    Report("quads_" + prefix + "ms", quads.ms, "ms");
    if (HeapTracking())
    {
        Report("smooth_" + prefix + "peak_mb", smooth.peakMb, "MB");
        Report("compact_" + prefix + "peak_mb", compact.peakMb, "MB");
        Report("quads_" + prefix + "peak_mb", quads.peakMb, "MB");
    }
    if (facets >= 1000000)
    {
        // measured against a budget of 40 bytes per vertex plus 16 per facet
        double perVertex = (double(smoothWorkBytes) - 16.0 * facets) / mesh->vertexCount;
        Report("smooth_work_bytes_per_vertex", perVertex, "bytes");
    }
    FreeMesh(mesh);
}

// The fast and the plain smoothing on one small mesh, with the same results checked.
void CompareWithPlain(uint32_t facets)
{
    Mesh* fast = TorusMesh(facets);
    Mesh* plain = CopyMesh(fast);
    Timing quick = Measure([&] { SmoothMeshNormals(fast); });
    Timing slow = Measure([&] { OracleSmoothMeshNormals(plain); });
    if (MeshImage(fast) != MeshImage(plain))
        std::fprintf(stderr, "ops: smoothing differs from the plain algorithm\n");
    Report("smooth_literal_10k_ms", slow.ms, "ms");
    Report("smooth_vs_literal_10k", slow.ms / quick.ms, "ratio");
    Timing compactQuick = Measure([&] { CompactNormals(fast); });
    Timing compactSlow = Measure([&] { OracleCompactNormals(plain); });
    Report("compact_vs_literal_10k", compactSlow.ms / compactQuick.ms, "ratio");
    FreeMesh(fast);
    FreeMesh(plain);
}

} // namespace

KORVELLA_BENCH(ops)
{
    RunSize(10000, "10k");
    RunSize(100000, "100k");
    if (!context.quick)
        RunSize(1000000, "1m");
    CompareWithPlain(10000);
}
