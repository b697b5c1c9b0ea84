// Where an import spends its time: the reader's phases, told apart by the progress captions it
// shows, and the C library calls and allocation the reader leans on, each timed alone on the
// same file. Compared between the native and the Windows build, they show which part differs.
#include "bench.h"
#include "generate.h"

#include "mesh/mesh.h"
#include "ui/progress.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

// The captions that start each phase, in the order ReadObjMesh shows them.
enum Phase
{
    PHASE_COUNT,    // counting pass and allocation of the arrays
    PHASE_LOAD,     // loading pass
    PHASE_LISTS,    // facet lists of groups and materials
    PHASE_ANALYSIS, // from "Done" until ReadObjMesh returns
    PHASE_TOTAL,
};

const char* const phaseStarts[PHASE_TOTAL] = {"Scanning file...", "Loading Mesh...",
                                              "Initializing Groups and Materials...", "Done"};
const char* const phaseEnds[PHASE_TOTAL] = {"Loading Facets...", "Counting Facets...", "Done",
                                            nullptr};

double phaseStart[PHASE_TOTAL];
double phaseSeconds[PHASE_TOTAL];

// The reader closes the display between phases, naming the next one in the closing call.
void ObserveCaption(const char* caption, bool)
{
    if (!caption)
        return;
    double now = BenchSeconds();
    for (int p = 0; p < PHASE_TOTAL; ++p)
    {
        if (phaseEnds[p] && std::strcmp(caption, phaseEnds[p]) == 0)
            phaseSeconds[p] = now - phaseStart[p];
        if (std::strcmp(caption, phaseStarts[p]) == 0)
            phaseStart[p] = now;
    }
}

// One read with the phases timed; false when it failed.
bool TimePhases(const char* path, double seconds[PHASE_TOTAL])
{
    std::memset(phaseSeconds, 0, sizeof phaseSeconds);
    progressCaptionObserver = ObserveCaption;
    Mesh* mesh = ReadObjMesh(path);
    double end = BenchSeconds();
    progressCaptionObserver = nullptr;
    phaseSeconds[PHASE_ANALYSIS] = end - phaseStart[PHASE_ANALYSIS];
    std::memcpy(seconds, phaseSeconds, sizeof phaseSeconds);
    FreeMesh(mesh);
    return mesh != nullptr;
}

// The whole file through fread in blocks of 1 MiB, as the reader takes it; bytes read, or
// -1 when it cannot be opened.
double ReadWholeFile(const char* path, std::vector<char>* text)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return -1;
    std::vector<char> block(1 << 20);
    double bytes = 0;
    while (size_t got = std::fread(block.data(), 1, block.size(), file))
    {
        bytes += double(got);
        if (text)
            text->insert(text->end(), block.data(), block.data() + got);
    }
    std::fclose(file);
    return bytes;
}

// memchr for each line feed in windows of at most 256 characters, as the reader cuts pieces;
// returns the number of pieces, so the search cannot be left out.
size_t CutWithMemchr(const std::vector<char>& text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    size_t pieces = 0;
    while (p < end)
    {
        size_t window = size_t(end - p) < 256 ? size_t(end - p) : 256;
        const char* feed = static_cast<const char*>(std::memchr(p, '\n', window));
        p = feed ? feed + 1 : p + window;
        ++pieces;
    }
    return pieces;
}

// The facet table of a read allocated, every page written once, and released.
double AllocateAndTouch(uint32_t facets)
{
    double start = BenchSeconds();
    Facet* table = AllocateLargeArrayOf<Facet>(facets);
    if (!table)
        return -1;
    char* bytes = reinterpret_cast<char*>(table);
    size_t size = size_t(facets) * sizeof(Facet);
    for (size_t at = 0; at < size; at += 4096)
        bytes[at] = 1;
    ReleaseArray(table);
    return BenchSeconds() - start;
}

template <typename Step> double BestOf(int runs, Step step)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
    {
        double start = BenchSeconds();
        step();
        double seconds = BenchSeconds() - start;
        best = seconds < best ? seconds : best;
    }
    return best;
}

void ReportPhases(const char* path, int runs)
{
    static const char* const names[PHASE_TOTAL] = {"import_count_ms", "import_load_ms",
                                                   "import_lists_ms", "import_analysis_ms"};
    double best[PHASE_TOTAL], seconds[PHASE_TOTAL];
    for (int p = 0; p < PHASE_TOTAL; ++p)
        best[p] = 1e30;
    for (int i = 0; i < runs; ++i)
    {
        if (!TimePhases(path, seconds))
            return;
        for (int p = 0; p < PHASE_TOTAL; ++p)
            best[p] = seconds[p] < best[p] ? seconds[p] : best[p];
    }
    for (int p = 0; p < PHASE_TOTAL; ++p)
        ReportFigure(names[p], best[p] * 1000, "ms");
}

void ReportLibraryCalls(const char* path, const GeneratedObjInfo& info, int runs)
{
    double bytes = 0;
    double readSeconds = BestOf(runs, [&] { bytes = ReadWholeFile(path, nullptr); });
    std::vector<char> text;
    if (bytes <= 0 || ReadWholeFile(path, &text) != bytes)
        return;
    ReportFigure("import_fread_mbps", bytes / 1e6 / readSeconds, "MB/s");
    size_t pieces = 0;
    double cutSeconds = BestOf(runs, [&] { pieces = CutWithMemchr(text); });
    if (pieces != info.lineCount)
        std::fprintf(stderr, "import_phases: %zu pieces, %llu lines\n", pieces,
                     (unsigned long long)info.lineCount);
    ReportFigure("import_memchr_ns_per_line", cutSeconds * 1e9 / double(pieces), "ns");
    double touch = 1e30;
    for (int i = 0; i < runs; ++i)
    {
        double seconds = AllocateAndTouch(info.facetCount);
        touch = seconds >= 0 && seconds < touch ? seconds : touch;
    }
    ReportFigure("import_facet_table_touch_ms", touch * 1000, "ms");
}

} // namespace

// The best of three (one with --quick) for every phase and call, each taken on its own.
KORVELLA_BENCH(import_phases)
{
    GeneratedObjInfo info;
    const char* path = BenchObjFile(context, &info);
    if (!path)
        return;
    int runs = context.quick ? 1 : 3;
    ReportPhases(path, runs);
    ReportLibraryCalls(path, info, runs);
}
