// Start-up, the window classes and the message loop of Korvella.exe.
#include "app/app_win.h"

#include "mesh/mesh.h"
#include "res/resource.h"
#include "ui/ui_win.h"

Mesh* currentMesh;

void SetCurrentMesh(Mesh* mesh)
{
    currentMesh = mesh;
    panelMesh = mesh;
}

static char windowClassName[100];
static char windowTitle[100];
static HACCEL accelerators;

static void RegisterSkinnedClass(HINSTANCE instance, const char* name, WNDPROC procedure,
                                 HBRUSH background)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KORVELLA));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    windowClass.hCursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExA(&windowClass);
}

void RegisterWindowClasses(HINSTANCE instance)
{
    RegisterSkinnedClass(instance, windowClassName, MainWindowProc, backgroundBrush);
    RegisterSkinnedClass(instance, "StatsWindow", StatsWindowProc, statisticsBrush);
    RegisterSkinnedClass(instance, "MeshNameWindow", MeshNameWindowProc, meshNameBrush);
}

bool StartKorvella(HINSTANCE instance, int showCommand)
{
    if (!RegisterProgressClass(instance))
        return false;
    if (!LoadSkin(instance))
        return false;
    LoadStringA(instance, IDS_APP_TITLE, windowTitle, sizeof(windowTitle));
    LoadStringA(instance, IDS_APP_CLASS, windowClassName, sizeof(windowClassName));
    RegisterWindowClasses(instance);
    if (!CreateMainWindows(instance, showCommand))
        return false;
    accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_KORVELLA));
    return accelerators != NULL;
}

void DispatchShellMessage(MSG* message)
{
    if (TranslateAcceleratorA(message->hwnd, accelerators, message))
        return;
    TranslateMessage(message);
    DispatchMessageA(message);
}

int RunMessageLoop()
{
    MSG message;
    // GetMessage returns -1 on an invalid call; that ends the loop too
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchShellMessage(&message);
    return static_cast<int>(message.wParam);
}

void EndKorvella()
{
    if (currentMesh)
        FreeMesh(currentMesh);
    SetCurrentMesh(NULL);
    if (panelFont)
        DeleteObject(panelFont);
    panelFont = NULL;
}
