// Hand-built meshes and export helpers for the writer's tests.
#pragma once

#include "mesh/mesh.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

struct TestFacet
{
    uint32_t group;
    uint32_t material;
    std::vector<std::array<int, 3>> corners; // vertex, texture, normal index (0-based)
};

struct TestMesh
{
    std::vector<Vec3> vertices;
    std::vector<std::array<float, 2>> uvs;
    std::vector<Vec3> normals;
    std::vector<TestFacet> facets;
    std::vector<std::string> groups = {"Default"};
    std::vector<std::string> materials = {"Default"};
    std::string library;
};

struct MeshDeleter
{
    void operator()(Mesh* mesh) const
    {
        FreeMesh(mesh);
    }
};
typedef std::unique_ptr<Mesh, MeshDeleter> MeshPtr;

// Builds a record as the reader leaves it: exact arrays, ascending facet lists, the flags.
MeshPtr BuildMesh(const TestMesh& shape);

// One triangle over (0,0,0), (1,0,0), (0,1,0), nothing else.
TestMesh OneTriangle();
// Vertices, texture coordinates, normals, a quad and triangles over three groups and three
// materials, and a material library.
TestMesh FullMesh();

// Writes the mesh with WriteObjMeshFile to a scratch file and returns its text with line ends
// as "\n". On Windows it also checks that every line end in the file was "\r\n".
std::string ExportText(Mesh* mesh, uint32_t options, const std::string& tag = "out.obj");
