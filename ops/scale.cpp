// Scale factors: the position scale of the dialog's controls, the factor text, the bounds
// recomputed after OK, and the dialog's decisions on each event.
#include "ops/ops.h"

#include <cmath>
#include <cstdio>

bool scaleLocked = true;
int scaleLastAxis = SCALE_AXIS_FIRST_ID;
Vec3 scaleSaved = {1.0f, 1.0f, 1.0f};

float ScaleFactorFromPosition(int position)
{
    if (position < 0)
        position = 0;
    if (position > SCALE_POSITION_MAX)
        position = SCALE_POSITION_MAX;
    const double step = 0.01f; // single-precision constants, evaluated in double
    const double most = SCALE_FACTOR_MAX;
    if (position < SCALE_POSITION_ONE)
        return float(double(SCALE_POSITION_ONE - position) * step * most);
    if (position > SCALE_POSITION_ONE)
        return float(double(1.0f) / (double(position - SCALE_POSITION_ONE) * step * most));
    return 1.0f;
}

int ScalePositionFromFactor(float factor)
{
    if (factor < 1.0f)
    {
        // a factor of 0.05 or more lands at 199 at most; smaller ones stay at the bottom
        double t = 1.0 / double(factor) * 0.05 * 100;
        if (!(factor > 0.0f) || t >= double(SCALE_POSITION_ONE))
            return SCALE_POSITION_MAX;
        return SCALE_POSITION_ONE + int(t);
    }
    if (factor > 1.0f)
    {
        double t = double(factor) * 0.05 * -100;
        if (t <= -double(SCALE_POSITION_ONE))
            return 0; // factors of 20 and beyond open at the top
        int p = SCALE_POSITION_ONE - int(t);
        return SCALE_POSITION_MAX - p;
    }
    return SCALE_POSITION_ONE; // 1, and NaN
}

void FormatScaleFactor(float factor, char* text, size_t size)
{
    if (text && size > 0)
        std::snprintf(text, size, "%.04f", double(factor));
}

void RecomputeMeshBounds(Mesh* mesh)
{
    Vec3 low = {3000.0f, 3000.0f, 3000.0f};
    Vec3 high = {-3000.0f, -3000.0f, -3000.0f};
    for (uint32_t i = 0; i < mesh->vertexCount; ++i)
    {
        const Vec3& v = mesh->vertices[i];
        if (low.x > v.x)
            low.x = v.x;
        if (low.y > v.y)
            low.y = v.y;
        if (low.z > v.z)
            low.z = v.z;
        if (high.x < v.x)
            high.x = v.x;
        if (high.y < v.y)
            high.y = v.y;
        if (high.z < v.z)
            high.z = v.z;
    }
    mesh->boundsMin = low;
    mesh->boundsMax = high;
}

bool ScaleFactorInRange(float factor)
{
    return factor >= SCALE_FACTOR_MIN && factor <= SCALE_FACTOR_MAX;
}

bool SetMeshScale(Mesh* mesh, float x, float y, float z)
{
    if (!ScaleFactorInRange(x) || !ScaleFactorInRange(y) || !ScaleFactorInRange(z))
        return false;
    mesh->scale = {x, y, z};
    RecomputeMeshBounds(mesh);
    return true;
}

// ---- dialog decisions ----

static float* AxisFactor(Mesh* mesh, int axis)
{
    return axis == 0 ? &mesh->scale.x : axis == 1 ? &mesh->scale.y : &mesh->scale.z;
}

// X for the X field, Y for the Y field, Z for anything else.
static int LastAxisIndex()
{
    if (scaleLastAxis == SCALE_AXIS_FIRST_ID)
        return 0;
    if (scaleLastAxis == SCALE_AXIS_FIRST_ID + 1)
        return 1;
    return 2;
}

static void ClearView(ScaleDialogView* view)
{
    view->locked = scaleLocked;
    view->sliderPosition = -1;
    for (int a = 0; a < 3; ++a)
    {
        view->spinPosition[a] = -1;
        view->textOrder[a] = 0;
        view->text[a][0] = '\0';
    }
    view->textCount = 0;
}

// Queues the text of one axis; the field written last becomes the last axis.
static void WriteText(Mesh* mesh, int axis, ScaleDialogView* view)
{
    FormatScaleFactor(*AxisFactor(mesh, axis), view->text[axis], SCALE_TEXT_SIZE);
    view->textOrder[view->textCount++] = axis;
    scaleLastAxis = SCALE_AXIS_FIRST_ID + axis;
}

static void SetAllFactors(Mesh* mesh, float factor, int except)
{
    for (int a = 0; a < 3; ++a)
        if (a != except)
            *AxisFactor(mesh, a) = factor;
}

void ScaleDialogOpen(Mesh* mesh, ScaleDialogView* view)
{
    scaleSaved = mesh->scale;
    int last = LastAxisIndex();
    if (scaleLocked)
        SetAllFactors(mesh, *AxisFactor(mesh, last), last);
    ClearView(view);
    for (int a = 0; a < 3; ++a)
        view->spinPosition[a] = ScalePositionFromFactor(*AxisFactor(mesh, a));
    view->sliderPosition = view->spinPosition[scaleLocked ? last : 2];
    for (int a = 0; a < 3; ++a)
        WriteText(mesh, a, view);
}

void ScaleDialogSpin(Mesh* mesh, int axis, int position, ScaleDialogView* view)
{
    if (axis < 0 || axis > 2)
        return;
    ClearView(view);
    scaleLastAxis = SCALE_AXIS_FIRST_ID + axis;
    float factor = ScaleFactorFromPosition(position);
    *AxisFactor(mesh, axis) = factor;
    WriteText(mesh, axis, view);
    if (!scaleLocked)
        return;
    SetAllFactors(mesh, factor, axis);
    for (int a = 0; a < 3; ++a)
        if (a != axis)
        {
            WriteText(mesh, a, view);
            view->spinPosition[a] = position;
        }
    view->sliderPosition = position;
}

void ScaleDialogSlide(Mesh* mesh, int position, ScaleDialogView* view)
{
    ClearView(view);
    SetAllFactors(mesh, ScaleFactorFromPosition(position), -1);
    for (int a = 0; a < 3; ++a)
    {
        WriteText(mesh, a, view);
        view->spinPosition[a] = position;
    }
}

void ScaleDialogTouch(int axis)
{
    if (axis >= 0 && axis <= 2)
        scaleLastAxis = SCALE_AXIS_FIRST_ID + axis;
}

void ScaleDialogLock(Mesh* mesh, bool checked)
{
    scaleLocked = checked;
    if (checked)
    {
        int last = LastAxisIndex();
        SetAllFactors(mesh, *AxisFactor(mesh, last), last);
    }
}

void ScaleDialogCancel(Mesh* mesh)
{
    mesh->scale = scaleSaved;
}
