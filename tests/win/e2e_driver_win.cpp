// End-to-end sessions: the real Korvella.exe, started and driven from this separate program as
// a person would drive it (buttons, file choosers, the scale and export options dialogs), and
// its export compared byte for byte with what korvella-cli.exe writes for the same work.
#include <windows.h>
#include <commctrl.h>

#include "res/resource.h"
#include "tests/win/win_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace
{

const DWORD waitLimitMs = 30000;
const char openTitle[] = "Load Wavefront (.obj) File";
const char saveTitle[] = "Save Wavefront (.obj) File";
const char optionsTitle[] = "Obj Export Options";
const char scaleTitle[] = "Mesh Scale Options";
const int fileNameBox = 0x47c; // the choosers' file-name combo box

// The command buttons in the order of the main window: title plate, Import, Export, Smooth
// Seams, Compact Normals, Quads to Triangles, Scale Vertices.
const int buttonIds[] = {IDM_ABOUT,         IDM_IMPORT,          IDM_EXPORT,
                         IDC_SMOOTH_SEAMS,  IDC_COMPACT_NORMALS, IDC_QUADS_TO_TRIANGLES,
                         IDC_SCALE_VERTICES};

// Polls done() every 20 ms until it holds or limitMs has passed.
bool WaitFor(const std::function<bool()>& done, DWORD limitMs = waitLimitMs)
{
    DWORD start = GetTickCount();
    while (!done())
    {
        if (GetTickCount() - start > limitMs)
            return false;
        Sleep(20);
    }
    return true;
}

// This program's folder, with its trailing backslash.
std::string ProgramFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The build folder that holds Korvella.exe and korvella-cli.exe: this program's parent.
std::string BuildFolder()
{
    std::string folder = ProgramFolder();
    folder.pop_back();
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb"))
    {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    if (FILE* file = std::fopen(path.c_str(), "wb"))
    {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

// The names of the files in a folder, in the order the system lists them.
std::vector<std::string> FolderFiles(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Sends a message with a time limit; false when the receiver did not answer in time.
bool SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = NULL)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, waitLimitMs,
                               result ? result : &ignored) != 0;
}

std::string WindowText(HWND window)
{
    char text[512] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, waitLimitMs, NULL);
    return text;
}

// What a window shows on the screen now, as 0x00RRGGBB values row by row.
std::vector<unsigned> ScreenPixels(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    HDC screen = GetDC(NULL);
    std::vector<unsigned> pixels =
        DcPixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    ReleaseDC(NULL, screen);
    return pixels;
}

// What a window shows once the screen has stopped changing (a closed dialog's area may still
// be on its way back), or the last capture after a few seconds.
std::vector<unsigned> SteadyPixels(HWND window)
{
    std::vector<unsigned> last = ScreenPixels(window), now;
    for (int tries = 0; tries < 50; tries++)
    {
        Sleep(100);
        now = ScreenPixels(window);
        if (now == last)
            break;
        last = now;
    }
    return now;
}

struct WindowSearch
{
    DWORD processId;
    const char* className;
    const char* title; // any title when null
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM parameter)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (processId != search->processId || lstrcmpiA(className, search->className) != 0 ||
        !IsWindowVisible(window))
        return TRUE;
    if (search->title && WindowText(window) != search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

// One running Korvella.exe. Every wait has a time limit; the process is killed at the end of
// the test if it has not closed by itself.
class Korvella
{
public:
    ~Korvella()
    {
        Stop();
    }

    bool Start(const std::string& folder)
    {
        std::string program = BuildFolder() + "Korvella.exe";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"";
        if (!CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                            folder.c_str(), &startup, &process))
            return false;
        WaitForInputIdle(process.hProcess, waitLimitMs);
        mainWindow = FindTopWindow("KORVELLA", NULL);
        return mainWindow != NULL;
    }

    // Closes the program with its close box; kills it when it does not end in time.
    void Stop()
    {
        if (!process.hProcess)
            return;
        if (mainWindow)
            PostMessageA(mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        process = {};
        mainWindow = NULL;
    }

    bool Running() const
    {
        return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    }

    // A visible top-level window of this process, waited for.
    HWND FindTopWindow(const char* className, const char* title) const
    {
        WindowSearch search = {process.dwProcessId, className, title, NULL};
        WaitFor(
            [&]
            {
                EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
                return search.found != NULL;
            });
        return search.found;
    }

    HWND FindDialog(const char* title) const
    {
        return FindTopWindow("#32770", title);
    }

    HWND Button(int id) const
    {
        return GetDlgItem(mainWindow, id);
    }

    HWND StatsPanel() const
    {
        return FindWindowExA(mainWindow, NULL, "StatsWindow", NULL);
    }

    std::vector<bool> EnabledButtons() const
    {
        std::vector<bool> enabled;
        for (int id : buttonIds)
            enabled.push_back(IsWindowEnabled(Button(id)) != FALSE);
        return enabled;
    }

    // A click on a button whose command opens a modal window: posted, so that this program
    // can answer the window while the command waits for it.
    void ClickOpening(int id) const
    {
        PostMessageA(Button(id), BM_CLICK, 0, 0);
    }

    // A click on a button whose command runs to its end without a window: returns when the
    // command has been carried out.
    bool ClickAndWait(int id) const
    {
        return SendWithin(Button(id), BM_CLICK, 0, 0);
    }

    // Returns once the program has handled everything up to now and repainted its panels.
    bool Settle() const
    {
        if (!SendWithin(mainWindow, WM_NULL, 0, 0))
            return false;
        RedrawWindow(mainWindow, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
        return SendWithin(mainWindow, WM_NULL, 0, 0);
    }

    PROCESS_INFORMATION process = {};
    HWND mainWindow = NULL;
};

// Answers a file chooser: types path into its file-name box and presses OK (or Cancel when
// path is empty); returns once the chooser has gone. offered receives the name it showed.
bool AnswerChooser(const Korvella& korvella, const char* title, const std::string& path,
                   std::string* offered = NULL)
{
    HWND chooser = korvella.FindDialog(title);
    if (!chooser)
        return false;
    HWND name = GetDlgItem(chooser, fileNameBox);
    if (offered)
        *offered = WindowText(name);
    if (path.empty())
        PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else
    {
        SendWithin(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return WaitFor([&] { return !IsWindow(chooser); });
}

// Presses a dialog's OK or Cancel button and waits for the dialog to go.
bool CloseDialog(HWND dialog, int button)
{
    PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(dialog); });
}

bool ClickDialogButton(HWND dialog, int id)
{
    return SendWithin(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool Checked(HWND dialog, int id)
{
    DWORD_PTR state = 0;
    SendWithin(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, &state);
    return state == BST_CHECKED;
}

// One mouse press of a spinner's lower arrow (toward a smaller factor).
bool ClickSpinDown(HWND dialog, int id)
{
    HWND spin = GetDlgItem(dialog, id);
    RECT area;
    GetClientRect(spin, &area);
    LPARAM point = MAKELPARAM(area.right / 2, area.bottom * 3 / 4);
    return SendWithin(spin, WM_LBUTTONDOWN, MK_LBUTTON, point) &&
           SendWithin(spin, WM_LBUTTONUP, 0, point);
}

int SpinPosition(HWND dialog, int id)
{
    DWORD_PTR answer = 0;
    SendWithin(GetDlgItem(dialog, id), UDM_GETPOS, 0, 0, &answer);
    return LOWORD(answer);
}

std::vector<std::string> ScaleTexts(HWND dialog)
{
    return {WindowText(GetDlgItem(dialog, IDC_SCALE_X)),
            WindowText(GetDlgItem(dialog, IDC_SCALE_Y)),
            WindowText(GetDlgItem(dialog, IDC_SCALE_Z))};
}

// Buttons without a mesh: the title plate and Import.
const std::vector<bool> startButtons = {true, true, false, false, false, false, false};

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = BuildFolder() + "e2e_scratch\\";
        CreateDirectoryA(folder.c_str(), NULL);
        sample = folder + "torus.obj";
        char source[MAX_PATH] = "";
        GetFullPathNameA(KORVELLA_SAMPLES_DIR "/torus.obj", MAX_PATH, source, NULL);
        ASSERT_TRUE(CopyFileA(source, sample.c_str(), FALSE)) << source;
        for (const char* name : {"gui.obj", "cli.obj", "kept.obj"})
            DeleteFileA((folder + name).c_str());
        ASSERT_TRUE(korvella.Start(folder));
    }

    void TearDown() override
    {
        if (HasFailure() && korvella.Running())
            TerminateProcess(korvella.process.hProcess, 1); // it may be stuck in a dialog
        korvella.Stop();
    }

    // Import through the open chooser, waited for until the buttons come back.
    void Import(const std::string& path)
    {
        korvella.ClickOpening(IDM_IMPORT);
        ASSERT_TRUE(AnswerChooser(korvella, openTitle, path));
        ASSERT_TRUE(korvella.Settle());
        ASSERT_TRUE(WaitFor([&]() -> bool { return korvella.EnabledButtons()[2]; }));
    }

    // What korvella-cli.exe writes for the sample with these arguments.
    std::string BatchOutput(const std::string& arguments)
    {
        std::string output = folder + "cli.obj";
        DeleteFileA(output.c_str());
        std::string commandLine = "-q " + arguments + " -o \"" + output + "\" \"" + sample + "\"";
        EXPECT_EQ(RunProgram(BuildFolder() + "korvella-cli.exe", commandLine, folder), 0)
            << commandLine;
        return ReadFileBytes(output);
    }

    std::string folder;
    std::string sample;
    Korvella korvella;
};

// A whole session: import, the three operations, an unlocked scale on two axes, and an export
// with a flipped box and a sort order, compared with the batch tool's file.
TEST_F(EndToEnd, SessionWritesWhatTheBatchToolWrites)
{
    EXPECT_EQ(korvella.EnabledButtons(), startButtons);
    ASSERT_NO_FATAL_FAILURE(Import(sample));
    // The sample holds quads and equal normals.
    EXPECT_EQ(korvella.EnabledButtons(), std::vector<bool>(7, true));

    ASSERT_TRUE(korvella.ClickAndWait(IDC_SMOOTH_SEAMS));
    EXPECT_EQ(korvella.EnabledButtons(), std::vector<bool>(7, true));
    ASSERT_TRUE(korvella.ClickAndWait(IDC_COMPACT_NORMALS));
    EXPECT_FALSE(korvella.EnabledButtons()[4]);
    ASSERT_TRUE(korvella.ClickAndWait(IDC_QUADS_TO_TRIANGLES));
    EXPECT_EQ(korvella.EnabledButtons(),
              (std::vector<bool>{true, true, true, true, false, false, true}));
    ASSERT_TRUE(korvella.Settle());
    std::vector<unsigned> unscaled = SteadyPixels(korvella.StatsPanel());

    // Scale: unlock, X one step down (5x), Y two steps down (2.5x), Z left at 1.
    korvella.ClickOpening(IDC_SCALE_VERTICES);
    HWND scale = korvella.FindDialog(scaleTitle);
    ASSERT_TRUE(scale);
    EXPECT_TRUE(Checked(scale, IDC_LOCK_XYZ));
    ASSERT_TRUE(ClickDialogButton(scale, IDC_LOCK_XYZ));
    EXPECT_FALSE(Checked(scale, IDC_LOCK_XYZ));
    ASSERT_TRUE(ClickSpinDown(scale, IDC_SCALE_X_SPIN));
    ASSERT_TRUE(ClickSpinDown(scale, IDC_SCALE_Y_SPIN));
    ASSERT_TRUE(ClickSpinDown(scale, IDC_SCALE_Y_SPIN));
    EXPECT_EQ(SpinPosition(scale, IDC_SCALE_X_SPIN), 101);
    EXPECT_EQ(SpinPosition(scale, IDC_SCALE_Y_SPIN), 102);
    EXPECT_EQ(SpinPosition(scale, IDC_SCALE_Z_SPIN), 100);
    EXPECT_EQ(ScaleTexts(scale), (std::vector<std::string>{"5.0000", "2.5000", "1.0000"}));
    ASSERT_TRUE(CloseDialog(scale, IDOK));
    ASSERT_TRUE(korvella.Settle());
    std::vector<unsigned> scaled = SteadyPixels(korvella.StatsPanel());
    EXPECT_NE(scaled, unscaled) << "the panel shows scaled bounds";

    // Export: the chooser offers the mesh name; flip V and sort by material.
    std::string offered;
    korvella.ClickOpening(IDM_EXPORT);
    ASSERT_TRUE(AnswerChooser(korvella, saveTitle, folder + "gui", &offered));
    EXPECT_EQ(offered, "torus");
    HWND options = korvella.FindDialog(optionsTitle);
    ASSERT_TRUE(options);
    EXPECT_FALSE(Checked(options, IDC_FLIP_UV_VERTICALLY));
    EXPECT_TRUE(Checked(options, IDC_SORT_AS_LOADED));
    ASSERT_TRUE(ClickDialogButton(options, IDC_FLIP_UV_VERTICALLY));
    ASSERT_TRUE(ClickDialogButton(options, IDC_SORT_BY_MATERIAL));
    EXPECT_TRUE(Checked(options, IDC_FLIP_UV_VERTICALLY));
    EXPECT_TRUE(Checked(options, IDC_SORT_BY_MATERIAL));
    EXPECT_FALSE(Checked(options, IDC_SORT_AS_LOADED));
    ASSERT_TRUE(CloseDialog(options, IDOK));
    ASSERT_TRUE(korvella.Settle());
    EXPECT_EQ(korvella.EnabledButtons(),
              (std::vector<bool>{true, true, true, true, false, false, true}));

    std::string written = ReadFileBytes(folder + "gui.obj");
    ASSERT_FALSE(written.empty());
    std::string expected = BatchOutput("--smooth --compact --triangulate --scale 5,2.5,1 "
                                       "--flip-v --sort material");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(written == expected) << "Korvella.exe and korvella-cli.exe wrote different files";

    // The written file holds the scaled vertices; read anew, it shows the same statistics as
    // the scaled mesh did.
    HWND meshName = FindWindowExA(korvella.mainWindow, NULL, "MeshNameWindow", NULL);
    std::vector<unsigned> torusName = SteadyPixels(meshName);
    ASSERT_NO_FATAL_FAILURE(Import(folder + "gui.obj"));
    EXPECT_NE(SteadyPixels(meshName), torusName) << "the written file was read";
    EXPECT_EQ(SteadyPixels(korvella.StatsPanel()), scaled);
    EXPECT_TRUE(korvella.Running());
}

// Cancelled choosers, a cancelled scale dialog and a cancelled options dialog leave the mesh,
// the buttons, the panel, the option word and any existing file as they were.
TEST_F(EndToEnd, CancelsLeaveEverythingAsItWas)
{
    korvella.ClickOpening(IDM_IMPORT);
    ASSERT_TRUE(AnswerChooser(korvella, openTitle, ""));
    ASSERT_TRUE(korvella.Settle());
    EXPECT_EQ(korvella.EnabledButtons(), startButtons);

    ASSERT_NO_FATAL_FAILURE(Import(sample));
    std::vector<bool> loaded = korvella.EnabledButtons();
    std::vector<unsigned> panel = SteadyPixels(korvella.StatsPanel());

    korvella.ClickOpening(IDM_IMPORT);
    ASSERT_TRUE(AnswerChooser(korvella, openTitle, ""));
    ASSERT_TRUE(korvella.Settle());
    EXPECT_EQ(korvella.EnabledButtons(), loaded);
    EXPECT_EQ(SteadyPixels(korvella.StatsPanel()), panel);

    korvella.ClickOpening(IDC_SCALE_VERTICES);
    HWND scale = korvella.FindDialog(scaleTitle);
    ASSERT_TRUE(scale);
    ASSERT_TRUE(ClickSpinDown(scale, IDC_SCALE_Z_SPIN));
    EXPECT_EQ(ScaleTexts(scale), (std::vector<std::string>{"5.0000", "5.0000", "5.0000"}));
    ASSERT_TRUE(CloseDialog(scale, IDCANCEL));
    ASSERT_TRUE(korvella.Settle());
    EXPECT_EQ(SteadyPixels(korvella.StatsPanel()), panel);

    std::vector<std::string> files = FolderFiles(folder);
    korvella.ClickOpening(IDM_EXPORT);
    ASSERT_TRUE(AnswerChooser(korvella, saveTitle, ""));
    ASSERT_TRUE(korvella.Settle());
    EXPECT_EQ(korvella.EnabledButtons(), loaded);
    EXPECT_EQ(FolderFiles(folder), files);

    // An existing file stays as it was when the options dialog is cancelled.
    std::string kept = folder + "kept.obj";
    WriteFileBytes(kept, "keep me\n");
    korvella.ClickOpening(IDM_EXPORT);
    ASSERT_TRUE(AnswerChooser(korvella, saveTitle, kept));
    HWND options = korvella.FindDialog(optionsTitle);
    ASSERT_TRUE(options);
    for (int id : {IDC_EXPORT_NORMALS, IDC_REVERSE_FACES, IDC_SORT_BY_GROUP})
        ASSERT_TRUE(ClickDialogButton(options, id));
    ASSERT_TRUE(CloseDialog(options, IDCANCEL));
    ASSERT_TRUE(korvella.Settle());
    EXPECT_EQ(ReadFileBytes(kept), "keep me\n");
    EXPECT_EQ(korvella.EnabledButtons(), loaded);
    EXPECT_EQ(SteadyPixels(korvella.StatsPanel()), panel);

    // The next export shows the start-up choices and writes the mesh as read.
    korvella.ClickOpening(IDM_EXPORT);
    ASSERT_TRUE(AnswerChooser(korvella, saveTitle, folder + "gui.obj"));
    options = korvella.FindDialog(optionsTitle);
    ASSERT_TRUE(options);
    EXPECT_TRUE(Checked(options, IDC_EXPORT_NORMALS));
    EXPECT_FALSE(Checked(options, IDC_REVERSE_FACES));
    EXPECT_TRUE(Checked(options, IDC_SORT_AS_LOADED));
    ASSERT_TRUE(CloseDialog(options, IDOK));
    ASSERT_TRUE(korvella.Settle());
    std::string written = ReadFileBytes(folder + "gui.obj");
    ASSERT_FALSE(written.empty());
    EXPECT_TRUE(written == BatchOutput("")) << "the cancels changed what is written";
}

} // namespace
