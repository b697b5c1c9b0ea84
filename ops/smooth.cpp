// Face normals and smoothed vertex normals. Vertices stored at one place (within 0.0005 on
// every axis of the lowest unmarked one) share one normal, so seams shade smoothly. The
// facets of each vertex come from an adjacency table and the nearby vertices from a hash
// grid, so the cost stays near-linear while every sum is formed in the same order as a
// plain scan of all facets and all later vertices would form it.
#include "ops/ops.h"

#include "ui/progress.h"

#include <cmath>
#include <cstring>

size_t smoothWorkBytes = 0;

namespace
{

const double seamBox = 0.0005;     // strict, per axis, around the group's first vertex
const double cellMargin = 0.00051; // the box plus room for rounding, when picking cells
const double finestCells = 512.0;  // cells per unit: 1/512 is wider than twice the margin
const int keyBits = 21;            // bits of one cell coordinate in a packed cell key
const int32_t lastCell = (int32_t(1) << keyBits) - 1;
const uint32_t maxPartners = 30;
const uint32_t lookAhead = 8; // vertices ahead whose cells are fetched early

// One grid cell in the open-addressed cell table: its packed coordinates (0 when the slot
// is empty) and its run of vertices, cellVertex[head..end), ascending. head moves past
// entries that can no longer be partners.
struct CellSlot
{
    uint64_t key;
    uint32_t head;
    uint32_t end;
};

// Maps a coordinate to its cell on one axis: floor((x - origin) * scale), clamped to
// 1..lastCell (so no key is 0); scale is a power of two. The map never decreases, which is
// all the neighbour search relies on.
struct Axis
{
    double origin;
    double scale;
};

struct SmoothWork
{
    uint32_t vertexCount;
    uint8_t* mark;       // vertexCount: has its group's normal, not looked at again
    uint32_t* useStart;  // vertexCount + 1: facets of v are useFacets[useStart[v]..[v+1])
    uint32_t* useFacets; // ascending facet indices per vertex, one per use
    CellSlot* slots;     // slotCount: the occupied cells, by hash of the key
    uint32_t slotCount;
    uint64_t* filter; // filterBits bits: set for the hash of every occupied cell
    uint32_t filterBits;
    uint32_t* cellVertex; // finite vertices grouped by cell, ascending within each cell
    Axis axes[3];
    size_t bytes;
};

// The running sum of accepted face normals and their count.
struct Gather
{
    Vec3 sum;
    uint32_t n;
};

bool VertexIsFinite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

int32_t CellCoordinate(const Axis& axis, double x)
{
    double q = (x - axis.origin) * axis.scale;
    if (!(q >= 1))
        return 1;
    return q < lastCell ? int32_t(q) : lastCell; // truncation is floor for q >= 1
}

uint64_t PackCell(int32_t x, int32_t y, int32_t z)
{
    return uint64_t(x) | uint64_t(y) << keyBits | uint64_t(z) << 2 * keyBits;
}

uint64_t CellKeyOf(const SmoothWork* work, const Vec3& v)
{
    return PackCell(CellCoordinate(work->axes[0], v.x), CellCoordinate(work->axes[1], v.y),
                    CellCoordinate(work->axes[2], v.z));
}

uint64_t HashCell(uint64_t key)
{
    return (key * 0x9E3779B97F4A7C15u) >> 32;
}

uint32_t FirstSlot(const SmoothWork* work, uint64_t key)
{
    return uint32_t((HashCell(key) * work->slotCount) >> 32);
}

// The filter is small enough to stay in cache and answers most questions about empty cells,
// which are most of the cells a box reaches, without a look into the large table.
uint32_t FilterBit(const SmoothWork* work, uint64_t key)
{
    return uint32_t((HashCell(key) * work->filterBits) >> 32);
}

bool MayHoldCell(const SmoothWork* work, uint64_t key)
{
    uint32_t bit = FilterBit(work, key);
    return (work->filter[bit / 64] >> (bit % 64)) & 1;
}

// The slot of the cell with this key, or of the empty slot where it would go; the search
// starts at the key's first slot.
CellSlot* FindSlotFrom(SmoothWork* work, uint64_t key, uint32_t slot)
{
    for (;;)
    {
        CellSlot* entry = &work->slots[slot];
        if (entry->key == key || entry->key == 0)
            return entry;
        if (++slot == work->slotCount)
            slot = 0;
    }
}

// The table is read at random, so each look is asked for some vertices ahead of its use.
// A cell key with its first slot, fetched early:
struct CellLook
{
    uint64_t key;
    uint32_t slot;
};

CellLook LookAhead(const SmoothWork* work, uint64_t key)
{
    uint32_t slot = FirstSlot(work, key);
    __builtin_prefetch(&work->slots[slot]);
    return {key, slot};
}

// The low and high cell on each axis that the box around p can reach: at most two on each
// axis, since a cell is wider than the box with its margin on both sides.
void CellRange(const SmoothWork* work, const Vec3& p, int32_t low[3], int32_t high[3])
{
    const double c[3] = {p.x, p.y, p.z};
    for (int a = 0; a < 3; ++a)
    {
        low[a] = CellCoordinate(work->axes[a], c[a] - cellMargin);
        high[a] = CellCoordinate(work->axes[a], c[a] + cellMargin);
    }
}

// The cells the box around a vertex reaches that may hold vertices, looked up ahead.
struct BoxLooks
{
    int count;
    CellLook cells[8];
};

void PlanBoxLooks(const SmoothWork* work, const Vec3& p, BoxLooks* looks)
{
    int32_t low[3], high[3];
    CellRange(work, p, low, high);
    looks->count = 0;
    for (int32_t x = low[0]; x <= high[0]; ++x)
        for (int32_t y = low[1]; y <= high[1]; ++y)
            for (int32_t z = low[2]; z <= high[2]; ++z)
            {
                uint64_t key = PackCell(x, y, z);
                if (MayHoldCell(work, key))
                    looks->cells[looks->count++] = LookAhead(work, key);
            }
}

bool InSeamBox(const Vec3& a, const Vec3& b)
{
    return std::fabs(double(b.x) - double(a.x)) < seamBox &&
           std::fabs(double(b.y) - double(a.y)) < seamBox &&
           std::fabs(double(b.z) - double(a.z)) < seamBox;
}

bool CornerValid(int32_t index, uint32_t vertexCount)
{
    return index >= 0 && uint32_t(index) < vertexCount;
}

// The corners a facet uses: the first three, or all four of a four-cornered facet.
uint32_t UsedCorners(const Facet& facet)
{
    return facet.cornerCount == 4 ? 4 : 3;
}

// Calls visit(v) once for each distinct valid vertex the facet uses.
template <typename Visit>
void ForEachUsedVertex(const Facet& facet, uint32_t vertexCount, Visit visit)
{
    uint32_t corners = UsedCorners(facet);
    for (uint32_t k = 0; k < corners; ++k)
    {
        int32_t v = facet.vertexIndex[k];
        if (!CornerValid(v, vertexCount))
            continue;
        bool repeated = false;
        for (uint32_t e = 0; e < k; ++e)
            repeated = repeated || facet.vertexIndex[e] == v;
        if (!repeated)
            visit(uint32_t(v));
    }
}

template <typename T> bool Take(T*& array, size_t count, SmoothWork* work)
{
    array = AllocateLargeArrayOf<T>(count);
    work->bytes += count * sizeof(T);
    return array != nullptr;
}

void ReleaseSmoothWork(SmoothWork* work)
{
    ReleaseArray(work->mark);
    ReleaseArray(work->useStart);
    ReleaseArray(work->useFacets);
    ReleaseArray(work->slots);
    ReleaseArray(work->filter);
    ReleaseArray(work->cellVertex);
    std::memset(work, 0, sizeof *work);
}

// Counts the uses of each vertex and makes room for the lists of facets per vertex. The
// lists are filled later, facet by facet (ListFacetUses): useStart[v + 1] is the fill point
// of vertex v's list, and once every facet is listed the list of v is
// useFacets[useStart[v]..useStart[v + 1]).
bool CountUses(const Mesh* mesh, SmoothWork* work)
{
    uint32_t vertexCount = mesh->vertexCount;
    if (!Take(work->useStart, size_t(vertexCount) + 1, work))
        return false;
    uint32_t* start = work->useStart;
    uint64_t uses = 0;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        ForEachUsedVertex(mesh->facets[f], vertexCount,
                          [&](uint32_t v)
                          {
                              ++start[v + 1];
                              ++uses;
                          });
    if (uses > UINT32_MAX || !Take(work->useFacets, size_t(uses), work))
        return false;
    uint32_t before = 0; // uses of the vertices below v
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        uint32_t count = start[v + 1];
        start[v + 1] = before;
        before += count;
    }
    return true;
}

