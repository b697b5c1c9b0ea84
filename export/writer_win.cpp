// The export command's writer: options dialog first, then the file.
#include <windows.h>

#include "export/export_win.h"
#include "mesh/mesh.h"

Mesh* dialogMesh = nullptr;

void WriteObjMesh(Mesh* mesh, const char* path)
{
    (void)path;
    if (!mesh)
        return;
    dialogMesh = mesh;
}

INT_PTR CALLBACK ObjSaveOptsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
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
