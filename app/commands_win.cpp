// The main window procedure and the command table: one function per command.
#include "app/app_win.h"

#include "export/export_win.h"
#include "mesh/mesh.h"
#include "ops/ops.h"
#include "ops/ops_win.h"
#include "res/resource.h"
#include "ui/ui_win.h"

static void InvalidatePanel(HWND panel)
{
    InvalidateRect(panel, NULL, TRUE);
}

static void AboutCommand(HWND window)
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
}

static void ImportCommand(HWND window)
{
    const char* path = ChooseOpenFile(window, "Load Wavefront (.obj) File");
    if (!path)
        return;
    DisableCommandButtons();
    if (currentMesh)
        FreeMesh(currentMesh);
    SetCurrentMesh(NULL);
    UpdateAllWindows();
    SetCurrentMesh(ReadObjMesh(path));
    EnableCommandButtons(currentMesh);
    InvalidatePanel(meshNameWindow);
    InvalidatePanel(statsWindow);
}

static void ExportCommand(HWND window)
{
    if (!currentMesh)
        return;
    const char* name = MeshNameFromPath(currentMesh->filePath);
    const char* path = ChooseSaveFile(window, "Save Wavefront (.obj) File", name);
    if (!path)
        return;
    UpdateAllWindows();
    WriteObjMesh(currentMesh, path);
    InvalidatePanel(meshNameWindow);
    InvalidatePanel(statsWindow);
}

// Smoothing and compaction run with every button disabled and on screen as such.
static void LongOperationCommand(void (*operation)(Mesh*))
{
    if (!currentMesh)
        return;
    DisableCommandButtons();
    UpdateAllWindows();
    operation(currentMesh);
    EnableCommandButtons(currentMesh);
    InvalidatePanel(statsWindow);
}

static void SmoothOperation(Mesh* mesh)
{
    SmoothMeshNormals(mesh);
}

static void QuadsToTrianglesCommand()
{
    if (!currentMesh)
        return;
    ConvertQuadsToTriangles(currentMesh);
    InvalidatePanel(statsWindow);
    if (CommandButton* button = FindCommandButton(IDC_QUADS_TO_TRIANGLES))
        EnableWindow(button->window, FALSE);
}

static void ScaleCommand()
{
    if (!currentMesh)
        return;
    ScaleVertices(currentMesh);
    InvalidatePanel(statsWindow);
}

// Carries out one command; false for an identifier that is not a command.
static bool RunCommand(HWND window, int commandId)
{
    switch (commandId)
    {
    case IDM_ABOUT:
        AboutCommand(window);
        return true;
    case IDM_EXIT:
        DestroyWindow(window);
        return true;
    case IDM_IMPORT:
        ImportCommand(window);
        return true;
    case IDM_EXPORT:
        ExportCommand(window);
        return true;
    case IDC_SMOOTH_SEAMS:
    case IDM_SMOOTH_ALL:
        LongOperationCommand(SmoothOperation);
        return true;
    case IDC_COMPACT_NORMALS:
        LongOperationCommand(CompactNormals);
        return true;
    case IDC_QUADS_TO_TRIANGLES:
    case IDM_QUADS_TO_TRIANGLES:
        QuadsToTrianglesCommand();
        return true;
    case IDC_SCALE_VERTICES:
        ScaleCommand();
        return true;
    }
    return false;
}

static void PaintMainWindow(HWND window)
{
    // the skin is the class background; nothing else to draw
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintMainWindow(window);
        return 0;
    case WM_DRAWITEM:
        return DrawCommandButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
        if (RunCommand(window, LOWORD(wParam)))
            return 0;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
