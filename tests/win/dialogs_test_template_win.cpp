// The two dialog templates as linked into the program: caption, font, size, and every control
// in tab order with its identifier, class, text, style and place.
#include <windows.h>
#include <commctrl.h>

#include "dialogs_test_driver.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

static const DWORD child = WS_CHILD | WS_VISIBLE;
static const DWORD dialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

static std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

static void ExpectItems(const DialogTemplateInfo& info, const std::vector<TemplateItem>& expected)
{
    ASSERT_EQ(info.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
    {
        const TemplateItem& want = expected[i];
        const TemplateItem& got = info.items[i];
        SCOPED_TRACE("item " + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ(got.id, want.id);
        // Class names are case-insensitive: the resource compiler may store "BUTTON" for
        // "Button", or the system class's ordinal.
        EXPECT_EQ(Lower(got.className), Lower(want.className));
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.style, want.style) << std::hex << got.style << " " << want.style;
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
    }
}

TEST(DialogTemplates, ExportOptions)
{
    DialogTemplateInfo info = ReadDialogTemplate("ObjSaveOpts");
    EXPECT_EQ(info.caption, "Obj Export Options");
    EXPECT_EQ(info.font, "MS Sans Serif");
    EXPECT_EQ(info.pointSize, 8);
    EXPECT_EQ(info.style & ~DS_SETFONT, dialogStyle);
    EXPECT_EQ(info.x, 0);
    EXPECT_EQ(info.y, 0);
    EXPECT_EQ(info.cx, 166);
    EXPECT_EQ(info.cy, 186);
    const DWORD box = child | BS_AUTOCHECKBOX | WS_TABSTOP;
    const DWORD radio = child | BS_AUTORADIOBUTTON | WS_TABSTOP;
    ExpectItems(info,
                {
                    {IDOK, "Button", "OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 51, 165, 50, 14},
                    {IDCANCEL, "Button", "Cancel", child | WS_TABSTOP, 109, 165, 50, 14},
                    {1000, "Button", "Export Vertices", box | WS_DISABLED, 7, 7, 62, 14},
                    {1001, "Button", "Export UV Coords", box, 7, 24, 71, 14},
                    {1011, "Button", "Flip UV Horizontally", box | WS_DISABLED, 7, 41, 75, 14},
                    {1006, "Button", "Flip UV Vertically", box | WS_DISABLED, 7, 58, 68, 14},
                    {1002, "Button", "Export Normals", box, 7, 75, 61, 14},
                    {1005, "Button", "Export Faces", box, 7, 92, 55, 14},
                    {1012, "Button", "Reverse Faces", box | WS_DISABLED, 7, 109, 64, 14},
                    {1003, "Button", "Export Group Names", box | WS_DISABLED, 7, 126, 77, 14},
                    {1004, "Button", "Export Materials", box | WS_DISABLED, 7, 143, 86, 14},
                    {1007, "Button", "As Loaded", radio | WS_GROUP | WS_DISABLED, 101, 18, 50, 10},
                    {1008, "Button", "By Material", radio | WS_DISABLED, 101, 32, 51, 10},
                    {1009, "Button", "By Group", radio | WS_DISABLED, 101, 45, 45, 10},
                    {1010, "Button", "Face Sorting", child | BS_GROUPBOX | WS_GROUP | WS_DISABLED,
                     95, 7, 64, 55},
                });
}

TEST(DialogTemplates, Scale)
{
    DialogTemplateInfo info = ReadDialogTemplate("ScaleOpts");
    EXPECT_EQ(info.caption, "Mesh Scale Options");
    EXPECT_EQ(info.font, "Arial");
    EXPECT_EQ(info.pointSize, 10);
    EXPECT_EQ(info.style & ~DS_SETFONT, dialogStyle);
    EXPECT_EQ(info.cx, 147);
    EXPECT_EQ(info.cy, 112);
    const DWORD edit = child | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;
    const DWORD spin = child | UDS_ARROWKEYS | WS_TABSTOP;
    ExpectItems(
        info,
        {
            {IDOK, "Button", "OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 91, 50, 14},
            {IDCANCEL, "Button", "Cancel", child | WS_TABSTOP, 90, 91, 50, 14},
            {1020, "Button", "Lock XYZ", child | BS_AUTOCHECKBOX | WS_TABSTOP, 41, 11, 47, 10},
            {1022, "msctls_trackbar32", "Slider1", child | TBS_VERT | TBS_AUTOTICKS | WS_TABSTOP,
             95, 7, 16, 70},
            {1015, "Edit", "", edit, 41, 26, 32, 12},
            {1024, "msctls_updown32", "Spin1", spin, 75, 26, 9, 12},
            {1016, "Edit", "", edit, 41, 43, 32, 12},
            {1025, "msctls_updown32", "Spin1", spin, 75, 43, 9, 12},
            {1017, "Edit", "", edit, 41, 60, 32, 12},
            {1026, "msctls_updown32", "Spin1", spin, 75, 60, 9, 12},
            {-1, "Static", "X Scale:", child | SS_RIGHT, 7, 26, 32, 8},
            {-1, "Static", "Y Scale:", child | SS_RIGHT, 7, 44, 32, 8},
            {-1, "Static", "Z Scale:", child | SS_RIGHT, 7, 62, 32, 8},
            {-1, "Static", "+20x", child | SS_LEFT, 114, 10, 18, 8},
            {-1, "Static", "1x", child | SS_LEFT, 114, 38, 9, 8},
            {-1, "Static", "-20x", child | SS_LEFT, 114, 66, 15, 8},
            {-1, "Static", "+10x", child | SS_LEFT, 114, 24, 18, 8},
            {-1, "Static", "-10x", child | SS_LEFT | WS_GROUP, 114, 52, 15, 8},
        });
}

// The texts are plain ASCII, so every code page shows them alike.
TEST(DialogTemplates, TextsAreAscii)
{
    for (const char* name : {"ObjSaveOpts", "ScaleOpts"})
    {
        SCOPED_TRACE(name);
        DialogTemplateInfo info = ReadDialogTemplate(name);
        ASSERT_FALSE(info.items.empty());
        for (const TemplateItem& item : info.items)
            for (char c : item.text)
                EXPECT_TRUE(c >= 0x20 && c < 0x7F) << item.text;
    }
}
