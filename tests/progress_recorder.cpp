// Records the progress display's changes so tests can compare call sequences.
#include "progress_recorder.h"

#include "../ui/ui.h"

std::vector<std::string> progressLog;
bool progressLogEnabled = true;

void ClearProgressLog()
{
    progressLog.clear();
}

static std::string Range(const ProgressBarState& bar)
{
    return std::to_string(bar.minimum) + ".." + std::to_string(bar.maximum);
}

void PresentProgress(ProgressChange change)
{
    if (!progressLogEnabled)
        return;
    const ProgressState& s = progressState;
    switch (change)
    {
    case PROGRESS_OPENED:
        progressLog.push_back("open " + std::string(s.caption) + " " + Range(s.primary) + " " +
                              Range(s.secondary));
        break;
    case PROGRESS_CAPTION:
        progressLog.push_back("caption " + std::string(s.caption));
        break;
    case PROGRESS_PRIMARY:
        progressLog.push_back("pos1 " + std::to_string(s.primary.position));
        break;
    case PROGRESS_SECONDARY:
        progressLog.push_back("pos2 " + std::to_string(s.secondary.position));
        break;
    case PROGRESS_CLOSED:
        progressLog.push_back("close");
        break;
    }
}
