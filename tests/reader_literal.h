// A literal OBJ reader: fgets into a 256-byte buffer and sscanf on each line, comparing every
// normal with every later one. Slow; the oracle the fast reader is compared with, and the
// baseline of the import benchmark. Makes the same decisions about facet counts, long names
// and face indices as ReadObjMesh, and the same progress calls.
#pragma once

struct Mesh;

// Reads the file in text mode; on POSIX systems carriage returns reach the parser, so callers
// compare with files without CR LF line ends.
Mesh* ReadObjMeshLiteral(const char* path);

// Sets MESH_DUPLICATE_NORMALS by comparing every pair in order, with the progress calls.
void AnalyzeMeshNormalsLiteral(Mesh* mesh);
