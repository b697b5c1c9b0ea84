// The skin: background brushes, the main window with its panels, and the seven owner-drawn
// command buttons kept in step with the current mesh.
#include "ui/ui_win.h"

#include "res/resource.h"

HINSTANCE appInstance;
HWND mainWindow;
HWND statsWindow;
HWND meshNameWindow;
HFONT panelFont;
const COLORREF panelTextColor = RGB(204, 200, 186);

HBRUSH backgroundBrush;
HBRUSH statisticsBrush;
HBRUSH meshNameBrush;
CommandButton commandButtons[COMMAND_BUTTON_COUNT];

const CommandButtonLayout commandButtonLayout[COMMAND_BUTTON_COUNT] = {
    {IDM_ABOUT, 160, 7, 192, 32, IDB_TITLE_PLATE, IDB_TITLE_PLATE_PRESSED, IDB_TITLE_PLATE_DISABLED,
     true},
    {IDM_IMPORT, 20, 340, 118, 32, IDB_IMPORT, IDB_IMPORT_PRESSED, IDB_IMPORT_DISABLED, true},
    {IDM_EXPORT, 20, 377, 118, 32, IDB_EXPORT, IDB_EXPORT_PRESSED, IDB_EXPORT_DISABLED, false},
    {IDC_SMOOTH_SEAMS, 295, 81, 192, 32, IDB_SMOOTH_SEAMS, IDB_SMOOTH_SEAMS_PRESSED,
     IDB_SMOOTH_SEAMS_DISABLED, false},
    {IDC_COMPACT_NORMALS, 295, 118, 192, 32, IDB_COMPACT_NORMALS, IDB_COMPACT_NORMALS_PRESSED,
     IDB_COMPACT_NORMALS_DISABLED, false},
    {IDC_QUADS_TO_TRIANGLES, 295, 155, 192, 32, IDB_QUADS_TO_TRIANGLES,
     IDB_QUADS_TO_TRIANGLES_PRESSED, IDB_QUADS_TO_TRIANGLES_DISABLED, false},
    {IDC_SCALE_VERTICES, 295, 192, 192, 32, IDB_SCALE_VERTICES, IDB_SCALE_VERTICES_PRESSED,
     IDB_SCALE_VERTICES_DISABLED, false},
};

static HBRUSH LoadPatternBrush(HINSTANCE instance, int bitmapId)
{
    // the brush keeps its own copy, so the bitmap can go once it is made
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(bitmapId));
    if (!bitmap)
        return NULL;
    HBRUSH brush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    return brush;
}

static bool LoadButtonFaces(HINSTANCE instance, const CommandButtonLayout& layout,
                            CommandButton* button)
{
    button->normalBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(layout.normalId));
    if (!button->normalBitmap)
        return false;
    button->pressedBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(layout.pressedId));
    if (!button->pressedBitmap)
        return false;
    button->disabledBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(layout.disabledId));
    return button->disabledBitmap != NULL;
}

bool LoadSkin(HINSTANCE instance)
{
    meshNameBrush = LoadPatternBrush(instance, IDB_MESH_NAME);
    if (!meshNameBrush)
        return false;
    statisticsBrush = LoadPatternBrush(instance, IDB_STATISTICS);
    if (!statisticsBrush)
        return false;
    backgroundBrush = LoadPatternBrush(instance, IDB_BACKGROUND);
    if (!backgroundBrush)
        return false;
    for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
        if (!LoadButtonFaces(instance, commandButtonLayout[i], &commandButtons[i]))
            return false;
    return true;
}

static HWND CreateMainWindow(HINSTANCE instance)
{
    char className[100] = "";
    char title[100] = "";
    LoadStringA(instance, IDS_APP_CLASS, className, sizeof(className));
    LoadStringA(instance, IDS_APP_TITLE, title, sizeof(title));
    const DWORD style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD extendedStyle = WS_EX_WINDOWEDGE;
    // frame and caption sizes differ between systems: size the window from its client area
    RECT frame = {0, 0, MAIN_CLIENT_SIZE, MAIN_CLIENT_SIZE};
    AdjustWindowRectEx(&frame, style, FALSE, extendedStyle);
    return CreateWindowExA(extendedStyle, className, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, NULL, NULL, instance,
                           NULL);
}