// Adds facet f to the list of each vertex it uses; called in ascending facet order.
void ListFacetUses(const Mesh* mesh, SmoothWork* work, uint32_t f)
{
    ForEachUsedVertex(mesh->facets[f], mesh->vertexCount,
                      [&](uint32_t v) { work->useFacets[work->useStart[v + 1]++] = f; });
}

// Places the grid over the finite vertices: cells of 1/512 where the extent allows, coarser
// by powers of two where it would not fit keyBits, with a free cell below the lowest vertex.
// Returns the number of finite vertices.
uint32_t PlaceGrid(const Mesh* mesh, SmoothWork* work)
{
    double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    uint32_t finite = 0;
    for (uint32_t v = 0; v < mesh->vertexCount; ++v)
    {
        const Vec3& p = mesh->vertices[v];
        if (!VertexIsFinite(p))
            continue;
        const double c[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a)
        {
            low[a] = finite == 0 || c[a] < low[a] ? c[a] : low[a];
            high[a] = finite == 0 || c[a] > high[a] ? c[a] : high[a];
        }
        ++finite;
    }
    for (int a = 0; a < 3; ++a)
    {
        double scale = finestCells;
        while ((high[a] - low[a]) * scale > double(lastCell - 4))
            scale *= 0.5;
        work->axes[a] = {std::floor(low[a] * scale) / scale - 1 / scale, scale};
    }
    return finite;
}

