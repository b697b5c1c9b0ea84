// The process-wide hooks the core's tests share, and the checks built on them: a fixture that
// puts every hook back, and the sweep of injected allocation failures.
#pragma once

#include <gtest/gtest.h>

#include <functional>

struct Mesh;

// Closes the progress display, empties its log and records again, clears any pending
// allocation failure and the allocation counter, and puts the scale dialog's state and the
// export option word back to their start values.
void ResetProcessHooks();

// A fixture that resets the process-wide hooks before and after each test.
class HookedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProcessHooks();
    }
    void TearDown() override
    {
        ResetProcessHooks();
    }
};

// An operation under test: 1 when it reports success, 0 when it reports failure, -1 when it
// reports nothing.
typedef std::function<int(Mesh*)> MeshOperation;

// Runs operation on a copy of mesh to count its allocations, then on mesh once for each of
// them with that allocation failing: every run must report no success, show no progress, leave
// the mesh exactly as it was and hold no more arrays than before. Returns the number of
// allocations the operation makes, for the caller to check it reaches the failures it means.
int ExpectEachAllocationFailureChangesNothing(Mesh* mesh, const MeshOperation& operation);
