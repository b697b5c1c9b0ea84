// The export command's writer and the export options dialog procedure. The rules of the
// dialog (what is checked, what is enabled, which word OK builds) live in export.h; this file
// only moves them between the rules and the controls.
#include <windows.h>

#include "export/export.h"
#include "export/export_win.h"
#include "mesh/mesh.h"
#include "res/resource.h"
#include "ui/ui_win.h"

// The dialog control of each item of the rules.
static HWND ExportControl(HWND dialog, int item)
{
    return GetDlgItem(dialog, ExportDialogControlId(static_cast<ExportDialogControl>(item)));
}

static uint32_t DialogMeshFlags()
{
    return dialogMesh ? dialogMesh->flags : 0;
}

// The rules' view of the dialog as the controls show it now.
static ExportDialogState ReadExportControls(HWND dialog)
{
    ExportDialogState state = {};
    for (int i = 0; i < EXPORT_DIALOG_CONTROL_COUNT; i++)
    {
        state.checked[i] = SendMessageA(ExportControl(dialog, i), BM_GETCHECK, 0, 0) == BST_CHECKED;
        state.enabled[i] = IsWindowEnabled(ExportControl(dialog, i)) != FALSE;
    }
    state.meshFlags = DialogMeshFlags();
    return state;
}

static void ShowExportEnabling(HWND dialog, const ExportDialogState& state)
{
    for (int i = 0; i < EXPORT_DIALOG_CONTROL_COUNT; i++)
        EnableWindow(ExportControl(dialog, i), state.enabled[i]);
}

static void ShowExportChecks(HWND dialog, const ExportDialogState& state)
{
    for (int i = 0; i < EXPORT_DIALOG_CONTROL_COUNT; i++)
        if (i != CTL_FACE_SORTING)
            SendMessageA(ExportControl(dialog, i), BM_SETCHECK,
                         state.checked[i] ? BST_CHECKED : BST_UNCHECKED, 0);
}

static void InitExportDialog(HWND dialog)
{
    ExportDialogState state = InitExportDialogState(exportOptions, DialogMeshFlags());
    ShowExportChecks(dialog, state);
    ShowExportEnabling(dialog, state);
}

// A box has toggled itself; bring what it enables into line.
static void ExportControlClicked(HWND dialog, ExportDialogControl control)
{
    ExportDialogState state = ReadExportControls(dialog);
    ApplyExportDialogClick(&state, control);
    ShowExportEnabling(dialog, state);
}

static void AcceptExportDialog(HWND dialog)
{
    ExportDialogState state = ReadExportControls(dialog);
    exportOptions = BuildExportOptions(&state, exportOptions);
    EndDialog(dialog, 1);
}

static void ExportDialogCommand(HWND dialog, int id)
{
    if (id == IDOK)
        AcceptExportDialog(dialog);
    else if (id == IDCANCEL)
        EndDialog(dialog, 0);
    else if (ExportDialogControlFromId(id) != EXPORT_DIALOG_CONTROL_COUNT)
        ExportControlClicked(dialog, ExportDialogControlFromId(id));
}

INT_PTR CALLBACK ObjSaveOptsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        InitExportDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        ExportDialogCommand(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void WriteObjMesh(Mesh* mesh, const char* path)
{
    if (!mesh || !path)
        return;
    dialogMesh = mesh;
    // Only an explicit OK writes; Cancel, the close box and a dialog that could not be
    // created leave the file and the options as they were.
    INT_PTR result = DialogBoxParamA(appInstance, "ObjSaveOpts", mainWindow, ObjSaveOptsProc, 0);
    if (result != 1)
        return;
    WriteObjMeshFile(mesh, path, exportOptions);
}
