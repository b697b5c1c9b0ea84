// The two information panels as they show on screen, with and without a mesh.
#include <gtest/gtest.h>

#include "win_test_util.h"

#include "app/app_win.h"
#include "mesh/mesh.h"
#include "res/resource.h"
#include "ui/ui_win.h"

#include <cstring>

namespace
{

typedef void (*PaintFunction)(HWND, HDC, const Mesh*);

// What a panel should show: its background bitmap with paint's text written over it.
Pixels ExpectedPanel(int bitmapId, PaintFunction paint, const Mesh* mesh)
{
    HBITMAP background = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(bitmapId));
    BITMAP info = {};
    GetObjectA(background, sizeof(info), &info);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, background);
    paint(NULL, memory, mesh);
    Pixels pixels = CaptureDc(memory, info.bmWidth, info.bmHeight);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    DeleteObject(background);
    return pixels;
}

Pixels PlainBitmap(int bitmapId)
{
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(bitmapId));
    Pixels pixels = BitmapPixels(bitmap);
    DeleteObject(bitmap);
    return pixels;
}

Mesh SampleMesh()
{
    Mesh mesh = {};
    std::strcpy(mesh.filePath, "C:\\models\\chair.obj");
    std::strcpy(mesh.materialLibrary, "chair.mtl");
    mesh.materialCount = 3;
    mesh.groupCount = 2;
    mesh.facetCount = 1234;
    mesh.vertexCount = 777;
    mesh.normalCount = 55;
    mesh.uvCount = 9;
    mesh.scale = {2.0f, 1.0f, 0.5f};
    mesh.boundsMin = {-1.5f, -2.0f, -4.0f};
    mesh.boundsMax = {1.5f, 2.0f, 4.0f};
    mesh.flags = MESH_HAS_VERTICES;
    return mesh;
}

struct Panel
{
    const char* name;
    HWND window;
    int bitmapId;
    PaintFunction paint;
};

std::vector<Panel> Panels()
{
    return {{"statistics", statsWindow, IDB_STATISTICS, PaintStatistics},
            {"mesh name", meshNameWindow, IDB_MESH_NAME, PaintMeshName}};
}

} // namespace

TEST(Panels, PlaceholdersWithoutAMesh)
{
    ASSERT_EQ(currentMesh, nullptr);
    for (const Panel& panel : Panels())
    {
        SCOPED_TRACE(panel.name);
        Repaint(panel.window);
        Pixels shown = CaptureWindow(panel.window);
        EXPECT_EQ(shown.rgb, ExpectedPanel(panel.bitmapId, panel.paint, nullptr).rgb);
        EXPECT_NE(shown.rgb, PlainBitmap(panel.bitmapId).rgb); // some text is there
    }
}

TEST(Panels, StatisticsOfTheCurrentMesh)
{
    Mesh mesh = SampleMesh();
    Pixels placeholder = ExpectedPanel(IDB_STATISTICS, PaintStatistics, nullptr);
    SetCurrentMesh(&mesh);
    for (const Panel& panel : Panels())
    {
        SCOPED_TRACE(panel.name);
        Repaint(panel.window);
        Pixels shown = CaptureWindow(panel.window);
        EXPECT_EQ(shown.rgb, ExpectedPanel(panel.bitmapId, panel.paint, &mesh).rgb);
        EXPECT_NE(shown.rgb, ExpectedPanel(panel.bitmapId, panel.paint, nullptr).rgb);
    }
    SetCurrentMesh(nullptr);
    for (const Panel& panel : Panels())
        Repaint(panel.window);
    EXPECT_EQ(CaptureWindow(statsWindow).rgb, placeholder.rgb);
}

TEST(Panels, TextLinesAreWrittenAtTheirPoints)
{
    // each statistics line changes the panel only inside its own text box
    Mesh mesh = SampleMesh();
    Pixels plain = PlainBitmap(IDB_STATISTICS);
    HDC screen = GetDC(NULL);
    HDC measure = CreateCompatibleDC(screen);
    HGDIOBJ previousFont = SelectObject(measure, panelFont);
    std::vector<RECT> boxes;
    for (int i = 0; i < STATISTICS_LINE_COUNT; i++)
    {
        char line[PANEL_LINE_SIZE];
        FormatStatisticsLine(&mesh, i, line);
        SIZE extent = {};
        GetTextExtentPoint32A(measure, line, static_cast<int>(std::strlen(line)), &extent);
        const PanelPoint& at = statisticsLinePoints[i];
        boxes.push_back({at.x - 2, at.y, at.x + extent.cx + 2, at.y + extent.cy});
    }
    SelectObject(measure, previousFont);
    DeleteDC(measure);
    ReleaseDC(NULL, screen);

    Pixels drawn = ExpectedPanel(IDB_STATISTICS, PaintStatistics, &mesh);
    std::vector<int> changedInBox(boxes.size(), 0);
    int strays = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
        {
            if (drawn.At(x, y) == plain.At(x, y))
                continue;
            POINT point = {x, y};
            bool inside = false;
            for (size_t i = 0; i < boxes.size(); i++)
                if (PtInRect(&boxes[i], point))
                {
                    changedInBox[i]++;
                    inside = true;
                }
            strays += !inside;
        }
    EXPECT_EQ(strays, 0);
    for (size_t i = 0; i < boxes.size(); i++)
    {
        SCOPED_TRACE(i);
        EXPECT_GT(changedInBox[i], 20);
    }
}

TEST(Panels, MeshNameFromWindowsPaths)
{
    struct Row
    {
        const char* path;
        const char* name;
    };
    const Row rows[] = {
        {"C:\\models\\chair.obj", "chair"},
        {"C:\\models\\archive.tar.obj", "archive.tar"},
        {"D:chair.obj", "chair"},
        {"C:\\models\\.obj", "InvalidMeshName"},
        {"C:\\models\\", "InvalidMeshName"},
        {"chair", "chair"},
        {"", "InvalidMeshName"},
        {"C:\\a.b\\chair", "chair"},
        {"Z:\\work/models/chair.obj", "work/models/chair"}, // "/" separates nothing here
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.path);
        EXPECT_STREQ(MeshNameFromPath(row.path), row.name);
    }
}
