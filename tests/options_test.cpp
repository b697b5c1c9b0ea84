// The export options dialog's decisions: initial states, clicks, the word OK builds, and the
// option word's life across exports.
#include "export/export.h"
#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

static const uint32_t FULL_MESH = MESH_HAS_VERTICES | MESH_HAS_UVS | MESH_HAS_NORMALS |
                                  MESH_HAS_FACETS | MESH_HAS_GROUPS | MESH_HAS_MATERIALS;

// One character per control in enum order: 'C' checked and enabled, 'c' checked and greyed,
// 'E' unchecked and enabled, '-' unchecked and greyed.
// Order: vertices, uv, flip h, flip v, normals, faces, reverse, group names, materials,
// as loaded, by material, by group, sorting box.
static std::string Describe(const ExportDialogState& state)
{
    std::string text;
    for (int i = 0; i < EXPORT_DIALOG_CONTROL_COUNT; i++)
    {
        if (state.checked[i])
            text += state.enabled[i] ? 'C' : 'c';
        else
            text += state.enabled[i] ? 'E' : '-';
    }
    return text;
}

TEST(ExportOptions, StartUpWord)
{
    EXPECT_EQ(EXPORT_OPTIONS_AT_START, 0x1366u);
    EXPECT_EQ(uint32_t(OPT_EXPORT_VERTICES | OPT_EXPORT_UV_COORDS | OPT_EXPORT_NORMALS |
                       OPT_EXPORT_FACES | OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS |
                       OPT_SORT_AS_LOADED),
              0x1366u);
}

