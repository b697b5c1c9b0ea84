// The OBJ writer: file layout, corner forms, facet orders, flips, scale, and golden files.
#include "export/export.h"
#include "mesh/mesh.h"
#include "test_util.h"
#include "writer_meshes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

static const uint32_t ALL_ON = OPT_EXPORT_VERTICES | OPT_EXPORT_UV_COORDS | OPT_EXPORT_NORMALS |
                               OPT_EXPORT_FACES | OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS |
                               OPT_SORT_AS_LOADED;

static std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// The lines from the first "g", "usemtl" or "f" line up to the closing count line.
static std::string FacetSection(const std::string& text)
{
    std::string section;
    for (const std::string& line : Lines(text))
    {
        if (line.rfind("g ", 0) == 0 || line.rfind("usemtl ", 0) == 0 || line.rfind("f ", 0) == 0)
            section += line + "\n";
    }
    return section;
}

static bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(Writer, OneTriangleWithStartUpOptionsGivesTheExactFile)
{
    MeshPtr mesh = BuildMesh(OneTriangle());
    const char* expected =
        "#  ==========================================================================\n"
        "#  Wavefront OBJ exported by Korvella v1.0\n"
        "#  \n"
        "#  (stats below do not reflect user-supplied export options to the contrary)\n"
        "#  Vertices:  3\n"
        "#  UV Coords: 0\n"
        "#  Normals:   0\n"
        "#  Faces:     1\n"
        "#  Groups:    1\n"
        "#  Materials: 1\n"
        "#  ==========================================================================\n"
        "\n"
        "v 0.00000000 0.00000000 0.00000000\n"
        "v 1.00000000 0.00000000 0.00000000\n"
        "v 0.00000000 1.00000000 0.00000000\n"
        "# 3 Vertices\n"
        "\n"
        "vt 0.00000000 0.00000000\n"
        "# 1 Texture Coordinates\n"
        "\n"
        "# 0 Normals\n"
        "\n"
        "g Default\n"
        "usemtl Default\n"
        "f 1/1 2/1 3/1\n"
        "# 1 Total Facets\n"
        "\n";
    EXPECT_EQ(ExportText(mesh.get(), EXPORT_OPTIONS_AT_START), expected);
}

TEST(Writer, FacetLineInEveryCornerForm)
{
    // Vertex indices 0..3, texture 4..7, normals 8..11: every slot tells where it came from.
    Facet quad = {};
    quad.cornerCount = 4;
    for (int c = 0; c < 4; c++)
    {
        quad.vertexIndex[c] = c;
        quad.uvIndex[c] = 4 + c;
        quad.normalIndex[c] = 8 + c;
    }
    static const struct
    {
        int form;
        const char* line;
    } rows[] = {
        {2, "f 1/5/9 2/6/10 3/7/11 4/8/12"},
        {1, "f 4/8/12 3/7/11 2/6/10 1/5/9"},
        {4, "f 1/5 2/6 3/7 4/8"},
        {3, "f 4/8 3/7 2/6 1/5"},
        {6, "f 1/1/9 2/1/10 3/1/11 4/1/12"},
        {5, "f 4/1/12 3/1/11 2/1/10 1/1/9"},
        {8, "f 1/1 2/1 3/1 4/1"},
        {7, "f 4/1 3/1 2/1 1/1"},
        {10, "f 1/5/9 1/6/10 1/7/11 1/8/12"},
        {9, "f 1/8/12 1/7/11 1/6/10 1/5/9"},
        {12, "f 1/5 1/6 1/7 1/8"},
        {11, "f 1/8 1/7 1/6 1/5"},
        {14, "f 1/1/9 1/1/10 1/1/11 1/1/12"},
        {13, "f 1/1/12 1/1/11 1/1/10 1/1/9"},
        {16, "f 1/1 1/1 1/1 1/1"},
        {15, "f 1/1 1/1 1/1 1/1"},
    };
#ifdef _WIN32
    const std::string end = "\r\n";
#else
    const std::string end = "\n";
#endif
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.form);
        char buffer[FACET_LINE_MAX];
        char* stop = WriteFacetLine(buffer, &quad, row.form);
        EXPECT_EQ(std::string(buffer, stop), row.line + end);
    }
}

