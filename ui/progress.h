// Progress reporting: the one process-wide progress display that long mesh operations open,
// move and close. The core includes this header alone from the interface.
#pragma once

#include <cstdint>

enum
{
    PROGRESS_CAPTION_SIZE = 64,
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

// Length in pixels of the fill of a progress window bar width pixels wide:
// position / (maximum - minimum) * (width - 8), truncated; 0 for an empty or reversed range;
// never more than width (the rest is cut by the bar anyway).
int ProgressFillLength(int32_t minimum, int32_t maximum, uint32_t position, int32_t width);
