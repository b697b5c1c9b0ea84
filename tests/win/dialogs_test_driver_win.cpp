// Modal dialog driving and template reading for the dialog tests.
#include "dialogs_test_driver.h"

#include <gtest/gtest.h>

#include <cstring>

// The one dialog being driven; the timer procedures have no other way to reach it.
struct ModalRun
{
    const char* title;
    const std::function<void(HWND)>* drive;
    UINT_PTR findTimer;
    UINT_PTR watchdogTimer;
    bool found;
    HWND dialog;
};
static ModalRun modalRun;

static BOOL CALLBACK MatchDialog(HWND window, LPARAM result)
{
    char className[32] = "";
    char caption[128] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(className, "#32770") != 0 || std::strcmp(caption, modalRun.title) != 0 ||
        !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

static void CALLBACK FindAndDrive(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || modalRun.found)
        return;
    KillTimer(nullptr, modalRun.findTimer);
    modalRun.found = true;
    modalRun.dialog = dialog;
    (*modalRun.drive)(dialog);
}

// A dialog that was never closed (or never found) is cancelled so the run cannot hang.
static void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD)
{
    KillTimer(nullptr, modalRun.watchdogTimer);
    KillTimer(nullptr, modalRun.findTimer);
    HWND dialog = modalRun.dialog;
    if (!dialog)
        EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&dialog));
    ADD_FAILURE() << "dialog \"" << modalRun.title << "\" was still open; cancelling it";
    if (dialog)
        EndDialog(dialog, 0);
}

void RunModalDialog(const char* title, const std::function<void()>& open,
                    const std::function<void(HWND)>& drive)
{
    modalRun = {title, &drive, 0, 0, false, nullptr};
    modalRun.findTimer = SetTimer(nullptr, 0, 10, FindAndDrive);
    modalRun.watchdogTimer = SetTimer(nullptr, 0, 8000, Watchdog);
    open();
    KillTimer(nullptr, modalRun.findTimer);
    KillTimer(nullptr, modalRun.watchdogTimer);
    // Drop timer messages that were posted but not yet taken.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
    {
    }
    EXPECT_TRUE(modalRun.found) << "dialog \"" << title << "\" never appeared";
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PressCloseBox(HWND dialog)
{
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void ClickSpinArrow(HWND dialog, int id, bool up)
{
    HWND spin = GetDlgItem(dialog, id);
    RECT area;
    GetClientRect(spin, &area);
    LPARAM point = MAKELPARAM(area.right / 2, up ? area.bottom / 4 : area.bottom * 3 / 4);
    SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(spin, WM_LBUTTONUP, 0, point);
}

void PressKey(HWND dialog, int id, UINT key)
{
    HWND control = GetDlgItem(dialog, id);
    SetFocus(control);
    SendMessageA(control, WM_KEYDOWN, key, 1);
    SendMessageA(control, WM_KEYUP, key, 0xC0000001);
}

bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

std::string ItemText(HWND dialog, int id)
{
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// ---- Template reading -----------------------------------------------------------------------

static const WORD* SkipToDword(const WORD* at, const void* base)
{
    size_t offset = reinterpret_cast<const BYTE*>(at) - static_cast<const BYTE*>(base);
    return reinterpret_cast<const WORD*>(static_cast<const BYTE*>(base) + ((offset + 3) & ~3u));
}

// A string or ordinal field: 0 (empty), 0xFFFF then an ordinal, or a zero-terminated string.
static const WORD* ReadNameOrOrdinal(const WORD* at, std::string* text, int* ordinal)
{
    *ordinal = -1;
    text->clear();
    if (*at == 0xFFFF)
    {
        *ordinal = at[1];
        return at + 2;
    }
    for (; *at; at++)
        text->push_back(static_cast<char>(*at));
    return at + 1;
}

static std::string SystemClassName(int ordinal)
{
    static const char* const names[] = {"Button",  "Edit",      "Static",
                                        "ListBox", "ScrollBar", "ComboBox"};
    if (ordinal >= 0x80 && ordinal <= 0x85)
        return names[ordinal - 0x80];
    return "#" + std::to_string(ordinal);
}

static const WORD* ReadTemplateItem(const WORD* at, const void* base, TemplateItem* item)
{
    const DLGITEMTEMPLATE* head = reinterpret_cast<const DLGITEMTEMPLATE*>(at);
    item->style = head->style;
    item->x = head->x;
    item->y = head->y;
    item->cx = head->cx;
    item->cy = head->cy;
    item->id = static_cast<short>(head->id);
    at = reinterpret_cast<const WORD*>(head + 1);
    int ordinal;
    at = ReadNameOrOrdinal(at, &item->className, &ordinal);
    if (ordinal >= 0)
        item->className = SystemClassName(ordinal);
    at = ReadNameOrOrdinal(at, &item->text, &ordinal);
    WORD extra = *at++;
    return reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
}

DialogTemplateInfo ReadDialogTemplate(const char* name)
{
    DialogTemplateInfo info = {};
    HRSRC found = FindResourceA(GetModuleHandleA(nullptr), name, MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found ? LoadResource(GetModuleHandleA(nullptr), found) : nullptr;
    const void* base = loaded ? LockResource(loaded) : nullptr;
    if (!base)
        return info;
    const DLGTEMPLATE* head = static_cast<const DLGTEMPLATE*>(base);
    info.style = head->style;
    info.x = head->x;
    info.y = head->y;
    info.cx = head->cx;
    info.cy = head->cy;
    const WORD* at = reinterpret_cast<const WORD*>(head + 1);
    std::string ignored;
    int ordinal;
    at = ReadNameOrOrdinal(at, &ignored, &ordinal); // menu
    at = ReadNameOrOrdinal(at, &ignored, &ordinal); // class
    at = ReadNameOrOrdinal(at, &info.caption, &ordinal);
    if (head->style & DS_SETFONT)
    {
        info.pointSize = *at++;
        at = ReadNameOrOrdinal(at, &info.font, &ordinal);
    }
    for (int i = 0; i < head->cdit; i++)
    {
        TemplateItem item;
        at = ReadTemplateItem(SkipToDword(at, base), base, &item);
        info.items.push_back(item);
    }
    return info;
}
