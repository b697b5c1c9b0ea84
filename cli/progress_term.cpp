// The batch tool's progress display: one terminal line with the caption and two bars.
#include "cli.h"

#include <cstring>

FILE* progressStream = nullptr;

// The line last drawn, so that a bar moved by less than one cell draws nothing.
static char drawnLine[PROGRESS_LINE_SIZE];

enum
{
    CAPTION_COLUMNS = 37, // the longest caption; the whole line fits 79 columns
};

static void FormatBar(const ProgressBarState* bar, char* cells)
{
    double range = static_cast<double>(bar->maximum) - static_cast<double>(bar->minimum);
    int filled = 0;
    if (range > 0)
    {
        double share = static_cast<double>(bar->position) / range;
        filled = share >= 1.0 ? PROGRESS_BAR_WIDTH : static_cast<int>(share * PROGRESS_BAR_WIDTH);
    }
    cells[0] = '[';
    for (int i = 0; i < PROGRESS_BAR_WIDTH; ++i)
        cells[1 + i] = i < filled ? '#' : ' ';
    cells[1 + PROGRESS_BAR_WIDTH] = ']';
    cells[2 + PROGRESS_BAR_WIDTH] = '\0';
}

void FormatProgressLine(const ProgressState* state, char line[PROGRESS_LINE_SIZE])
{
    char primary[PROGRESS_BAR_WIDTH + 3];
    char secondary[PROGRESS_BAR_WIDTH + 3];
    FormatBar(&state->primary, primary);
    FormatBar(&state->secondary, secondary);
    std::snprintf(line, PROGRESS_LINE_SIZE, "%-*.*s %s %s", int(CAPTION_COLUMNS),
                  int(CAPTION_COLUMNS), state->caption, primary, secondary);
}

// Overwrites the terminal line with text, padded with blanks over what was there.
static void DrawLine(const char* text)
{
    std::fprintf(progressStream, "\r%-*s", int(std::strlen(drawnLine)), text);
}

void PresentProgress(ProgressChange change)
{
    if (!progressStream)
        return;
    if (change == PROGRESS_CLOSED)
    {
        // blank the line and return to its start, so later output begins in column 0
        DrawLine("");
        std::fputc('\r', progressStream);
        std::fflush(progressStream);
        drawnLine[0] = '\0';
        return;
    }
    char line[PROGRESS_LINE_SIZE];
    FormatProgressLine(&progressState, line);
    if (std::strcmp(line, drawnLine) == 0)
        return;
    DrawLine(line);
    std::fflush(progressStream);
    std::strcpy(drawnLine, line);
}
