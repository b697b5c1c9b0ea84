// Takes the README's pictures: starts Korvella.exe, imports a mesh through the real open
// chooser, and saves the main window, the export options dialog and the scale dialog as BMP
// files. Usage: korvella_screenshots PROGRAM MESH.obj OUTPUT_FOLDER
// Run it inside a Wine virtual desktop, where Wine draws the window frames itself, so that
// the screen holds every pixel of the windows it saves.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"

// Every wait of this program ends after this long; the step then fails.
static const DWORD stepTimeoutMs = 20000;

static PROCESS_INFORMATION korvella;

static bool Fail(const char* step)
{
    std::fprintf(stderr, "screenshots: %s\n", step);
    return false;
}

// Polls condition every 50 ms until it holds or the step's time is up.
template <typename Condition> static bool WaitFor(Condition condition)
{
    DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start > stepTimeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

// Gives Korvella time to handle its queue and repaint before a picture is taken.
static void LetKorvellaSettle()
{
    WaitForInputIdle(korvella.hProcess, stepTimeoutMs);
    Sleep(500);
}

static bool OwnedByKorvella(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return window && process == korvella.dwProcessId;
}

// A visible top-level dialog of Korvella with this title, or null.
static HWND FindDialog(const char* title)
{
    HWND dialog = FindWindowA("#32770", title);
    return OwnedByKorvella(dialog) && IsWindowVisible(dialog) ? dialog : NULL;
}

static HWND WaitForDialog(const char* title)
{
    HWND dialog = NULL;
    WaitFor([&] { return (dialog = FindDialog(title)) != NULL; });
    return dialog;
}

static bool WaitForDialogGone(const char* title)
{
    return WaitFor([&] { return FindDialog(title) == NULL; });
}

// Sends a command as its button would: the identifier in the low word, the button's window.
static void PostCommand(HWND mainWindow, int command)
{
    PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(mainWindow, command)));
}

// Answers an open or save chooser with path, as a user typing it and pressing OK.
static bool AnswerChooser(const char* title, const std::string& path)
{
    HWND chooser = WaitForDialog(title);
    if (!chooser)
        return Fail("the file chooser did not open");
    Sleep(300);                             // the chooser fills its lists after it shows
    HWND name = GetDlgItem(chooser, 0x47c); // the file-name combo box
    if (!name)
        name = GetDlgItem(chooser, 0x480); // the plain edit of older layouts
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitForDialogGone(title) || Fail("the file chooser did not take the path");
}

static bool WriteBmp(const char* path, const BITMAPINFOHEADER& header, const void* bits)
{
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    bool written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                   std::fwrite(&header, sizeof(header), 1, out) == 1 &&
                   std::fwrite(bits, header.biSizeImage, 1, out) == 1;
    return std::fclose(out) == 0 && written;
}

// Saves what the screen shows of a window, frame and caption included, as a 24-bit BMP.
static bool SaveWindowPicture(HWND window, const std::string& path)
{
    RECT rect;
    GetWindowRect(window, &rect);
    BITMAPINFO info = {};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof(header);
    header.biWidth = rect.right - rect.left;
    header.biHeight = rect.bottom - rect.top; // bottom-up, as BMP files store rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = ((header.biWidth * 3 + 3) & ~3) * header.biHeight;
    HDC screen = GetDC(NULL);
    void* bits = NULL;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, header.biWidth, header.biHeight, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    bool saved = picture && WriteBmp(path.c_str(), header, bits);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(picture);
    ReleaseDC(NULL, screen);
    std::printf("screenshots: %s %ldx%ld\n", path.c_str(), header.biWidth, header.biHeight);
    return saved || Fail("a picture could not be written");
}

static HWND StartKorvella(const std::string& program)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                        &startup, &korvella))
        return NULL;
    HWND mainWindow = NULL;
    WaitFor(
        [&]
        {
            mainWindow = FindWindowA("KORVELLA", "Korvella");
            return OwnedByKorvella(mainWindow) && IsWindowVisible(mainWindow);
        });
    return mainWindow;
}

static bool ImportMesh(HWND mainWindow, const std::string& meshPath)
{
    PostCommand(mainWindow, IDM_IMPORT);
    if (!AnswerChooser("Load Wavefront (.obj) File", meshPath))
        return false;
    // Export comes back once the mesh is read
    if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(mainWindow, IDM_EXPORT)) != 0; }))
        return Fail("the mesh was not imported");
    LetKorvellaSettle();
    return true;
}

// Opens a dialog by its command, saves its picture and cancels it.
static bool ShootDialog(HWND mainWindow, int command, const char* title,
                        const std::string& savePath, const std::string& picture)
{
    PostCommand(mainWindow, command);
    if (!savePath.empty() && !AnswerChooser("Save Wavefront (.obj) File", savePath))
        return false;
    HWND dialog = WaitForDialog(title);
    if (!dialog)
        return Fail("a dialog did not open");
    LetKorvellaSettle();
    bool saved = SaveWindowPicture(dialog, picture);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return WaitForDialogGone(title) && saved;
}

static bool TakePictures(HWND mainWindow, const std::string& meshPath, const std::string& folder)
{
    return ImportMesh(mainWindow, meshPath) &&
           SaveWindowPicture(mainWindow, folder + "\\screenshot.bmp") &&
           ShootDialog(mainWindow, IDM_EXPORT, "Obj Export Options", folder + "\\unused.obj",
                       folder + "\\export-dialog.bmp") &&
           ShootDialog(mainWindow, IDC_SCALE_VERTICES, "Mesh Scale Options", "",
                       folder + "\\scale-dialog.bmp");
}

static std::string FullPath(const char* path)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, NULL);
    return length && length < MAX_PATH ? std::string(full, length) : std::string(path);
}

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: korvella_screenshots PROGRAM MESH.obj OUTPUT_FOLDER\n");
        return 2;
    }
    HWND mainWindow = StartKorvella(FullPath(argv[1]));
    if (!korvella.hProcess)
        return Fail("Korvella.exe could not be started"), 1;
    bool taken = false;
    if (mainWindow)
    {
        LetKorvellaSettle();
        taken = TakePictures(mainWindow, FullPath(argv[2]), FullPath(argv[3]));
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    }
    else
    {
        Fail("the main window did not appear");
    }
    if (WaitForSingleObject(korvella.hProcess, stepTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(korvella.hProcess, 1);
    CloseHandle(korvella.hThread);
    CloseHandle(korvella.hProcess);
    return taken ? 0 : 1;
}
