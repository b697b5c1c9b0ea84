// Helpers for the tests of the real windows: pixel capture, message pumping, and answering
// modal dialogs from a second thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

// The pixels of an area as 0x00RRGGBB values, row by row from the top.
struct Pixels
{
    int width = 0;
    int height = 0;
    std::vector<unsigned> rgb;
    unsigned At(int x, int y) const
    {
        return rgb[y * width + x];
    }
};

// What a window shows on screen now (its client area).
Pixels CaptureWindow(HWND window);
// What a device context holds in (0, 0, width, height).
Pixels CaptureDc(HDC dc, int width, int height);
// The whole bitmap.
Pixels BitmapPixels(HBITMAP bitmap);
// 0x00RRGGBB of r, g, b.
unsigned Rgb(int r, int g, int b);

// Handles every waiting message the way the shell's loop does.
void PumpMessages();
// Invalidates the window and has it (and its children) repainted now.
void Repaint(HWND window);

// A window's rectangle in the client coordinates of its parent.
RECT RectInParent(HWND window);

// Waits on a second thread for a top-level dialog with this title (up to waitMs) and then
// runs action on that thread. found() tells whether it appeared.
class DialogAnswerer
{
public:
    DialogAnswerer(const std::string& title, std::function<void(HWND)> action, int waitMs = 20000);
    ~DialogAnswerer();
    bool found();

private:
    std::thread worker;
    bool seen = false;
};

// Answers an open or save chooser: types path into the file-name box and confirms.
void TypeFileNameAndConfirm(HWND dialog, const std::string& path);
// Full path of a file in the working folder.
std::string FullPath(const std::string& path);
