// Scratch files, and the mesh invariant check in gtest's terms, shared by the tests.
#include "test_util.h"

#include "mesh_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

std::string ScratchPath(const std::string& tag)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
    for (char& c : name)
        if (c == '/')
            c = '_';
    return "scratch_" + name + "_" + tag;
}

std::string WriteScratchFile(const std::string& tag, const std::string& bytes)
{
    std::string path = ScratchPath(tag);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return path;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void CheckMeshInvariants(const Mesh* mesh)
{
    EXPECT_EQ(MeshInvariantFailures(mesh), "");
}
