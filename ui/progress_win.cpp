// The progress window: a caption strip and two bars at the bottom of the main window,
// drawn at once on every change since no messages run while an operation works.
#include "ui/ui_win.h"

#include <cstdlib>
#include <cstring>

#include "res/resource.h"

static const char progressClassName[] = "ProgBar";
static const RECT progressStripRect = {20, 445, 492, 475};

char progressCaption[PROGRESS_CAPTION_SIZE];
HWND progressStripWindow;
ProgressBar* primaryProgressBar;
ProgressBar* secondaryProgressBar;

static HBITMAP frameBitmap; // 36 x 12: left end, middle, right end of the track
static HBITMAP fillBitmap;  // 8 x 8 gold stripes
static HBITMAP stripBitmap; // 472 x 30 caption strip

bool RegisterProgressClass(HINSTANCE instance)
{
    // keep the previous bitmaps unless all three load
    HBITMAP frame = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PROGRESS_FRAME));
    HBITMAP fill = frame ? LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PROGRESS_FILL)) : NULL;
    HBITMAP strip = fill ? LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PROGRESS_STRIP)) : NULL;
    if (!strip)
    {
        if (fill)
            DeleteObject(fill);
        if (frame)
            DeleteObject(frame);
        return false;
    }
    frameBitmap = frame;
    fillBitmap = fill;
    stripBitmap = strip;

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ProgressWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KORVELLA));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    windowClass.hCursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_KORVELLA);
    windowClass.lpszClassName = progressClassName;
    RegisterClassExA(&windowClass);
    return true;
}

void DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, DWORD rasterOp)
{
    if (!dc || !bitmap)
        return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        return;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof(info), &info);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    StretchBlt(dc, x, y, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, rasterOp);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

static void DrawProgressFrame(const ProgressBar* bar, HDC dc)
{
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        return;
    HGDIOBJ previous = SelectObject(memory, frameBitmap);
    StretchBlt(dc, 0, 0, 12, 12, memory, 0, 0, 12, 12, SRCCOPY);
    StretchBlt(dc, 12, 0, bar->width - 24, 12, memory, 12, 0, 12, 12, SRCCOPY);
    StretchBlt(dc, bar->width - 12, 0, 12, 12, memory, 24, 0, 12, 12, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void DrawProgressBar(ProgressBar* bar, uint32_t position)
{
    if (!bar || !frameBitmap || !fillBitmap)
        return;
    bar->position = position;
    HDC windowDc = GetDC(bar->window);
    if (!windowDc)
        return;
    HBITMAP image = CreateCompatibleBitmap(windowDc, bar->width, bar->height);
    HDC memory = image ? CreateCompatibleDC(windowDc) : NULL;
    if (memory)
    {
        HGDIOBJ previous = SelectObject(memory, image);
        DrawProgressFrame(bar, memory);
        int length = ProgressFillLength(bar->minimum, bar->maximum, position, bar->width);
        if (length > 0)
            DrawBitmap(memory, 4, 3, length, 8, fillBitmap, SRCCOPY);
        BitBlt(windowDc, 0, 0, bar->width, bar->height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    if (image)
        DeleteObject(image);
    ReleaseDC(bar->window, windowDc);
}

static ProgressBar* CreateProgressBar(HWND parent, int x, int y, int width, int height,
                                      int32_t minimum, int32_t maximum)
{
    if (!frameBitmap || !fillBitmap)
        return NULL;
    ProgressBar* bar = static_cast<ProgressBar*>(std::calloc(1, sizeof(ProgressBar)));
    if (!bar)
        return NULL;
    *bar = {NULL, x, y, width, height, minimum, maximum, static_cast<uint32_t>(minimum)};
    bar->window = CreateWindowExA(0, progressClassName, NULL, WS_CHILD | WS_VISIBLE, x, y, width,
                                  height, parent, NULL, appInstance, NULL);
    if (!bar->window)
    {
        std::free(bar);
        return NULL;
    }
    HDC dc = GetDC(bar->window);
    if (dc)
    {
        DrawProgressFrame(bar, dc);
        ReleaseDC(bar->window, dc);
    }
    return bar;
}

static void DestroyProgressBar(ProgressBar* bar)
{
    if (!bar)
        return;
    if (bar->window)
        DestroyWindow(bar->window);
    std::free(bar);
}

static void PaintProgressCaption(HDC dc)
{
    DrawBitmap(dc, 0, 0, progressStripRect.right - progressStripRect.left,
               progressStripRect.bottom - progressStripRect.top, stripBitmap, SRCCOPY);
    if (!progressCaption[0])
        return;
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previousFont = SelectObject(dc, panelFont);
    SetTextColor(dc, panelTextColor);
    TextOutA(dc, 10, 5, progressCaption, static_cast<int>(std::strlen(progressCaption)));
    if (previousFont)
        SelectObject(dc, previousFont);
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (primaryProgressBar && window == primaryProgressBar->window)
        DrawProgressBar(primaryProgressBar, primaryProgressBar->position);
    else if (secondaryProgressBar && window == secondaryProgressBar->window)
        DrawProgressBar(secondaryProgressBar, secondaryProgressBar->position);
    else if (window == progressStripWindow)
        PaintProgressCaption(dc);
    EndPaint(window, &paint);
    return 0;
}

static void SetProgressCaption(const char* caption)
{
    std::strncpy(progressCaption, caption, PROGRESS_CAPTION_SIZE - 1);
    progressCaption[PROGRESS_CAPTION_SIZE - 1] = '\0';
}

static void OpenProgressWindow()
{
    SetProgressCaption(progressState.caption);
    const RECT& r = progressStripRect;
    progressStripWindow =
        CreateWindowExA(0, progressClassName, NULL, WS_CHILD | WS_VISIBLE, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, mainWindow, NULL, appInstance, NULL);
    if (!progressStripWindow)
    {
        progressCaption[0] = '\0';
        return;
    }
    ShowWindow(progressStripWindow, SW_SHOWNORMAL);
    UpdateWindow(progressStripWindow);
    const ProgressBarState& one = progressState.primary;
    const ProgressBarState& two = progressState.secondary;
    primaryProgressBar = CreateProgressBar(mainWindow, 20, 476, 472, 12, one.minimum, one.maximum);
    secondaryProgressBar =
        CreateProgressBar(mainWindow, 20, 489, 472, 12, two.minimum, two.maximum);
}

static void CloseProgressWindow()
{
    progressCaption[0] = '\0';
    DestroyProgressBar(primaryProgressBar);
    DestroyProgressBar(secondaryProgressBar);
    primaryProgressBar = NULL;
    secondaryProgressBar = NULL;
    if (progressStripWindow)
        DestroyWindow(progressStripWindow);
    progressStripWindow = NULL;
}

void PresentProgress(ProgressChange change)
{
    switch (change)
    {
    case PROGRESS_OPENED:
        OpenProgressWindow();
        break;
    case PROGRESS_CAPTION:
        if (!progressStripWindow)
            break;
        SetProgressCaption(progressState.caption);
        InvalidateRect(progressStripWindow, NULL, TRUE);
        UpdateWindow(progressStripWindow);
        break;
    case PROGRESS_PRIMARY:
        DrawProgressBar(primaryProgressBar, progressState.primary.position);
        break;
    case PROGRESS_SECONDARY:
        DrawProgressBar(secondaryProgressBar, progressState.secondary.position);
        break;
    case PROGRESS_CLOSED:
        CloseProgressWindow();
        break;
    }
}