TEST(Writer, LongestFacetLineFitsItsRoom)
{
    Facet facet = {};
    facet.cornerCount = FACET_MAX_CORNERS;
    for (int c = 0; c < FACET_MAX_CORNERS; c++)
    {
        facet.vertexIndex[c] = -2147483647 - 1; // prints as the longest %ld
        facet.uvIndex[c] = -2147483647 - 1;
        facet.normalIndex[c] = -2147483647 - 1;
    }
    char buffer[FACET_LINE_MAX + 8];
    std::memset(buffer, '#', sizeof buffer);
    char* stop = WriteFacetLine(buffer, &facet, 2);
    EXPECT_LE(stop - buffer, FACET_LINE_MAX);
    EXPECT_EQ(buffer[FACET_LINE_MAX], '#');
    EXPECT_TRUE(Contains(std::string(buffer, stop), " -2147483647/-2147483647/-2147483647"));
}

TEST(Writer, CornerFormFollowsFlagsAndOptions)
{
    const uint32_t hasAll = MESH_HAS_VERTICES | MESH_HAS_UVS | MESH_HAS_NORMALS;
    static const struct
    {
        int form;
        uint32_t flags;
        uint32_t options;
    } rows[] = {
        {2, hasAll, ALL_ON},
        {1, hasAll, ALL_ON | OPT_REVERSE_FACES},
        {4, hasAll, ALL_ON & ~OPT_EXPORT_NORMALS},
        {4, MESH_HAS_VERTICES | MESH_HAS_UVS, ALL_ON},
        {6, hasAll, ALL_ON & ~OPT_EXPORT_UV_COORDS},
        {6, MESH_HAS_VERTICES | MESH_HAS_NORMALS, ALL_ON},
        {8, MESH_HAS_VERTICES, ALL_ON},
        {7, MESH_HAS_VERTICES, ALL_ON | OPT_REVERSE_FACES},
        {10, hasAll, ALL_ON & ~OPT_EXPORT_VERTICES},
        {10, MESH_HAS_UVS | MESH_HAS_NORMALS, ALL_ON},
        {12, MESH_HAS_UVS, ALL_ON},
        {14, MESH_HAS_NORMALS, ALL_ON},
        {16, 0, ALL_ON},
        {16, hasAll, OPT_EXPORT_FACES},
        {15, hasAll, OPT_EXPORT_FACES | OPT_REVERSE_FACES},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.form);
        EXPECT_EQ(ChooseCornerForm(row.flags, row.options), row.form);
    }
}

TEST(Writer, MissingSectionsGivePlaceholdersAndCounts)
{
    TestMesh noUvs = FullMesh();
    noUvs.uvs.clear();
    TestMesh noNormals = FullMesh();
    noNormals.normals.clear();
    TestMesh noVertices = FullMesh();
    noVertices.vertices.clear();
    static const struct
    {
        const char* name;
        int which; // 0 no texture coordinates, 1 no normals, 2 no vertices, 3 options off
        const char* present;
        const char* absent;
    } rows[] = {
        {"no uvs", 0, "\nvt 0.00000000 0.00000000\n# 1 Texture Coordinates\n\n", "vt 1."},
        {"no uvs corners", 0, "\nf 1/1/1 2/1/1 3/1/1 4/1/1\n", "\nf 1/1/1 2/2/1"},
        {"no normals", 1, "\n# 0 Normals\n\n", "vn "},
        {"no normals corners", 1, "\nf 1/1 2/2 3/3 4/4\n", "\nf 1/1/1"},
        {"no vertices", 2, "\nv 0.00000000 0.00000000 0.00000000\n# 1 Vertices\n\n", "v 1."},
        {"no vertices corners", 2, "\nf 1/1/1 1/2/1 1/3/1 1/4/1\n", "\nf 1/1/1 2/2/1"},
        {"vertices off", 3, "\nv 0.00000000 0.00000000 0.00000000\n# 1 Vertices\n\n", "v 1."},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        const TestMesh* specs[] = {&noUvs, &noNormals, &noVertices, nullptr};
        TestMesh full = FullMesh();
        MeshPtr mesh = BuildMesh(specs[row.which] ? *specs[row.which] : full);
        uint32_t options = row.which == 3 ? ALL_ON & ~OPT_EXPORT_VERTICES : ALL_ON;
        std::string text = ExportText(mesh.get(), options);
        EXPECT_TRUE(Contains(text, row.present)) << text;
        EXPECT_FALSE(Contains(text, row.absent)) << text;
    }
}

