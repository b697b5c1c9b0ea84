// Drives the modal dialogs of this thread in the tests: finds a dialog by its caption once it
// is up, hands it to the test's steps, and reads the controls back.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Calls open(), which shows a modal dialog and returns when it ends; meanwhile a thread timer
// waits for the dialog captioned title and calls drive(dialog) inside its message loop. drive
// must end the dialog; if it does not, the dialog is cancelled after a few seconds and the
// test fails. Fails the test as well when the dialog never appears.
void RunModalDialog(const char* title, const std::function<void()>& open,
                    const std::function<void(HWND)>& drive);

// A real mouse click on a button: BM_CLICK, as the system sends it.
void ClickButton(HWND dialog, int id);
// The close box: the system menu's close command.
void PressCloseBox(HWND dialog);
// One press of an up-down control's upper (up true) or lower arrow with the mouse.
void ClickSpinArrow(HWND dialog, int id, bool up);
// A key pressed on the control with the focus set to it first.
void PressKey(HWND dialog, int id, UINT key);

bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
std::string ItemText(HWND dialog, int id);

// One item of a dialog template as the resource holds it.
struct TemplateItem
{
    int id;
    std::string className; // "Button", "Edit", "Static" for the system ordinals
    std::string text;
    DWORD style;
    int x, y, cx, cy;
};

// The template named name in this program's resources: its caption, font, size, style and
// items, in order. Empty items when the template is missing.
struct DialogTemplateInfo
{
    DWORD style;
    int x, y, cx, cy;
    std::string caption;
    int pointSize;
    std::string font;
    std::vector<TemplateItem> items;
};
DialogTemplateInfo ReadDialogTemplate(const char* name);
