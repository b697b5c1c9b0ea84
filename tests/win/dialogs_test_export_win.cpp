// The export options dialog, built from its template and driven through its controls by the
// export command itself (WriteObjMesh).
#include <windows.h>

#include "dialogs_test_driver.h"
#include "export/export.h"
#include "export/export_win.h"
#include "res/resource.h"
#include "tests/test_util.h"
#include "tests/writer_meshes.h"
#include "ui/ui_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

static const char exportTitle[] = "Obj Export Options";

// The dialog's controls in template order; the strings below hold one character per control.
static const int exportIds[] = {
    IDC_EXPORT_VERTICES,  IDC_EXPORT_UV_COORDS, IDC_FLIP_UV_HORIZONTALLY, IDC_FLIP_UV_VERTICALLY,
    IDC_EXPORT_NORMALS,   IDC_EXPORT_FACES,     IDC_REVERSE_FACES,        IDC_EXPORT_GROUP_NAMES,
    IDC_EXPORT_MATERIALS, IDC_SORT_AS_LOADED,   IDC_SORT_BY_MATERIAL,     IDC_SORT_BY_GROUP,
    IDC_FACE_SORTING,
};

static std::string CheckMarks(HWND dialog)
{
    std::string marks;
    for (int id : exportIds)
        marks += IsChecked(dialog, id) ? '1' : '0';
    return marks;
}

static std::string EnabledMarks(HWND dialog)
{
    std::string marks;
    for (int id : exportIds)
        marks += IsEnabled(dialog, id) ? '1' : '0';
    return marks;
}

static bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ExportDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        mainWindow = nullptr;
        exportOptions = EXPORT_OPTIONS_AT_START;
        mesh = BuildMesh(FullMesh());
        path = ScratchPath("out.obj");
        std::remove(path.c_str());
    }
    void TearDown() override
    {
        std::remove(path.c_str());
    }

    // Runs the export command with the given steps inside its dialog.
    void Export(const std::function<void(HWND)>& drive)
    {
        RunModalDialog(
            exportTitle, [&] { WriteObjMesh(mesh.get(), path.c_str()); }, drive);
    }

    // The file the command wrote must be the writer's output for the stored word.
    void ExpectFileWrittenWith(uint32_t options)
    {
        std::string reference = ScratchPath("reference.obj");
        ASSERT_TRUE(WriteObjMeshFile(mesh.get(), reference.c_str(), options));
        EXPECT_EQ(ReadWholeFile(path), ReadWholeFile(reference));
        std::remove(reference.c_str());
    }

    MeshPtr mesh;
    std::string path;
};

// Opening states from the option word and the mesh's flags; OK at once stores the word the
// boxes show. Characters: Vertices, UV, FlipH, FlipV, Normals, Faces, Reverse, Groups,
// Materials, As Loaded, By Material, By Group, the group box.
TEST_F(ExportDialog, OpeningStatesAndTheWordOkStores)
{
    struct Row
    {
        const char* name;
        uint32_t flagsRemoved;
        uint32_t options;
        const char* checked;
        const char* enabled;
        uint32_t stored;
    };
    const Row rows[] = {
        {"first export, everything", 0, 0x1366, "1100110111000", "0111111111111", 0x1366},
        {"no texture coordinates", MESH_HAS_UVS, 0x136E, "1010110111000", "0000111111111", 0x136A},
        {"UV option clear", 0, 0x1362, "1000110111000", "0100111111111", 0x1362},
        {"faces option clear", 0, 0x1326, "1100100111000", "0111110000000", 0x1326},
        {"no groups", MESH_HAS_GROUPS, 0x1366, "1100110111000", "0111111011101", 0x1366},
        {"no materials", MESH_HAS_MATERIALS, 0x1366, "1100110111000", "0111111101011", 0x1366},
        {"no normals", MESH_HAS_NORMALS, 0x1366, "1100010111000", "0111011111111", 0x1346},
        {"no facets", MESH_HAS_FACETS, 0x1366, "1100100111000", "0111100000000", 0x1326},
        {"no vertices keeps the vertex bit", MESH_HAS_VERTICES, 0x1366, "0100110111000",
         "0111111111111", 0x1366},
        {"sorted by group", 0, 0x0B66, "1100110110010", "0111111111111", 0x0B66},
        {"material sort wins over group", 0, 0x0F66, "1100110110100", "0111111111111", 0x0766},
        {"no sort bit at all", 0, 0x0366, "1100110111000", "0111111111111", 0x1366},
        {"both flips", 0, 0x137E, "1111110111000", "0111111111111", 0x137E},
        {"reverse never shown", 0, 0x13E6, "1100110111000", "0111111111111", 0x1366},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SetUp();
        mesh->flags &= ~row.flagsRemoved;
        exportOptions = row.options;
        std::string checked, enabled;
        Export(
            [&](HWND dialog)
            {
                checked = CheckMarks(dialog);
                enabled = EnabledMarks(dialog);
                ClickButton(dialog, IDOK);
            });
        EXPECT_EQ(checked, row.checked);
        EXPECT_EQ(enabled, row.enabled);
        EXPECT_EQ(exportOptions, row.stored);
        ASSERT_TRUE(FileExists(path));
        ExpectFileWrittenWith(row.stored);
    }
}

