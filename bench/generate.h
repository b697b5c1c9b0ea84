// Deterministic OBJ meshes for benchmarks: a torus with texture seams.
//
// The torus is a grid of rings; the first and last column and row repeat the same positions
// with other texture coordinates, so positions at the seams are stored twice. Most grid
// cells are quads, every third row is split into two triangles per cell. Rows fall into
// several groups ("g ring_N"), columns into several materials ("usemtl band_N"), and the
// file names a material library. The same arguments always give the same bytes.
#pragma once

#include <cstdint>
#include <string>

enum GeneratedFaceForm
{
    GENERATED_FACES_VTN, // f v/vt/vn ...
    GENERATED_FACES_VT,  // f v/vt ... (no vn lines)
};

// What a generated file holds.
struct GeneratedObjInfo
{
    uint32_t vertexCount;
    uint32_t uvCount;
    uint32_t normalCount;
    uint32_t facetCount;
    uint32_t quadCount;
    uint32_t groupCount;    // named groups, without "Default"
    uint32_t materialCount; // named materials, without "Default"
    uint64_t lineCount;
    uint64_t byteCount;
};

// OBJ text with exactly facetCount facets (1 or more); info, when given, receives the counts.
std::string GenerateObjText(uint32_t facetCount, GeneratedFaceForm form,
                            GeneratedObjInfo* info = nullptr);

// Writes the same text to a file without holding it in memory; false when the file cannot
// be written.
bool WriteGeneratedObj(const char* path, uint32_t facetCount, GeneratedFaceForm form,
                       GeneratedObjInfo* info = nullptr);
