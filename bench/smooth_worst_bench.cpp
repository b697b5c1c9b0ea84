// Smooth Seams on a 300 x 300 grid of quads (90,000 vertices) and on three variants that
// defeat a grid sized by the mesh's extent or a plain candidate scan: one stray far vertex,
// 90,000 unused vertices at the origin, and 22,500 vertices piled on one point under
// degenerate triangles. Each variant should take at most twice the plain grid's time.
#include "bench.h"

#include "mesh/mesh.h"
#include "ops/ops.h"
#include "tests/mesh_gen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{

const uint32_t side = 300; // vertices per side of the grid

// The grid over the unit square with a gentle wave for height, plus extraVertices vertices
// at the origin and extraFacets triangles, all (0, 0, 0) for the variant to fill in.
Mesh* GridMesh(uint32_t extraVertices, uint32_t extraFacets)
{
    uint32_t cells = side - 1;
    Mesh* mesh = NewMesh(side * side + extraVertices, cells * cells + extraFacets);
    for (uint32_t r = 0; r < side; ++r)
        for (uint32_t c = 0; c < side; ++c)
        {
            float x = float(c) / float(cells), y = float(r) / float(cells);
            mesh->vertices[r * side + c] = {x, y,
                                            float(0.05 * std::sin(7.0 * x) * std::cos(5.0 * y))};
        }
    for (uint32_t r = 0; r < cells; ++r)
        for (uint32_t c = 0; c < cells; ++c)
        {
            int32_t a = int32_t(r * side + c);
            SetQuad(mesh, r * cells + c, a, a + 1, a + 1 + int32_t(side), a + int32_t(side));
        }
    return mesh;
}

// One vertex at (1e30, 1e30, 1e30), used by one triangle with two grid vertices.
Mesh* FarMesh()
{
    Mesh* mesh = GridMesh(1, 1);
    int32_t far = int32_t(side * side);
    mesh->vertices[far] = {1e30f, 1e30f, 1e30f};
    SetTriangle(mesh, mesh->facetCount - 1, 0, 1, far);
    FinishMesh(mesh);
    return mesh;
}

// As many unused vertices as the grid has, all at the origin (where grid vertex 0 lies).
Mesh* UnusedMesh()
{
    Mesh* mesh = GridMesh(side * side, 0);
    FinishMesh(mesh);
    return mesh;
}

// 22,500 vertices at the grid's middle vertex, under a strip of degenerate triangles.
Mesh* PileMesh()
{
    const uint32_t pile = 22500;
    Mesh* mesh = GridMesh(pile, pile - 2);
    Vec3 middle = mesh->vertices[(side / 2) * side + side / 2];
    uint32_t first = side * side, firstFacet = (side - 1) * (side - 1);
    for (uint32_t k = 0; k < pile; ++k)
        mesh->vertices[first + k] = middle;
    for (uint32_t k = 0; k + 2 < pile; ++k)
    {
        int32_t v = int32_t(first + k);
        SetTriangle(mesh, firstFacet + k, v, v + 1, v + 2);
    }
    FinishMesh(mesh);
    return mesh;
}

// The fastest of several smoothings, each on a fresh copy.
double BestSmoothMs(const Mesh* base, int runs)
{
    double best = 0;
    for (int run = 0; run < runs; ++run)
    {
        Mesh* mesh = CopyMesh(base);
        double start = BenchSeconds();
        SmoothMeshNormals(mesh);
        double ms = (BenchSeconds() - start) * 1000;
        best = run == 0 || ms < best ? ms : best;
        FreeMesh(mesh);
    }
    return best;
}

double TimeCase(const char* name, Mesh* mesh, int runs)
{
    std::fprintf(stderr, "smooth_worst: %s: %u vertices, %u facets\n", name, mesh->vertexCount,
                 mesh->facetCount);
    double ms = BestSmoothMs(mesh, runs);
    FreeMesh(mesh);
    char figure[64];
    std::snprintf(figure, sizeof figure, "smooth_%s_ms", name);
    ReportFigure(figure, ms, "ms");
    return ms;
}

} // namespace

KORVELLA_BENCH(smooth_worst)
{
    int runs = context.quick ? 1 : 5;
    Mesh* grid = GridMesh(0, 0);
    FinishMesh(grid);
    double plain = TimeCase("grid", grid, runs);
    double worst = TimeCase("far", FarMesh(), runs);
    worst = std::max(worst, TimeCase("unused", UnusedMesh(), runs));
    worst = std::max(worst, TimeCase("pile", PileMesh(), runs));
    ReportFigure("smooth_worst_vs_grid", worst / plain, "ratio");
}
