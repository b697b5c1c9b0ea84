// Face normals and smoothed vertex normals. Vertices stored at one place (within 0.0005 on
// every axis of the lowest unmarked one) share one normal, so seams shade smoothly. The
// facets of each vertex come from an adjacency table and the nearby vertices from a hash
// grid of fixed-size cells, so the cost stays near-linear while every sum is formed in the
// same order as a plain scan of all facets and all later vertices would form it.
//
// Vertices that cannot change a sum are left out of the search: a vertex no facet uses offers
// nothing, and one whose face normals are all zero or NaN ("mute") is accepted only as the
// first normal of an empty sum. A sum that is zero or NaN after its first normal accepts
// nothing more, so its group stops looking. What stays quadratic: K vertices within 0.0005 of
// each other that offer non-zero normals. A group records at most 30 partners, so such a pile
// forms about K/31 groups, each of which looks at every later unmarked vertex of the pile
// (those facing another way included): about K*K/60 candidate checks.
#include "ops/ops.h"

#include "ui/progress.h"

#include <cmath>
#include <cstring>

size_t smoothWorkBytes = 0;

namespace
{

const double seamBox = 0.0005;               // strict, per axis, around the group's first vertex
const double cellMargin = 0.00051;           // the box plus room for rounding, when picking cells
const double cellsPerUnit = 512.0;           // a cell of 1/512 is wider than twice the margin
const double exactFrom = 16384.0;            // beyond, different floats lie at least 2^-10 apart
const int64_t exactCells = INT64_C(1) << 32; // cell numbers of exact values start here
const uint32_t maxPartners = 30;
const uint32_t lookAhead = 8; // vertices ahead whose cells are fetched early

// What a vertex can add to a group as a candidate, and so where the grid keeps it.
enum VertexKind
{
    KIND_NONE,    // no facet uses it, or a coordinate is infinite or NaN: outside the grid
    KIND_MUTE,    // every face normal zero or NaN: accepted only by an empty sum
    KIND_OFFERING // has a face normal a non-empty sum may accept
};

const uint8_t markedBit = 1; // in the mark array; the vertex's kind is kept above it

// One grid cell in the open-addressed cell table: the sum its key is made of (see CellSum)
// and its number plus one, 0 while the slot is empty. Cells are numbered in the order of their
// first vertex, so a sweep over the vertices meets their runs nearly in order.
struct CellSlot
{
    uint32_t sum;
    uint32_t number;
};

// The vertices of a cell, cellVertex[head..end), ascending. head moves past entries that can
// no longer be partners.
struct CellRun
{
    uint32_t head;
    uint32_t end;
};

struct SmoothWork
{
    uint32_t vertexCount;
    uint8_t* mark;         // vertexCount: markedBit once it has its group's normal, and the kind
    uint32_t* useStart;    // vertexCount + 1: facets of v are useFacets[useStart[v]..[v+1])
    uint32_t* useFacets;   // ascending facet indices per vertex, one per use
    uint32_t gridVertices; // used vertices with finite coordinates: the vertices of the grid
    uint32_t muteVertices; // vertices of kind KIND_MUTE
    CellSlot* slots;       // slotCount: the occupied cells, by hash of the key
    uint32_t slotCount;
    uint32_t* filter; // filterBits bits: set for the hash of every occupied cell
    uint32_t filterBits;
    uint32_t* cellOf;     // vertexCount: the number of the cell of each vertex of the grid
    CellRun* runs;        // by cell number
    uint32_t* cellVertex; // the grid's vertices by cell, ascending within each cell
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

// ---- cells and keys ----

// floor(q) for |q| below 2^31, without a library call. Narrow cells only need that range
// (below 16384 * 512 = 2^23), and a 32-bit conversion is one instruction on 32-bit x86 too,
// where a 64-bit one calls into the runtime.
int32_t FloorOf(double q)
{
    int32_t t = int32_t(q);
    return t - (double(t) > q);
}

// The cell of a finite coordinate on one axis. Below 16384 in magnitude cells are 1/512 wide.
// Beyond, two different floats lie at least 2^-10 apart, so only equal values can be within
// the box: each value is a cell of its own, numbered apart from the narrow cells. Far
// outliers thus never coarsen the cells of the rest.
int64_t AxisCell(float x)
{
    if (std::fabs(x) < exactFrom)
        return FloorOf(double(x) * cellsPerUnit);
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return exactCells + bits;
}

// The lowest and highest cell on one axis that the box around x can reach: at most two,
// since a cell is wider than the box with its margin on both sides. A narrow cell reached
// beyond 16384 holds no vertex, which does no harm.
void AxisReach(float x, int64_t* low, int64_t* high)
{
    if (std::fabs(x) >= exactFrom)
    {
        *low = *high = AxisCell(x);
        return;
    }
    *low = FloorOf((double(x) - cellMargin) * cellsPerUnit);
    *high = FloorOf((double(x) + cellMargin) * cellsPerUnit);
}

// Cells are told apart by a weighted sum of their numbers on the three axes and the kind, and
// placed in the table by a key mixed from it. Sums of different cells may collide: that only
// puts more candidates into one run, as every candidate is checked against the box. The sum
// is taken of the cell numbers' low 32 bits, in 32-bit arithmetic, which 32-bit builds do in
// single instructions. Those bits tell every cell that occurs apart: narrow cells are numbered from
// -2^23 to 2^23 - 1 (the floats nearest 16384 inside lie 2^-10 from it, farther than the margin),
// while an exact cell's low bits are the bits of a finite float at least 16384 in magnitude, and
// -2^23 has the bits of -infinity.
const uint32_t axisWeight[3] = {0x9E3779B1u, 0x85EBCA77u, 0xC2B2AE3Du};
const uint32_t kindWeight = 0x27D4EB2Fu;

uint32_t AxisTerm(int64_t cell, int axis)
{
    return uint32_t(cell) * axisWeight[axis];
}

// Spreads the sum over both halves of the key: the high half picks the slot, the low half the
// filter bit.
uint64_t KeyOf(uint32_t sum)
{
    uint64_t key = uint64_t(sum) * UINT64_C(0x9E3779B97F4A7C15);
    return key ^ (key >> 32);
}

uint32_t CellSum(int64_t x, int64_t y, int64_t z, VertexKind kind)
{
    return AxisTerm(x, 0) + AxisTerm(y, 1) + AxisTerm(z, 2) + uint32_t(kind) * kindWeight;
}

uint32_t FirstSlot(const SmoothWork* work, uint64_t key)
{
    return uint32_t(((key >> 32) * work->slotCount) >> 32);
}

// The filter is small enough to stay in cache and answers most questions about empty cells,
// which are most of the cells a box reaches, without a look into the large table.
uint32_t FilterBit(const SmoothWork* work, uint64_t key)
{
    return uint32_t(((key & UINT32_MAX) * work->filterBits) >> 32);
}

bool MayHoldCell(const SmoothWork* work, uint64_t key)
{
    uint32_t bit = FilterBit(work, key);
    return (work->filter[bit / 32] >> (bit % 32)) & 1;
}

// The slot of the cell with this sum, or of the empty slot where it would go; the search
// starts at the first slot of its key.
CellSlot* FindSlotFrom(SmoothWork* work, uint32_t sum, uint32_t slot)
{
    for (;;)
    {
        CellSlot* entry = &work->slots[slot];
        if (entry->number == 0 || entry->sum == sum)
            return entry;
        if (++slot == work->slotCount)
            slot = 0;
    }
}

// The table is read at random, so each look is asked for some vertices ahead of its use.
// A cell's sum with the first slot of its key, fetched early, or the cell's number plus one
// where that is known already (the cell of the vertex itself):
struct CellLook
{
    uint32_t sum;
    uint32_t slot;
    uint32_t number;
};

CellLook LookAhead(const SmoothWork* work, uint32_t sum, uint64_t key)
{
    uint32_t slot = FirstSlot(work, key);
    __builtin_prefetch(&work->slots[slot]);
    return {sum, slot, 0};
}

// The number (plus one) of the cell looked up, 0 for none.
uint32_t CellNumberOf(SmoothWork* work, const CellLook& look)
{
    return look.number != 0 ? look.number : FindSlotFrom(work, look.sum, look.slot)->number;
}

// The cells of one kind that the box around a vertex reaches and that may hold vertices.
struct BoxLooks
{
    int count;
    CellLook cells[8];
};

// The sums of the cells of one kind that the box around p reaches: 1 to 8 of them.
int BoxCellSums(const Vec3& p, VertexKind kind, uint32_t sums[8])
{
    const float c[3] = {p.x, p.y, p.z};
    uint32_t terms[3][2]; // the weighted low and high cell of each axis
    int reach[3];         // 1 or 2 cells
    for (int a = 0; a < 3; ++a)
    {
        int64_t low, high;
        AxisReach(c[a], &low, &high);
        terms[a][0] = AxisTerm(low, a);
        terms[a][1] = AxisTerm(high, a);
        reach[a] = high > low ? 2 : 1;
    }
    int count = 0;
    for (int x = 0; x < reach[0]; ++x)
        for (int y = 0; y < reach[1]; ++y)
            for (int z = 0; z < reach[2]; ++z)
                sums[count++] =
                    terms[0][x] + terms[1][y] + terms[2][z] + uint32_t(kind) * kindWeight;
    return count;
}

// own: the cell of the vertex planned for, as a look, when it is a cell of this kind (number
// 0 otherwise): it is taken without a look into the table.
void PlanBoxLooks(const SmoothWork* work, const Vec3& p, VertexKind kind, const CellLook& own,
                  BoxLooks* looks)
{
    uint32_t sums[8];
    int count = BoxCellSums(p, kind, sums);
    looks->count = 0;
    for (int k = 0; k < count; ++k)
    {
        uint64_t key = KeyOf(sums[k]);
        if (own.number != 0 && sums[k] == own.sum)
            looks->cells[looks->count++] = own;
        else if (MayHoldCell(work, key))
            looks->cells[looks->count++] = LookAhead(work, sums[k], key);
    }
}

bool InSeamBox(const Vec3& a, const Vec3& b)
{
    return std::fabs(double(b.x) - double(a.x)) < seamBox &&
           std::fabs(double(b.y) - double(a.y)) < seamBox &&
           std::fabs(double(b.z) - double(a.z)) < seamBox;
}

// ---- facets of each vertex ----

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
    ReleaseArray(work->cellOf);
    ReleaseArray(work->runs);
    ReleaseArray(work->cellVertex);
    std::memset(work, 0, sizeof *work);
}

// Counts the uses of each vertex and the vertices the grid will hold, and makes room for the
// lists of facets per vertex. The lists are filled later, facet by facet (ListFacetUses):
// useStart[v + 1] is the fill point of vertex v's list, and once every facet is listed the
// list of v is useFacets[useStart[v]..useStart[v + 1]).
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
        work->gridVertices += count > 0 && VertexIsFinite(mesh->vertices[v]);
    }
    return true;
}

