// The OBJ writer done the plain way: one fprintf per piece of the file, straight into a stream
// opened with mode "w". Kept beside the benchmarks as the measure the writer is compared with.
#pragma once

#include <cstdint>

struct Mesh;

// Writes the mesh to path with the given option word, in the writer's file layout; false when
// the file cannot be opened or a write fails. Adds no extension and uses no temporary file.
bool WriteObjMeshFprintf(const Mesh* mesh, const char* path, uint32_t options);
