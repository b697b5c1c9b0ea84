// The scale dialog, built from its template and driven through its spinners, slider and
// "Lock XYZ" box by the scale command itself (ScaleVertices).
#include <windows.h>
#include <commctrl.h>

#include "dialogs_test_driver.h"
#include "ops/ops.h"
#include "ops/ops_win.h"
#include "res/resource.h"
#include "tests/writer_meshes.h"
#include "ui/ui_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

static const char scaleTitle[] = "Mesh Scale Options";
static const int editIds[3] = {IDC_SCALE_X, IDC_SCALE_Y, IDC_SCALE_Z};
static const int spinIds[3] = {IDC_SCALE_X_SPIN, IDC_SCALE_Y_SPIN, IDC_SCALE_Z_SPIN};

// What the dialog shows: lock box, slider, spinners, field texts.
struct ScaleLook
{
    bool locked;
    bool sliderEnabled;
    int slider;
    int spin[3];
    std::string text[3];
};

static ScaleLook LookAt(HWND dialog)
{
    ScaleLook look;
    look.locked = IsChecked(dialog, IDC_LOCK_XYZ);
    look.sliderEnabled = IsEnabled(dialog, IDC_SCALE_SLIDER);
    look.slider =
        static_cast<int>(SendMessageA(GetDlgItem(dialog, IDC_SCALE_SLIDER), TBM_GETPOS, 0, 0));
    for (int axis = 0; axis < 3; axis++)
    {
        look.spin[axis] = LOWORD(SendMessageA(GetDlgItem(dialog, spinIds[axis]), UDM_GETPOS, 0, 0));
        look.text[axis] = ItemText(dialog, editIds[axis]);
    }
    return look;
}

static void ExpectLook(const ScaleLook& look, bool locked, int slider, int x, int y, int z,
                       const char* textX, const char* textY, const char* textZ)
{
    EXPECT_EQ(look.locked, locked);
    EXPECT_EQ(look.sliderEnabled, locked);
    EXPECT_EQ(look.slider, slider);
    EXPECT_EQ(look.spin[0], x);
    EXPECT_EQ(look.spin[1], y);
    EXPECT_EQ(look.spin[2], z);
    EXPECT_EQ(look.text[0], textX);
    EXPECT_EQ(look.text[1], textY);
    EXPECT_EQ(look.text[2], textZ);
}

// A program's move of a spinner: its new position, then the scroll message it sends.
static void SetSpin(HWND dialog, int axis, int position)
{
    HWND spin = GetDlgItem(dialog, spinIds[axis]);
    SendMessageA(spin, UDM_SETPOS, 0, MAKELPARAM(position, 0));
    SendMessageA(dialog, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(spin));
}

static void SetSlider(HWND dialog, int position, UINT message = WM_VSCROLL)
{
    HWND slider = GetDlgItem(dialog, IDC_SCALE_SLIDER);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, message, MAKEWPARAM(SB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(slider));
}

static bool SameBits(const Vec3& a, const Vec3& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class ScaleDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        mainWindow = nullptr;
        scaleLocked = true;
        scaleLastAxis = IDC_SCALE_X;
        mesh = BuildMesh(FullMesh());
        // Bounds that no recomputation gives, to see whether they were recomputed.
        mesh->boundsMin = {777, 777, 777};
        mesh->boundsMax = {-777, -777, -777};
    }

    void Scale(const std::function<void(HWND)>& drive)
    {
        RunModalDialog(
            scaleTitle, [&] { ScaleVertices(mesh.get()); }, drive);
    }

    void ExpectBoundsRecomputed()
    {
        Vec3 low = {3000, 3000, 3000}, high = {-3000, -3000, -3000};
        for (uint32_t i = 0; i < mesh->vertexCount; i++)
        {
            const Vec3& v = mesh->vertices[i];
            low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
            high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
        }
        EXPECT_TRUE(SameBits(mesh->boundsMin, low));
        EXPECT_TRUE(SameBits(mesh->boundsMax, high));
    }

    void ExpectBoundsUntouched()
    {
        EXPECT_TRUE(SameBits(mesh->boundsMin, Vec3{777, 777, 777}));
        EXPECT_TRUE(SameBits(mesh->boundsMax, Vec3{-777, -777, -777}));
    }

    MeshPtr mesh;
};