static HWND CreatePanel(HINSTANCE instance, const char* className, int x, int y, int width,
                        int height)
{
    return CreateWindowExA(0, className, NULL, WS_CHILD, x, y, width, height, mainWindow, NULL,
                           instance, NULL);
}

static bool CreateCommandButtons(HINSTANCE instance)
{
    for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
    {
        const CommandButtonLayout& layout = commandButtonLayout[i];
        HWND button = CreateWindowExA(
            0, "button", NULL, WS_CHILD | BS_PUSHLIKE | BS_OWNERDRAW, layout.left, layout.top,
            layout.width, layout.height, mainWindow,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.commandId)), instance, NULL);
        if (!button)
            return false;
        commandButtons[i].window = button;
        EnableWindow(button, layout.enabledAtStart);
    }
    return true;
}

static void ShowAndPaint(HWND window, int showCommand)
{
    ShowWindow(window, showCommand);
    UpdateWindow(window);
}

bool CreateMainWindows(HINSTANCE instance, int showCommand)
{
    appInstance = instance;
    panelFont =
        CreateFontA(18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH, "Arial");
    if (!panelFont)
        return false;
    mainWindow = CreateMainWindow(instance);
    if (!mainWindow)
        return false;
    meshNameWindow = CreatePanel(instance, "MeshNameWindow", 20, 45, 465, 30);
    if (!meshNameWindow)
        return false;
    statsWindow = CreatePanel(instance, "StatsWindow", 20, 80, 256, 256);
    if (!statsWindow || !CreateCommandButtons(instance))
        return false;
    // the start-up show command is for the main window; a child shown "minimized" would
    // shrink to an icon inside it, so the children are simply shown
    ShowAndPaint(mainWindow, showCommand);
    ShowAndPaint(statsWindow, SW_SHOW);
    ShowAndPaint(meshNameWindow, SW_SHOW);
    for (const CommandButton& button : commandButtons)
        ShowAndPaint(button.window, SW_SHOW);
    return true;
}

void DisableCommandButtons()
{
    for (const CommandButton& button : commandButtons)
        EnableWindow(button.window, FALSE);
}

void UpdateAllWindows()
{
    UpdateWindow(mainWindow);
    UpdateWindow(statsWindow);
    UpdateWindow(meshNameWindow);
    for (const CommandButton& button : commandButtons)
        UpdateWindow(button.window);
}

CommandButton* FindCommandButton(int commandId)
{
    for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
        if (commandButtonLayout[i].commandId == commandId)
            return &commandButtons[i];
    return NULL;
}

static void EnableCommandButton(int commandId)
{
    if (CommandButton* button = FindCommandButton(commandId))
        EnableWindow(button->window, TRUE);
}

void EnableCommandButtons(const Mesh* mesh)
{
    // the order in which the buttons come back
    static const int commandIds[COMMAND_BUTTON_COUNT] = {
        IDM_ABOUT,
        IDM_IMPORT,
        IDM_EXPORT,
        IDC_SMOOTH_SEAMS,
        IDC_QUADS_TO_TRIANGLES,
        IDC_COMPACT_NORMALS,
        IDC_SCALE_VERTICES,
    };
    for (int commandId : commandIds)
        if (IsCommandOffered(mesh, commandId))
            EnableCommandButton(commandId);
}

bool DrawCommandButton(const DRAWITEMSTRUCT* drawItem)
{
    if (drawItem->itemAction != ODA_DRAWENTIRE && drawItem->itemAction != ODA_SELECT)
        return false;
    const CommandButton* button = NULL;
    for (const CommandButton& candidate : commandButtons)
        if (candidate.window == drawItem->hwndItem)
            button = &candidate;
    if (!button)
        return false;
    HBITMAP face = button->normalBitmap;
    if (drawItem->itemState & (ODS_GRAYED | ODS_DISABLED))
        face = button->disabledBitmap;
    else if (drawItem->itemState & ODS_SELECTED)
        face = button->pressedBitmap;
    const RECT& r = drawItem->rcItem;
    DrawBitmap(drawItem->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, face, SRCCOPY);
    return true;
}