TEST(Writer, HeaderKeepsTheMeshCountsWhateverTheOptions)
{
    MeshPtr mesh = BuildMesh(FullMesh());
    std::string text = ExportText(mesh.get(), OPT_SORT_AS_LOADED);
    EXPECT_TRUE(Contains(text, "#  Vertices:  6\n#  UV Coords: 5\n#  Normals:   3\n"
                               "#  Faces:     5\n#  Groups:    3\n#  Materials: 3\n"));
    // Nothing but placeholders, and the closing line right after the normal count.
    EXPECT_TRUE(Contains(text, "# 1 Vertices\n\nvt 0.00000000 0.00000000\n"
                               "# 1 Texture Coordinates\n\n# 0 Normals\n\n# 0 Total Facets\n\n"));
    const std::string ending = "\n\n# 0 Total Facets\n\n";
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
    EXPECT_FALSE(Contains(text, "mtllib"));
    EXPECT_FALSE(Contains(text, "\nf "));
}

TEST(Writer, MaterialLibraryLineDependsOnNameAndMaterialOption)
{
    static const struct
    {
        const char* library;
        uint32_t options;
        bool written;
    } rows[] = {
        {"full.mtl", ALL_ON, true},
        {"full.mtl", ALL_ON & ~OPT_EXPORT_FACES, true},
        {"full.mtl", ALL_ON & ~OPT_EXPORT_MATERIALS, false},
        {"", ALL_ON, false},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.library << " " << row.options);
        TestMesh shape = FullMesh();
        shape.library = row.library;
        MeshPtr mesh = BuildMesh(shape);
        std::string text = ExportText(mesh.get(), row.options);
        EXPECT_EQ(Contains(text, "=====\n\nmtllib full.mtl\n\nv "), row.written) << text;
        EXPECT_EQ(Contains(text, "mtllib"), row.written);
    }
}

TEST(Writer, VerticesAreScaledOnOutputOnly)
{
    TestMesh shape = OneTriangle();
    shape.vertices[1] = {1, 2, 3};
    MeshPtr mesh = BuildMesh(shape);
    mesh->scale = {2.0f, 1.0f, 0.5f};
    std::string text = ExportText(mesh.get(), EXPORT_OPTIONS_AT_START);
    EXPECT_TRUE(Contains(text, "\nv 2.00000000 2.00000000 1.50000000\n")) << text;
    EXPECT_EQ(mesh->vertices[1].x, 1.0f);
    EXPECT_EQ(mesh->vertices[1].y, 2.0f);
    EXPECT_EQ(mesh->vertices[1].z, 3.0f);

    // The product is formed in double: 0.1f * 3 rounded to float would print 0.30000001.
    mesh->vertices[1] = {0.1f, 0.0f, 0.0f};
    mesh->scale = {3.0f, 1.0f, 1.0f};
    text = ExportText(mesh.get(), EXPORT_OPTIONS_AT_START);
    EXPECT_TRUE(Contains(text, "\nv 0.30000000 0.00000000 0.00000000\n")) << text;
}