TEST(ExportOptions, InitialStates)
{
    static const struct
    {
        const char* name;
        uint32_t options;
        uint32_t flags;
        const char* state;
    } rows[] = {
        {"first export, full mesh", 0x1366, FULL_MESH, "cCEECCECCCEEE"},
        {"no texture coordinates", 0x1366 | OPT_FLIP_UV_HORIZONTALLY, FULL_MESH & ~MESH_HAS_UVS,
         "c-c-CCECCCEEE"},
        {"uv option clear", (0x1366 & ~OPT_EXPORT_UV_COORDS) | OPT_FLIP_UV_VERTICALLY, FULL_MESH,
         "cE-cCCECCCEEE"},
        {"flips shown", 0x1366 | OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY, FULL_MESH,
         "cCCCCCECCCEEE"},
        {"no vertices", 0x1366, FULL_MESH & ~MESH_HAS_VERTICES, "-CEECCECCCEEE"},
        {"vertex option clear", 0x1366 & ~OPT_EXPORT_VERTICES, FULL_MESH, "-CEECCECCCEEE"},
        {"no normals", 0x1366, FULL_MESH & ~MESH_HAS_NORMALS, "cCEE-CECCCEEE"},
        {"normal option clear", 0x1366 & ~OPT_EXPORT_NORMALS, FULL_MESH, "cCEEECECCCEEE"},
        {"no facets", 0x1366, FULL_MESH & ~MESH_HAS_FACETS, "cCEEC--ccc---"},
        {"face option clear", 0x1366 & ~OPT_EXPORT_FACES, FULL_MESH, "cCEECE-ccc---"},
        {"no materials", 0x1366, FULL_MESH & ~MESH_HAS_MATERIALS, "cCEECCECcC-EE"},
        {"no groups", 0x1366, FULL_MESH & ~MESH_HAS_GROUPS, "cCEECCEcCCE-E"},
        {"names off", 0x1366 & ~(OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS), FULL_MESH,
         "cCEECCEEECEEE"},
        {"by material", (0x1366 & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_MATERIAL, FULL_MESH,
         "cCEECCECCECEE"},
        {"by group", (0x1366 & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_GROUP, FULL_MESH,
         "cCEECCECCEECE"},
        {"material before group", 0x1366 | OPT_SORT_BY_GROUP | OPT_SORT_BY_MATERIAL, FULL_MESH,
         "cCEECCECCECEE"},
        {"no sort bit", 0x1366 & ~OPT_SORT_AS_LOADED, FULL_MESH, "cCEECCECCCEEE"},
        {"reverse never shown", 0x1366 | OPT_REVERSE_FACES, FULL_MESH, "cCEECCECCCEEE"},
        {"empty word, empty mesh", 0, 0, "---------c---"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        ExportDialogState state = InitExportDialogState(row.options, row.flags);
        EXPECT_EQ(Describe(state), row.state);
    }
}

TEST(ExportOptions, ClicksEnableAndTheWordOkBuilds)
{
    static const struct
    {
        const char* name;
        uint32_t options;
        uint32_t flags;
        std::initializer_list<ExportDialogControl> clicks;
        const char* state;
        uint32_t word;
    } rows[] = {
        {"no clicks", 0x1366, FULL_MESH, {}, "cCEECCECCCEEE", 0x1366},
        {"uncheck faces greys facet controls",
         0x1366,
         FULL_MESH,
         {CTL_EXPORT_FACES},
         "cCEECE-ccc---",
         0x1326},
        {"faces back on",
         0x1366,
         FULL_MESH,
         {CTL_EXPORT_FACES, CTL_EXPORT_FACES},
         "cCEECCECCCEEE",
         0x1366},
        {"faces back on without materials",
         0x1366 & ~OPT_EXPORT_FACES,
         FULL_MESH & ~MESH_HAS_MATERIALS,
         {CTL_EXPORT_FACES},
         "cCEECCECcC-EE",
         0x1366},
        {"faces back on without groups",
         0x1366 & ~OPT_EXPORT_FACES,
         FULL_MESH & ~MESH_HAS_GROUPS,
         {CTL_EXPORT_FACES},
         "cCEECCEcCCE-E",
         0x1366},
        {"uncheck uv keeps flip marks",
         0x1366 | OPT_FLIP_UV_VERTICALLY,
         FULL_MESH,
         {CTL_FLIP_UV_HORIZONTALLY, CTL_EXPORT_UV_COORDS},
         "cEccCCECCCEEE",
         (0x1366 & ~OPT_EXPORT_UV_COORDS) | OPT_FLIP_UV_HORIZONTALLY | OPT_FLIP_UV_VERTICALLY},
        {"uv back on",
         0x1366 & ~OPT_EXPORT_UV_COORDS,
         FULL_MESH,
         {CTL_EXPORT_UV_COORDS},
         "cCEECCECCCEEE",
         0x1366},
        {"no uvs keeps flip bits, clears uv bit",
         0x1366 | OPT_FLIP_UV_HORIZONTALLY,
         FULL_MESH & ~MESH_HAS_UVS,
         {CTL_EXPORT_UV_COORDS, CTL_FLIP_UV_HORIZONTALLY},
         "c-c-CCECCCEEE",
         (0x1366 & ~OPT_EXPORT_UV_COORDS) | OPT_FLIP_UV_HORIZONTALLY},
        {"reverse",
         0x1366,
         FULL_MESH,
         {CTL_REVERSE_FACES},
         "cCEECCCCCCEEE",
         0x1366 | OPT_REVERSE_FACES},
        {"by group",
         0x1366,
         FULL_MESH,
         {CTL_SORT_BY_GROUP},
         "cCEECCECCEECE",
         (0x1366 & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_GROUP},
        {"by material then as loaded",
         0x1366,
         FULL_MESH,
         {CTL_SORT_BY_MATERIAL, CTL_SORT_AS_LOADED},
         "cCEECCECCCEEE",
         0x1366},
        {"greyed radio ignores clicks",
         0x1366 & ~OPT_EXPORT_FACES,
         FULL_MESH,
         {CTL_SORT_BY_MATERIAL, CTL_REVERSE_FACES},
         "cCEECE-ccc---",
         0x1326},
        {"sort choice survives faces off",
         (0x1366 & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_GROUP,
         FULL_MESH,
         {CTL_EXPORT_FACES},
         "cCEECE-cc--c-",
         (0x1326 & ~OPT_SORT_AS_LOADED) | OPT_SORT_BY_GROUP},
        {"vertices box cannot be clicked",
         0x1366,
         FULL_MESH,
         {CTL_EXPORT_VERTICES},
         "cCEECCECCCEEE",
         0x1366},
        {"no vertices keeps the vertex bit",
         0x1366,
         FULL_MESH & ~MESH_HAS_VERTICES,
         {},
         "-CEECCECCCEEE",
         0x1366},
        {"no normals clears the normal bit",
         0x1366,
         FULL_MESH & ~MESH_HAS_NORMALS,
         {},
         "cCEE-CECCCEEE",
         0x1366 & ~OPT_EXPORT_NORMALS},
        {"no facets clears the face bit",
         0x1366,
         FULL_MESH & ~MESH_HAS_FACETS,
         {CTL_EXPORT_FACES, CTL_EXPORT_GROUP_NAMES},
         "cCEEC--ccc---",
         0x1326},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        ExportDialogState state = InitExportDialogState(row.options, row.flags);
        for (ExportDialogControl control : row.clicks)
            ClickExportDialogControl(&state, control);
        EXPECT_EQ(Describe(state), row.state);
        EXPECT_EQ(BuildExportOptions(&state, row.options), row.word);
    }
}

TEST(ExportOptions, ExactlyOneSortBitAfterOk)
{
    const uint32_t sortBits = OPT_SORT_AS_LOADED | OPT_SORT_BY_MATERIAL | OPT_SORT_BY_GROUP;
    for (uint32_t options = 0; options < 0x2000; options++)
    {
        ExportDialogState state = InitExportDialogState(options, FULL_MESH);
        uint32_t word = BuildExportOptions(&state, options);
        uint32_t sort = word & sortBits;
        ASSERT_TRUE(sort == OPT_SORT_AS_LOADED || sort == OPT_SORT_BY_MATERIAL ||
                    sort == OPT_SORT_BY_GROUP)
            << std::hex << options;
        // With every control offered, OK without clicks keeps every bit but "Reverse Faces".
        uint32_t expectedSort = (options & OPT_SORT_BY_MATERIAL) ? uint32_t(OPT_SORT_BY_MATERIAL)
                                : (options & OPT_SORT_BY_GROUP)  ? uint32_t(OPT_SORT_BY_GROUP)
                                                                 : uint32_t(OPT_SORT_AS_LOADED);
        ASSERT_EQ(word, (options & ~(sortBits | OPT_REVERSE_FACES | 1u)) | expectedSort)
            << std::hex << options;
    }
}

// The option word across a session of exports, each dialog ended with OK after the clicks.
TEST(ExportOptions, WordLivesAcrossExports)
{
    struct Export
    {
        uint32_t flags;
        std::initializer_list<ExportDialogControl> clicks;
        bool ok;
        const char* shown; // the state the dialog opened in
    };
    static const Export session[] = {
        {FULL_MESH, {CTL_REVERSE_FACES, CTL_FLIP_UV_VERTICALLY}, true, "cCEECCECCCEEE"},
        // Reverse Faces never survives; the flip does.
        {FULL_MESH, {CTL_EXPORT_NORMALS}, true, "cCECCCECCCEEE"},
        // Normals were turned off; a mesh without vertices and texture coordinates.
        {FULL_MESH & ~(MESH_HAS_VERTICES | MESH_HAS_UVS), {}, true, "---cECECCCEEE"},
        // Vertices come back; texture coordinates stay off until checked again.
        {FULL_MESH, {CTL_SORT_BY_GROUP, CTL_EXPORT_UV_COORDS}, false, "cE-cECECCCEEE"},
        // Cancel changed nothing.
        {FULL_MESH, {}, true, "cE-cECECCCEEE"},
    };
    uint32_t word = EXPORT_OPTIONS_AT_START;
    int number = 0;
    for (const Export& step : session)
    {
        SCOPED_TRACE(++number);
        ExportDialogState state = InitExportDialogState(word, step.flags);
        EXPECT_EQ(Describe(state), step.shown);
        for (ExportDialogControl control : step.clicks)
            ClickExportDialogControl(&state, control);
        if (step.ok)
            word = BuildExportOptions(&state, word);
    }
    EXPECT_EQ(word, uint32_t(OPT_EXPORT_VERTICES | OPT_FLIP_UV_VERTICALLY | OPT_EXPORT_FACES |
                             OPT_EXPORT_GROUP_NAMES | OPT_EXPORT_MATERIALS | OPT_SORT_AS_LOADED));
}

TEST(ExportOptions, ControlNumbers)
{
    static const struct
    {
        ExportDialogControl control;
        int id;
    } rows[] = {
        {CTL_EXPORT_VERTICES, 1000},      {CTL_EXPORT_UV_COORDS, 1001},
        {CTL_FLIP_UV_HORIZONTALLY, 1011}, {CTL_FLIP_UV_VERTICALLY, 1006},
        {CTL_EXPORT_NORMALS, 1002},       {CTL_EXPORT_FACES, 1005},
        {CTL_REVERSE_FACES, 1012},        {CTL_EXPORT_GROUP_NAMES, 1003},
        {CTL_EXPORT_MATERIALS, 1004},     {CTL_SORT_AS_LOADED, 1007},
        {CTL_SORT_BY_MATERIAL, 1008},     {CTL_SORT_BY_GROUP, 1009},
        {CTL_FACE_SORTING, 1010},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(ExportDialogControlId(row.control), row.id);
        EXPECT_EQ(ExportDialogControlFromId(row.id), row.control);
    }
    EXPECT_EQ(ExportDialogControlFromId(1), EXPORT_DIALOG_CONTROL_COUNT);
    EXPECT_EQ(ExportDialogControlFromId(1013), EXPORT_DIALOG_CONTROL_COUNT);
    EXPECT_EQ(ExportDialogControlId(EXPORT_DIALOG_CONTROL_COUNT), -1);
}

TEST(ExportOptions, CommandAfterTheSystemToggledTheBox)
{
    // The dialog procedure reads the new check mark and hands the command on.
    ExportDialogState state = InitExportDialogState(0x1366, FULL_MESH);
    state.checked[CTL_EXPORT_UV_COORDS] = false;
    ApplyExportDialogClick(&state, CTL_EXPORT_UV_COORDS);
    EXPECT_EQ(Describe(state), "cE--CCECCCEEE");
    state.checked[CTL_EXPORT_FACES] = false;
    ApplyExportDialogClick(&state, CTL_EXPORT_FACES);
    EXPECT_EQ(Describe(state), "cE--CE-ccc---");
    // Other commands change nothing.
    ApplyExportDialogClick(&state, CTL_EXPORT_NORMALS);
    ApplyExportDialogClick(&state, CTL_FACE_SORTING);
    EXPECT_EQ(Describe(state), "cE--CE-ccc---");
}
