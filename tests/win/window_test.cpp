// The real main window, made from the real resources: layout, skin, buttons and panels.
#include <gtest/gtest.h>

#include "win_test_util.h"

#include "app/app_win.h"
#include "mesh/mesh.h"
#include "res/resource.h"
#include "ui/ui_win.h"

#include <cstring>

namespace
{

// Starts Korvella once for every test of this program.
class KorvellaEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(StartKorvella(GetModuleHandleA(NULL), SW_SHOWNORMAL));
        PumpMessages();
    }
};

::testing::Environment* const korvellaEnvironment =
    ::testing::AddGlobalTestEnvironment(new KorvellaEnvironment);

struct ExpectedWindow
{
    const char* name;
    HWND (*window)();
    int left, top, width, height;
};

HWND ButtonWindow(int commandId)
{
    return FindCommandButton(commandId)->window;
}

const ExpectedWindow expectedWindows[] = {
    {"mesh name", [] { return meshNameWindow; }, 20, 45, 465, 30},
    {"statistics", [] { return statsWindow; }, 20, 80, 256, 256},
    {"title plate", [] { return ButtonWindow(IDM_ABOUT); }, 160, 7, 192, 32},
    {"Import", [] { return ButtonWindow(IDM_IMPORT); }, 20, 340, 118, 32},
    {"Export", [] { return ButtonWindow(IDM_EXPORT); }, 20, 377, 118, 32},
    {"Smooth Seams", [] { return ButtonWindow(IDC_SMOOTH_SEAMS); }, 295, 81, 192, 32},
    {"Compact Normals", [] { return ButtonWindow(IDC_COMPACT_NORMALS); }, 295, 118, 192, 32},
    {"Quads to Triangles", [] { return ButtonWindow(IDC_QUADS_TO_TRIANGLES); }, 295, 155, 192, 32},
    {"Scale Vertices", [] { return ButtonWindow(IDC_SCALE_VERTICES); }, 295, 192, 192, 32},
};

// Enabled state of the seven buttons in table order.
std::vector<bool> EnabledButtons()
{
    std::vector<bool> enabled;
    for (const CommandButton& button : commandButtons)
        enabled.push_back(IsWindowEnabled(button.window) != FALSE);
    return enabled;
}

void SetButtons(const std::vector<bool>& enabled)
{
    for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
        EnableWindow(commandButtons[i].window, enabled[i]);
}

} // namespace

TEST(MainWindow, ClientAreaIs512Square)
{
    ASSERT_TRUE(IsWindow(mainWindow));
    RECT client;
    GetClientRect(mainWindow, &client);
    EXPECT_EQ(client.right - client.left, 512);
    EXPECT_EQ(client.bottom - client.top, 512);
    EXPECT_EQ(GetMenu(mainWindow), (HMENU)NULL);
    char title[64] = "";
    GetWindowTextA(mainWindow, title, sizeof(title));
    EXPECT_STREQ(title, "Korvella");
    LONG style = GetWindowLongA(mainWindow, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
}

TEST(MainWindow, EveryChildAtItsRectangleAndVisible)
{
    for (const ExpectedWindow& row : expectedWindows)
    {
        SCOPED_TRACE(row.name);
        HWND window = row.window();
        ASSERT_TRUE(IsWindow(window));
        EXPECT_EQ(GetParent(window), mainWindow);
        EXPECT_TRUE(IsWindowVisible(window));
        RECT rect = RectInParent(window);
        EXPECT_EQ(rect.left, row.left);
        EXPECT_EQ(rect.top, row.top);
        EXPECT_EQ(rect.right - rect.left, row.width);
        EXPECT_EQ(rect.bottom - rect.top, row.height);
    }
}

TEST(MainWindow, OnlyTitlePlateAndImportEnabledAtStart)
{
    ASSERT_EQ(currentMesh, nullptr);
    std::vector<bool> expected = {true, true, false, false, false, false, false};
    EXPECT_EQ(EnabledButtons(), expected);
}

TEST(MainWindow, BackgroundShowsTheSkinAroundTheChildren)
{
    // outside the child windows the client area is picture 129, 1:1 from the top left
    Repaint(mainWindow);
    Pixels shown = CaptureWindow(mainWindow);
    HBITMAP skin = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_BACKGROUND));
    ASSERT_NE(skin, (HBITMAP)NULL);
    Pixels picture = BitmapPixels(skin);
    DeleteObject(skin);
    ASSERT_EQ(shown.width, 512);
    ASSERT_EQ(picture.width, 512);
    int compared = 0, differing = 0;
    for (int y = 0; y < 512; y++)
        for (int x = 0; x < 512; x++)
        {
            POINT at = {x, y};
            HWND child = ChildWindowFromPointEx(mainWindow, at, CWP_SKIPINVISIBLE);
            if (child != mainWindow)
                continue;
            compared++;
            differing += shown.At(x, y) != picture.At(x, y);
        }
    EXPECT_GT(compared, 100000);
    EXPECT_EQ(differing, 0);
}

TEST(Buttons, FacesByStateMatchTheirBitmaps)
{
    std::vector<bool> saved = EnabledButtons();
    for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
    {
        const CommandButton& button = commandButtons[i];
        SCOPED_TRACE(expectedWindows[i + 2].name);
        EnableWindow(button.window, TRUE);
        Repaint(button.window);
        EXPECT_EQ(CaptureWindow(button.window).rgb, BitmapPixels(button.normalBitmap).rgb);
        // held down: the pressed face; released: the normal face again
        SendMessageA(button.window, BM_SETSTATE, TRUE, 0);
        EXPECT_EQ(CaptureWindow(button.window).rgb, BitmapPixels(button.pressedBitmap).rgb);
        SendMessageA(button.window, BM_SETSTATE, FALSE, 0);
        EXPECT_EQ(CaptureWindow(button.window).rgb, BitmapPixels(button.normalBitmap).rgb);
        EnableWindow(button.window, FALSE);
        Repaint(button.window);
        EXPECT_EQ(CaptureWindow(button.window).rgb, BitmapPixels(button.disabledBitmap).rgb);
    }
    SetButtons(saved);
}

