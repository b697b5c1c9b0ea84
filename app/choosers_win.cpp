// The open and save file choosers, each with its own path and file-title buffers.
#include "app/app_win.h"

#include <commdlg.h>

#include <cstring>

enum
{
    CHOOSER_PATH_SIZE = 256,
};

static const char objFilter[] = "Obj files (*.obj)\0*.obj\0All Files (*.*)\0*.*\0";

static char openPath[CHOOSER_PATH_SIZE];
static char openTitle[CHOOSER_PATH_SIZE];
static char savePath[CHOOSER_PATH_SIZE];
static char saveTitle[CHOOSER_PATH_SIZE];

static void FillRequest(OPENFILENAMEA* request, HWND owner, const char* title, char* path,
                        char* fileTitle, DWORD flags)
{
    std::memset(request, 0, sizeof(*request));
    // the size without the fields Windows 2000 added, accepted by every version
    request->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request->hwndOwner = owner;
    request->hInstance =
        owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)) : NULL;
    request->lpstrFilter = objFilter;
    request->nFilterIndex = 1;
    request->lpstrFile = path;
    request->nMaxFile = CHOOSER_PATH_SIZE;
    request->lpstrFileTitle = fileTitle;
    request->nMaxFileTitle = CHOOSER_PATH_SIZE;
    request->lpstrTitle = title;
    request->Flags = flags;
    request->lpstrDefExt = "obj";
}

const char* ChooseOpenFile(HWND owner, const char* title)
{
    openPath[0] = '\0';
    openTitle[0] = '\0';
    OPENFILENAMEA request;
    FillRequest(&request, owner, title, openPath, openTitle,
                OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    return GetOpenFileNameA(&request) ? openPath : NULL;
}

const char* ChooseSaveFile(HWND owner, const char* title, const char* initialName)
{
    savePath[0] = '\0';
    if (initialName)
    {
        std::strncpy(savePath, initialName, CHOOSER_PATH_SIZE - 1);
        savePath[CHOOSER_PATH_SIZE - 1] = '\0';
    }
    saveTitle[0] = '\0';
    OPENFILENAMEA request;
    FillRequest(&request, owner, title, savePath, saveTitle,
                OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN);
    return GetSaveFileNameA(&request) ? savePath : NULL;
}
