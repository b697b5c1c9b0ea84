// The command table driven through the real window procedure with real messages; the file
// choosers and dialogs are answered through their own controls from a second thread.
#include <gtest/gtest.h>

#include "test_util.h"
#include "win_test_util.h"

#include "app/app_win.h"
#include "mesh/mesh.h"
#include "res/resource.h"
#include "ui/ui_win.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{

// One quad and one triangle; the two normals are equal.
const char quadObj[] = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\n"
                       "vt 0 0\nvn 0 0 1\nvn 0 0 1\n"
                       "f 1/1/1 2/1/1 3/1/1 4/1/1\nf 1/1/2 2/1/2 5/1/2\n";

std::vector<bool> EnabledButtons()
{
    std::vector<bool> enabled;
    for (const CommandButton& button : commandButtons)
        enabled.push_back(IsWindowEnabled(button.window) != FALSE);
    return enabled;
}

// The buttons the one command rule offers for the mesh, in button order.
std::vector<bool> ButtonsForMesh(const Mesh* mesh)
{
    std::vector<bool> offered;
    for (const CommandButtonLayout& layout : commandButtonLayout)
        offered.push_back(IsCommandOffered(mesh, layout.commandId));
    return offered;
}

void SendCommand(int commandId)
{
    SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(commandId, BN_CLICKED), 0);
}

// Runs Import and answers the open chooser with path (or cancels it when path is empty).
bool ImportThroughChooser(const std::string& path)
{
    DialogAnswerer answer("Load Wavefront (.obj) File",
                          [path](HWND dialog)
                          {
                              if (path.empty())
                                  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                               0);
                              else
                                  TypeFileNameAndConfirm(dialog, path);
                          });
    SendCommand(IDM_IMPORT);
    PumpMessages();
    return answer.found();
}

bool SamePath(const char* a, const std::string& b)
{
    return lstrcmpiA(a, b.c_str()) == 0;
}

// Delivers the character as if typed with Alt held: the accelerator table reads the key
// state of the thread, not only the message.
void TypeWithAlt(char character)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE savedAlt = keys[VK_MENU];
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(mainWindow, WM_SYSCHAR, static_cast<BYTE>(character), 0x20000001);
    PumpMessages();
    GetKeyboardState(keys);
    keys[VK_MENU] = savedAlt;
    SetKeyboardState(keys);
}

// Records the buttons' enabled state whenever a progress window is created.
std::vector<std::vector<bool>> buttonsWhileRunning;

LRESULT CALLBACK WatchProgressProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_CREATE)
    {
        char className[32] = "";
        GetClassNameA(call->hwnd, className, sizeof(className));
        if (std::strcmp(className, "ProgBar") == 0)
            buttonsWhileRunning.push_back(EnabledButtons());
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

void RunWatched(int commandId)
{
    buttonsWhileRunning.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchProgressProc, NULL, GetCurrentThreadId());
    ASSERT_NE(hook, (HHOOK)NULL);
    SendCommand(commandId);
    UnhookWindowsHookEx(hook);
}

class Commands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = FullPath(WriteScratchFile("mesh.obj", quadObj));
    }
    // Back to the state of a fresh start: no mesh, only the title plate and Import enabled.
    void TearDown() override
    {
        allocationFailAt = 0;
        FreeMesh(currentMesh);
        SetCurrentMesh(nullptr);
        DisableCommandButtons();
        EnableCommandButtons(nullptr);
        PumpMessages();
    }
    std::string path;
};

} // namespace

TEST_F(Commands, WithoutAMeshTheMeshCommandsDoNothing)
{
    Mesh* saved = currentMesh;
    currentMesh = nullptr;
    EnableWindow(commandButtons[0].window, TRUE);
    std::vector<bool> before = EnabledButtons();
    for (int command : {IDM_EXPORT, IDC_SMOOTH_SEAMS, IDM_SMOOTH_ALL, IDC_COMPACT_NORMALS,
                        IDC_QUADS_TO_TRIANGLES, IDM_QUADS_TO_TRIANGLES, IDC_SCALE_VERTICES})
    {
        SCOPED_TRACE(command);
        SendCommand(command);
        EXPECT_EQ(currentMesh, nullptr);
        EXPECT_EQ(EnabledButtons(), before);
        EXPECT_EQ(progressStripWindow, (HWND)NULL);
    }
    currentMesh = saved;
}