// Groups the finite vertices by grid cell: a table of the occupied cells, and per cell its
// vertices in ascending order. Vertices with an infinite or NaN coordinate join no cell.
bool BuildGrid(const Mesh* mesh, SmoothWork* work)
{
    const Vec3* vertices = mesh->vertices;
    uint32_t finite = PlaceGrid(mesh, work);
    // slots for half as many cells again as there are vertices; 16 filter bits per vertex
    uint64_t slotCount = uint64_t(finite) + finite / 2 + 1;
    if (slotCount > UINT32_MAX)
        return false;
    work->slotCount = uint32_t(slotCount);
    uint32_t filterWords = finite / 4 < UINT32_MAX / 64 ? finite / 4 + 1 : UINT32_MAX / 64;
    work->filterBits = filterWords * 64;
    if (!Take(work->slots, work->slotCount, work) || !Take(work->filter, filterWords, work) ||
        !Take(work->cellVertex, finite ? finite : 1, work))
        return false;
    // number the cells in order of their first vertex (the number kept in end) and count
    // their vertices by number in cellVertex, so that the runs follow the vertex order
    uint32_t* counts = work->cellVertex;
    uint32_t cells = 0, vertexCount = mesh->vertexCount;
    CellLook ahead[lookAhead] = {};
    for (uint64_t n = 0; n < uint64_t(vertexCount) + lookAhead; ++n)
    {
        uint32_t v = uint32_t(n);
        CellLook look = ahead[v % lookAhead];
        if (n < vertexCount)
            ahead[v % lookAhead] = LookAhead(work, CellKeyOf(work, vertices[v]));
        if (n < lookAhead || !VertexIsFinite(vertices[v - lookAhead]))
            continue;
        CellSlot* slot = FindSlotFrom(work, look.key, look.slot);
        if (slot->key == 0)
        {
            slot->key = look.key;
            slot->end = cells++;
            uint32_t bit = FilterBit(work, look.key);
            work->filter[bit / 64] |= uint64_t(1) << (bit % 64);
        }
        ++counts[slot->end];
    }
    for (uint32_t c = 1; c < cells; ++c)
        counts[c] += counts[c - 1];
    for (uint32_t s = 0; s < work->slotCount; ++s)
        if (work->slots[s].key != 0)
            work->slots[s].head = work->slots[s].end = counts[work->slots[s].end];
    // fill backwards, so each run is ascending and head ends at its start
    for (uint64_t n = 0; n < uint64_t(vertexCount) + lookAhead; ++n)
    {
        CellLook look = ahead[n % lookAhead];
        if (n < vertexCount)
            ahead[n % lookAhead] = LookAhead(work, CellKeyOf(work, vertices[vertexCount - 1 - n]));
        uint32_t v = uint32_t(vertexCount - 1 - (n - lookAhead));
        if (n >= lookAhead && VertexIsFinite(vertices[v]))
            work->cellVertex[--FindSlotFrom(work, look.key, look.slot)->head] = v;
    }
    return true;
}

