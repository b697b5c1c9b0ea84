// Portable interface pieces: the progress display state, and the text the panels show.
#pragma once

#include <cstdint>

struct Mesh;

enum
{
    PROGRESS_CAPTION_SIZE = 64,
    PANEL_LINE_SIZE = 256,
};

struct ProgressBarState
{
    int32_t minimum;
    int32_t maximum;
    uint32_t position;
};

// The one progress display: a caption and two bars, present only while open.
struct ProgressState
{
    bool open;
    char caption[PROGRESS_CAPTION_SIZE];
    ProgressBarState primary;
    ProgressBarState secondary;
};

// Process-wide display state; closed at start.
extern ProgressState progressState;

// Opens (show true while closed), retitles (show true while open; bars kept) or closes
// (show false; a closed display stays closed) the progress display.
void ShowProgress(const char* caption, int32_t minimum1, int32_t maximum1, int32_t minimum2,
                  int32_t maximum2, bool show);
// Called at the start of every ShowProgress when set, before anything changes: the benchmarks
// time the phases of an operation by the captions it shows. Null by default.
extern void (*progressCaptionObserver)(const char* caption, bool show);
// Moves the primary / secondary bar; nothing while the display is closed.
void SetProgressPos(uint32_t position);
void SetProgressPos2(uint32_t position);

// What changed in the display, handed to the program's presenter.
enum ProgressChange
{
    PROGRESS_OPENED,
    PROGRESS_CAPTION,
    PROGRESS_PRIMARY,
    PROGRESS_SECONDARY,
    PROGRESS_CLOSED,
};

// Supplied by each program at link time: shows progressState on screen before returning
// (the progress window, a terminal bar, or a recorder in tests).
void PresentProgress(ProgressChange change);

// The mesh name of a path: the part after the last backslash (or, without one, the last
// ":"; on POSIX systems "/" also separates folders), cut at its last "."; "InvalidMeshName"
// when that leaves nothing. Returns a process-wide buffer valid until the next call.
const char* MeshNameFromPath(const char* path);

// "Mesh Name: %s" with the mesh's name, or "N/A" without a mesh.
void FormatMeshNameLine(const Mesh* mesh, char line[PANEL_LINE_SIZE]);

enum
{
    STATISTICS_LINE_COUNT = 13,
};

struct PanelPoint
{
    int x, y;
};

// Where each statistics line is written in the statistics panel, in line order.
extern const PanelPoint statisticsLinePoints[STATISTICS_LINE_COUNT];

// Formats statistics line index (0 to 12) for the mesh, or the placeholder without one.
void FormatStatisticsLine(const Mesh* mesh, int index, char line[PANEL_LINE_SIZE]);
