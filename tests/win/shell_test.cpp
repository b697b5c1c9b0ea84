// Start-up and the end of the message loop: Exit, the close box, and start-ups that fail.
#include <gtest/gtest.h>

#include "win_process.h"
#include "win_test_util.h"

#include "app/app_win.h"
#include "res/resource.h"
#include "ui/ui_win.h"

#include <string>

namespace
{

// The folder of this test program.
std::string ProgramFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

} // namespace

TEST(Shell, LoopEndsWithExitCodeZero)
{
    struct Row
    {
        const char* name;
        UINT message;
        WPARAM wParam;
    };
    const Row rows[] = {
        {"Exit command", WM_COMMAND, IDM_EXIT},
        {"close box", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(StartKorvella(GetModuleHandleA(NULL), SW_SHOWNORMAL));
        HWND window = mainWindow;
        ASSERT_TRUE(IsWindowVisible(window));
        PostMessageA(window, row.message, row.wParam, 0);
        EXPECT_EQ(RunMessageLoop(), 0);
        EXPECT_FALSE(IsWindow(window));
        EndKorvella();
        EXPECT_EQ(panelFont, (HFONT)NULL);
    }
}

TEST(Shell, MissingBitmapEndsStartUpQuietly)
{
    struct Row
    {
        const char* program;
    };
    const Row rows[] = {
        {"helpers\\korvella_no_progress.exe"}, // no bitmap at all: the progress class fails
        {"helpers\\korvella_no_skin.exe"},     // progress bitmaps, but no background 129
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.program);
        // a program that made its window would wait in its loop and not end
        EXPECT_EQ(RunProgram(ProgramFolder() + row.program), 0);
    }
}

TEST(Shell, LoadersRefuseAModuleWithoutTheBitmaps)
{
    HINSTANCE bare = GetModuleHandleA("kernel32.dll");
    ASSERT_NE(bare, (HINSTANCE)NULL);
    EXPECT_FALSE(RegisterProgressClass(bare));
    EXPECT_FALSE(LoadSkin(bare));
    EXPECT_FALSE(StartKorvella(bare, SW_SHOWNORMAL));
    // the progress bitmaps loaded before are kept: the display still works
    ASSERT_TRUE(RegisterProgressClass(GetModuleHandleA(NULL)));
}
