// Mesh names from paths and the statistics lines, with and without a mesh.
#include "mesh/mesh.h"
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
