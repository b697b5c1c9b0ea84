// The one invariant checker and the one comparison image of the mesh record, shared by the
// unit tests and the fuzz target. Free of any test framework: each caller reports what the
// checker finds in its own way (a gtest failure, or an abort the fuzzer catches).
#pragma once

#include "mesh/mesh.h"

#include <cstdint>
#include <string>

// What the mesh went through since it was read, for the rules that depend on it.
struct MeshHistory
{
    bool freshlyRead;     // no operation has run yet
    bool smoothed;        // Smooth Seams ran at least once
    bool smoothedUnsaved; // Smooth Seams ran since the last successful write
};

// Every broken invariant of the record, one line each; empty when all hold. Without a history
// the record may come from anywhere (a hand-built test mesh, any operation). With one it came
// from the reader and the operations the history names, and is held to their exact rules:
// array sizes, every flag, the bounds and unit scale of a fresh read, at most 256 names.
std::string MeshInvariantFailures(const Mesh* mesh, const MeshHistory* history = nullptr);

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

// Every meaningful byte of the record (texts, counts, flags, factors, bounds, arrays up to
// their counts, each facet's indices, face normal and used corners, names and lists) but the
// parts left out, without pointer values: two records with equal images are the same mesh.
std::string MeshImage(const Mesh* mesh, uint32_t leftOut = IMAGE_ALL);
// Gives every NaN among the normals and face normals one sign and payload. Arithmetic on two
// NaNs keeps the first operand's, and which one comes first is the compiler's choice, so two
// builds may differ there and nowhere else; compare images of meshes treated so.
void UnifyComputedNans(Mesh* mesh);

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
