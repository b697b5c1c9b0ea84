// The writer's paths and files: the default extension, replacing a file only after a complete
// write, and every failure leaving the old file, no temporary file and the mesh's flags.
#include "export/export.h"
#include "mesh/mesh.h"
#include "test_util.h"
#include "writer_meshes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

TEST(WriterPaths, AppendDefaultExtension)
{
    static const struct
    {
        const char* path;
        const char* result;
    } rows[] = {
        {"C:\\models\\bunny", "C:\\models\\bunny.obj"},
        {"C:\\models\\bunny.txt", "C:\\models\\bunny.txt"},
        {"C:\\my.models\\bunny", "C:\\my.models\\bunny.obj"},
        {"bunny", "bunny.obj"},
        {"bunny.", "bunny."},
        {".hidden", ".hidden"},
        {"", ".obj"},
        {"C:\\models\\", "C:\\models\\.obj"},
        {"C:bunny", "C:bunny.obj"},
        {"models\\a.b.c", "models\\a.b.c"},
#ifdef _WIN32
        // Only the backslash separates folders on Windows.
        {"my.models/bunny", "my.models/bunny"},
#else
        {"my.models/bunny", "my.models/bunny.obj"},
        {"/tmp/x.d/bunny", "/tmp/x.d/bunny.obj"},
#endif
        {"dir/bunny.obj", "dir/bunny.obj"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.path);
        char path[256];
        std::snprintf(path, sizeof path, "%s", row.path);
        EXPECT_TRUE(AppendDefaultExtension(path, sizeof path, ".obj"));
        EXPECT_STREQ(path, row.result);
    }
}

TEST(WriterPaths, AppendDefaultExtensionRefusesWhatDoesNotFit)
{
    static const struct
    {
        size_t length;
        bool fits;
    } rows[] = {{250, true}, {251, true}, {252, false}, {255, false}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.length);
        char path[256];
        std::memset(path, 'a', row.length);
        path[row.length] = '\0';
        std::string before = path;
        EXPECT_EQ(AppendDefaultExtension(path, sizeof path, ".obj"), row.fits);
        EXPECT_EQ(std::string(path), row.fits ? before + ".obj" : before);
    }
    // A path that keeps its extension needs no room.
    char full[256];
    std::memset(full, 'a', 255);
    full[250] = '.';
    full[255] = '\0';
    EXPECT_TRUE(AppendDefaultExtension(full, sizeof full, ".obj"));
    EXPECT_EQ(std::strlen(full), 255u);
}

// A fresh scratch folder for one test, removed afterwards.
struct ScratchFolder
{
    fs::path path;
    ScratchFolder() : path(fs::absolute(ScratchPath("dir")))
    {
        fs::remove_all(path);
        fs::create_directory(path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const
    {
        return (path / name).string();
    }
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(path))
            names.insert(entry.path().filename().string());
        return names;
    }
};

static void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(WriterFiles, WritesWithDefaultExtensionAndReplacesAnExistingFile)
{
    ScratchFolder folder;
    MeshPtr mesh = BuildMesh(OneTriangle());
    WriteFile(folder.File("model.obj"), "old contents");

    ASSERT_TRUE(
        WriteObjMeshFile(mesh.get(), folder.File("model").c_str(), EXPORT_OPTIONS_AT_START));
    std::string text = ReadWholeFile(folder.File("model.obj"));
    EXPECT_EQ(text.rfind("#  =====", 0), 0u);
    EXPECT_NE(text.find("# 1 Total Facets"), std::string::npos);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"model.obj"});

    // A path with its own extension is used as it stands.
    ASSERT_TRUE(WriteObjMeshFile(mesh.get(), folder.File("model.txt").c_str(), OPT_SORT_AS_LOADED));
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"model.obj", "model.txt"}));
    EXPECT_EQ(ReadWholeFile(folder.File("model.obj")), text);
}

TEST(WriterFiles, LeftoverTemporaryNamesAreNeitherUsedNorTouched)
{
    ScratchFolder folder;
    std::set<std::string> expected = {"model.obj"};
    for (int i = 0; i < 10; i++)
    {
        char name[16];
        std::snprintf(name, sizeof name, "~kv%02d.tmp", i);
        WriteFile(folder.File(name), name);
        expected.insert(name);
    }
    MeshPtr mesh = BuildMesh(OneTriangle());
    for (int round = 0; round < 3; round++)
        ASSERT_TRUE(WriteObjMeshFile(mesh.get(), folder.File("model").c_str(), 0x1366));
    EXPECT_EQ(folder.Names(), expected);
    EXPECT_EQ(ReadWholeFile(folder.File("~kv03.tmp")), "~kv03.tmp");
}

