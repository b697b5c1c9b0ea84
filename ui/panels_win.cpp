// The two information panels: the mesh-name strip and the statistics panel, painted
// from panelMesh at every paint.
#include "ui/ui_win.h"

#include <cstring>

const Mesh* panelMesh;

// Transparent text in the panel font and colour; returns the font it replaced.
static HGDIOBJ BeginPanelText(HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previousFont = SelectObject(dc, panelFont);
    SetTextColor(dc, panelTextColor);
    return previousFont;
}

static void EndPanelText(HDC dc, HGDIOBJ previousFont)
{
    if (previousFont)
        SelectObject(dc, previousFont);
}

void PaintMeshName(HWND window, HDC dc, const Mesh* mesh)
{
    HGDIOBJ previousFont = BeginPanelText(dc);
    char line[PANEL_LINE_SIZE];
    FormatMeshNameLine(mesh, line);
    TextOutA(dc, 20, 5, line, static_cast<int>(std::strlen(line)));
    EndPanelText(dc, previousFont);
}

void PaintStatistics(HWND window, HDC dc, const Mesh* mesh)
{
    HGDIOBJ previousFont = BeginPanelText(dc);
    for (int i = 0; i < STATISTICS_LINE_COUNT; i++)
    {
        char line[PANEL_LINE_SIZE];
        FormatStatisticsLine(mesh, i, line);
        const PanelPoint& at = statisticsLinePoints[i];
        TextOutA(dc, at.x, at.y, line, static_cast<int>(std::strlen(line)));
    }
    EndPanelText(dc, previousFont);
}

LRESULT CALLBACK StatsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT || window != statsWindow)
        return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintStatistics(window, dc, panelMesh);
    EndPaint(window, &paint);
    return 0;
}

LRESULT CALLBACK MeshNameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT || window != meshNameWindow)
        return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintMeshName(window, dc, panelMesh);
    EndPaint(window, &paint);
    return 0;
}
