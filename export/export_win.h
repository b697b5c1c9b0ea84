// Windows side of the OBJ export: the options dialog and the export command's writer.
#pragma once

#include <windows.h>

struct Mesh;

// Shows the "ObjSaveOpts" dialog over the main window, then (after OK) gives the path the
// default extension ".obj" and writes the mesh there. A null mesh or Cancel writes nothing.
void WriteObjMesh(Mesh* mesh, const char* path);

// Dialog procedure of "ObjSaveOpts": shows exportOptions against dialogMesh's flags, keeps
// the enabling in step with the clicks, and on OK stores the word the boxes describe.
INT_PTR CALLBACK ObjSaveOptsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