TEST_F(Commands, ImportReadsTheChosenFile)
{
    ASSERT_TRUE(ImportThroughChooser(path));
    ASSERT_NE(currentMesh, nullptr);
    EXPECT_TRUE(SamePath(currentMesh->filePath, path)) << currentMesh->filePath;
    EXPECT_EQ(currentMesh->facetCount, 2u);
    EXPECT_EQ(currentMesh->vertexCount, 5u);
    EXPECT_EQ(EnabledButtons(), ButtonsForMesh(currentMesh));
    EXPECT_TRUE(currentMesh->flags & MESH_HAS_QUADS);
    EXPECT_EQ(progressStripWindow, (HWND)NULL); // the reader closed its display
    CheckMeshInvariants(currentMesh);
}

TEST_F(Commands, ImportReplacesTheCurrentMesh)
{
    ASSERT_TRUE(ImportThroughChooser(path));
    Mesh* first = currentMesh;
    ASSERT_NE(first, nullptr);
    std::string second = FullPath(WriteScratchFile("second.obj", "v 1 2 3\nv 4 5 6\nv 7 8 9\n"
                                                                 "f 1 2 3\n"));
    ASSERT_TRUE(ImportThroughChooser(second));
    ASSERT_NE(currentMesh, nullptr);
    EXPECT_TRUE(SamePath(currentMesh->filePath, second));
    EXPECT_EQ(currentMesh->vertexCount, 3u);
    EXPECT_EQ(EnabledButtons(), ButtonsForMesh(currentMesh));
}

TEST_F(Commands, CancelledImportChangesNothing)
{
    ASSERT_TRUE(ImportThroughChooser(path));
    Mesh* before = currentMesh;
    ASSERT_NE(before, nullptr);
    std::vector<bool> buttons = EnabledButtons();
    ASSERT_TRUE(ImportThroughChooser(""));
    EXPECT_EQ(currentMesh, before);
    EXPECT_EQ(EnabledButtons(), buttons);
}

TEST_F(Commands, FailedImportLeavesNoMeshAndOnlyImportAndTitle)
{
    ASSERT_TRUE(ImportThroughChooser(path));
    ASSERT_NE(currentMesh, nullptr);
    allocationCount = 0;
    allocationFailAt = 1; // the reader's first allocation fails
    ASSERT_TRUE(ImportThroughChooser(path));
    allocationFailAt = 0;
    EXPECT_EQ(currentMesh, nullptr);
    EXPECT_EQ(EnabledButtons(), ButtonsForMesh(nullptr));
    EXPECT_EQ(progressStripWindow, (HWND)NULL);
}

TEST_F(Commands, SmoothAndCompactRunWithEveryButtonDisabled)
{
    for (int command : {IDC_SMOOTH_SEAMS, IDM_SMOOTH_ALL, IDC_COMPACT_NORMALS})
    {
        SCOPED_TRACE(command);
        ASSERT_TRUE(ImportThroughChooser(path));
        ASSERT_NE(currentMesh, nullptr);
        if (command == IDC_COMPACT_NORMALS)
        {
            ASSERT_TRUE(currentMesh->flags & MESH_DUPLICATE_NORMALS);
        }
        RunWatched(command);
        ASSERT_FALSE(buttonsWhileRunning.empty()); // the operation showed its progress
        for (const std::vector<bool>& buttons : buttonsWhileRunning)
            EXPECT_EQ(buttons, std::vector<bool>(7, false));
        EXPECT_EQ(EnabledButtons(), ButtonsForMesh(currentMesh));
        if (command == IDC_COMPACT_NORMALS)
        {
            EXPECT_FALSE(currentMesh->flags & MESH_DUPLICATE_NORMALS);
        }
        else
        {
            EXPECT_TRUE(currentMesh->flags & MESH_SMOOTHED);
        }
        EXPECT_EQ(progressStripWindow, (HWND)NULL);
        CheckMeshInvariants(currentMesh);
    }
}

