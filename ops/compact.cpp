// Normal compaction: each set of equal normals is stored once, in order of first occurrence,
// and every corner is renumbered to match. Equal normals are found through a hash of their
// components, so the cost is linear in normals and corners.
#include "ops/ops.h"

#include "ui/progress.h"

#include <cmath>
#include <cstring>

namespace
{

struct CompactWork
{
    Vec3* kept;      // normalCount: the new normal array
    uint32_t* map;   // normalCount: new index of each old normal
    uint32_t* slots; // hash of kept normals: old index + 1, 0 when empty
    uint32_t slotMask;
};

// The bits of a component with -0 read as 0, so equal values hash alike.
uint32_t ComponentBits(float value)
{
    if (value == 0.0f)
        return 0;
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint32_t HashNormal(const Vec3& n)
{
    uint32_t h = ComponentBits(n.x) * 0x9E3779B1u ^ ComponentBits(n.y) * 0x85EBCA77u ^
                 ComponentBits(n.z) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    return h;
}

bool SameNormal(const Vec3& a, const Vec3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool HasNaN(const Vec3& n)
{
    return std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z);
}

void ReleaseCompactWork(CompactWork* work)
{
    ReleaseArray(work->kept);
    ReleaseArray(work->map);
    ReleaseArray(work->slots);
}

bool PrepareCompactWork(uint32_t normalCount, CompactWork* work)
{
    std::memset(work, 0, sizeof *work);
    // no array of that many normals can exist, and doubling the slot count would wrap
    if (size_t(normalCount) > SIZE_MAX / 8)
        return false;
    size_t slotCount = 2;
    while (slotCount < size_t(normalCount) * 2)
        slotCount *= 2;
    work->slotMask = uint32_t(slotCount - 1);
    work->kept = AllocateLargeArrayOf<Vec3>(normalCount);
    work->map = work->kept ? AllocateLargeArrayOf<uint32_t>(normalCount) : nullptr;
    work->slots = work->map ? AllocateLargeArrayOf<uint32_t>(slotCount) : nullptr;
    if (work->slots)
        return true;
    ReleaseCompactWork(work);
    return false;
}

// The progress rule of both passes: primary bar about 100 times, secondary as a sweep.
struct Sweep
{
    uint32_t total, stepA, stepB, value;
};

Sweep StartSweep(uint32_t total)
{
    return {total, total / 100, total / 100 / 50, 0};
}

void StepSweep(Sweep& sweep, uint32_t i)
{
    sweep.value += sweep.stepA;
    if (sweep.value >= sweep.total)
        sweep.value = 0;
    if (sweep.stepA == 0 || i % sweep.stepA == 0)
        SetProgressPos(i);
    if (sweep.stepB == 0 || i % sweep.stepB == 0)
        SetProgressPos2(sweep.value);
}

// Finds the first earlier normal equal to normal i, or keeps i; returns the kept count.
uint32_t KeepOrMap(const Vec3* normals, uint32_t i, CompactWork* work, uint32_t kept)
{
    const Vec3& n = normals[i];
    if (!HasNaN(n)) // NaN equals nothing, not even itself
    {
        uint32_t slot = HashNormal(n) & work->slotMask;
        for (; work->slots[slot] != 0; slot = (slot + 1) & work->slotMask)
        {
            uint32_t first = work->slots[slot] - 1;
            if (SameNormal(normals[first], n))
            {
                work->map[i] = work->map[first];
                return kept;
            }
        }
        work->slots[slot] = i + 1;
    }
    work->kept[kept] = n;
    work->map[i] = kept;
    return kept + 1;
}

// Every corner's new index: its normal's place among the kept ones. Indices past the end
// drop by the number of removed normals; negative ones stay.
void RenumberCorners(Mesh* mesh, const CompactWork* work, uint32_t removed)
{
    uint32_t normalCount = mesh->normalCount;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        Facet& facet = mesh->facets[f];
        uint32_t corners = facet.cornerCount < uint32_t(FACET_MAX_CORNERS)
                               ? facet.cornerCount
                               : uint32_t(FACET_MAX_CORNERS);
        for (uint32_t k = 0; k < corners; ++k)
        {
            int32_t index = facet.normalIndex[k];
            if (index < 0)
                continue;
            if (uint32_t(index) < normalCount)
                facet.normalIndex[k] = int32_t(work->map[index]);
            else
                facet.normalIndex[k] = int32_t(uint32_t(index) - removed);
        }
    }
}

} // namespace

void CompactNormals(Mesh* mesh)
{
    uint32_t normalCount = mesh->normalCount;
    if (!(mesh->flags & MESH_HAS_NORMALS) || normalCount == 0 || !mesh->normals)
        return;
    CompactWork work;
    if (!PrepareCompactWork(normalCount, &work))
        return;
    ShowProgress("Removing Duplicate Normals...", 0, int32_t(normalCount), 0, int32_t(normalCount),
                 true);
    Sweep sweep = StartSweep(normalCount);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < normalCount; ++i)
    {
        StepSweep(sweep, i);
        kept = KeepOrMap(mesh->normals, i, &work, kept);
    }
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Fixing up Normal Indices...", 0, int32_t(normalCount), 0, int32_t(normalCount),
                 true);
    sweep = StartSweep(normalCount);
    for (uint32_t j = 0; j < normalCount; ++j)
        StepSweep(sweep, j);
    RenumberCorners(mesh, &work, normalCount - kept);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ReleaseArray(mesh->normals);
    mesh->flags &= ~uint32_t(MESH_DUPLICATE_NORMALS);
    mesh->normals = work.kept;
    mesh->normalCount = kept;
    work.kept = nullptr;
    ReleaseCompactWork(&work);
}