TEST(Writer, TextureCoordinateFlips)
{
    static const struct
    {
        uint32_t flips;
        const char* line;
    } rows[] = {
        {0, "vt 0.25000000 0.75000000"},
        {OPT_FLIP_UV_HORIZONTALLY, "vt 0.75000000 0.75000000"},
        {OPT_FLIP_UV_VERTICALLY, "vt 0.25000000 0.25000000"},
        {OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY, "vt 0.75000000 0.25000000"},
    };
    TestMesh shape = OneTriangle();
    shape.uvs = {{0.25f, 0.75f}, {0.1f, 0.0f}};
    MeshPtr mesh = BuildMesh(shape);
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.flips);
        std::string text = ExportText(mesh.get(), ALL_ON | row.flips);
        EXPECT_TRUE(Contains(text, std::string("\n") + row.line + "\n")) << text;
        EXPECT_EQ(mesh->uCoords[0], 0.25f);
    }
    // 1 - 0.1f in double is 0.8999999985..., which rounds up; the float 0.9f would print
    // 0.89999998.
    std::string text = ExportText(mesh.get(), ALL_ON | OPT_FLIP_UV_HORIZONTALLY);
    EXPECT_TRUE(Contains(text, "\nvt 0.90000000 0.00000000\n")) << text;
}