TEST_F(Commands, QuadsToTrianglesDisablesOnlyItsOwnButton)
{
    for (int command : {IDC_QUADS_TO_TRIANGLES, IDM_QUADS_TO_TRIANGLES})
    {
        SCOPED_TRACE(command);
        ASSERT_TRUE(ImportThroughChooser(path));
        ASSERT_NE(currentMesh, nullptr);
        std::vector<bool> expected = EnabledButtons();
        ASSERT_TRUE(expected[5]);
        expected[5] = false;
        SendCommand(command);
        EXPECT_EQ(EnabledButtons(), expected);
        EXPECT_EQ(currentMesh->facetCount, 3u);
        EXPECT_FALSE(currentMesh->flags & MESH_HAS_QUADS);
        CheckMeshInvariants(currentMesh);
    }
}

TEST_F(Commands, ExportOffersTheMeshNameAndWritesTheFile)
{
    ASSERT_TRUE(ImportThroughChooser(path));
    ASSERT_NE(currentMesh, nullptr);
    std::string offered;
    std::string target = FullPath("scratch_export_written"); // no dot: the writer adds .obj
    std::remove((target + ".obj").c_str());
    DialogAnswerer options("Obj Export Options", [](HWND dialog)
                           { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); });
    DialogAnswerer chooser("Save Wavefront (.obj) File",
                           [&](HWND dialog)
                           {
                               char text[256] = "";
                               HWND name = GetDlgItem(dialog, 0x47c);
                               if (!name)
                                   name = GetDlgItem(dialog, 0x480);
                               GetWindowTextA(name, text, sizeof(text));
                               offered = text;
                               TypeFileNameAndConfirm(dialog, target);
                           });
    SendCommand(IDM_EXPORT);
    EXPECT_TRUE(chooser.found());
    EXPECT_TRUE(options.found());
    EXPECT_EQ(offered, MeshNameFromPath(path.c_str()));
    // the writer adds ".obj"; the chooser may have added it already
    std::string written = ReadWholeFile(target + ".obj");
    EXPECT_NE(written.find("v "), std::string::npos);
    EXPECT_EQ(EnabledButtons(), ButtonsForMesh(currentMesh));
    std::remove((target + ".obj").c_str());
}

TEST_F(Commands, AboutByButtonAndByBothAccelerators)
{
    struct Row
    {
        const char* name;
        void (*open)();
        WPARAM closeCommand;
    };
    const Row rows[] = {
        {"title plate, OK",
         []
         {
             SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, BN_CLICKED),
                          reinterpret_cast<LPARAM>(FindCommandButton(IDM_ABOUT)->window));
         },
         IDOK},
        {"Alt+?, Escape", [] { TypeWithAlt('?'); }, IDCANCEL},
        {"Alt+/, close box", [] { TypeWithAlt('/'); }, 0},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        std::vector<std::string> texts;
        HWND shown = NULL;
        DialogAnswerer answer("About",
                              [&](HWND dialog)
                              {
                                  shown = dialog;
                                  for (HWND child = GetWindow(dialog, GW_CHILD); child;
                                       child = GetWindow(child, GW_HWNDNEXT))
                                  {
                                      char text[64] = "";
                                      GetWindowTextA(child, text, sizeof(text));
                                      texts.push_back(text);
                                  }
                                  if (row.closeCommand)
                                      PostMessageA(dialog, WM_COMMAND,
                                                   MAKEWPARAM(row.closeCommand, BN_CLICKED), 0);
                                  else
                                      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                              });
        row.open();
        ASSERT_TRUE(answer.found());
        EXPECT_FALSE(IsWindow(shown));
        ASSERT_GE(texts.size(), 7u);
        EXPECT_EQ(texts[0], "Korvella");
        EXPECT_EQ(texts[2], "OK");
        EXPECT_EQ(texts[4], "Version 1.0");
    }
}

TEST_F(Commands, OtherKeysOpenNothing)
{
    struct Row
    {
        char character;
        bool alt;
    };
    const Row rows[] = {{'x', true}, {'?', false}, {'/', false}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.character << (row.alt ? " with Alt" : ""));
        DialogAnswerer answer(
            "About", [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); }, 1500);
        if (row.alt)
            TypeWithAlt(row.character);
        else
        {
            PostMessageA(mainWindow, WM_CHAR, static_cast<BYTE>(row.character), 1);
            PumpMessages();
        }
        EXPECT_FALSE(answer.found());
    }
}
