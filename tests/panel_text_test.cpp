// Mesh names from paths, the statistics lines, and the commands a mesh offers.
#include "mesh/mesh.h"
#include "res/resource.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <string>

TEST(MeshNameFromPath, Table)
{
    struct Row
    {
        const char* expected;
        const char* path;
    } rows[] = {
        {"chair", "C:\\models\\chair.obj"},
        {"archive.tar", "C:\\models\\archive.tar.obj"},
        {"chair", "D:chair.obj"},
        {"InvalidMeshName", "C:\\models\\.obj"},
        {"InvalidMeshName", "C:\\models\\"},
        {"InvalidMeshName", ""},
        {"chair", "chair"},
        {"a", "C:\\x.y\\a"},
#ifndef _WIN32
        {"teapot", "/home/me/models.v2/teapot.obj"},
        {"teapot", "C:\\x/teapot.obj"},
#else
        {"x/teapot", "C:\\x/teapot.obj"},
#endif
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.path);
        EXPECT_STREQ(row.expected, MeshNameFromPath(row.path));
    }
}

TEST(StatisticsLines, PlaceholdersWithoutMesh)
{
    const char* expected[STATISTICS_LINE_COUNT] = {
        "Material lib: N/A", "Materials: 0",  "Groups: 0",     "Facets: 0",     "Vertices: 0",
        "Normals: 0",        "UV Coords: 0",  "MinX: 0.00000", "MinY: 0.00000", "MinZ: 0.00000",
        "MaxX: 0.00000",     "MaxY: 0.00000", "MaxZ: 0.00000"};
    char line[PANEL_LINE_SIZE];
    for (int i = 0; i < STATISTICS_LINE_COUNT; ++i)
    {
        FormatStatisticsLine(nullptr, i, line);
        EXPECT_STREQ(expected[i], line);
    }
    FormatMeshNameLine(nullptr, line);
    EXPECT_STREQ("Mesh Name: N/A", line);
}

TEST(StatisticsLines, ScaledBoundsAndCounts)
{
    Mesh mesh = {};
    std::snprintf(mesh.filePath, sizeof mesh.filePath, "C:\\models\\chair.obj");
    std::snprintf(mesh.materialLibrary, sizeof mesh.materialLibrary, "chair.mtl");
    mesh.materialCount = 2;
    mesh.groupCount = 3;
    mesh.facetCount = 4000000000u; // shown as a signed long, as the panel has always shown it
    mesh.vertexCount = 5;
    mesh.normalCount = 6;
    mesh.uvCount = 7;
    mesh.scale = {2.0f, 0.1f, 1.0f};
    mesh.boundsMin = {-1.5f, 3.0f, 3000.0f};
    mesh.boundsMax = {1.0f, 10.0f, -3000.0f};
    const char* expected[STATISTICS_LINE_COUNT] = {"Material lib: chair.mtl",
                                                   "Materials: 2",
                                                   "Groups: 3",
                                                   "Facets: -294967296",
                                                   "Vertices: 5",
                                                   "Normals: 6",
                                                   "UV Coords: 7",
                                                   "MinX: -3.00000",
                                                   "MinY: 0.30000",
                                                   "MinZ: 3000.00000",
                                                   "MaxX: 2.00000",
                                                   "MaxY: 1.00000",
                                                   "MaxZ: -3000.00000"};
    char line[PANEL_LINE_SIZE];
    for (int i = 0; i < STATISTICS_LINE_COUNT; ++i)
    {
        FormatStatisticsLine(&mesh, i, line);
        EXPECT_STREQ(expected[i], line);
    }
    FormatMeshNameLine(&mesh, line);
    EXPECT_STREQ("Mesh Name: chair", line);
}

TEST(IsCommandOffered, FollowsTheMeshFlags)
{
    struct Row
    {
        const char* name;
        bool mesh;
        uint32_t flags;
        const char* offered; // About, Import, Export, Smooth, Compact, Quads, Scale
    };
    const Row rows[] = {
        {"no mesh", false, ~0u, "AI-----"},
        {"triangles, distinct normals, vertices", true, MESH_HAS_VERTICES, "AIES--V"},
        {"no vertices", true, 0, "AIES---"},
        {"quads", true, MESH_HAS_VERTICES | MESH_HAS_QUADS, "AIES-QV"},
        {"equal normals", true, MESH_HAS_VERTICES | MESH_DUPLICATE_NORMALS, "AIESC-V"},
        {"everything", true, ~0u, "AIESCQV"},
        {"other flags only", true, MESH_HAS_NORMALS | MESH_HAS_UVS | MESH_SMOOTHED, "AIES---"},
    };
    const int commands[] = {IDM_ABOUT,         IDM_IMPORT,          IDM_EXPORT,
                            IDC_SMOOTH_SEAMS,  IDC_COMPACT_NORMALS, IDC_QUADS_TO_TRIANGLES,
                            IDC_SCALE_VERTICES};
    Mesh mesh = {};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        mesh.flags = row.flags;
        std::string offered;
        for (int i = 0; i < 7; i++)
            offered +=
                IsCommandOffered(row.mesh ? &mesh : nullptr, commands[i]) ? "AIESCQV"[i] : '-';
        EXPECT_EQ(offered, row.offered);
    }
    // identifiers that are no button (the menu's commands, Exit, controls) are never offered
    for (int id : {IDM_EXIT, IDM_SMOOTH_ALL, IDM_QUADS_TO_TRIANGLES, IDC_SCALE_X, 0, -1})
        EXPECT_FALSE(IsCommandOffered(&mesh, id)) << id;
}
