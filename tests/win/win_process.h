// Child processes and screen captures for the Windows tests; no dependence on the program's own
// windows, so the end-to-end driver can use it as well.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Runs program with arguments in folder (the current folder when empty) and returns its exit
// code, -2 when it could not start, or -1 when it did not end within limitMs (it is then killed).
long RunProgram(const std::string& program, const std::string& arguments = "",
                const std::string& folder = "", DWORD limitMs = 60000);

// The pixels of (left, top, width, height) of a device context as 0x00RRGGBB values, row by row
// from the top.
std::vector<unsigned> DcPixels(HDC dc, int left, int top, int width, int height);