// Allocates and fills every working array; on failure releases them all.
bool PrepareSmoothWork(const Mesh* mesh, SmoothWork* work)
{
    std::memset(work, 0, sizeof *work);
    work->vertexCount = mesh->vertexCount;
    bool ready = Take(work->mark, mesh->vertexCount ? mesh->vertexCount : 1, work) &&
                 CountUses(mesh, work) && BuildGrid(mesh, work);
    if (!ready)
        ReleaseSmoothWork(work);
    return ready;
}

bool Offer(Gather& gather, const Vec3& normal)
{
    if (gather.n == 0)
    {
        gather.sum = normal;
        gather.n = 1;
        return true;
    }
    double dot = (double(normal.z) * gather.sum.z + double(normal.y) * gather.sum.y) +
                 double(normal.x) * gather.sum.x;
    if (!(dot > 0))
        return false;
    gather.sum.x = float(double(gather.sum.x) + normal.x);
    gather.sum.y = float(double(gather.sum.y) + normal.y);
    gather.sum.z = float(double(gather.sum.z) + normal.z);
    ++gather.n;
    return true;
}

// Offers the face normals of every facet that uses v; returns how many were accepted.
uint32_t OfferFacetsOf(const Mesh* mesh, const SmoothWork* work, uint32_t v, Gather& gather)
{
    uint32_t accepted = 0;
    for (uint32_t u = work->useStart[v]; u < work->useStart[v + 1]; ++u)
        accepted += Offer(gather, mesh->facets[work->useFacets[u]].faceNormal);
    return accepted;
}

struct Run
{
    const uint32_t* at;
    const uint32_t* end;
};

// The runs of vertices in the cells the box around vertex i reaches, each trimmed of
// entries that are i or lower or already marked.
int CollectRuns(SmoothWork* work, uint32_t i, const BoxLooks& looks, Run runs[8])
{
    int count = 0;
    for (int c = 0; c < looks.count; ++c)
    {
        CellSlot* cell = FindSlotFrom(work, looks.cells[c].key, looks.cells[c].slot);
        uint32_t head = cell->head, end = cell->end;
        while (head < end && (work->cellVertex[head] <= i || work->mark[work->cellVertex[head]]))
            ++head;
        cell->head = head;
        if (head < end)
            runs[count++] = {work->cellVertex + head, work->cellVertex + end};
    }
    return count;
}

