// Mesh operations: smoothed normals, normal compaction, quads to triangles, and the portable
// arithmetic and decisions of the scale dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/mesh.h"
#include "res/resource.h"

// ---- Smoothing ------------------------------------------------------------------------------

// Gives every facet a unit face normal and every vertex one smoothed normal (seams within
// 0.0005 joined), points every corner's normal at its vertex. Non-zero when it ran; 0 when
// the normal array or the working storage cannot be had, with the mesh left exactly as it was.
int SmoothMeshNormals(Mesh* mesh);
// Writes faceNormal of every facet from its first three corners (zero for collinear corners).
void ComputeFaceNormals(Mesh* mesh);
// Writes normals[i] of every vertex that belongs to a group; needs room for vertexCount
// normals and current face normals. Writes nothing when its working storage cannot be had.
void SmoothVertexNormals(Mesh* mesh);
// Scales v to unit length in place (left alone when its length is 0); returns the old length.
float NormalizeVector(Vec3& v);
Vec3 CrossProduct(const Vec3& a, const Vec3& b);
float DotProduct(const Vec3& a, const Vec3& b);

// Bytes of working storage the last SmoothVertexNormals run held at once (for benchmarks).
extern size_t smoothWorkBytes;

// ---- Compaction and splitting ---------------------------------------------------------------

// Stores each set of equal normals once, in order of first occurrence, renumbers every corner
// and clears MESH_DUPLICATE_NORMALS. Unchanged when the mesh has no normals or storage fails.
void CompactNormals(Mesh* mesh);
// Splits every four-cornered facet into two triangles (corners 0 1 2 and 2 3 0) in place and
// rebuilds every group and material list. Does nothing without MESH_HAS_QUADS; when storage
// cannot be had, or a facet names a group or material that does not exist, nothing changes.
void ConvertQuadsToTriangles(Mesh* mesh);

// ---- Scale arithmetic -----------------------------------------------------------------------

enum
{
    SCALE_POSITION_MAX = 200,         // slider and spinner positions run 0 (x20) to 200 (x0.05)
    SCALE_POSITION_ONE = 100,         // the position of factor 1
    SCALE_TEXT_SIZE = 16,             // room for one factor text
    SCALE_AXIS_FIRST_ID = IDC_SCALE_X // the X edit field's identifier; Y and Z follow
};

// The range of every scale factor, in the dialog and in the batch tool alike.
constexpr float SCALE_FACTOR_MIN = 0.05f;
constexpr float SCALE_FACTOR_MAX = 20.0f;
// True when factor lies between SCALE_FACTOR_MIN and SCALE_FACTOR_MAX, both included.
bool ScaleFactorInRange(float factor);

// The factor of a position 0..200 (rounded to single precision).
float ScaleFactorFromPosition(int position);
// The position the controls take for a factor when the dialog opens, in 0..200.
int ScalePositionFromFactor(float factor);
// The factor's text, "%.04f", into the caller's buffer.
void FormatScaleFactor(float factor, char* text, size_t size);
// Recomputes boundsMin/boundsMax from the stored vertices (unscaled), each axis starting at
// 3000 and -3000 as the reader does.
void RecomputeMeshBounds(Mesh* mesh);
// Sets the mesh's three factors and recomputes its bounds; false (mesh unchanged) when a
// factor is out of range.
bool SetMeshScale(Mesh* mesh, float x, float y, float z);

// ---- Scale dialog decisions -----------------------------------------------------------------
// The dialog procedure forwards each event here and copies the resulting view to its controls.

// Process-wide: "Lock XYZ" checked (true at start); the edit field of the axis touched last
// (SCALE_AXIS_FIRST_ID at start); the factors the mesh had when the dialog opened.
extern bool scaleLocked;
extern int scaleLastAxis;
extern Vec3 scaleSaved;

// What the controls show after an event. A position of -1 leaves that control alone; the
// texts named in textOrder are written in that order (textCount of them). Each function leaves
// scaleLastAxis at the last field written, as the fields' change notifications do.
struct ScaleDialogView
{
    bool locked;
    int sliderPosition;
    int spinPosition[3];
    int textCount;
    int textOrder[3];
    char text[3][SCALE_TEXT_SIZE];
};

// Opening: saves the factors, applies the lock, and gives every control its place.
void ScaleDialogOpen(Mesh* mesh, ScaleDialogView* view);
// Spinner of axis 0..2 moved to position; slider moved to position.
void ScaleDialogSpin(Mesh* mesh, int axis, int position, ScaleDialogView* view);
void ScaleDialogSlide(Mesh* mesh, int position, ScaleDialogView* view);
// The edit field of axis 0..2 sent a notification (focus or change): it becomes the last axis.
void ScaleDialogTouch(int axis);
// "Lock XYZ" is now checked or not.
void ScaleDialogLock(Mesh* mesh, bool checked);
// Cancel: puts back the factors saved at opening.
void ScaleDialogCancel(Mesh* mesh);
