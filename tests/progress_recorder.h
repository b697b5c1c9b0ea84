// A progress presenter for tests: records every change of the display as one line of text.
#pragma once

#include <string>
#include <vector>

// One line per change: "open CAPTION a..b c..d", "caption CAPTION", "pos1 N", "pos2 N", "close".
extern std::vector<std::string> progressLog;

// Empties the log (the display state itself is left alone).
void ClearProgressLog();

// When false, changes are not recorded (for large generated runs where only results matter).
extern bool progressLogEnabled;
