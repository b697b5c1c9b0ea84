// The progress window on screen: strip and bars, fill lengths read back from the pixels.
#include <gtest/gtest.h>

#include "win_test_util.h"

#include "res/resource.h"
#include "ui/ui_win.h"

namespace
{

const unsigned stripes[8] = {
    Rgb(175, 147, 35), Rgb(201, 170, 38), Rgb(218, 185, 40), Rgb(235, 200, 42),
    Rgb(253, 216, 45), Rgb(223, 185, 34), Rgb(193, 153, 22), Rgb(134, 91, 0),
};

// How far the gold fill reaches along the bar's brightest row, from x 4.
int MeasuredFill(const Pixels& bar)
{
    int length = 0;
    while (4 + length < bar.width && bar.At(4 + length, 7) == stripes[4])
        length++;
    return length;
}

void CloseDisplay()
{
    ShowProgress("Done", 0, 0, 0, 0, false);
}

} // namespace

TEST(ProgressWindow, StripAndBarsAtTheirRectangles)
{
    ShowProgress("Loading Mesh...", 0, 10, 0, 20, true);
    ASSERT_TRUE(IsWindow(progressStripWindow));
    ASSERT_NE(primaryProgressBar, nullptr);
    ASSERT_NE(secondaryProgressBar, nullptr);
    struct Row
    {
        const char* name;
        HWND window;
        RECT rect;
    } rows[] = {
        {"strip", progressStripWindow, {20, 445, 492, 475}},
        {"primary", primaryProgressBar->window, {20, 476, 492, 488}},
        {"secondary", secondaryProgressBar->window, {20, 489, 492, 501}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(GetParent(row.window), mainWindow);
        RECT rect = RectInParent(row.window);
        EXPECT_TRUE(EqualRect(&rect, &row.rect));
        EXPECT_TRUE(IsWindowVisible(row.window));
    }
    EXPECT_STREQ(progressCaption, "Loading Mesh...");
    EXPECT_EQ(primaryProgressBar->maximum, 10);
    EXPECT_EQ(secondaryProgressBar->maximum, 20);
    // both bars start empty
    EXPECT_EQ(MeasuredFill(CaptureWindow(primaryProgressBar->window)), 0);
    EXPECT_EQ(MeasuredFill(CaptureWindow(secondaryProgressBar->window)), 0);
    CloseDisplay();
}

TEST(ProgressWindow, FillLengthsReadBackFromThePixels)
{
    struct Row
    {
        int32_t maximum;
        uint32_t position;
        int expected;
    };
    const Row rows[] = {
        {3, 1, 154}, {58, 31, 247}, {100, 100, 464}, {100, 101, 468}, {0, 5, 0}, {100, 0, 0},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "0.." << row.maximum << " at " << row.position);
        ShowProgress("Scanning file...", 0, row.maximum, 0, row.maximum, true);
        ASSERT_NE(primaryProgressBar, nullptr);
        SetProgressPos(row.position);
        EXPECT_EQ(primaryProgressBar->position, row.position);
        EXPECT_EQ(MeasuredFill(CaptureWindow(primaryProgressBar->window)), row.expected);
        SetProgressPos2(row.position);
        EXPECT_EQ(MeasuredFill(CaptureWindow(secondaryProgressBar->window)), row.expected);
        CloseDisplay();
    }
}

TEST(ProgressWindow, FullBarLeavesTheFrameBorder)
{
    ShowProgress("Computing Face Normals...", 0, 58, 0, 58, true);
    ASSERT_NE(primaryProgressBar, nullptr);
    SetProgressPos(58);
    Pixels bar = CaptureWindow(primaryProgressBar->window);
    ASSERT_EQ(bar.width, 472);
    ASSERT_EQ(bar.height, 12);
    for (int row = 0; row < 8; row++)
    {
        SCOPED_TRACE(row);
        EXPECT_EQ(bar.At(4, 3 + row), stripes[row]);
        EXPECT_EQ(bar.At(467, 3 + row), stripes[row]);
        EXPECT_NE(bar.At(3, 3 + row), stripes[row]);
        EXPECT_NE(bar.At(468, 3 + row), stripes[row]);
    }
    for (int x = 0; x < 472; x += 37)
    {
        EXPECT_NE(bar.At(x, 2), stripes[4]);
        EXPECT_NE(bar.At(x, 11), stripes[7]);
    }
    // redrawing on a paint message keeps the stored position
    Repaint(primaryProgressBar->window);
    EXPECT_EQ(MeasuredFill(CaptureWindow(primaryProgressBar->window)), 464);
    CloseDisplay();
}

