// The benchmark program's progress presenter: shows nothing, so timings measure the work.
#include "ui/ui.h"

void PresentProgress(ProgressChange) {}