// Adds facet f to the list of each vertex it uses; called in ascending facet order.
void ListFacetUses(const Mesh* mesh, SmoothWork* work, uint32_t f)
{
    ForEachUsedVertex(mesh->facets[f], mesh->vertexCount,
                      [&](uint32_t v) { work->useFacets[work->useStart[v + 1]++] = f; });
}

bool IsZeroOrNan(const Vec3& v)
{
    return (v.x == 0 && v.y == 0 && v.z == 0) || std::isnan(v.x) || std::isnan(v.y) ||
           std::isnan(v.z);
}

// Needs the facet lists and the face normals.
VertexKind KindOf(const Mesh* mesh, const SmoothWork* work, uint32_t v)
{
    if (work->useStart[v] == work->useStart[v + 1] || !VertexIsFinite(mesh->vertices[v]))
        return KIND_NONE;
    for (uint32_t u = work->useStart[v]; u < work->useStart[v + 1]; ++u)
        if (!IsZeroOrNan(mesh->facets[work->useFacets[u]].faceNormal))
            return KIND_OFFERING;
    return KIND_MUTE;
}

// ---- the grid ----

// Room for the grid: slots for half as many cells again as it has vertices, 16 filter bits
// per vertex, the cell of each vertex, and the runs of vertices.
bool TakeGrid(SmoothWork* work)
{
    uint32_t count = work->gridVertices;
    uint64_t slotCount = uint64_t(count) + count / 2 + 1;
    if (slotCount > UINT32_MAX)
        return false;
    work->slotCount = uint32_t(slotCount);
    // 32-bit words: a 32-bit build shifts them in one instruction
    uint32_t filterWords = count / 2 < UINT32_MAX / 32 ? count / 2 + 1 : UINT32_MAX / 32;
    work->filterBits = filterWords * 32;
    return Take(work->slots, work->slotCount, work) && Take(work->filter, filterWords, work) &&
           Take(work->cellOf, work->vertexCount ? work->vertexCount : 1, work) &&
           Take(work->runs, count ? count : 1, work) &&
           Take(work->cellVertex, count ? count : 1, work);
}

