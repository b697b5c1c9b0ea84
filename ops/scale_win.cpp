// The scale command and its dialog.
#include <windows.h>

#include "export/export_win.h"
#include "mesh/mesh.h"
#include "ops/ops_win.h"

void ScaleVertices(Mesh* mesh)
{
    dialogMesh = mesh;
}

INT_PTR CALLBACK ScaleOptsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}