TEST(ProgressWindow, EmptyBarShowsTheFrameBitmap)
{
    ShowProgress("Removing Duplicate Normals...", 0, 4, 0, 4, true);
    ASSERT_NE(primaryProgressBar, nullptr);
    HBITMAP frame = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_PROGRESS_FRAME));
    Pixels cells = BitmapPixels(frame);
    DeleteObject(frame);
    Pixels bar = CaptureWindow(primaryProgressBar->window);
    for (int y = 0; y < 12; y++)
    {
        SCOPED_TRACE(y);
        for (int x = 0; x < 12; x++)
        {
            EXPECT_EQ(bar.At(x, y), cells.At(x, y));
            EXPECT_EQ(bar.At(460 + x, y), cells.At(24 + x, y));
        }
    }
    CloseDisplay();
}

TEST(ProgressWindow, ClosingRemovesEverythingAndTwiceDoesNothing)
{
    ShowProgress("Fixing up Normal Indices...", 0, 10, 0, 10, true);
    HWND strip = progressStripWindow;
    HWND primary = primaryProgressBar->window;
    HWND secondary = secondaryProgressBar->window;
    CloseDisplay();
    EXPECT_FALSE(IsWindow(strip));
    EXPECT_FALSE(IsWindow(primary));
    EXPECT_FALSE(IsWindow(secondary));
    EXPECT_EQ(progressStripWindow, (HWND)NULL);
    EXPECT_EQ(primaryProgressBar, nullptr);
    EXPECT_EQ(secondaryProgressBar, nullptr);
    EXPECT_STREQ(progressCaption, "");
    CloseDisplay();
    EXPECT_EQ(progressStripWindow, (HWND)NULL);
    // positions while closed draw and store nothing
    SetProgressPos(5);
    SetProgressPos2(5);
    EXPECT_EQ(primaryProgressBar, nullptr);
}

TEST(ProgressWindow, ReopeningMakesNewWindowsThatWork)
{
    for (int round = 0; round < 3; round++)
    {
        SCOPED_TRACE(round);
        ShowProgress("Reducing Quads to Triangles...", 0, 3, 0, 3, true);
        ASSERT_NE(primaryProgressBar, nullptr);
        SetProgressPos(1);
        EXPECT_EQ(MeasuredFill(CaptureWindow(primaryProgressBar->window)), 154);
        CloseDisplay();
    }
}

TEST(ProgressWindow, OpeningWhileOpenReplacesOnlyTheCaption)
{
    ShowProgress("Scanning file...", 0, 3, 0, 58, true);
    HWND primary = primaryProgressBar->window;
    SetProgressPos(1);
    ShowProgress("Loading Mesh...", 0, 100, 0, 100, true);
    EXPECT_STREQ(progressCaption, "Loading Mesh...");
    ASSERT_NE(primaryProgressBar, nullptr);
    EXPECT_EQ(primaryProgressBar->window, primary);
    EXPECT_EQ(primaryProgressBar->maximum, 3);
    EXPECT_EQ(primaryProgressBar->position, 1u);
    EXPECT_EQ(MeasuredFill(CaptureWindow(primary)), 154);
    CloseDisplay();
}

TEST(ProgressWindow, CaptionDrawnOnTheStripAndEmptyCaptionShowsNoText)
{
    HBITMAP stripBitmap = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_PROGRESS_STRIP));
    Pixels plain = BitmapPixels(stripBitmap);
    DeleteObject(stripBitmap);

    ShowProgress("", 0, 1, 0, 1, true);
    ASSERT_TRUE(IsWindow(progressStripWindow));
    EXPECT_EQ(CaptureWindow(progressStripWindow).rgb, plain.rgb);
    CloseDisplay();

    ShowProgress("Analyzing Mesh Normals...", 0, 1, 0, 1, true);
    Pixels shown = CaptureWindow(progressStripWindow);
    ASSERT_EQ(shown.rgb.size(), plain.rgb.size());
    // the text starts at (10, 5): nothing differs left of it or above it
    int differing = 0;
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 472; x++)
            if (shown.At(x, y) != plain.At(x, y))
            {
                differing++;
                EXPECT_GE(x, 10);
                EXPECT_GE(y, 5);
            }
    EXPECT_GT(differing, 100);
    CloseDisplay();
}