// Takes the lowest vertex left in the runs; false when they are empty.
bool NextCandidate(Run runs[8], int count, uint32_t* vertex)
{
    int best = -1;
    for (int r = 0; r < count; ++r)
        if (runs[r].at < runs[r].end && (best < 0 || *runs[r].at < *runs[best].at))
            best = r;
    if (best < 0)
        return false;
    *vertex = *runs[best].at++;
    return true;
}

// Forms the group around vertex i and writes its normal to i and its recorded partners.
// looks holds the cells its box reaches, or none for a vertex that is not finite.
void SmoothGroup(Mesh* mesh, SmoothWork* work, uint32_t i, const BoxLooks& looks)
{
    Gather gather = {{0.0f, 0.0f, 0.0f}, 0};
    uint32_t partners[maxPartners];
    uint32_t partnerCount = 0;
    OfferFacetsOf(mesh, work, i, gather);
    if (looks.count > 0)
    {
        Run runs[8];
        int runCount = CollectRuns(work, i, looks, runs);
        uint32_t j;
        while (NextCandidate(runs, runCount, &j))
        {
            if (work->mark[j] || !InSeamBox(mesh->vertices[i], mesh->vertices[j]))
                continue;
            uint32_t accepted = OfferFacetsOf(mesh, work, j, gather);
            if (accepted > 0 && partnerCount < maxPartners)
            {
                partners[partnerCount++] = j;
                mesh->flags |= MESH_DUPLICATE_NORMALS;
            }
        }
    }
    if (gather.n == 0)
        return;
    Vec3& normal = mesh->normals[i];
    normal.x = float(double(gather.sum.x) / gather.n);
    normal.y = float(double(gather.sum.y) / gather.n);
    normal.z = float(double(gather.sum.z) / gather.n);
    NormalizeVector(normal);
    for (uint32_t k = 0; k < partnerCount; ++k)
    {
        mesh->normals[partners[k]] = normal;
        work->mark[partners[k]] = 1;
    }
}

// Plans the cell looks of vertex v, unless it is marked or not finite.
void PlanVertex(const Mesh* mesh, const SmoothWork* work, uint32_t v, BoxLooks* looks)
{
    looks->count = 0;
    if (!work->mark[v] && VertexIsFinite(mesh->vertices[v]))
        PlanBoxLooks(work, mesh->vertices[v], looks);
}

void RunSmoothing(Mesh* mesh, SmoothWork* work)
{
    uint32_t vertexCount = mesh->vertexCount;
    BoxLooks ahead[lookAhead]; // the looks of vertex v are in ahead[v % lookAhead]
    for (uint32_t v = 0; v < lookAhead && v < vertexCount; ++v)
        PlanVertex(mesh, work, v, &ahead[v]);
    uint32_t stepA = vertexCount / 100, stepB = stepA / 50, sweep = 0;
    for (uint32_t i = 0; i < vertexCount; ++i)
    {
        sweep += stepA;
        if (sweep >= vertexCount)
            sweep = 0;
        if (stepA == 0 || i % stepA == 0)
            SetProgressPos(i);
        if (stepB == 0 || i % stepB == 0)
            SetProgressPos2(sweep);
        if (!work->mark[i])
            SmoothGroup(mesh, work, i, ahead[i % lookAhead]);
        if (uint64_t(i) + lookAhead < vertexCount)
            PlanVertex(mesh, work, i + lookAhead, &ahead[i % lookAhead]);
    }
}

} // namespace

float NormalizeVector(Vec3& v)
{
    double length = std::sqrt((double(v.x) * v.x + double(v.y) * v.y) + double(v.z) * v.z);
    if (length != 0)
    {
        v.x = float(v.x / length);
        v.y = float(v.y / length);
        v.z = float(v.z / length);
    }
    return float(length);
}

Vec3 CrossProduct(const Vec3& a, const Vec3& b)
{
    return {float(double(a.y) * b.z - double(a.z) * b.y),
            float(double(a.z) * b.x - double(a.x) * b.z),
            float(double(a.x) * b.y - double(a.y) * b.x)};
}