TEST(Writer, GroupAndMaterialLinesInEveryFacetOrder)
{
    static const struct
    {
        const char* name;
        uint32_t options;
        const char* section;
    } rows[] = {
        {"as loaded", ALL_ON,
         "g body\nusemtl red\nf 1/1/1 2/2/1 3/3/1 4/4/1\nusemtl blue\nf 4/4/2 3/3/2 5/5/2\n"
         "g lid\nusemtl red\nf 3/3/3 5/5/3 6/1/3\ng Default\nusemtl Default\n"
         "f 1/2/1 6/3/2 5/4/3\ng body\nusemtl red\nf 6/5/3 5/2/2 4/1/1\n"},
        {"by material", (ALL_ON & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_MATERIAL,
         "g Default\nusemtl Default\nf 1/2/1 6/3/2 5/4/3\ng body\nusemtl red\n"
         "f 1/1/1 2/2/1 3/3/1 4/4/1\ng lid\nf 3/3/3 5/5/3 6/1/3\ng body\nf 6/5/3 5/2/2 4/1/1\n"
         "usemtl blue\nf 4/4/2 3/3/2 5/5/2\n"},
        {"by group", (ALL_ON & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_GROUP,
         "g Default\nusemtl Default\nf 1/2/1 6/3/2 5/4/3\ng body\nusemtl red\n"
         "f 1/1/1 2/2/1 3/3/1 4/4/1\nusemtl blue\nf 4/4/2 3/3/2 5/5/2\nusemtl red\n"
         "f 6/5/3 5/2/2 4/1/1\ng lid\nf 3/3/3 5/5/3 6/1/3\n"},
        // Material order is tested before group order.
        {"both sort bits", ALL_ON | OPT_SORT_BY_GROUP | OPT_SORT_BY_MATERIAL,
         "g Default\nusemtl Default\nf 1/2/1 6/3/2 5/4/3\ng body\nusemtl red\n"
         "f 1/1/1 2/2/1 3/3/1 4/4/1\ng lid\nf 3/3/3 5/5/3 6/1/3\ng body\nf 6/5/3 5/2/2 4/1/1\n"
         "usemtl blue\nf 4/4/2 3/3/2 5/5/2\n"},
        {"no group names", ALL_ON & ~OPT_EXPORT_GROUP_NAMES,
         "usemtl red\nf 1/1/1 2/2/1 3/3/1 4/4/1\nusemtl blue\nf 4/4/2 3/3/2 5/5/2\n"
         "usemtl red\nf 3/3/3 5/5/3 6/1/3\nusemtl Default\nf 1/2/1 6/3/2 5/4/3\n"
         "usemtl red\nf 6/5/3 5/2/2 4/1/1\n"},
        {"no materials", ALL_ON & ~OPT_EXPORT_MATERIALS,
         "g body\nf 1/1/1 2/2/1 3/3/1 4/4/1\nf 4/4/2 3/3/2 5/5/2\ng lid\nf 3/3/3 5/5/3 6/1/3\n"
         "g Default\nf 1/2/1 6/3/2 5/4/3\ng body\nf 6/5/3 5/2/2 4/1/1\n"},
        {"reversed by group, no names",
         (ALL_ON & ~(OPT_SORT_AS_LOADED | OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS)) |
             OPT_SORT_BY_GROUP | OPT_REVERSE_FACES,
         "f 5/4/3 6/3/2 1/2/1\nf 4/4/1 3/3/1 2/2/1 1/1/1\nf 5/5/2 3/3/2 4/4/2\n"
         "f 4/1/1 5/2/2 6/5/3\nf 6/1/3 5/5/3 3/3/3\n"},
    };
    MeshPtr mesh = BuildMesh(FullMesh());
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        std::string text = ExportText(mesh.get(), row.options);
        EXPECT_EQ(FacetSection(text), row.section);
        EXPECT_TRUE(Contains(text, "\n# 5 Total Facets\n\n"));
    }
}

TEST(Writer, EmptyGroupsAndMaterialsAddNothing)
{
    TestMesh shape = FullMesh();
    shape.groups.push_back("unused");
    shape.materials.insert(shape.materials.begin() + 1, "unusedmat");
    for (TestFacet& facet : shape.facets)
        facet.material += facet.material > 0;
    MeshPtr mesh = BuildMesh(shape);
    uint32_t options = (ALL_ON & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_MATERIAL;
    std::string text = ExportText(mesh.get(), options);
    EXPECT_FALSE(Contains(text, "unused"));
    EXPECT_TRUE(Contains(text, "#  Groups:    4\n#  Materials: 4\n"));
    EXPECT_TRUE(Contains(text, "\n# 5 Total Facets\n\n"));
}

TEST(Writer, SuccessClearsOnlyTheSmoothedFlag)
{
    MeshPtr mesh = BuildMesh(FullMesh());
    mesh->flags |= MESH_SMOOTHED | MESH_DUPLICATE_NORMALS;
    uint32_t before = mesh->flags;
    ExportText(mesh.get(), ALL_ON);
    EXPECT_EQ(mesh->flags, before & ~uint32_t(MESH_SMOOTHED));
}

// ---- Golden files -----------------------------------------------------------------------------

static std::string GoldenPath(const std::string& name)
{
    std::string here = __FILE__;
    size_t slash = here.find_last_of("/\\");
    return here.substr(0, slash + 1) + "golden/" + name;
}

TEST(Writer, GoldenFiles)
{
    static const struct
    {
        const char* file;
        uint32_t options;
    } rows[] = {
        {"full_as_loaded.obj", ALL_ON},
        {"full_by_material_flipped.obj", (ALL_ON & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_MATERIAL |
                                             OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY},
        {"full_by_group_reversed.obj",
         (ALL_ON & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_GROUP | OPT_REVERSE_FACES},
        {"full_no_uvs_no_normals.obj", ALL_ON & ~(OPT_EXPORT_UV_COORDS | OPT_EXPORT_NORMALS)},
        {"full_no_facets.obj", ALL_ON & ~OPT_EXPORT_FACES},
        {"one_triangle.obj", EXPORT_OPTIONS_AT_START},
    };
    const bool regenerate = std::getenv("KORVELLA_REGENERATE_GOLDEN") != nullptr;
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.file);
        TestMesh shape = std::string(row.file) == "one_triangle.obj" ? OneTriangle() : FullMesh();
        MeshPtr mesh = BuildMesh(shape);
        mesh->scale = {1.0f, 2.0f, 0.5f};
        std::string text = ExportText(mesh.get(), row.options);
        if (regenerate)
        {
            std::ofstream(GoldenPath(row.file), std::ios::binary) << text;
            continue;
        }
        std::string golden = ReadWholeFile(GoldenPath(row.file));
        ASSERT_FALSE(golden.empty()) << GoldenPath(row.file);
        EXPECT_EQ(text, golden);
    }
}
