// The application shell: start-up, message loop, main window procedure, file choosers.
#pragma once

#include <windows.h>

struct Mesh;

// The one mesh the program holds, or null (at start and after a failed import).
extern Mesh* currentMesh;
// Makes mesh (or null) the current mesh, and the one the panels show.
void SetCurrentMesh(Mesh* mesh);

// Registers the main window class (named by string 109) and the two panel classes.
void RegisterWindowClasses(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up up to the message loop: progress class, skin, strings, classes, windows,
// accelerators. False when a step fails (nothing is shown then, and nothing is released).
bool StartKorvella(HINSTANCE instance, int showCommand);
// One turn of the loop: the accelerators first, else translate and dispatch.
void DispatchShellMessage(MSG* message);
// Runs the message loop until the quit message; returns its exit code.
int RunMessageLoop();
// Releases the current mesh and the panel font after the loop.
void EndKorvella();

// The open chooser: the chosen path (valid until the next open chooser) or null on cancel.
const char* ChooseOpenFile(HWND owner, const char* title);
// The save chooser, offering initialName (may be null): the chosen path (valid until the
// next save chooser) or null on cancel.
const char* ChooseSaveFile(HWND owner, const char* title, const char* initialName);
