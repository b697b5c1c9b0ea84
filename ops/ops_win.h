// Windows side of the mesh operations: the scale command and its dialog.
#pragma once

#include <windows.h>

struct Mesh;

// Shows the "ScaleOpts" dialog over the main window for the mesh; after OK (or when the
// dialog cannot be created) recomputes the mesh's bounds from its stored vertices.
void ScaleVertices(Mesh* mesh);

// Dialog procedure of "ScaleOpts": moves the mesh's scale factors with the spinners and the
// slider; Cancel puts back the factors the mesh had when the dialog opened.
INT_PTR CALLBACK ScaleOptsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