// The outcome every failed export must have: false, old file intact, no temporary file,
// MESH_SMOOTHED as it was.
struct FailureCase
{
    const char* name;
    int writeFailAt;     // writerWriteFailAt
    int allocateFailAt;  // allocationFailAt, counted from the export's first allocation
    bool targetIsFolder; // the target name is taken by a folder
    bool bigMesh;        // more than one buffer's worth of output
};

TEST(WriterFiles, FailedWritesLeaveEverythingAsItWas)
{
    static const FailureCase rows[] = {
        {"first write fails", 1, 0, false, false},
        {"second write fails", 2, 0, false, true},
        {"buffer cannot be allocated", 0, 1, false, false},
        {"target is a folder", 0, 0, true, false},
    };
    for (const FailureCase& row : rows)
    {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        TestMesh shape = OneTriangle();
        if (row.bigMesh)
        {
            for (int i = 0; i < 40000; i++)
                shape.vertices.push_back({i * 0.5f, -i * 0.25f, 1e6f});
        }
        MeshPtr mesh = BuildMesh(shape);
        mesh->flags |= MESH_SMOOTHED;
        std::string target = folder.File("model.obj");
        if (row.targetIsFolder)
            fs::create_directory(target);
        else
            WriteFile(target, "old contents");

        writerWriteFailAt = row.writeFailAt;
        allocationCount = 0;
        allocationFailAt = row.allocateFailAt;
        EXPECT_FALSE(WriteObjMeshFile(mesh.get(), target.c_str(), 0x1366));
        EXPECT_EQ(writerWriteFailAt, 0);
        EXPECT_EQ(allocationFailAt, 0);
        allocationFailAt = 0;
        writerWriteFailAt = 0;

        EXPECT_EQ(folder.Names(), std::set<std::string>{"model.obj"});
        if (!row.targetIsFolder)
        {
            EXPECT_EQ(ReadWholeFile(target), "old contents");
        }
        EXPECT_NE(mesh->flags & MESH_SMOOTHED, 0u);
    }
}

TEST(WriterFiles, MissingFolderWritesNothing)
{
    ScratchFolder folder;
    MeshPtr mesh = BuildMesh(OneTriangle());
    mesh->flags |= MESH_SMOOTHED;
    std::string path = folder.File("missing") + "/model";
    EXPECT_FALSE(WriteObjMeshFile(mesh.get(), path.c_str(), 0x1366));
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_NE(mesh->flags & MESH_SMOOTHED, 0u);
}

#ifndef _WIN32
TEST(WriterFiles, ReadOnlyFolderKeepsItsFile)
{
    ScratchFolder folder;
    WriteFile(folder.File("model.obj"), "old contents");
    fs::permissions(folder.path, fs::perms::owner_read | fs::perms::owner_exec);
    // Write permission is not enforced for the superuser; then there is nothing to test.
    FILE* probe = std::fopen(folder.File("probe").c_str(), "wb");
    if (probe)
    {
        std::fclose(probe);
        GTEST_SKIP() << "folder permissions are not enforced for this user";
    }
    MeshPtr mesh = BuildMesh(OneTriangle());
    mesh->flags |= MESH_SMOOTHED;
    EXPECT_FALSE(WriteObjMeshFile(mesh.get(), folder.File("model").c_str(), 0x1366));
    EXPECT_EQ(ReadWholeFile(folder.File("model.obj")), "old contents");
    EXPECT_EQ(folder.Names(), std::set<std::string>{"model.obj"});
    EXPECT_NE(mesh->flags & MESH_SMOOTHED, 0u);
}
#endif

TEST(WriterFiles, PathsWithoutRoomOrTooLongWriteNothing)
{
    ScratchFolder folder;
    MeshPtr mesh = BuildMesh(OneTriangle());
    mesh->flags |= MESH_SMOOTHED;
    std::string base = folder.File("");
    static const struct
    {
        size_t length;
        const char* name;
    } rows[] = {{252, "no room for .obj"}, {255, "full buffer"}, {300, "longer than a path"}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        ASSERT_LT(base.size(), row.length);
        std::string path = base + std::string(row.length - base.size(), 'm');
        EXPECT_FALSE(WriteObjMeshFile(mesh.get(), path.c_str(), 0x1366));
        EXPECT_TRUE(folder.Names().empty());
        EXPECT_NE(mesh->flags & MESH_SMOOTHED, 0u);
    }
    EXPECT_FALSE(WriteObjMeshFile(nullptr, folder.File("x").c_str(), 0x1366));
    EXPECT_FALSE(WriteObjMeshFile(mesh.get(), nullptr, 0x1366));
    EXPECT_TRUE(folder.Names().empty());
}
