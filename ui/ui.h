// Portable interface pieces: the progress display (ui/progress.h), and the text the panels
// show.
#pragma once

#include <cstdint>

#include "ui/progress.h"

struct Mesh;

enum
{
    PANEL_LINE_SIZE = 256,
};

// The mesh name of a path: the part after the last backslash (or, without one, the last
// ":"; on POSIX systems "/" also separates folders), cut at its last "."; "InvalidMeshName"
// when that leaves nothing. Returns a process-wide buffer valid until the next call.
const char* MeshNameFromPath(const char* path);

// "Mesh Name: %s" with the mesh's name, or "N/A" without a mesh.
void FormatMeshNameLine(const Mesh* mesh, char line[PANEL_LINE_SIZE]);

enum
{
    STATISTICS_LINE_COUNT = 13,
};

struct PanelPoint
{
    int x, y;
};

// Where each statistics line is written in the statistics panel, in line order.
extern const PanelPoint statisticsLinePoints[STATISTICS_LINE_COUNT];

// Whether the command commandId (a command identifier of res/resource.h) is offered for mesh
// (null when there is none): About and Import always; Export and Smooth Seams with a mesh;
// Compact Normals with MESH_DUPLICATE_NORMALS, Quads to Triangles with MESH_HAS_QUADS,
// Scale Vertices with MESH_HAS_VERTICES. Any other identifier is not offered. The window's
// buttons and the batch tool's steps both follow it.
bool IsCommandOffered(const Mesh* mesh, int commandId);

// Formats statistics line index (0 to 12) for the mesh, or the placeholder without one.
void FormatStatisticsLine(const Mesh* mesh, int index, char line[PANEL_LINE_SIZE]);
