// Scale factors: the position scale, the opening positions, the factor text, the bounds, and
// the scale dialog's decisions on each event.
#include "mesh_gen.h"
#include "test_hooks.h"

#include "ops/ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

std::string Text(float factor)
{
    char text[SCALE_TEXT_SIZE];
    FormatScaleFactor(factor, text, sizeof text);
    return text;
}

TEST(ScaleArithmetic, PositionToFactorText)
{
    struct Row
    {
        int position;
        const char* text;
    } rows[] = {{0, "20.0000"},  {50, "10.0000"}, {75, "5.0000"},  {95, "1.0000"},
                {96, "0.8000"},  {99, "0.2000"},  {100, "1.0000"}, {101, "5.0000"},
                {102, "2.5000"}, {105, "1.0000"}, {106, "0.8333"}, {110, "0.5000"},
                {150, "0.1000"}, {200, "0.0500"}, {-7, "20.0000"}, {999, "0.0500"}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.position);
        EXPECT_EQ(Text(ScaleFactorFromPosition(row.position)), row.text);
    }
    // the factor is the product rounded once to single precision
    EXPECT_EQ(ScaleFactorFromPosition(96), float(4 * double(0.01f) * double(20.0f)));
    EXPECT_EQ(ScaleFactorFromPosition(150), 0.1f);
}

TEST(ScaleArithmetic, FactorToOpeningPosition)
{
    struct Row
    {
        float factor;
        int position;
    } rows[] = {
        {20.0f, 0},  {10.0f, 50},  {5.0f, 75},
        {2.5f, 88},  {1.0f, 100},  {0.1f, 149},
        {0.8f, 106}, {0.2f, 124},  {0.05f, 199},
        {25.0f, 0},  {1e9f, 0},    {0.01f, 200},
        {0.0f, 200}, {-3.0f, 200}, {std::numeric_limits<float>::quiet_NaN(), 100},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.factor);
        EXPECT_EQ(ScalePositionFromFactor(row.factor), row.position);
    }
    // every position's factor opens within the controls' range
    for (int s = 0; s <= SCALE_POSITION_MAX; ++s)
    {
        int back = ScalePositionFromFactor(ScaleFactorFromPosition(s));
        EXPECT_TRUE(back >= 0 && back <= SCALE_POSITION_MAX) << s;
    }
}

TEST(ScaleArithmetic, BoundsAndBatchFactors)
{
    MeshPtr mesh(NewMesh(3, 0));
    mesh->vertices[0] = {1, -2, 3};
    mesh->vertices[1] = {-4, 5, std::numeric_limits<float>::quiet_NaN()};
    mesh->vertices[2] = {4000, 0.5f, -1};
    mesh->boundsMin = mesh->boundsMax = {9, 9, 9};
    RecomputeMeshBounds(mesh.get());
    EXPECT_EQ(mesh->boundsMin.x, -4);
    EXPECT_EQ(mesh->boundsMin.y, -2);
    EXPECT_EQ(mesh->boundsMin.z, -1);
    EXPECT_EQ(mesh->boundsMax.x, 4000);
    EXPECT_EQ(mesh->boundsMax.y, 5);
    EXPECT_EQ(mesh->boundsMax.z, 3);
    // factors are not applied to the stored bounds
    ASSERT_TRUE(SetMeshScale(mesh.get(), 2, 0.05f, 20));
    EXPECT_EQ(mesh->boundsMax.x, 4000);
    EXPECT_EQ(mesh->scale.y, 0.05f);
    struct Row
    {
        float x, y, z;
    } refused[] = {{0.04f, 1, 1}, {1, 21, 1}, {1, 1, -1}, {1, std::nanf(""), 1}};
    for (const Row& row : refused)
    {
        SCOPED_TRACE(row.x + row.y + row.z);
        EXPECT_FALSE(SetMeshScale(mesh.get(), row.x, row.y, row.z));
        EXPECT_EQ(mesh->scale.x, 2.0f);
    }
    MeshPtr empty(NewMesh(0, 0));
    RecomputeMeshBounds(empty.get());
    EXPECT_EQ(empty->boundsMin.x, 3000.0f);
    EXPECT_EQ(empty->boundsMax.z, -3000.0f);
}

class ScaleDialog : public HookedTest
{
protected:
    void SetUp() override
    {
        HookedTest::SetUp();
        mesh.reset(NewMesh(1, 0));
    }
    std::string Texts(const ScaleDialogView& view)
    {
        std::string all;
        for (int k = 0; k < view.textCount; ++k)
            all += std::string(all.empty() ? "" : " ") + "XYZ"[view.textOrder[k]] + "=" +
                   view.text[view.textOrder[k]];
        return all;
    }
    MeshPtr mesh;
    ScaleDialogView view;
};