// Clicks adjust what is enabled and keep the other marks; OK stores exactly the marks shown.
TEST_F(ExportDialog, ClicksEnableAndOkBuildsTheWord)
{
    struct Row
    {
        const char* name;
        uint32_t flagsRemoved;
        uint32_t options;
        std::vector<int> clicks;
        const char* checked;
        const char* enabled;
        uint32_t stored;
    };
    const Row rows[] = {
        {"faces off greys the facet controls",
         0,
         0x1366,
         {IDC_EXPORT_FACES},
         "1100100111000",
         "0111110000000",
         0x1326},
        {"faces off and on again",
         0,
         0x1366,
         {IDC_EXPORT_FACES, IDC_EXPORT_FACES},
         "1100110111000",
         "0111111111111",
         0x1366},
        {"faces on again without materials",
         MESH_HAS_MATERIALS,
         0x1366,
         {IDC_EXPORT_FACES, IDC_EXPORT_FACES},
         "1100110111000",
         "0111111101011",
         0x1366},
        {"faces on again without groups",
         MESH_HAS_GROUPS,
         0x1366,
         {IDC_EXPORT_FACES, IDC_EXPORT_FACES},
         "1100110111000",
         "0111111011101",
         0x1366},
        {"faces on from a clear option",
         0,
         0x1326,
         {IDC_EXPORT_FACES},
         "1100110111000",
         "0111111111111",
         0x1366},
        {"UV off keeps the flip marks",
         0,
         0x137E,
         {IDC_EXPORT_UV_COORDS},
         "1011110111000",
         "0100111111111",
         0x137A},
        {"UV on enables the flips",
         0,
         0x1362,
         {IDC_EXPORT_UV_COORDS},
         "1100110111000",
         "0111111111111",
         0x1366},
        {"flip both",
         0,
         0x1366,
         {IDC_FLIP_UV_HORIZONTALLY, IDC_FLIP_UV_VERTICALLY},
         "1111110111000",
         "0111111111111",
         0x137E},
        {"reverse faces", 0, 0x1366, {IDC_REVERSE_FACES}, "1100111111000", "0111111111111", 0x13E6},
        {"by material",
         0,
         0x1366,
         {IDC_SORT_BY_MATERIAL},
         "1100110110100",
         "0111111111111",
         0x0766},
        {"by group, then as loaded",
         0,
         0x1366,
         {IDC_SORT_BY_GROUP, IDC_SORT_AS_LOADED},
         "1100110111000",
         "0111111111111",
         0x1366},
        {"sort kept while faces are off",
         0,
         0x1366,
         {IDC_SORT_BY_GROUP, IDC_EXPORT_FACES},
         "1100100110010",
         "0111110000000",
         0x0B26},
        {"normals off, groups and materials off",
         0,
         0x1366,
         {IDC_EXPORT_NORMALS, IDC_EXPORT_GROUP_NAMES, IDC_EXPORT_MATERIALS},
         "1100010001000",
         "0111111111111",
         0x1046},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SetUp();
        mesh->flags &= ~row.flagsRemoved;
        exportOptions = row.options;
        std::string checked, enabled;
        Export(
            [&](HWND dialog)
            {
                for (int id : row.clicks)
                    ClickButton(dialog, id);
                checked = CheckMarks(dialog);
                enabled = EnabledMarks(dialog);
                ClickButton(dialog, IDOK);
            });
        EXPECT_EQ(checked, row.checked);
        EXPECT_EQ(enabled, row.enabled);
        EXPECT_EQ(exportOptions, row.stored);
        ExpectFileWrittenWith(row.stored);
    }
}

// Cancel and the close box change nothing: no file, the same word, an existing file intact;
// the next dialog shows the choices of the last OK.
TEST_F(ExportDialog, CancelAndCloseBoxChangeNothing)
{
    struct Row
    {
        const char* name;
        void (*close)(HWND);
    };
    const Row rows[] = {
        {"Cancel button", [](HWND dialog) { ClickButton(dialog, IDCANCEL); }},
        {"close box", PressCloseBox},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SetUp();
        exportOptions = 0x0B7E;
        Export(
            [&](HWND dialog)
            {
                for (int id : {IDC_EXPORT_FACES, IDC_EXPORT_UV_COORDS, IDC_REVERSE_FACES,
                               IDC_SORT_BY_MATERIAL, IDC_EXPORT_NORMALS})
                    ClickButton(dialog, id);
                row.close(dialog);
            });
        EXPECT_EQ(exportOptions, 0x0B7Eu);
        EXPECT_FALSE(FileExists(path));

        WriteScratchFile("out.obj", "keep me\n");
        Export(
            [&](HWND dialog)
            {
                ClickButton(dialog, IDC_EXPORT_FACES);
                row.close(dialog);
            });
        EXPECT_EQ(ReadWholeFile(path), "keep me\n");

        std::string checked;
        Export(
            [&](HWND dialog)
            {
                checked = CheckMarks(dialog);
                row.close(dialog);
            });
        EXPECT_EQ(checked, "1111110110010");
    }
}