TEST(Buttons, FaceBitmapsHaveTheirButtonsSize)
{
    for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
    {
        SCOPED_TRACE(expectedWindows[i + 2].name);
        const CommandButton& button = commandButtons[i];
        for (HBITMAP face : {button.normalBitmap, button.pressedBitmap, button.disabledBitmap})
        {
            BITMAP info = {};
            GetObjectA(face, sizeof(info), &info);
            EXPECT_EQ(info.bmWidth, expectedWindows[i + 2].width);
            EXPECT_EQ(info.bmHeight, 32);
        }
    }
}

TEST(Buttons, DrawCommandButtonChoosesTheFaceByItemState)
{
    struct Row
    {
        UINT action;
        UINT state;
        int face; // 0 normal, 1 pressed, 2 disabled, -1 nothing drawn
    };
    const Row rows[] = {
        {ODA_DRAWENTIRE, 0, 0},
        {ODA_DRAWENTIRE, ODS_SELECTED, 1},
        {ODA_SELECT, ODS_SELECTED, 1},
        {ODA_SELECT, 0, 0},
        {ODA_DRAWENTIRE, ODS_DISABLED, 2},
        {ODA_DRAWENTIRE, ODS_GRAYED, 2},
        {ODA_SELECT, ODS_SELECTED | ODS_DISABLED, 2},
        {ODA_DRAWENTIRE, ODS_FOCUS, 0},
        {ODA_FOCUS, ODS_FOCUS, -1},
        {ODA_FOCUS, 0, -1},
    };
    const CommandButton& button = commandButtons[3];
    HBITMAP faces[3] = {button.normalBitmap, button.pressedBitmap, button.disabledBitmap};
    HDC screen = GetDC(NULL);
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "action " << row.action << " state " << row.state);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP canvas = CreateCompatibleBitmap(screen, 192, 32);
        HGDIOBJ previous = SelectObject(memory, canvas);
        PatBlt(memory, 0, 0, 192, 32, WHITENESS);
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.itemAction = row.action;
        item.itemState = row.state;
        item.hwndItem = button.window;
        item.hDC = memory;
        item.rcItem = {0, 0, 192, 32};
        EXPECT_EQ(DrawCommandButton(&item), row.face >= 0);
        Pixels drawn = CaptureDc(memory, 192, 32);
        std::vector<unsigned> expected(192 * 32, 0xFFFFFF); // untouched canvas
        if (row.face >= 0)
            expected = BitmapPixels(faces[row.face]).rgb;
        EXPECT_EQ(drawn.rgb, expected);
        SelectObject(memory, previous);
        DeleteObject(canvas);
        DeleteDC(memory);
    }
    ReleaseDC(NULL, screen);
}

TEST(Buttons, UnknownControlIsNotDrawn)
{
    DRAWITEMSTRUCT item = {};
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = statsWindow;
    EXPECT_FALSE(DrawCommandButton(&item));
}

// The window enables exactly what the one command rule offers, for every combination of the
// flags that rule reads; the rule's own table is tested natively.
TEST(Buttons, EnableCommandButtonsFollowsTheCommandRule)
{
    const uint32_t ruleFlags[] = {MESH_HAS_VERTICES, MESH_HAS_QUADS, MESH_DUPLICATE_NORMALS,
                                  MESH_HAS_NORMALS | MESH_HAS_UVS | MESH_SMOOTHED};
    std::vector<bool> savedButtons = EnabledButtons();
    Mesh mesh = {};
    for (int combination = -1; combination < 16; combination++)
    {
        SCOPED_TRACE(combination);
        const Mesh* shown = combination < 0 ? nullptr : &mesh;
        mesh.flags = 0;
        for (int bit = 0; bit < 4; bit++)
            if (combination >= 0 && (combination >> bit & 1))
                mesh.flags |= ruleFlags[bit];
        DisableCommandButtons();
        EXPECT_EQ(EnabledButtons(), std::vector<bool>(7, false));
        EnableCommandButtons(shown);
        for (int i = 0; i < COMMAND_BUTTON_COUNT; i++)
            EXPECT_EQ(IsWindowEnabled(commandButtons[i].window) != FALSE,
                      IsCommandOffered(shown, commandButtonLayout[i].commandId))
                << "button " << i;
    }
    // a button whose condition fails is left as it was, not disabled
    SetButtons(std::vector<bool>(7, true));
    mesh.flags = 0;
    EnableCommandButtons(&mesh);
    EXPECT_EQ(EnabledButtons(), std::vector<bool>(7, true));
    SetButtons(savedButtons);
}

TEST(Buttons, DisabledFacesShowAfterUpdateAllWindows)
{
    std::vector<bool> saved = EnabledButtons();
    SetButtons(std::vector<bool>(7, true));
    UpdateAllWindows();
    DisableCommandButtons();
    UpdateAllWindows();
    for (const CommandButton& button : commandButtons)
        EXPECT_EQ(CaptureWindow(button.window).rgb, BitmapPixels(button.disabledBitmap).rgb);
    SetButtons(saved);
    UpdateAllWindows();
}
