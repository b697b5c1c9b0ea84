// Windows side of the interface: progress window, information panels, skin and command
// buttons, About box.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/ui.h"

struct Mesh;

// ---- Shared drawing resources and window handles (empty until start-up makes them) ----

extern HINSTANCE appInstance; // the module whose resources the windows use
extern HWND mainWindow;
extern HWND statsWindow;
extern HWND meshNameWindow;
extern HFONT panelFont; // "Arial" 18; made by CreateMainWindows, deleted by the shell at exit
extern const COLORREF panelTextColor; // RGB(204, 200, 186), for all text the program draws

// ---- Progress window ----

// One bar of the progress display, alive while the display is open.
struct ProgressBar
{
    HWND window;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t minimum;
    int32_t maximum;
    uint32_t position; // the last position drawn
};

// The caption shown in the strip; empty while the display is closed.
extern char progressCaption[PROGRESS_CAPTION_SIZE];
// The strip and the two bars; null while the display is closed (or when one could not be made).
extern HWND progressStripWindow;
extern ProgressBar* primaryProgressBar;
extern ProgressBar* secondaryProgressBar;

// Loads the frame, fill and strip bitmaps and registers the "ProgBar" class. False when a
// bitmap is missing (nothing is registered then).
bool RegisterProgressClass(HINSTANCE instance);
LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Stores position in the bar and redraws it at once, composed off-screen. Null does nothing.
void DrawProgressBar(ProgressBar* bar, uint32_t position);
// Stretches the whole bitmap onto (x, y, width, height) of dc. Null dc or bitmap does nothing.
void DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, DWORD rasterOp);

// ---- Information panels ----

// The mesh the two panels show (null: none). The shell sets it whenever its current mesh is
// replaced or released; the panels read it at every paint.
extern const Mesh* panelMesh;
LRESULT CALLBACK StatsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MeshNameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Write the mesh-name line / the thirteen statistics lines into dc (mesh may be null).
void PaintMeshName(HWND window, HDC dc, const Mesh* mesh);
void PaintStatistics(HWND window, HDC dc, const Mesh* mesh);

// ---- Skin, main window and command buttons ----

enum
{
    COMMAND_BUTTON_COUNT = 7,
    MAIN_CLIENT_SIZE = 512,
};

// One owner-drawn command button and its three faces.
struct CommandButton
{
    HWND window;
    HBITMAP normalBitmap;
    HBITMAP pressedBitmap;
    HBITMAP disabledBitmap;
};

// Where a button sits and which faces it wears, in creation order.
struct CommandButtonLayout
{
    int commandId;
    int left, top, width, height;
    int normalId, pressedId, disabledId;
    bool enabledAtStart;
};

extern const CommandButtonLayout commandButtonLayout[COMMAND_BUTTON_COUNT];
extern CommandButton commandButtons[COMMAND_BUTTON_COUNT];
// Background pattern brushes of the main window, statistics panel and mesh-name strip.
extern HBRUSH backgroundBrush;
extern HBRUSH statisticsBrush;
extern HBRUSH meshNameBrush;

// Loads the backgrounds (with their pattern brushes) and every button face. False at the
// first one that is missing.
bool LoadSkin(HINSTANCE instance);
// Makes the font, the main window sized for a 512 x 512 client area, the two panels and the
// seven buttons, and shows them. False at the first failure.
bool CreateMainWindows(HINSTANCE instance, int showCommand);
void DisableCommandButtons();
// Carries out every pending repaint of the main window, the panels and the buttons now.
void UpdateAllWindows();
// Enables the buttons whose commands the mesh (null when there is none) offers, as
// IsCommandOffered decides; the others are left as they are.
void EnableCommandButtons(const Mesh* mesh);
// Draws a button's face for its state; false for focus-only changes and unknown buttons.
bool DrawCommandButton(const DRAWITEMSTRUCT* drawItem);
// The button with this command identifier; null when there is none.
CommandButton* FindCommandButton(int commandId);

// ---- About box ----

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