// "Reverse Faces" holds for one export only: the next dialog starts unchecked and its OK
// clears the bit again.
TEST_F(ExportDialog, ReverseFacesNeverSurvives)
{
    Export(
        [](HWND dialog)
        {
            ClickButton(dialog, IDC_REVERSE_FACES);
            ClickButton(dialog, IDOK);
        });
    EXPECT_EQ(exportOptions & OPT_REVERSE_FACES, OPT_REVERSE_FACES);
    ExpectFileWrittenWith(0x13E6);

    bool shownChecked = true;
    Export(
        [&](HWND dialog)
        {
            shownChecked = IsChecked(dialog, IDC_REVERSE_FACES);
            ClickButton(dialog, IDOK);
        });
    EXPECT_FALSE(shownChecked);
    EXPECT_EQ(exportOptions & OPT_REVERSE_FACES, 0u);
    ExpectFileWrittenWith(0x1366);
}

// Boxes that one mesh shows unchecked and greyed are cleared for the next mesh too, while the
// flip, group-name, material and sort choices, shown from the word, survive.
TEST_F(ExportDialog, ChoicesCarryFromOneMeshToTheNext)
{
    exportOptions = 0x0B7E;
    mesh->flags &= ~(MESH_HAS_UVS | MESH_HAS_NORMALS | MESH_HAS_GROUPS | MESH_HAS_MATERIALS);
    std::string checked;
    Export(
        [&](HWND dialog)
        {
            checked = CheckMarks(dialog);
            ClickButton(dialog, IDOK);
        });
    EXPECT_EQ(checked, "1011010110010");
    EXPECT_EQ(exportOptions, 0x0B5Au);

    MeshPtr full = BuildMesh(FullMesh());
    std::string enabled, afterUv;
    RunModalDialog(
        exportTitle, [&] { WriteObjMesh(full.get(), path.c_str()); },
        [&](HWND dialog)
        {
            checked = CheckMarks(dialog);
            enabled = EnabledMarks(dialog);
            ClickButton(dialog, IDC_EXPORT_UV_COORDS);
            ClickButton(dialog, IDC_EXPORT_NORMALS);
            afterUv = EnabledMarks(dialog);
            ClickButton(dialog, IDOK);
        });
    EXPECT_EQ(checked, "1011010110010");
    EXPECT_EQ(enabled, "0100111111111");
    EXPECT_EQ(afterUv, "0111111111111");
    EXPECT_EQ(exportOptions, 0x0B7Eu);
}

// Whatever radio buttons are clicked, OK stores exactly one sort bit.
TEST_F(ExportDialog, ExactlyOneSortBitAfterOk)
{
    const uint32_t sortBits = OPT_SORT_AS_LOADED | OPT_SORT_BY_MATERIAL | OPT_SORT_BY_GROUP;
    const std::vector<std::vector<int>> sequences = {
        {},
        {IDC_SORT_BY_MATERIAL},
        {IDC_SORT_BY_GROUP},
        {IDC_SORT_BY_MATERIAL, IDC_SORT_BY_GROUP},
        {IDC_SORT_BY_GROUP, IDC_SORT_BY_MATERIAL, IDC_SORT_AS_LOADED},
    };
    const uint32_t expected[] = {OPT_SORT_AS_LOADED, OPT_SORT_BY_MATERIAL, OPT_SORT_BY_GROUP,
                                 OPT_SORT_BY_GROUP, OPT_SORT_AS_LOADED};
    for (uint32_t start : {0x1366u, 0x0F66u, 0x0366u})
        for (size_t i = 0; i < sequences.size(); i++)
        {
            SCOPED_TRACE("start " + std::to_string(start) + ", sequence " + std::to_string(i));
            exportOptions = start;
            Export(
                [&](HWND dialog)
                {
                    for (int id : sequences[i])
                        ClickButton(dialog, id);
                    ClickButton(dialog, IDOK);
                });
            if (sequences[i].empty())
                EXPECT_EQ(exportOptions & sortBits,
                          start & OPT_SORT_BY_MATERIAL ? OPT_SORT_BY_MATERIAL
                          : start & OPT_SORT_BY_GROUP  ? OPT_SORT_BY_GROUP
                                                       : OPT_SORT_AS_LOADED);
            else
                EXPECT_EQ(exportOptions & sortBits, expected[i]);
        }
}

// The command gives a path without extension ".obj"; no mesh means no dialog and no file.
TEST_F(ExportDialog, PathsAndMissingMesh)
{
    // The scratch names hold a ".", so this one is made without it.
    std::string bare = "scratch_dialogs_bare";
    std::remove((bare + ".obj").c_str());
    RunModalDialog(
        exportTitle, [&] { WriteObjMesh(mesh.get(), bare.c_str()); },
        [](HWND dialog) { ClickButton(dialog, IDOK); });
    EXPECT_TRUE(FileExists(bare + ".obj"));
    EXPECT_FALSE(FileExists(bare));
    std::remove((bare + ".obj").c_str());

    WriteObjMesh(nullptr, path.c_str());
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(exportOptions, 0x1366u);
}