TEST_F(ScaleDialog, FreshMeshOpensAtTheMiddle)
{
    ScaleLook look;
    int sliderMin = -1, sliderMax = -1, lineSize = -1, pageSize = -1;
    LRESULT spinRange[3] = {};
    Scale(
        [&](HWND dialog)
        {
            look = LookAt(dialog);
            HWND slider = GetDlgItem(dialog, IDC_SCALE_SLIDER);
            sliderMin = static_cast<int>(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0));
            sliderMax = static_cast<int>(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0));
            lineSize = static_cast<int>(SendMessageA(slider, TBM_GETLINESIZE, 0, 0));
            pageSize = static_cast<int>(SendMessageA(slider, TBM_GETPAGESIZE, 0, 0));
            for (int axis = 0; axis < 3; axis++)
                spinRange[axis] =
                    SendMessageA(GetDlgItem(dialog, spinIds[axis]), UDM_GETRANGE, 0, 0);
            ClickButton(dialog, IDOK);
        });
    ExpectLook(look, true, 100, 100, 100, 100, "1.0000", "1.0000", "1.0000");
    EXPECT_EQ(sliderMin, 0);
    EXPECT_EQ(sliderMax, 200);
    EXPECT_EQ(lineSize, 1);
    EXPECT_EQ(pageSize, 10);
    for (int axis = 0; axis < 3; axis++)
    {
        // The upper end (toward a larger factor) is 0, the lower end 200.
        EXPECT_EQ(LOWORD(spinRange[axis]), 0);
        EXPECT_EQ(HIWORD(spinRange[axis]), 200);
    }
    EXPECT_TRUE(SameBits(mesh->scale, Vec3{1, 1, 1}));
    ExpectBoundsRecomputed();
}

// Real arrow clicks on a spinner and keys on the slider move all three axes while locked.
TEST_F(ScaleDialog, LockedSpinnerClicksAndSliderKeys)
{
    struct Row
    {
        const char* name;
        int control;
        bool arrowUp; // spinner rows
        UINT key;     // slider rows
        int position;
        const char* text;
        float factor;
    };
    const Row rows[] = {
        {"X arrow up", IDC_SCALE_X_SPIN, true, 0, 99, "0.2000", 0.2f},
        {"X arrow down", IDC_SCALE_X_SPIN, false, 0, 101, "5.0000", 5.0f},
        {"Z arrow up", IDC_SCALE_Z_SPIN, true, 0, 99, "0.2000", 0.2f},
        {"slider home", IDC_SCALE_SLIDER, false, VK_HOME, 0, "20.0000", 20.0f},
        {"slider end", IDC_SCALE_SLIDER, false, VK_END, 200, "0.0500", 0.05f},
        {"slider page up", IDC_SCALE_SLIDER, false, VK_PRIOR, 90, "2.0000", 2.0f},
        {"slider page down", IDC_SCALE_SLIDER, false, VK_NEXT, 110, "0.5000", 0.5f},
        {"slider line up", IDC_SCALE_SLIDER, false, VK_UP, 99, "0.2000", 0.2f},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SetUp();
        ScaleLook look;
        Scale(
            [&](HWND dialog)
            {
                if (row.control == IDC_SCALE_SLIDER)
                    PressKey(dialog, row.control, row.key);
                else
                    ClickSpinArrow(dialog, row.control, row.arrowUp);
                look = LookAt(dialog);
                ClickButton(dialog, IDOK);
            });
        int p = row.position;
        ExpectLook(look, true, p, p, p, p, row.text, row.text, row.text);
        EXPECT_FLOAT_EQ(mesh->scale.x, row.factor);
        EXPECT_TRUE(SameBits(mesh->scale, Vec3{mesh->scale.x, mesh->scale.x, mesh->scale.x}));
        ExpectBoundsRecomputed();
    }
}

