// Checks of the fuzz target: every invariant of the mesh record, and what each operation and
// a write followed by a read must leave. A failed check prints what broke and aborts, which
// the fuzzer reports as a crash with the input that caused it.
#pragma once

#include "mesh/mesh.h"

#include <cstdint>
#include <string>

#define FUZZ_CHECK(condition, ...)                                                                 \
    do                                                                                             \
    {                                                                                              \
        if (!(condition))                                                                          \
            FuzzFailure(__FILE__, __LINE__, #condition, __VA_ARGS__);                              \
    } while (0)

// Prints the failed condition and the formatted detail, then aborts.
[[noreturn]] void FuzzFailure(const char* file, int line, const char* condition, const char* format,
                              ...);

// What the mesh went through since it was read, for the flags that depend on it.
struct MeshHistory
{
    bool freshlyRead;     // no operation has run yet
    bool smoothed;        // Smooth Seams ran at least once
    bool smoothedUnsaved; // Smooth Seams ran since the last successful write
};

// Every invariant of the record. A freshly read record is held to the reader's exact rules
// (array sizes, flags, bounds, unit scale); afterwards arrays may be longer than their counts.
void CheckMesh(const Mesh* mesh, const MeshHistory& history);

// Parts of the record an image leaves out, for operations that change them.
enum : uint32_t
{
    IMAGE_ALL = 0,
    IMAGE_NO_NORMALS = 0x01, // normalCount and the normals
    IMAGE_NO_FACETS = 0x02,  // facetCount, quadCount and the facets
    IMAGE_NO_LISTS = 0x04,   // the facet lists of groups and materials
    IMAGE_NO_FLAGS = 0x08,
    IMAGE_NO_SCALE = 0x10, // the factors and the bounds
};

// Every meaningful byte of the record (counts, flags, factors, bounds, arrays up to their
// counts, the used corners of each facet, names and lists) but the parts left out, for
// "unchanged" checks.
std::string MeshImage(const Mesh* mesh, uint32_t leftOut = IMAGE_ALL);

// A deep copy of the record, its arrays cut to their counts (the tests' own, in
// tests/mesh_gen.cpp).
Mesh* CopyMesh(const Mesh* mesh);

// The bounds the reader gives for the stored vertices (a NaN becomes the minimum), and the
// bounds a scale change recomputes (a NaN is passed over).
void ReaderBounds(const Mesh* mesh, Vec3* low, Vec3* high);
void RescaledBounds(const Mesh* mesh, Vec3* low, Vec3* high);

// True when two normals are equal component by component (0 and -0 alike, NaN never).
bool SameNormal(const Vec3& a, const Vec3& b);
// True when some two of the first count normals are equal.
bool HasEqualNormals(const Vec3* normals, uint32_t count);
// For each of the count normals, the index of the first normal equal to it (itself when none
// comes earlier).
void FirstEqualNormals(const Vec3* normals, uint32_t count, uint32_t* first);

// Checks a number read back from a written file against the value written: the text holds
// written rounded to eight decimals ("nan", "inf" spelled out), read back as a float.
void CheckReadBack(double written, float read, const char* what, uint32_t index);
