// Every prefix of a few files, as a file cut short would leave it, is read, changed by every
// operation, written and read back; the record stays sound at every step.
#include "export/export.h"
#include "mesh/mesh.h"
#include "ops/ops.h"
#include "progress_recorder.h"
#include "test_hooks.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// A file of the source tree, found from this file's own path.
std::string SourceFile(const std::string& name)
{
    std::string here = __FILE__;
    size_t slash = here.find_last_of("/\\");
    return here.substr(0, slash + 1) + "../" + name;
}

// The record's invariants after an operation. Smooth Seams on a mesh without vertices sets
// MESH_HAS_NORMALS over no normals, which is the one state the reader never gives.
void CheckAfterOperation(const Mesh* mesh)
{
    if (mesh->vertexCount == 0 && (mesh->flags & MESH_SMOOTHED))
    {
        EXPECT_EQ(mesh->normalCount, 0u);
        EXPECT_EQ(mesh->facetCount, 0u);
        return;
    }
    CheckMeshInvariants(mesh);
}

void RunOperations(Mesh* mesh)
{
    CompactNormals(mesh);
    CheckAfterOperation(mesh);
    EXPECT_FALSE(mesh->flags & MESH_DUPLICATE_NORMALS);
    uint32_t facets = mesh->facetCount + mesh->quadCount;
    ConvertQuadsToTriangles(mesh);
    CheckAfterOperation(mesh);
    EXPECT_EQ(mesh->facetCount, facets);
    EXPECT_EQ(mesh->quadCount, 0u);
    EXPECT_NE(SmoothMeshNormals(mesh), 0);
    CheckAfterOperation(mesh);
    EXPECT_EQ(mesh->normalCount, mesh->vertexCount);
    CompactNormals(mesh);
    CheckAfterOperation(mesh);
    EXPECT_TRUE(SetMeshScale(mesh, 2.0f, 0.05f, 20.0f));
}

// Writes the mesh and reads the file back: every facet comes back.
void WriteAndReadBack(Mesh* mesh, uint32_t options)
{
    std::string out = ScratchPath("out.obj");
    ASSERT_TRUE(WriteObjMeshFile(mesh, out.c_str(), options));
    Mesh* back = ReadObjMesh(out.c_str());
    ASSERT_NE(back, nullptr);
    CheckMeshInvariants(back);
    EXPECT_EQ(back->facetCount, mesh->facetCount);
    EXPECT_EQ(back->vertexCount, mesh->vertexCount > 0 ? mesh->vertexCount : 1);
    EXPECT_EQ(back->normalCount, mesh->normalCount);
    FreeMesh(back);
}

class TruncationSweep : public HookedTest, public ::testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override
    {
        HookedTest::SetUp();
        progressLogEnabled = false;
    }
};

TEST_P(TruncationSweep, EveryPrefixReadsOperatesAndWrites)
{
    std::string text = ReadWholeFile(SourceFile(GetParam()));
    ASSERT_FALSE(text.empty()) << SourceFile(GetParam());
    // every export option on, facets reversed and sorted, taking turns with the start-up word
    const uint32_t everything = 0x07FE;
    for (size_t length = 0; length <= text.size(); ++length)
    {
        SCOPED_TRACE("first " + std::to_string(length) + " bytes");
        Mesh* mesh = ReadObjMesh(WriteScratchFile("in.obj", text.substr(0, length)).c_str());
        ASSERT_NE(mesh, nullptr);
        CheckMeshInvariants(mesh);
        RunOperations(mesh);
        WriteAndReadBack(mesh, length % 2 ? everything : uint32_t(EXPORT_OPTIONS_AT_START));
        FreeMesh(mesh);
        if (HasFailure())
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TruncationSweep,
                         ::testing::Values("samples/cube.obj", "fuzz/corpus/names.obj",
                                           "fuzz/corpus/numbers.obj", "fuzz/corpus/crlf_nul.obj"));

} // namespace
