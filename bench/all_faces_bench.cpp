// Import speed of the all-faces reading mode: the torus file of the import benchmark, a
// scanner-like file of "f v" triangles, and a file of polygons of 5 to 64 corners.
#include "bench.h"
#include "generate.h"

#include "mesh/mesh.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{

// The best of repeats reads of path in the given mode, in seconds; negative when one failed.
double BestRead(const char* path, bool allFaces, int repeats)
{
    ReadOptions options = {allFaces};
    double best = 1e30;
    for (int i = 0; i < repeats; ++i)
    {
        double start = BenchSeconds();
        Mesh* mesh = ReadObjMeshWith(path, &options, nullptr);
        double seconds = BenchSeconds() - start;
        if (!mesh)
            return -1;
        FreeMesh(mesh);
        best = seconds < best ? seconds : best;
    }
    return best;
}

// A height field of side x side positions, two "f a b c" triangles per cell.
bool WritePositionsFile(const std::string& path, uint32_t side)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x)
            std::fprintf(file, "v %.6f %.6f %.6f\n", x * 0.01, y * 0.01,
                         0.1 * std::sin(x * 0.05) * std::cos(y * 0.07));
    for (uint32_t y = 0; y + 1 < side; ++y)
        for (uint32_t x = 0; x + 1 < side; ++x)
        {
            uint32_t a = y * side + x + 1, b = a + 1, c = a + side, d = c + 1;
            std::fprintf(file, "f %u %u %u\nf %u %u %u\n", a, b, d, a, d, c);
        }
    return std::fclose(file) == 0;
}

// Star-shaped (mostly concave) outlines of 5 to 64 corners written once, and count faces
// cycling through them in "f v//n" form.
bool WritePolygonsFile(const std::string& path, uint32_t count)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    uint32_t first[65] = {};
    uint32_t next = 1;
    for (uint32_t n = 5; n <= 64; ++n)
    {
        first[n] = next;
        for (uint32_t i = 0; i < n; ++i, ++next)
        {
            double angle = 6.283185307179586 * i / n, r = 1.0 + 0.4 * ((i * 7) % 3);
            std::fprintf(file, "v %.5f %.5f %.5f\n", r * std::cos(angle), r * std::sin(angle),
                         0.01 * n);
        }
    }
    std::fprintf(file, "vn 0 0 1\n");
    for (uint32_t k = 0; k < count; ++k)
    {
        uint32_t n = 5 + (k * 37) % 60;
        std::fputc('f', file);
        for (uint32_t i = 0; i < n; ++i)
            std::fprintf(file, " %u//1", first[n] + i);
        std::fputc('\n', file);
    }
    return std::fclose(file) == 0;
}

// Reads a generated file in the all-faces mode and reports its speed: the best of eight
// reads, as the import benchmark takes, since the machines change speed from second to second.
void ReportAllFacesSpeed(const BenchContext& context, const char* name, const std::string& path)
{
    double seconds = BestRead(path.c_str(), true, context.quick ? 1 : 8);
    if (seconds < 0)
        std::fprintf(stderr, "%s: no mesh from %s\n", name, path.c_str());
    else
        ReportFigure(name, FileBytes(path) / 1e6 / seconds, "MB/s");
    std::remove(path.c_str());
}

} // namespace

// The torus file of the import benchmark in both modes, reads alternating, so that the ratio
// compares best times taken under the same load.
KORVELLA_BENCH(import_all_faces)
{
    GeneratedObjInfo info;
    const char* path = BenchObjFile(context, &info);
    if (!path)
        return;
    double plain = 1e30, all = 1e30;
    for (int i = 0; i < (context.quick ? 1 : 8); ++i)
    {
        double p = BestRead(path, false, 1), a = BestRead(path, true, 1);
        if (p < 0 || a < 0)
            return;
        plain = p < plain ? p : plain;
        all = a < all ? a : all;
    }
    ReportFigure("import_all_faces_mbps", info.byteCount / 1e6 / all, "MB/s");
    ReportFigure("import_all_faces_vs_import", plain / all, "ratio");
}

KORVELLA_BENCH(import_positions)
{
    // 2 * (side - 1)^2 triangles: 1,000,000 at side 708 (100,000 with --quick)
    uint32_t side = context.quick ? 225 : 708;
    std::string path = BenchScratchPath("positions.obj");
    if (WritePositionsFile(path, side))
        ReportAllFacesSpeed(context, "import_positions_mbps", path);
}

KORVELLA_BENCH(import_polygons)
{
    std::string path = BenchScratchPath("polygons.obj");
    if (WritePolygonsFile(path, context.quick ? 20000 : 200000))
        ReportAllFacesSpeed(context, "import_polygons_mbps", path);
}
