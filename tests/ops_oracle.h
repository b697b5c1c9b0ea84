// Plain, slow versions of the mesh operations, written step by step as the operations are
// defined, for comparison with the fast ones on generated meshes.
#pragma once

struct Mesh;

// Every facet scans all facets and all later vertices; every normal all later normals.
int OracleSmoothMeshNormals(Mesh* mesh);
void OracleComputeFaceNormals(Mesh* mesh);
void OracleSmoothVertexNormals(Mesh* mesh);
void OracleCompactNormals(Mesh* mesh);
void OracleConvertQuadsToTriangles(Mesh* mesh);
