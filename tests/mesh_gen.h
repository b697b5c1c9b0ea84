// In-memory meshes for tests and benchmarks: hand-built records, random meshes with seams
// and awkward cases, and deep copies (mesh_check.h gives the image to compare them by).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh_check.h"
#include "progress_recorder.h"

// A zero-filled record with vertexCount vertices at the origin, facetCount triangles
// (corners 0, 0, 0), "Default" plus numbered extra groups and materials, scale 1.
Mesh* NewMesh(uint32_t vertexCount, uint32_t facetCount, uint32_t groupCount = 1,
              uint32_t materialCount = 1);
// Gives the mesh normalCount zero normals (replacing any) and sets MESH_HAS_NORMALS.
void SetNormalCount(Mesh* mesh, uint32_t normalCount);
// Sets facet f to the triangle or quad of the given vertices; uv and normal indices copy them.
void SetTriangle(Mesh* mesh, uint32_t f, int32_t a, int32_t b, int32_t c);
void SetQuad(Mesh* mesh, uint32_t f, int32_t a, int32_t b, int32_t c, int32_t d);
// Recounts quads, sets the flags the reader would, rebuilds every facet list and the bounds.
void FinishMesh(Mesh* mesh);

// Options of the random generator; the draw picks everything else.
struct MeshGenOptions
{
    uint32_t gridSize;  // positions per side of the height field
    uint32_t maxCopies; // most vertices stored at one position (seams), at least 1
    bool quads;         // some grid cells become quads
    bool awkward;       // NaN/inf/huge coordinates, degenerate facets, repeated corners
    bool extraNormals;  // normals from a small palette, more than vertices at times
};

// A random mesh: a height field whose positions are stored up to maxCopies times (offsets
// at and around the 0.0005 box edge and the grid's cell borders), facets facing both ways,
// unused vertices, several groups and materials.
Mesh* GenerateMesh(uint32_t draw, const MeshGenOptions& options);
// Options drawn from the draw, covering every feature over many draws.
MeshGenOptions OptionsForDraw(uint32_t draw);

// A deep copy, allocated like the original.
Mesh* CopyMesh(const Mesh* mesh);

// Owns a mesh and frees it with FreeMesh.
struct MeshDeleter
{
    void operator()(Mesh* mesh) const
    {
        FreeMesh(mesh);
    }
};
typedef std::unique_ptr<Mesh, MeshDeleter> MeshPtr;

// Runs an operation with the progress log emptied first and returns what it recorded.
template <typename Operation> std::vector<std::string> RecordProgress(Operation operation)
{
    progressLog.clear();
    operation();
    std::vector<std::string> log;
    log.swap(progressLog);
    return log;
}