bool IsMarked(const SmoothWork* work, uint32_t v)
{
    return work->mark[v] & markedBit;
}

VertexKind StoredKind(const SmoothWork* work, uint32_t v)
{
    return VertexKind(work->mark[v] >> 1);
}

// Keeps the kind of every vertex in the mark array, unmarked.
void ClassifyVertices(const Mesh* mesh, SmoothWork* work)
{
    for (uint32_t v = 0; v < mesh->vertexCount; ++v)
    {
        VertexKind kind = KindOf(mesh, work, v);
        work->mark[v] = uint8_t(kind << 1);
        work->muteVertices += kind == KIND_MUTE;
    }
}

// The sum of the cell of vertex v; false when v stays out of the grid.
bool GridSumOf(const Mesh* mesh, const SmoothWork* work, uint32_t v, uint32_t* sum)
{
    VertexKind kind = StoredKind(work, v);
    if (kind == KIND_NONE)
        return false;
    const Vec3& p = mesh->vertices[v];
    *sum = CellSum(AxisCell(p.x), AxisCell(p.y), AxisCell(p.z), kind);
    return true;
}

// Enters the cell of vertex v into the table and the filter if it is new, numbering it, and
// counts v in the cell's end for now.
void NumberCell(SmoothWork* work, uint32_t v, const CellLook& look, uint32_t* cells)
{
    CellSlot* slot = FindSlotFrom(work, look.sum, look.slot);
    if (slot->number == 0)
    {
        slot->sum = look.sum;
        slot->number = ++*cells;
        uint32_t bit = FilterBit(work, KeyOf(look.sum));
        work->filter[bit / 32] |= uint32_t(1) << (bit % 32);
    }
    work->cellOf[v] = slot->number - 1;
    ++work->runs[slot->number - 1].end;
}

