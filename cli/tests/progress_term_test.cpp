// The terminal progress bar: line layout, bar fill, and what reaches the stream.
#include "cli/cli.h"
#include "cli_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{

std::string Bar(int filled)
{
    return "[" + std::string(filled, '#') + std::string(PROGRESS_BAR_WIDTH - filled, ' ') + "]";
}

ProgressState State(const char* caption, int32_t max1, uint32_t pos1, int32_t max2, uint32_t pos2)
{
    ProgressState state = {};
    state.open = true;
    std::snprintf(state.caption, sizeof state.caption, "%s", caption);
    state.primary = {0, max1, pos1};
    state.secondary = {0, max2, pos2};
    return state;
}

TEST(CliProgress, LineShowsCaptionAndBothBars)
{
    const int w = PROGRESS_BAR_WIDTH;
    struct Row
    {
        int filled1, filled2;
        int32_t max1;
        uint32_t pos1;
        int32_t max2;
        uint32_t pos2;
    };
    const Row rows[] = {
        {0, 0, 100, 0, 100, 0},
        {w / 2, w, 100, 50, 10, 10},
        {w, w, 100, 100, 10, 11},                  // overfill is clamped
        {0, 0, 0, 5, 0, 0},                        // a phase over no items stays empty
        {w - 1, 1, 1000, 999, 1000, 1000 / w + 1}, // partial cells are not drawn
        {w, 0, 1, 4000000000u, -5, 3},             // huge positions and a negative range
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::Message()
                     << row.pos1 << "/" << row.max1 << " " << row.pos2 << "/" << row.max2);
        ProgressState state = State("Loading Mesh...", row.max1, row.pos1, row.max2, row.pos2);
        char line[PROGRESS_LINE_SIZE];
        FormatProgressLine(&state, line);
        std::string expected = "Loading Mesh..." + std::string(37 - 15, ' ') + " " +
                               Bar(row.filled1) + " " + Bar(row.filled2);
        EXPECT_EQ(std::string(line), expected);
    }
}

TEST(CliProgress, LineFitsEightyColumnsWithTheLongestCaption)
{
    ProgressState state = State("Generating Smoothed Vertex Normals...", 10, 5, 10, 5);
    char line[PROGRESS_LINE_SIZE];
    FormatProgressLine(&state, line);
    EXPECT_EQ(std::string(line).size(), 79u);
    EXPECT_EQ(std::string(line).find("Generating Smoothed Vertex Normals... ["), 0u);
}

// Runs a few display changes with the presenter drawing into a temporary file.
std::string DrawnBytes(void (*scenario)())
{
    CaptureFile capture("progress");
    EXPECT_NE(capture.file, nullptr);
    if (!capture.file)
        return "";
    progressStream = capture.file;
    scenario();
    progressStream = nullptr;
    return capture.Text();
}

TEST(CliProgress, RedrawsOnlyWhenTheLineChangesAndClearsOnClose)
{
    std::string bytes = DrawnBytes(
        []
        {
            ShowProgress("Scanning file...", 0, 100, 0, 100, true);
            SetProgressPos(1); // less than one cell: nothing drawn
            SetProgressPos(50);
            SetProgressPos2(100);
            ShowProgress("Done", 0, 0, 0, 0, false);
        });
    char opened[PROGRESS_LINE_SIZE], half[PROGRESS_LINE_SIZE], full[PROGRESS_LINE_SIZE];
    ProgressState state = State("Scanning file...", 100, 0, 100, 0);
    FormatProgressLine(&state, opened);
    state.primary.position = 50;
    FormatProgressLine(&state, half);
    state.secondary.position = 100;
    FormatProgressLine(&state, full);
    std::string blank(std::string(full).size(), ' ');
    std::string expected =
        "\r" + std::string(opened) + "\r" + half + "\r" + full + "\r" + blank + "\r";
    EXPECT_EQ(bytes, expected);
    EXPECT_FALSE(progressState.open);
}

TEST(CliProgress, NothingIsDrawnWithoutAStream)
{
    progressStream = nullptr;
    ShowProgress("Loading Mesh...", 0, 10, 0, 10, true);
    SetProgressPos(5);
    EXPECT_EQ(progressState.primary.position, 5u); // the state moves, nothing is drawn
    ShowProgress("Done", 0, 0, 0, 0, false);
    // a second phase after a close starts from a clean line
    std::string bytes = DrawnBytes(
        []
        {
            ShowProgress("Loading Mesh...", 0, 10, 0, 10, true);
            ShowProgress("Done", 0, 0, 0, 0, false);
        });
    EXPECT_EQ(bytes.find("\rLoading Mesh..."), 0u);
}

} // namespace
