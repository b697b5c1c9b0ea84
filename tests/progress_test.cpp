// The progress display state: open, retitle, move and close, as callers see it.
#include "progress_recorder.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

using Log = std::vector<std::string>;

class ProgressTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ShowProgress("", 0, 0, 0, 0, false);
        ClearProgressLog();
    }
    void TearDown() override
    {
        ShowProgress("", 0, 0, 0, 0, false);
    }
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