TEST_F(ScaleDialog, OpensLockedAtOne)
{
    ScaleDialogOpen(mesh.get(), &view);
    EXPECT_TRUE(view.locked);
    EXPECT_EQ(view.sliderPosition, 100);
    for (int a = 0; a < 3; ++a)
        EXPECT_EQ(view.spinPosition[a], 100);
    EXPECT_EQ(Texts(view), "X=1.0000 Y=1.0000 Z=1.0000");
    EXPECT_EQ(scaleLastAxis, SCALE_AXIS_FIRST_ID + 2);
}

TEST_F(ScaleDialog, LockedMovesAllAxes)
{
    struct Row
    {
        const char* name;
        int spinAxis; // -1: the slider
        int position;
        const char* texts;
    } rows[] = {
        {"X up one", 0, 99, "X=0.2000 Y=0.2000 Z=0.2000"},
        {"Y down one", 1, 101, "Y=5.0000 X=5.0000 Z=5.0000"},
        {"Z to 150", 2, 150, "Z=0.1000 X=0.1000 Y=0.1000"},
        {"slider top", -1, 0, "X=20.0000 Y=20.0000 Z=20.0000"},
        {"slider bottom", -1, 200, "X=0.0500 Y=0.0500 Z=0.0500"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        ScaleDialogOpen(mesh.get(), &view);
        if (row.spinAxis < 0)
            ScaleDialogSlide(mesh.get(), row.position, &view);
        else
            ScaleDialogSpin(mesh.get(), row.spinAxis, row.position, &view);
        EXPECT_EQ(Texts(view), row.texts);
        float factor = ScaleFactorFromPosition(row.position);
        EXPECT_EQ(mesh->scale.x, factor);
        EXPECT_EQ(mesh->scale.y, factor);
        EXPECT_EQ(mesh->scale.z, factor);
        for (int a = 0; a < 3; ++a)
            EXPECT_EQ(view.spinPosition[a], a == row.spinAxis ? -1 : row.position) << a;
        EXPECT_EQ(view.sliderPosition, row.spinAxis < 0 ? -1 : row.position);
        ScaleDialogCancel(mesh.get());
        EXPECT_EQ(mesh->scale.x, 1.0f);
    }
}

TEST_F(ScaleDialog, UnlockedThenLockTakesLastAxis)
{
    scaleLocked = false;
    ScaleDialogOpen(mesh.get(), &view);
    EXPECT_FALSE(view.locked);
    ScaleDialogSpin(mesh.get(), 0, 50, &view);
    EXPECT_EQ(Texts(view), "X=10.0000");
    EXPECT_EQ(view.sliderPosition, -1);
    ScaleDialogSpin(mesh.get(), 1, 150, &view);
    EXPECT_EQ(mesh->scale.x, 10.0f);
    EXPECT_EQ(mesh->scale.y, 0.1f);
    EXPECT_EQ(mesh->scale.z, 1.0f);
    ScaleDialogLock(mesh.get(), true);
    EXPECT_TRUE(scaleLocked);
    EXPECT_EQ(mesh->scale.x, 0.1f);
    EXPECT_EQ(mesh->scale.z, 0.1f);
    // OK keeps them; reopening places the controls at 149 and shows 0.1000
    ScaleDialogOpen(mesh.get(), &view);
    EXPECT_EQ(view.sliderPosition, 149);
    EXPECT_EQ(Texts(view), "X=0.1000 Y=0.1000 Z=0.1000");
}

TEST_F(ScaleDialog, OpeningUnlockedLeavesZLast)
{
    scaleLocked = false;
    mesh->scale = {2, 3, 4};
    ScaleDialogOpen(mesh.get(), &view);
    EXPECT_EQ(view.sliderPosition, ScalePositionFromFactor(4));
    EXPECT_EQ(mesh->scale.x, 2.0f);
    ScaleDialogLock(mesh.get(), true);
    EXPECT_EQ(mesh->scale.x, 4.0f);
    EXPECT_EQ(mesh->scale.y, 4.0f);
}

TEST_F(ScaleDialog, TouchUnlockAndCancel)
{
    mesh->scale = {0.5f, 0.5f, 0.5f};
    ScaleDialogOpen(mesh.get(), &view);
    ScaleDialogLock(mesh.get(), false);
    EXPECT_FALSE(scaleLocked);
    ScaleDialogSpin(mesh.get(), 2, 0, &view);
    ScaleDialogTouch(0); // the user clicks into the X field
    EXPECT_EQ(scaleLastAxis, SCALE_AXIS_FIRST_ID);
    ScaleDialogLock(mesh.get(), true);
    EXPECT_EQ(mesh->scale.z, 0.5f);
    ScaleDialogCancel(mesh.get());
    EXPECT_EQ(mesh->scale.z, 0.5f);
    EXPECT_TRUE(scaleLocked); // the lock outlives the dialog
}

} // namespace
