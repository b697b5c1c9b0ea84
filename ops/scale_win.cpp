// The scale command and its dialog procedure. The dialog's decisions (factors, positions,
// texts, lock and last axis) live in ops.h; this file only carries events there and copies
// the resulting view back onto the controls.
#include <windows.h>
#include <commctrl.h>

#include "mesh/mesh.h"
#include "ops/ops.h"
#include "ops/ops_win.h"
#include "res/resource.h"
#include "ui/ui_win.h"

static const int scaleEditIds[3] = {IDC_SCALE_X, IDC_SCALE_Y, IDC_SCALE_Z};
static const int scaleSpinIds[3] = {IDC_SCALE_X_SPIN, IDC_SCALE_Y_SPIN, IDC_SCALE_Z_SPIN};

// The trackbar and up-down classes must be registered before the template is built.
static void MakeScaleControlsAvailable()
{
    static bool done = false;
    if (done)
        return;
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    done = InitCommonControlsEx(&classes) != FALSE;
}

static int SpinAxisOf(int id)
{
    for (int axis = 0; axis < 3; axis++)
        if (scaleSpinIds[axis] == id)
            return axis;
    return -1;
}

static int EditAxisOf(int id)
{
    for (int axis = 0; axis < 3; axis++)
        if (scaleEditIds[axis] == id)
            return axis;
    return -1;
}

static LRESULT SendToItem(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

static void SetupScaleRanges(HWND dialog)
{
    SendToItem(dialog, IDC_SCALE_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, SCALE_POSITION_MAX));
    SendToItem(dialog, IDC_SCALE_SLIDER, TBM_SETTICFREQ, 25, 0);
    SendToItem(dialog, IDC_SCALE_SLIDER, TBM_SETLINESIZE, 0, 1);
    SendToItem(dialog, IDC_SCALE_SLIDER, TBM_SETPAGESIZE, 0, 10);
}

// Positions first (slider, then the spinners in axis order), then the texts in the order the
// view names; each text's change notification comes back here as a command.
static void ShowScaleView(HWND dialog, const ScaleDialogView& view)
{
    if (view.sliderPosition >= 0)
        SendToItem(dialog, IDC_SCALE_SLIDER, TBM_SETPOS, TRUE, view.sliderPosition);
    for (int axis = 0; axis < 3; axis++)
    {
        if (view.spinPosition[axis] < 0)
            continue;
        SendToItem(dialog, scaleSpinIds[axis], UDM_SETRANGE, 0, MAKELPARAM(0, SCALE_POSITION_MAX));
        SendToItem(dialog, scaleSpinIds[axis], UDM_SETPOS, 0,
                   MAKELPARAM(view.spinPosition[axis], 0));
    }
    for (int i = 0; i < view.textCount; i++)
        SetWindowTextA(GetDlgItem(dialog, scaleEditIds[view.textOrder[i]]),
                       view.text[view.textOrder[i]]);
}

static void InitScaleDialog(HWND dialog)
{
    ScaleDialogView view;
    ScaleDialogOpen(dialogMesh, &view);
    CheckDlgButton(dialog, IDC_LOCK_XYZ, view.locked ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_SCALE_SLIDER), view.locked);
    SetupScaleRanges(dialog);
    ShowScaleView(dialog, view);
}

// Scroll notifications are told apart only by the control they name.
static void ScaleControlScrolled(HWND dialog, HWND control)
{
    int id = GetDlgCtrlID(control);
    ScaleDialogView view;
    if (SpinAxisOf(id) >= 0)
    {
        int position = LOWORD(SendMessageA(control, UDM_GETPOS, 0, 0));
        ScaleDialogSpin(dialogMesh, SpinAxisOf(id), position, &view);
    }
    else if (id == IDC_SCALE_SLIDER)
    {
        int position = static_cast<int>(SendMessageA(control, TBM_GETPOS, 0, 0));
        ScaleDialogSlide(dialogMesh, position, &view);
    }
    else
        return;
    ShowScaleView(dialog, view);
}

static void ScaleLockClicked(HWND dialog)
{
    bool checked = IsDlgButtonChecked(dialog, IDC_LOCK_XYZ) == BST_CHECKED;
    ScaleDialogLock(dialogMesh, checked);
    EnableWindow(GetDlgItem(dialog, IDC_SCALE_SLIDER), checked);
}

static void ScaleDialogCommand(HWND dialog, int id)
{
    if (id == IDOK)
        EndDialog(dialog, 1);
    else if (id == IDCANCEL)
    {
        ScaleDialogCancel(dialogMesh);
        EndDialog(dialog, 0);
    }
    else if (id == IDC_LOCK_XYZ)
        ScaleLockClicked(dialog);
    else if (EditAxisOf(id) >= 0)
        ScaleDialogTouch(EditAxisOf(id));
}

INT_PTR CALLBACK ScaleOptsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        InitScaleDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        ScaleDialogCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_VSCROLL:
    case WM_HSCROLL:
        ScaleControlScrolled(dialog, reinterpret_cast<HWND>(lParam));
        return TRUE;
    }
    return FALSE;
}

void ScaleVertices(Mesh* mesh)
{
    if (!mesh)
        return;
    MakeScaleControlsAvailable();
    dialogMesh = mesh;
    INT_PTR result = DialogBoxParamA(appInstance, "ScaleOpts", mainWindow, ScaleOptsProc, 0);
    // Cancel has already put the old factors back; a dialog that could not be created
    // counts as OK.
    if (result == 0)
        return;
    RecomputeMeshBounds(mesh);
}
