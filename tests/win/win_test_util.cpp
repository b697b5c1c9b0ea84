// Pixel capture, message pumping and dialog answering for the Windows tests.
#include "win_test_util.h"
#include "win_process.h"

#include <chrono>

#include "app/app_win.h"

unsigned Rgb(int r, int g, int b)
{
    return (unsigned(r) << 16) | (unsigned(g) << 8) | unsigned(b);
}

Pixels CaptureDc(HDC dc, int width, int height)
{
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.rgb = DcPixels(dc, 0, 0, width, height);
    return pixels;
}

Pixels CaptureWindow(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Pixels pixels = CaptureDc(dc, client.right, client.bottom);
    ReleaseDC(window, dc);
    return pixels;
}

Pixels BitmapPixels(HBITMAP bitmap)
{
    BITMAP info = {};
    GetObjectA(bitmap, sizeof(info), &info);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    Pixels pixels = CaptureDc(memory, info.bmWidth, info.bmHeight);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        DispatchShellMessage(&message);
}

void Repaint(HWND window)
{
    RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

RECT RectInParent(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    HWND parent = GetParent(window);
    MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

DialogAnswerer::DialogAnswerer(const std::string& title, std::function<void(HWND)> action,
                               int waitMs)
{
    worker = std::thread(
        [this, title, action, waitMs]()
        {
            auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
            while (std::chrono::steady_clock::now() < end)
            {
                HWND dialog = FindWindowA("#32770", title.c_str());
                if (dialog && IsWindowVisible(dialog))
                {
                    seen = true;
                    Sleep(100); // let the dialog finish its initialisation
                    action(dialog);
                    return;
                }
                Sleep(50);
            }
        });
}

DialogAnswerer::~DialogAnswerer()
{
    if (worker.joinable())
        worker.join();
}

bool DialogAnswerer::found()
{
    if (worker.joinable())
        worker.join();
    return seen;
}

void TypeFileNameAndConfirm(HWND dialog, const std::string& path)
{
    HWND name = GetDlgItem(dialog, 0x47c); // the file-name combo box
    if (!name)
        name = GetDlgItem(dialog, 0x480); // the plain edit of older layouts
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, NULL);
    return length ? std::string(full, length) : path;
}