// Both scroll message kinds from the slider are handled alike.
TEST_F(ScaleDialog, SliderScrollMessagesOfBothKinds)
{
    for (UINT message : {WM_VSCROLL, WM_HSCROLL})
    {
        SCOPED_TRACE(message == WM_VSCROLL ? "vertical" : "horizontal");
        SetUp();
        ScaleLook look;
        Scale(
            [&](HWND dialog)
            {
                SetSlider(dialog, 50, message);
                look = LookAt(dialog);
                ClickButton(dialog, IDOK);
            });
        ExpectLook(look, true, 50, 50, 50, 50, "10.0000", "10.0000", "10.0000");
        EXPECT_TRUE(SameBits(mesh->scale, Vec3{10, 10, 10}));
    }
}

// Unlocked, X at 50 and Y at 150; then "Lock XYZ" gives every axis Y's factor (touched last)
// without rewriting the fields, and OK keeps it.
TEST_F(ScaleDialog, UnlockedAxesThenLock)
{
    ScaleLook unlocked, relocked;
    Vec3 beforeLock = {}, afterLock = {};
    Scale(
        [&](HWND dialog)
        {
            ClickButton(dialog, IDC_LOCK_XYZ);
            SetSpin(dialog, 0, 50);
            SetSpin(dialog, 1, 150);
            unlocked = LookAt(dialog);
            beforeLock = mesh->scale;
            ClickButton(dialog, IDC_LOCK_XYZ);
            relocked = LookAt(dialog);
            afterLock = mesh->scale;
            ClickButton(dialog, IDOK);
        });
    ExpectLook(unlocked, false, 100, 50, 150, 100, "10.0000", "0.1000", "1.0000");
    EXPECT_FLOAT_EQ(beforeLock.x, 10.0f);
    EXPECT_FLOAT_EQ(beforeLock.y, 0.1f);
    EXPECT_FLOAT_EQ(beforeLock.z, 1.0f);
    ExpectLook(relocked, true, 100, 50, 150, 100, "10.0000", "0.1000", "1.0000");
    EXPECT_TRUE(SameBits(afterLock, Vec3{beforeLock.y, beforeLock.y, beforeLock.y}));
    EXPECT_TRUE(SameBits(mesh->scale, afterLock));
    EXPECT_TRUE(scaleLocked);
    ExpectBoundsRecomputed();
}

// Reopening puts the controls where the stored factor leads, which is not always where the
// factor came from; the fields show the factor itself, and the factor stays as it was.
TEST_F(ScaleDialog, ReopeningPlacesTheControlsFromTheFactor)
{
    struct Row
    {
        float factor;
        int position;
        const char* text;
    };
    const Row rows[] = {
        {0.1f, 149, "0.1000"}, {20.0f, 0, "20.0000"}, {0.8f, 106, "0.8000"},  {1.0f, 100, "1.0000"},
        {5.0f, 75, "5.0000"},  {0.5f, 110, "0.5000"}, {0.05f, 199, "0.0500"}, {2.5f, 88, "2.5000"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.text);
        SetUp();
        mesh->scale = {row.factor, row.factor, row.factor};
        ScaleLook look;
        Scale(
            [&](HWND dialog)
            {
                look = LookAt(dialog);
                ClickButton(dialog, IDOK);
            });
        int p = row.position;
        ExpectLook(look, true, p, p, p, p, row.text, row.text, row.text);
        EXPECT_TRUE(SameBits(mesh->scale, Vec3{row.factor, row.factor, row.factor}));
    }
}