// Numbers every occupied cell in order of its first vertex, with the table's slots asked for
// lookAhead vertices early; returns the number of cells.
uint32_t NumberCells(const Mesh* mesh, SmoothWork* work)
{
    uint32_t count = mesh->vertexCount, cells = 0;
    CellLook ahead[lookAhead] = {};
    bool inGrid[lookAhead] = {};
    for (uint64_t n = 0; n < uint64_t(count) + lookAhead; ++n)
    {
        uint32_t at = uint32_t(n % lookAhead);
        if (n >= lookAhead && inGrid[at])
            NumberCell(work, uint32_t(n - lookAhead), ahead[at], &cells);
        if (n >= count)
            continue;
        uint32_t sum = 0;
        inGrid[at] = GridSumOf(mesh, work, uint32_t(n), &sum);
        if (inGrid[at])
            ahead[at] = LookAhead(work, sum, KeyOf(sum));
    }
    return cells;
}

// Turns the counts into the end of each cell's run, so that the runs follow the cell
// numbers, with head at the end for now.
void PlaceRuns(SmoothWork* work, uint32_t cells)
{
    uint32_t end = 0;
    for (uint32_t c = 0; c < cells; ++c)
    {
        end += work->runs[c].end;
        work->runs[c].head = work->runs[c].end = end;
    }
}

// Fills the runs backwards, so each run is ascending and head ends at its start.
void FillRuns(const Mesh* mesh, SmoothWork* work)
{
    for (uint32_t v = mesh->vertexCount; v-- > 0;)
        if (StoredKind(work, v) != KIND_NONE)
            work->cellVertex[--work->runs[work->cellOf[v]].head] = v;
}

// Groups the used, finite vertices by cell and kind; needs the facet lists and face normals.
void BuildGrid(const Mesh* mesh, SmoothWork* work)
{
    ClassifyVertices(mesh, work);
    uint32_t cells = NumberCells(mesh, work);
    PlaceRuns(work, cells);
    FillRuns(mesh, work);
}

