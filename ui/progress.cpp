// The process-wide progress display state; each change is presented at once.
#include "ui/progress.h"

#include <cstring>

ProgressState progressState = {};
void (*progressCaptionObserver)(const char* caption, bool show) = nullptr;

static void CopyCaption(const char* caption)
{
    // captions longer than 63 characters are cut
    std::strncpy(progressState.caption, caption ? caption : "", PROGRESS_CAPTION_SIZE - 1);
    progressState.caption[PROGRESS_CAPTION_SIZE - 1] = '\0';
}

void ShowProgress(const char* caption, int32_t minimum1, int32_t maximum1, int32_t minimum2,
                  int32_t maximum2, bool show)
{
    if (progressCaptionObserver)
        progressCaptionObserver(caption, show);
    if (!show)
    {
        if (!progressState.open)
            return;
        progressState = ProgressState();
        PresentProgress(PROGRESS_CLOSED);
        return;
    }
    CopyCaption(caption);
    if (progressState.open)
    {
        // reopening keeps the bars with their ranges and positions
        PresentProgress(PROGRESS_CAPTION);
        return;
    }
    progressState.open = true;
    progressState.primary = {minimum1, maximum1, static_cast<uint32_t>(minimum1)};
    progressState.secondary = {minimum2, maximum2, static_cast<uint32_t>(minimum2)};
    PresentProgress(PROGRESS_OPENED);
}

void SetProgressPos(uint32_t position)
{
    if (!progressState.open)
        return;
    progressState.primary.position = position;
    PresentProgress(PROGRESS_PRIMARY);
}

void SetProgressPos2(uint32_t position)
{
    if (!progressState.open)
        return;
    progressState.secondary.position = position;
    PresentProgress(PROGRESS_SECONDARY);
}

int ProgressFillLength(int32_t minimum, int32_t maximum, uint32_t position, int32_t width)
{
    int64_t range = static_cast<int64_t>(maximum) - minimum;
    if (range <= 0)
        return 0;
    // the quotient is rounded to double before the multiplication: 31 of 58 gives 247
    double quotient = static_cast<double>(position) / static_cast<double>(range);
    double length = quotient * static_cast<double>(width - 8);
    if (length >= width)
        return width; // an overfilled bar is cut at its right edge anyway
    return length > 0 ? static_cast<int>(length) : 0;
}
