// The text of the mesh-name strip and the statistics panel, shared with the batch tool.
#include "ui.h"

#include "mesh/mesh.h"

#include <cstdio>
#include <cstring>

static char meshNameBuffer[MESH_PATH_SIZE];

const PanelPoint statisticsLinePoints[STATISTICS_LINE_COUNT] = {
    {28, 20},  {40, 40},  {53, 60},  {56, 80},   {46, 100},  {46, 120},  {26, 140},
    {15, 185}, {15, 205}, {15, 225}, {135, 185}, {135, 205}, {135, 225},
};

static const char* MeshNameStart(const char* path)
{
    const char* separator = nullptr;
    for (const char* p = path; *p; ++p)
        if (IsFolderSeparator(*p))
            separator = p;
    if (!separator)
        separator = std::strrchr(path, ':');
    return separator ? separator + 1 : path;
}

const char* MeshNameFromPath(const char* path)
{
    std::snprintf(meshNameBuffer, sizeof meshNameBuffer, "%s", MeshNameStart(path ? path : ""));
    if (char* dot = std::strrchr(meshNameBuffer, '.'))
        *dot = '\0';
    if (meshNameBuffer[0] == '\0')
        std::strcpy(meshNameBuffer, "InvalidMeshName");
    return meshNameBuffer;
}

void FormatMeshNameLine(const Mesh* mesh, char line[PANEL_LINE_SIZE])
{
    const char* name = mesh ? MeshNameFromPath(mesh->filePath) : "N/A";
    std::snprintf(line, PANEL_LINE_SIZE, "Mesh Name: %s", name);
}

static const char* const countFormats[6] = {
    "Materials: %ld", "Groups: %ld",  "Facets: %ld",
    "Vertices: %ld",  "Normals: %ld", "UV Coords: %ld",
};
static const char* const boundFormats[6] = {
    "MinX: %.05f", "MinY: %.05f", "MinZ: %.05f", "MaxX: %.05f", "MaxY: %.05f", "MaxZ: %.05f",
};

static long CountOfLine(const Mesh* mesh, int index)
{
    const uint32_t counts[6] = {mesh->materialCount, mesh->groupCount,  mesh->facetCount,
                                mesh->vertexCount,   mesh->normalCount, mesh->uvCount};
    // printed as signed long integers, as the panel always has
    return static_cast<long>(static_cast<int32_t>(counts[index]));
}

static double BoundOfLine(const Mesh* mesh, int index)
{
    const Vec3& bound = index < 3 ? mesh->boundsMin : mesh->boundsMax;
    const float values[3] = {bound.x, bound.y, bound.z};
    const float factors[3] = {mesh->scale.x, mesh->scale.y, mesh->scale.z};
    int axis = index % 3;
    // the product of two floats is exact in double precision
    return static_cast<double>(values[axis]) * static_cast<double>(factors[axis]);
}

void FormatStatisticsLine(const Mesh* mesh, int index, char line[PANEL_LINE_SIZE])
{
    if (index == 0)
    {
        const char* library = mesh && mesh->materialLibrary[0] ? mesh->materialLibrary : "N/A";
        // the name is cut to what the line holds after its 14-character label
        static_assert(PANEL_LINE_SIZE == 14 + 241 + 1, "label, name and terminator fill the line");
        std::snprintf(line, PANEL_LINE_SIZE, "Material lib: %.241s", library);
    }
    else if (index <= 6)
        std::snprintf(line, PANEL_LINE_SIZE, countFormats[index - 1],
                      mesh ? CountOfLine(mesh, index - 1) : 0L);
    else
        std::snprintf(line, PANEL_LINE_SIZE, boundFormats[index - 7],
                      mesh ? BoundOfLine(mesh, index - 7) : 0.0);
}