// Allocates every working array, so that nothing can fail once the mesh changes; on failure
// releases them all. The facet lists and the grid are filled later.
bool PrepareSmoothWork(const Mesh* mesh, SmoothWork* work)
{
    std::memset(work, 0, sizeof *work);
    work->vertexCount = mesh->vertexCount;
    bool ready = Take(work->mark, mesh->vertexCount ? mesh->vertexCount : 1, work) &&
                 CountUses(mesh, work) && TakeGrid(work);
    if (!ready)
        ReleaseSmoothWork(work);
    return ready;
}

// ---- groups ----

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

// A sum that is zero or NaN after its first normal refuses every offer: the dot product with
// it is 0 or NaN whatever is offered (face normals are finite or NaN).
bool SumIsClosed(const Gather& gather)
{
    return gather.n > 0 && IsZeroOrNan(gather.sum);
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

// The candidates of a group: runs of the cells its box reaches, the offering ones first.
struct Candidates
{
    int count;    // runs in use
    int offering; // runs of offering vertices, at the front
    Run runs[16];
    uint32_t cells[16]; // their cells' numbers plus one
};

// Adds the runs of the looked-up cells, each trimmed of entries that are i or lower or
// already marked; a cell met twice (sums that collide) is taken once.
void AddRuns(SmoothWork* work, uint32_t i, const BoxLooks& looks, Candidates* candidates)
{
    for (int c = 0; c < looks.count; ++c)
    {
        uint32_t number = CellNumberOf(work, looks.cells[c]);
        bool seen = number == 0;
        for (int k = 0; k < candidates->count; ++k)
            seen = seen || candidates->cells[k] == number;
        if (seen)
            continue;
        CellRun& run = work->runs[number - 1];
        uint32_t head = run.head, end = run.end;
        while (head < end &&
               (work->cellVertex[head] <= i || IsMarked(work, work->cellVertex[head])))
            ++head;
        run.head = head;
        if (head < end)
        {
            candidates->cells[candidates->count] = number;
            candidates->runs[candidates->count++] = {work->cellVertex + head,
                                                     work->cellVertex + end};
        }
    }
}

// Takes the lowest vertex left in the runs; false when they are empty.
bool NextCandidate(Candidates* candidates, uint32_t* vertex)
{
    Run* runs = candidates->runs;
    int best = -1;
    for (int r = 0; r < candidates->count; ++r)
        if (runs[r].at < runs[r].end && (best < 0 || *runs[r].at < *runs[best].at))
            best = r;
    if (best < 0)
        return false;
    *vertex = *runs[best].at++;
    return true;
}

// The recorded partners of a group.
struct Partners
{
    uint32_t count;
    uint32_t list[maxPartners];
};

// Offers the facets of every later unmarked vertex within the box around i, in vertex order,
// and records up to 30 that had an offer accepted. Mute vertices are candidates only while
// the sum is empty, which is only so for a vertex i that no facet uses.
void GatherPartners(Mesh* mesh, SmoothWork* work, uint32_t i, const BoxLooks& looks, Gather& gather,
                    Partners* partners)
{
    Candidates candidates;
    candidates.count = 0;
    AddRuns(work, i, looks, &candidates);
    candidates.offering = candidates.count;
    if (gather.n == 0 && work->muteVertices > 0)
    {
        BoxLooks muteLooks;
        PlanBoxLooks(work, mesh->vertices[i], KIND_MUTE, CellLook{0, 0, 0}, &muteLooks);
        AddRuns(work, i, muteLooks, &candidates);
    }
    uint32_t j;
    while (!SumIsClosed(gather) && NextCandidate(&candidates, &j))
    {
        if (IsMarked(work, j) || !InSeamBox(mesh->vertices[i], mesh->vertices[j]))
            continue;
        if (OfferFacetsOf(mesh, work, j, gather) == 0)
            continue;
        candidates.count = candidates.offering; // the sum is no longer empty
        if (partners->count < maxPartners)
        {
            partners->list[partners->count++] = j;
            mesh->flags |= MESH_DUPLICATE_NORMALS;
        }
    }
}

// Writes the group's normal to i and its recorded partners, and marks the partners.
void WriteGroupNormal(Mesh* mesh, SmoothWork* work, uint32_t i, const Gather& gather,
                      const Partners& partners)
{
    Vec3& normal = mesh->normals[i];
    normal.x = float(double(gather.sum.x) / gather.n);
    normal.y = float(double(gather.sum.y) / gather.n);
    normal.z = float(double(gather.sum.z) / gather.n);
    NormalizeVector(normal);
    for (uint32_t k = 0; k < partners.count; ++k)
    {
        mesh->normals[partners.list[k]] = normal;
        work->mark[partners.list[k]] |= markedBit;
    }
}

// Forms the group around vertex i and writes its normal to i and its recorded partners.
// looks holds the offering cells its box reaches (none for a vertex that is not finite).
void SmoothGroup(Mesh* mesh, SmoothWork* work, uint32_t i, const BoxLooks& looks)
{
    Gather gather = {{0.0f, 0.0f, 0.0f}, 0};
    Partners partners;
    partners.count = 0;
    OfferFacetsOf(mesh, work, i, gather);
    if (VertexIsFinite(mesh->vertices[i]) && !SumIsClosed(gather))
        GatherPartners(mesh, work, i, looks, gather, &partners);
    if (gather.n > 0)
        WriteGroupNormal(mesh, work, i, gather, partners);
}

// The offering cells planned last and the position they were planned for: runs of vertices
// at one place (piles, unused copies) reuse them.
struct PlanCache
{
    bool valid;
    Vec3 at;
    BoxLooks looks;
};

// Plans the cell looks of vertex v, unless it is marked or not finite.
void PlanVertex(const Mesh* mesh, const SmoothWork* work, uint32_t v, PlanCache* cache,
                BoxLooks* looks)
{
    looks->count = 0;
    const Vec3& p = mesh->vertices[v];
    if (IsMarked(work, v) || !VertexIsFinite(p))
        return;
    if (!cache->valid || std::memcmp(&cache->at, &p, sizeof p) != 0)
    {
        CellLook own = {0, 0, 0};
        if (StoredKind(work, v) == KIND_OFFERING && GridSumOf(mesh, work, v, &own.sum))
        {
            own.number = work->cellOf[v] + 1;
            __builtin_prefetch(&work->runs[work->cellOf[v]]);
        }
        PlanBoxLooks(work, p, KIND_OFFERING, own, &cache->looks);
        cache->at = p;
        cache->valid = true;
    }
    looks->count = cache->looks.count;
    for (int c = 0; c < looks->count; ++c)
        looks->cells[c] = cache->looks.cells[c];
}

void ReportVertexProgress(uint32_t i, uint32_t vertexCount, uint32_t* sweep)
{
    uint32_t stepA = vertexCount / 100, stepB = stepA / 50;
    *sweep += stepA;
    if (*sweep >= vertexCount)
        *sweep = 0;
    if (stepA == 0 || i % stepA == 0)
        SetProgressPos(i);
    if (stepB == 0 || i % stepB == 0)
        SetProgressPos2(*sweep);
}

void RunSmoothing(Mesh* mesh, SmoothWork* work)
{
    uint32_t vertexCount = mesh->vertexCount, sweep = 0;
    PlanCache cache;
    cache.valid = false;
    BoxLooks ahead[lookAhead]; // the looks of vertex v are in ahead[v % lookAhead]
    for (uint32_t v = 0; v < lookAhead && v < vertexCount; ++v)
        PlanVertex(mesh, work, v, &cache, &ahead[v]);
    for (uint32_t i = 0; i < vertexCount; ++i)
    {
        ReportVertexProgress(i, vertexCount, &sweep);
        if (!IsMarked(work, i))
            SmoothGroup(mesh, work, i, ahead[i % lookAhead]);
        if (uint64_t(i) + lookAhead < vertexCount)
            PlanVertex(mesh, work, i + lookAhead, &cache, &ahead[i % lookAhead]);
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
    BuildGrid(mesh, &work);
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
    BuildGrid(mesh, &work);
    RunSmoothing(mesh, &work);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ReleaseSmoothWork(&work);
    mesh->normalCount = vertexCount;
    mesh->flags |= MESH_HAS_NORMALS | MESH_SMOOTHED;
    return 1;
}
