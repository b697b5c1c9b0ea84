// Benchmark registration and the figures a benchmark run reports.
//
// Each bench/*.cpp file may register benchmark functions with KORVELLA_BENCH; korvella_bench
// runs them in name order and ends with one "name value unit" line per reported figure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct BenchContext
{
    bool quick; // --quick: small inputs, a single repetition
};

typedef void (*BenchFunction)(const BenchContext& context);

// Adds a benchmark to the process-wide list; used through KORVELLA_BENCH at start-up.
struct BenchRegistrar
{
    BenchRegistrar(const char* name, BenchFunction function);
};

// Defines and registers a benchmark function: KORVELLA_BENCH(import) { ... uses context ... }
#define KORVELLA_BENCH(name)                                                                       \
    static void Bench_##name(const BenchContext& context);                                         \
    static BenchRegistrar benchRegistrar_##name(#name, Bench_##name);                              \
    static void Bench_##name(const BenchContext& context)

// Records a figure; all figures are printed at the end of the run, in report order.
// name is lower_snake_case, unit a short word ("MB/s", "ns", "ratio", "ms").
void ReportFigure(const char* name, double value, const char* unit);

// Seconds on a monotonic clock.
double BenchSeconds();
// Processor seconds the system has spent for this process so far (page faults, file reads);
// 0 where the platform does not tell.
double BenchKernelSeconds();
// The size of a file in bytes; 0 when it cannot be opened.
double FileBytes(const std::string& path);

struct GeneratedObjInfo;
// The generated v/vt/vn torus file of the run (1,000,000 facets, 100,000 with --quick),
// written on first use and shared by the benchmarks; null when it cannot be written.
const char* BenchObjFile(const BenchContext& context, GeneratedObjInfo* info);

// A path for a scratch file in the benchmark's scratch folder (created on first use).
std::string BenchScratchPath(const std::string& fileName);

// Heap accounting over malloc/calloc/realloc/free of the whole process, where the C library
// allows replacing them (glibc without sanitizers); elsewhere HeapTracking() is false and the
// counters stay 0.
bool HeapTracking();
size_t HeapBytesInUse();
size_t HeapPeakBytes();
// Sets the peak to the bytes in use now, to measure the peak of what follows.
void ResetHeapPeak();