// Cancel, the close box and Escape put back the exact factors the mesh had before the dialog
// opened (even those the lock replaced at opening) and leave the bounds alone.
TEST_F(ScaleDialog, CancelRestoresTheFactorsExactly)
{
    struct Row
    {
        const char* name;
        void (*close)(HWND);
    };
    const Row rows[] = {
        {"Cancel button", [](HWND dialog) { ClickButton(dialog, IDCANCEL); }},
        {"close box", PressCloseBox},
        // through the dialog's own loop, as a typed key arrives
        {"Escape key",
         [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 1); }},
    };
    const Vec3 before = {0.8f, 3.0f, 0.1f};
    for (const Row& row : rows)
        for (bool locked : {true, false})
        {
            SCOPED_TRACE(std::string(row.name) + (locked ? ", locked" : ", unlocked"));
            SetUp();
            scaleLocked = locked;
            mesh->scale = before;
            Vec3 moved = {};
            Scale(
                [&](HWND dialog)
                {
                    SetSpin(dialog, 0, 20);
                    ClickSpinArrow(dialog, IDC_SCALE_Y_SPIN, false);
                    if (locked)
                        SetSlider(dialog, 170);
                    ClickButton(dialog, IDC_LOCK_XYZ);
                    SetSpin(dialog, 2, 3);
                    moved = mesh->scale;
                    row.close(dialog);
                });
            EXPECT_FALSE(SameBits(moved, before));
            EXPECT_TRUE(SameBits(mesh->scale, before));
            ExpectBoundsUntouched();
        }
}

// The lock state and the last axis outlive the dialog, from one opening to the next.
TEST_F(ScaleDialog, LockStateAndLastAxisOutliveTheDialog)
{
    Scale(
        [](HWND dialog)
        {
            ClickButton(dialog, IDC_LOCK_XYZ);
            ClickButton(dialog, IDOK);
        });
    EXPECT_FALSE(scaleLocked);

    // Unlocked, every axis keeps its own factor; the slider shows Z's place.
    mesh->scale = {0.5f, 2.0f, 4.0f};
    ScaleLook look;
    Vec3 afterLock = {};
    Scale(
        [&](HWND dialog)
        {
            look = LookAt(dialog);
            // The Z field was written last at opening, so locking now takes Z's factor.
            ClickButton(dialog, IDC_LOCK_XYZ);
            afterLock = mesh->scale;
            ClickButton(dialog, IDC_LOCK_XYZ);
            ClickButton(dialog, IDCANCEL);
        });
    ExpectLook(look, false, 80, 110, 90, 80, "0.5000", "2.0000", "4.0000");
    EXPECT_TRUE(SameBits(afterLock, Vec3{4.0f, 4.0f, 4.0f}));
    EXPECT_TRUE(SameBits(mesh->scale, Vec3{0.5f, 2.0f, 4.0f}));
    EXPECT_FALSE(scaleLocked) << "Cancel does not undo a change of the lock";

    // Locked again with Y touched last: the next opening gives every axis Y's factor.
    Scale(
        [](HWND dialog)
        {
            ClickButton(dialog, IDC_LOCK_XYZ);
            SetSpin(dialog, 1, 90);
            ClickButton(dialog, IDOK);
        });
    EXPECT_TRUE(scaleLocked);
    EXPECT_EQ(scaleLastAxis, IDC_SCALE_Z) << "the dialog wrote Z last";
    mesh->scale = {0.5f, 2.0f, 4.0f};
    scaleLastAxis = IDC_SCALE_Y;
    Scale(
        [&](HWND dialog)
        {
            look = LookAt(dialog);
            ClickButton(dialog, IDOK);
        });
    ExpectLook(look, true, 90, 90, 90, 90, "2.0000", "2.0000", "2.0000");
    EXPECT_TRUE(SameBits(mesh->scale, Vec3{2.0f, 2.0f, 2.0f}));
}

TEST_F(ScaleDialog, MissingMeshShowsNothing)
{
    ScaleVertices(nullptr);
    EXPECT_TRUE(scaleLocked);
}
