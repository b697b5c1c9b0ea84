// AnalyzeMeshNormals: whether two normals of a mesh are equal, found by hashing.
//
// The result and the progress calls are those of comparing every normal i with every later
// normal j and stopping at the first equal pair: that pair's i is the smallest index whose
// value occurs again further on. A hash table of first occurrences finds it in one pass.
#include "mesh.h"

#include "ui/progress.h"

#include <cstdint>
#include <cstring>

namespace
{

// The bits that decide equality: -0 compares equal to 0, so both hash alike.
inline uint32_t KeyBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits << 1) == 0 ? 0 : bits;
}

inline bool Comparable(const Vec3& v)
{
    return v.x == v.x && v.y == v.y && v.z == v.z;
}

inline bool Equal(const Vec3& a, const Vec3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

inline uint32_t Hash(const Vec3& v)
{
    uint64_t h = KeyBits(v.x) * 0x9E3779B97F4A7C15ull;
    h = (h ^ KeyBits(v.y)) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ KeyBits(v.z)) * 0x165667B19E3779F9ull;
    return uint32_t(h >> 32);
}

const uint32_t NO_PAIR = UINT32_MAX;

// The smallest i with an equal normal after it, by comparing pairs; for when no table fits.
uint32_t FirstPairByComparing(const Vec3* normals, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t j = i + 1; j < count; ++j)
            if (Equal(normals[i], normals[j]))
                return i;
    return NO_PAIR;
}

// The same through a table of first occurrences (slot holds index + 1, 0 when empty).
uint32_t FirstPairByHashing(const Vec3* normals, uint32_t count, uint32_t* table, size_t size)
{
    uint32_t first = NO_PAIR;
    size_t mask = size - 1;
    for (uint32_t j = 0; j < count; ++j)
    {
        if (!Comparable(normals[j]))
            continue; // NaN equals nothing, itself included
        size_t slot = Hash(normals[j]) & mask;
        while (table[slot] != 0 && !Equal(normals[table[slot] - 1], normals[j]))
            slot = (slot + 1) & mask;
        if (table[slot] == 0)
            table[slot] = j + 1;
        else if (table[slot] - 1 < first && (first = table[slot] - 1) == 0)
            break; // no pair can start before normal 0
    }
    return first;
}

uint32_t FindFirstPair(const Vec3* normals, uint32_t count)
{
    if (size_t(count) > SIZE_MAX / 8)
        return FirstPairByComparing(normals, count); // no table of that size can exist
    size_t size = 1;
    while (size < size_t(count) * 2)
        size <<= 1;
    uint32_t* table = AllocateArrayOf<uint32_t>(size);
    if (!table)
        return FirstPairByComparing(normals, count);
    uint32_t first = FirstPairByHashing(normals, count, table, size);
    ReleaseArray(table);
    return first;
}

} // namespace

void AnalyzeMeshNormals(Mesh* mesh)
{
    if (!mesh || !(mesh->flags & MESH_HAS_NORMALS) || mesh->normalCount == 0)
        return;
    uint32_t count = mesh->normalCount;
    int32_t range = count > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(count);
    ShowProgress("Analyzing Mesh Normals...", 0, range, 0, range, true);
    uint32_t first = FindFirstPair(mesh->normals, count);
    // the bar moves as the pairwise comparison would have moved it up to that pair
    uint32_t last = first == NO_PAIR ? count - 1 : first;
    uint32_t step = count / 100;
    for (uint32_t i = 0; i <= last; ++i)
        if (step == 0 || i % step == 0)
            SetProgressPos(i);
    if (first != NO_PAIR)
    {
        mesh->flags |= MESH_DUPLICATE_NORMALS;
        SetProgressPos(count);
    }
    ShowProgress("Done", 0, range, 0, range, false);
}
