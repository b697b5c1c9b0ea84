// The shared reset of the process-wide hooks, and the allocation failure sweep.
#include "test_hooks.h"

#include "export/export.h"
#include "mesh_gen.h"
#include "ops/ops.h"
#include "progress_recorder.h"
#include "ui/progress.h"

void ResetProcessHooks()
{
    ShowProgress("", 0, 0, 0, 0, false);
    ClearProgressLog();
    progressLogEnabled = true;
    allocationFailAt = 0;
    allocationCount = 0;
    scaleLocked = true;
    scaleLastAxis = SCALE_AXIS_FIRST_ID;
    scaleSaved = {1.0f, 1.0f, 1.0f};
    exportOptions = EXPORT_OPTIONS_AT_START;
}

static int CountAllocations(const Mesh* mesh, const MeshOperation& operation)
{
    MeshPtr probe(CopyMesh(mesh));
    allocationCount = 0;
    operation(probe.get());
    return allocationCount;
}

int ExpectEachAllocationFailureChangesNothing(Mesh* mesh, const MeshOperation& operation)
{
    int allocations = CountAllocations(mesh, operation);
    std::string before = MeshImage(mesh);
    long held = allocationsHeld;
    for (int k = 1; k <= allocations; ++k)
    {
        SCOPED_TRACE("allocation " + std::to_string(k) + " fails");
        allocationCount = 0;
        allocationFailAt = k;
        int result = -1;
        auto log = RecordProgress([&] { result = operation(mesh); });
        EXPECT_EQ(allocationFailAt, 0) << "the failure was not met";
        allocationFailAt = 0;
        EXPECT_NE(result, 1);
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(allocationsHeld, held);
        if (MeshImage(mesh) != before)
        {
            ADD_FAILURE() << "the mesh changed";
            break;
        }
    }
    return allocations;
}