float DotProduct(const Vec3& a, const Vec3& b)
{
    return float((double(a.z) * b.z + double(a.y) * b.y) + double(a.x) * b.x);
}

namespace
{

// The unit normal of a facet's first three corners; zero when they lie on one line or a
// corner names no vertex.
Vec3 FaceNormalOf(const Mesh* mesh, const Facet& facet)
{
    Vec3 normal = {0.0f, 0.0f, 0.0f};
    const int32_t* c = facet.vertexIndex;
    uint32_t count = mesh->vertexCount;
    if (CornerValid(c[0], count) && CornerValid(c[1], count) && CornerValid(c[2], count))
    {
        const Vec3& p0 = mesh->vertices[c[0]];
        const Vec3& p1 = mesh->vertices[c[1]];
        const Vec3& p2 = mesh->vertices[c[2]];
        Vec3 a = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
        Vec3 b = {p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        normal = CrossProduct(a, b);
        NormalizeVector(normal);
    }
    return normal;
}

// Points every corner's normal at its vertex.
void PointCornersAtVertices(Facet& facet)
{
    uint32_t corners = facet.cornerCount < uint32_t(FACET_MAX_CORNERS)
                           ? facet.cornerCount
                           : uint32_t(FACET_MAX_CORNERS);
    for (uint32_t k = 0; k < corners; ++k)
        facet.normalIndex[k] = facet.vertexIndex[k];
}

// The one pass of Smooth Seams over the facets: face normal, the vertices' facet lists, and
// the corners' normal indices (which the vertex pass does not read).
void FacetPass(Mesh* mesh, SmoothWork* work)
{
    uint32_t step = mesh->facetCount / 100;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        Facet& facet = mesh->facets[f];
        facet.faceNormal = FaceNormalOf(mesh, facet);
        ListFacetUses(mesh, work, f);
        PointCornersAtVertices(facet);
        if (step == 0 || f % step == 0)
            SetProgressPos(f);
    }
}

} // namespace

void ComputeFaceNormals(Mesh* mesh)
{
    uint32_t step = mesh->facetCount / 100;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        mesh->facets[f].faceNormal = FaceNormalOf(mesh, mesh->facets[f]);
        if (step == 0 || f % step == 0)
            SetProgressPos(f);
    }
}

void SmoothVertexNormals(Mesh* mesh)
{
    SmoothWork work;
    if (!PrepareSmoothWork(mesh, &work))
        return;
    smoothWorkBytes = work.bytes;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        ListFacetUses(mesh, &work, f);
    RunSmoothing(mesh, &work);
    ReleaseSmoothWork(&work);
}

int SmoothMeshNormals(Mesh* mesh)
{
    uint32_t vertexCount = mesh->vertexCount, facetCount = mesh->facetCount;
    // everything that can fail is had before the mesh changes
    Vec3* fresh = nullptr;
    if (mesh->normalCount < vertexCount)
    {
        fresh = AllocateLargeArrayOf<Vec3>(vertexCount); // zero: entries no group writes
        if (!fresh)
            return 0;
    }
    SmoothWork work;
    if (!PrepareSmoothWork(mesh, &work))
    {
        ReleaseArray(fresh);
        return 0;
    }
    smoothWorkBytes = work.bytes;
    if (fresh)
    {
        ReleaseArray(mesh->normals);
        mesh->normals = fresh;
    }
    ShowProgress("Computing Face Normals...", 0, int32_t(facetCount), 0, int32_t(facetCount), true);
    FacetPass(mesh, &work);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Generating Smoothed Vertex Normals...", 0, int32_t(vertexCount), 0,
                 int32_t(vertexCount), true);
    RunSmoothing(mesh, &work);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ReleaseSmoothWork(&work);
    mesh->normalCount = vertexCount;
    mesh->flags |= MESH_HAS_NORMALS | MESH_SMOOTHED;
    return 1;
}
