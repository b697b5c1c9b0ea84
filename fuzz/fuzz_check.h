// Checks of the fuzz target: every invariant of the mesh record (the checker the unit tests
// use too), and what each operation and a write followed by a read must leave. A failed check
// prints what broke and aborts, which the fuzzer reports as a crash with the input that
// caused it.
#pragma once

#include "mesh/mesh.h"
#include "tests/mesh_check.h"

#include <cstdint>
#include <string>

#define FUZZ_CHECK(condition, ...)                                                                 \
    do                                                                                             \
    {                                                                                              \
        if (!(condition))                                                                          \
            FuzzFailure(__FILE__, __LINE__, #condition, __VA_ARGS__);                              \
    } while (0)

// Prints the failed condition and the formatted detail, then aborts.
[[noreturn]] void FuzzFailure(const char* file, int line, const char* condition, const char* format,
                              ...);

// Every invariant of the record (MeshInvariantFailures with the history); aborts with the
// list of findings when there is any.
void CheckMesh(const Mesh* mesh, const MeshHistory& history);

// A deep copy of the record, its arrays cut to their counts (the tests' own, in
// tests/mesh_gen.cpp).
Mesh* CopyMesh(const Mesh* mesh);

// Checks a number read back from a written file against the value written: the text holds
// written rounded to eight decimals ("nan", "inf" spelled out), read back as a float.
void CheckReadBack(double written, float read, const char* what, uint32_t index);
