// The progress display state: open, retitle, move and close, as callers see it.
#include "progress_recorder.h"
#include "test_hooks.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

using Log = std::vector<std::string>;

class ProgressTest : public HookedTest
{
};

TEST_F(ProgressTest, MovesWhileClosedStoreNothing)
{
    SetProgressPos(5);
    SetProgressPos2(7);
    ShowProgress("Done", 0, 100, 0, 100, false);
    EXPECT_EQ(progressLog, Log());
    EXPECT_FALSE(progressState.open);
    EXPECT_EQ(progressState.primary.position, 0u);
    EXPECT_EQ(progressState.secondary.position, 0u);
}

TEST_F(ProgressTest, OpenMoveRetitleClose)
{
    ShowProgress("Loading Mesh...", 0, 10, 0, 20, true);
    EXPECT_EQ(progressState.primary.position, 0u);
    SetProgressPos(4);
    SetProgressPos2(30); // beyond the maximum is allowed
    ShowProgress("Other", 0, 99, 0, 99, true);
    EXPECT_EQ(progressState.primary.maximum, 10);
    EXPECT_EQ(progressState.primary.position, 4u);
    EXPECT_EQ(progressState.secondary.position, 30u);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Done", 0, 0, 0, 0, false);
    EXPECT_STREQ(progressState.caption, "");
    EXPECT_EQ(progressLog, (Log{"open Loading Mesh... 0..10 0..20", "pos1 4", "pos2 30",
                                "caption Other", "close"}));
}

TEST_F(ProgressTest, CaptionsAreCutAt63Characters)
{
    std::string longCaption(80, 'x');
    ShowProgress(longCaption.c_str(), 0, 1, 0, 1, true);
    EXPECT_EQ(std::string(progressState.caption), std::string(63, 'x'));
    ShowProgress("", 0, 1, 0, 1, true);
    EXPECT_STREQ(progressState.caption, "");
}

TEST(ProgressFillLength, Table)
{
    struct Row
    {
        int32_t minimum, maximum;
        uint32_t position;
        int width, expected;
    };
    const Row rows[] = {
        {0, 3, 1, 472, 154},           // 464 / 3 = 154.67, truncated
        {0, 58, 31, 472, 247},         // the quotient is rounded first: 247.99999...
        {0, 100, 0, 472, 0},           // at the minimum: frame only
        {0, 100, 100, 472, 464},       // full track
        {0, 100, 150, 472, 472},       // overfilled: cut at the bar's edge
        {5, 5, 3, 472, 0},             // zero range
        {10, 5, 3, 472, 0},            // reversed range
        {0, 1, 0xFFFFFFFFu, 472, 472}, // huge positions stay within the bar
        {0, 7, 1, 472, 66},
        {-2147483647 - 1, 2147483647, 2147483647u, 472, 231},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(testing::Message()
                     << row.minimum << ".." << row.maximum << " at " << row.position);
        EXPECT_EQ(ProgressFillLength(row.minimum, row.maximum, row.position, row.width),
                  row.expected);
    }
}
