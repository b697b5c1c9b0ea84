// libFuzzer target: reads the input as an OBJ file, runs Smooth Seams, Compact Normals, Quads
// to Triangles and scale changes in an order and number chosen by the input's first bytes,
// writes the mesh with an option word taken from the input and reads the written file back.
// The record is checked after every step; see fuzz_check.h.
#include "export/export.h"
#include "fuzz_check.h"
#include "mesh/mesh.h"
#include "ops/ops.h"
#include "tests/ops_oracle.h"
#include "tests/reader_literal.h"
#include "ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <dirent.h>
#include <unistd.h>
#include <vector>

namespace
{

enum FuzzOperation
{
    FUZZ_SMOOTH,
    FUZZ_COMPACT,
    FUZZ_TRIANGULATE,
    FUZZ_SCALE,
    FUZZ_OPERATION_KINDS
};

const int MAX_OPERATIONS = 6;
const size_t PLAN_BYTES = 13;

// What a run does, from the first bytes of the input: byte 0 the number of operations,
// bytes 1 to 6 the operations, bytes 7 to 9 the scale positions, bytes 10 and 11 the option
// word; byte 12, from 0xC0 on, makes allocation 1 to 64 of the run fail. The whole input,
// these bytes included, is the file that is read.
struct Plan
{
    int operationCount;
    FuzzOperation operations[MAX_OPERATIONS];
    uint8_t scaleBytes[3];
    uint32_t options;
    int failAt; // 0: no allocation fails
};

Plan MakePlan(const uint8_t* data, size_t size)
{
    uint8_t b[PLAN_BYTES] = {};
    std::memcpy(b, data, std::min(size, PLAN_BYTES));
    Plan plan;
    plan.operationCount = b[0] % (MAX_OPERATIONS + 1);
    for (int k = 0; k < MAX_OPERATIONS; ++k)
        plan.operations[k] = FuzzOperation(b[1 + k] % FUZZ_OPERATION_KINDS);
    std::memcpy(plan.scaleBytes, b + 7, 3);
    plan.options = uint32_t(b[10]) | uint32_t(b[11]) << 8;
    plan.failAt = b[12] >= 0xC0 ? b[12] - 0xC0 + 1 : 0;
    return plan;
}

// A position 0 to 200 gives the factor the dialog would; the other byte values give factors
// the dialog never makes, which a scale change must refuse.
float ScaleFactorFromByte(uint8_t value)
{
    static const float refused[] = {0.0f,
                                    0.049999997f,
                                    20.000002f,
                                    -1.0f,
                                    1e-30f,
                                    std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -20.0f};
    if (value <= SCALE_POSITION_MAX)
        return ScaleFactorFromPosition(value);
    return refused[(value - SCALE_POSITION_MAX - 1) % (sizeof refused / sizeof refused[0])];
}

// Scratch files in a folder of this process's own.
struct Scratch
{
    std::string folder;
    std::string input;
    std::string output;
};

void RemoveScratchFolder();

const Scratch& ScratchFiles()
{
    static Scratch scratch;
    if (scratch.folder.empty())
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/korvella-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        FUZZ_CHECK(mkdtemp(name.data()) != nullptr, "cannot make %s", pattern.c_str());
        scratch.folder = name.data();
        scratch.input = scratch.folder + "/in.obj";
        scratch.output = scratch.folder + "/out.obj";
        std::atexit(RemoveScratchFolder);
    }
    return scratch;
}

void RemoveScratchFolder()
{
    const Scratch& scratch = ScratchFiles();
    std::remove(scratch.input.c_str());
    std::remove(scratch.output.c_str());
    rmdir(scratch.folder.c_str());
}

// Nothing but the input is left in the scratch folder: no output of a failed write and no
// temporary file.
void CheckNoFilesLeft(const Scratch& scratch)
{
    DIR* folder = opendir(scratch.folder.c_str());
    FUZZ_CHECK(folder != nullptr, "cannot list %s", scratch.folder.c_str());
    std::string extra;
    while (dirent* entry = readdir(folder))
    {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != "in.obj")
            extra += " " + name;
    }
    closedir(folder);
    FUZZ_CHECK(extra.empty(), "files left behind:%s", extra.c_str());
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr, "cannot write %s", path.c_str());
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size, "short write");
    FUZZ_CHECK(std::fclose(file) == 0, "cannot close %s", path.c_str());
}

// True when the allocation failure that was pending before a step was met by it.
bool MetFailure(bool pending)
{
    return pending && allocationFailAt == 0;
}

// The step that met an allocation failure left the mesh as it was.
void CheckFailedStep(const Mesh* mesh, const std::string& before, long held, const char* what)
{
    FUZZ_CHECK(MeshImage(mesh) == before, "%s changed the mesh though storage failed", what);
    FUZZ_CHECK(allocationsHeld == held, "%s holds %ld arrays more after failing", what,
               allocationsHeld - held);
}

// A copy made without touching the injected failure or the count of allocations.
Mesh* CopyOutsideCount(const Mesh* mesh)
{
    int failAt = allocationFailAt, count = allocationCount;
    allocationFailAt = 0;
    Mesh* copy = CopyMesh(mesh);
    allocationFailAt = failAt;
    allocationCount = count;
    return copy;
}

// The line-by-line reader of the tests, fgets and sscanf, reads the same record. It reads
// carriage returns as part of the line, so files that hold one are left out.
void CompareWithLiteralReader(const Mesh* mesh, const std::string& path, const uint8_t* data,
                              size_t size)
{
    if (std::memchr(data, '\r', size))
        return;
    int failAt = allocationFailAt, count = allocationCount;
    allocationFailAt = 0;
    Mesh* literal = ReadObjMeshLiteral(path.c_str());
    allocationFailAt = failAt;
    allocationCount = count;
    FUZZ_CHECK(literal != nullptr, "the line-by-line reader gave no mesh");
    FUZZ_CHECK(MeshImage(mesh, IMAGE_NO_FLAGS) == MeshImage(literal, IMAGE_NO_FLAGS),
               "the reader and the line-by-line reader differ: %u %u %u %u facets %u vertices "
               "%u uvs %u normals",
               mesh->facetCount, literal->facetCount, mesh->vertexCount, literal->vertexCount,
               mesh->uvCount, literal->uvCount, mesh->normalCount, literal->normalCount);
    FUZZ_CHECK(mesh->flags == literal->flags, "flags %#x, line by line %#x", mesh->flags,
               literal->flags);
    FreeMesh(literal);
}

// Equal bit for bit, or both NaN: the sign and payload of a NaN made by arithmetic depend on
// the order in which the compiler feeds the operands to the processor.
bool SameValue(const Vec3& a, const Vec3& b)
{
    const float* p = &a.x;
    const float* q = &b.x;
    for (int k = 0; k < 3; ++k)
        if (!(std::isnan(p[k]) && std::isnan(q[k])) && std::memcmp(p + k, q + k, sizeof(float)))
            return false;
    return true;
}

// The plain scan of every facet and every later vertex gives the same record, bit for bit.
void CompareWithPlainSmoothing(const Mesh* mesh, Mesh* plain)
{
    int failAt = allocationFailAt, count = allocationCount;
    allocationFailAt = 0;
    FUZZ_CHECK(OracleSmoothMeshNormals(plain) != 0, "plain smoothing did not run");
    allocationFailAt = failAt;
    allocationCount = count;
    const uint32_t normalParts = IMAGE_NO_NORMALS | IMAGE_NO_FACETS;
    FUZZ_CHECK(MeshImage(mesh, normalParts) == MeshImage(plain, normalParts),
               "Smooth Seams differs from the plain scan; flags %#x, plainly %#x", mesh->flags,
               plain->flags);
    FUZZ_CHECK(mesh->normalCount == plain->normalCount, "normal count");
    for (uint32_t i = 0; i < mesh->normalCount; ++i)
    {
        const Vec3 &a = mesh->normals[i], &b = plain->normals[i];
        FUZZ_CHECK(SameValue(a, b), "normal %u is %g %g %g, plainly %g %g %g", i, a.x, a.y, a.z,
                   b.x, b.y, b.z);
    }
    FUZZ_CHECK(mesh->facetCount == plain->facetCount, "facet count");
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet &a = mesh->facets[f], &b = plain->facets[f];
        FUZZ_CHECK(SameValue(a.faceNormal, b.faceNormal),
                   "face normal %u is %g %g %g, plainly %g %g %g", f, a.faceNormal.x,
                   a.faceNormal.y, a.faceNormal.z, b.faceNormal.x, b.faceNormal.y, b.faceNormal.z);
        FUZZ_CHECK(std::memcmp(a.normalIndex, b.normalIndex, sizeof(int32_t) * a.cornerCount) == 0,
                   "facet %u normal indices", f);
    }
}

bool IsFinite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A finite normal is the zero vector or of unit length.
void CheckUnitOrZero(const Vec3& v, const char* what, uint32_t index)
{
    if (!IsFinite(v))
        return;
    double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    FUZZ_CHECK(length == 0 || std::fabs(length - 1) < 1e-6, "%s %u has length %.9g", what, index,
               length);
}

// The corners and names of facet a equal those of facet b, all but the normal parts.
bool SameCorners(const Facet& a, const Facet& b)
{
    if (a.materialIndex != b.materialIndex || a.groupIndex != b.groupIndex ||
        a.cornerCount != b.cornerCount)
        return false;
    for (uint32_t c = 0; c < a.cornerCount; ++c)
        if (a.vertexIndex[c] != b.vertexIndex[c] || a.uvIndex[c] != b.uvIndex[c])
            return false;
    return true;
}

void RunSmooth(Mesh* mesh, MeshHistory& history)
{
    std::string whole = MeshImage(mesh);
    std::string kept = MeshImage(mesh, IMAGE_NO_NORMALS | IMAGE_NO_FACETS | IMAGE_NO_FLAGS);
    std::vector<Facet> old(mesh->facets, mesh->facets + mesh->facetCount);
    uint32_t flags = mesh->flags;
    bool freshArray = mesh->normalCount < mesh->vertexCount;
    Mesh* plain = CopyOutsideCount(mesh);
    bool pending = allocationFailAt > 0;
    long held = allocationsHeld;
    int result = SmoothMeshNormals(mesh);
    if (MetFailure(pending))
    {
        FUZZ_CHECK(result == 0, "Smooth Seams ran though storage failed");
        CheckFailedStep(mesh, whole, held, "Smooth Seams");
        FreeMesh(plain);
        return;
    }
    FUZZ_CHECK(result != 0, "Smooth Seams did not run");
    history.smoothed = history.smoothedUnsaved = true;
    CompareWithPlainSmoothing(mesh, plain);
    FreeMesh(plain);
    FUZZ_CHECK(MeshImage(mesh, IMAGE_NO_NORMALS | IMAGE_NO_FACETS | IMAGE_NO_FLAGS) == kept,
               "Smooth Seams changed more than normals");
    uint32_t gained = MESH_HAS_NORMALS | MESH_SMOOTHED | MESH_DUPLICATE_NORMALS;
    FUZZ_CHECK((mesh->flags & ~gained) == (flags & ~gained), "flags %#x", mesh->flags);
    FUZZ_CHECK(mesh->normalCount == mesh->vertexCount, "%u normals for %u vertices",
               mesh->normalCount, mesh->vertexCount);
    FUZZ_CHECK(mesh->facetCount == old.size(), "facet count");
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        FUZZ_CHECK(SameCorners(facet, old[f]), "facet %u changed", f);
        for (uint32_t c = 0; c < facet.cornerCount; ++c)
            FUZZ_CHECK(facet.normalIndex[c] == facet.vertexIndex[c], "facet %u corner %u", f, c);
        CheckUnitOrZero(facet.faceNormal, "face normal", f);
    }
    // a new array holds zero where no facet gave a direction; a kept one keeps old values
    for (uint32_t i = 0; freshArray && i < mesh->normalCount; ++i)
        CheckUnitOrZero(mesh->normals[i], "normal", i);
}

void CheckCompacted(const Mesh* mesh, const std::vector<Vec3>& oldNormals,
                    const std::vector<Facet>& oldFacets)
{
    uint32_t count = uint32_t(oldNormals.size());
    std::vector<uint32_t> first(count), place(count);
    FirstEqualNormals(oldNormals.data(), count, first.data());
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (first[i] != i)
        {
            place[i] = place[first[i]];
            continue;
        }
        FUZZ_CHECK(kept < mesh->normalCount, "too few normals kept");
        FUZZ_CHECK(std::memcmp(&mesh->normals[kept], &oldNormals[i], sizeof(Vec3)) == 0,
                   "kept normal %u is not old normal %u", kept, i);
        place[i] = kept++;
    }
    FUZZ_CHECK(mesh->normalCount == kept, "%u normals kept, %u expected", mesh->normalCount, kept);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        FUZZ_CHECK(SameCorners(facet, oldFacets[f]), "facet %u changed", f);
        for (uint32_t c = 0; c < facet.cornerCount; ++c)
            FUZZ_CHECK(uint32_t(facet.normalIndex[c]) == place[oldFacets[f].normalIndex[c]],
                       "facet %u corner %u renumbered wrongly", f, c);
    }
}

void RunCompact(Mesh* mesh)
{
    bool runs = (mesh->flags & MESH_HAS_NORMALS) && mesh->normalCount > 0 && mesh->normals;
    std::string whole = MeshImage(mesh);
    std::string kept = MeshImage(mesh, IMAGE_NO_NORMALS | IMAGE_NO_FACETS | IMAGE_NO_FLAGS);
    std::vector<Vec3> oldNormals(mesh->normals, mesh->normals + (runs ? mesh->normalCount : 0));
    std::vector<Facet> oldFacets(mesh->facets, mesh->facets + mesh->facetCount);
    uint32_t flags = mesh->flags;
    bool pending = allocationFailAt > 0;
    long held = allocationsHeld;
    CompactNormals(mesh);
    if (MetFailure(pending))
        return CheckFailedStep(mesh, whole, held, "Compact Normals");
    if (!runs)
    {
        FUZZ_CHECK(MeshImage(mesh) == whole, "Compact Normals without normals changed the mesh");
        return;
    }
    FUZZ_CHECK(MeshImage(mesh, IMAGE_NO_NORMALS | IMAGE_NO_FACETS | IMAGE_NO_FLAGS) == kept,
               "Compact Normals changed more than normals");
    FUZZ_CHECK(mesh->flags == (flags & ~uint32_t(MESH_DUPLICATE_NORMALS)), "flags %#x",
               mesh->flags);
    CheckCompacted(mesh, oldNormals, oldFacets);
}

void RunTriangulate(Mesh* mesh)
{
    std::string whole = MeshImage(mesh);
    std::string kept = MeshImage(mesh, IMAGE_NO_FACETS | IMAGE_NO_LISTS | IMAGE_NO_FLAGS);
    std::vector<Facet> old(mesh->facets, mesh->facets + mesh->facetCount);
    uint32_t flags = mesh->flags, quads = mesh->quadCount;
    bool pending = allocationFailAt > 0;
    long held = allocationsHeld;
    ConvertQuadsToTriangles(mesh);
    if (MetFailure(pending))
        return CheckFailedStep(mesh, whole, held, "Quads to Triangles");
    if (!(flags & MESH_HAS_QUADS))
    {
        FUZZ_CHECK(MeshImage(mesh) == whole, "Quads to Triangles without quads changed the mesh");
        return;
    }
    FUZZ_CHECK(MeshImage(mesh, IMAGE_NO_FACETS | IMAGE_NO_LISTS | IMAGE_NO_FLAGS) == kept,
               "Quads to Triangles changed more than facets");
    FUZZ_CHECK(mesh->flags == (flags & ~uint32_t(MESH_HAS_QUADS)), "flags %#x", mesh->flags);
    FUZZ_CHECK(mesh->facetCount == old.size() + quads, "%u facets", mesh->facetCount);
    static const int split[2][3] = {{0, 1, 2}, {2, 3, 0}};
    uint32_t next = 0;
    for (const Facet& facet : old)
    {
        int pieces = facet.cornerCount == 4 ? 2 : 1;
        for (int p = 0; p < pieces; ++p)
        {
            const Facet& made = mesh->facets[next++];
            FUZZ_CHECK(made.groupIndex == facet.groupIndex &&
                           made.materialIndex == facet.materialIndex &&
                           std::memcmp(&made.faceNormal, &facet.faceNormal, sizeof(Vec3)) == 0,
                       "facet %u", next - 1);
            FUZZ_CHECK(made.cornerCount == (pieces == 2 ? 3 : facet.cornerCount), "corners");
            for (uint32_t c = 0; c < made.cornerCount; ++c)
            {
                int from = pieces == 2 ? split[p][c] : int(c);
                FUZZ_CHECK(made.vertexIndex[c] == facet.vertexIndex[from] &&
                               made.uvIndex[c] == facet.uvIndex[from] &&
                               made.normalIndex[c] == facet.normalIndex[from],
                           "facet %u corner %u", next - 1, c);
            }
        }
    }
}

bool FactorAccepted(float factor)
{
    return factor >= 0.05f && factor <= 20.0f;
}

void RunScale(Mesh* mesh, const Plan& plan, int step)
{
    float factor[3];
    for (int axis = 0; axis < 3; ++axis)
        factor[axis] = ScaleFactorFromByte(uint8_t(plan.scaleBytes[axis] + 37 * step));
    std::string whole = MeshImage(mesh);
    std::string kept = MeshImage(mesh, IMAGE_NO_SCALE);
    bool accepted =
        FactorAccepted(factor[0]) && FactorAccepted(factor[1]) && FactorAccepted(factor[2]);
    FUZZ_CHECK(SetMeshScale(mesh, factor[0], factor[1], factor[2]) == accepted, "factors %g %g %g",
               factor[0], factor[1], factor[2]);
    if (!accepted)
    {
        FUZZ_CHECK(MeshImage(mesh) == whole, "a refused scale changed the mesh");
        return;
    }
    FUZZ_CHECK(MeshImage(mesh, IMAGE_NO_SCALE) == kept, "a scale change changed more");
    FUZZ_CHECK(std::memcmp(&mesh->scale, factor, sizeof factor) == 0, "factors not stored");
    Vec3 low, high;
    RescaledBounds(mesh, &low, &high);
    FUZZ_CHECK(std::memcmp(&low, &mesh->boundsMin, sizeof low) == 0 &&
                   std::memcmp(&high, &mesh->boundsMax, sizeof high) == 0,
               "bounds after a scale change");
}

void RunOperation(Mesh* mesh, const Plan& plan, int step, MeshHistory& history)
{
    switch (plan.operations[step])
    {
    case FUZZ_SMOOTH:
        RunSmooth(mesh, history);
        break;
    case FUZZ_COMPACT:
        RunCompact(mesh);
        break;
    case FUZZ_TRIANGULATE:
        RunTriangulate(mesh);
        break;
    default:
        RunScale(mesh, plan, step);
        break;
    }
}

// ---- Writing and reading back ---------------------------------------------------------------

// What the option word and the mesh's flags make the writer write.
struct Written
{
    bool vertices, uvs, normalForm, faces, groups, materials, reversed;
    uint32_t normalLines;
};

Written WhatIsWritten(const Mesh* mesh, uint32_t options)
{
    Written w;
    w.vertices = (mesh->flags & MESH_HAS_VERTICES) && (options & OPT_EXPORT_VERTICES);
    w.uvs = (mesh->flags & MESH_HAS_UVS) && (options & OPT_EXPORT_UV_COORDS);
    w.normalForm = (mesh->flags & MESH_HAS_NORMALS) && (options & OPT_EXPORT_NORMALS);
    w.normalLines = w.normalForm ? mesh->normalCount : 0;
    w.faces = (options & OPT_EXPORT_FACES) != 0;
    w.groups = (options & OPT_EXPORT_GROUP_NAMES) != 0;
    w.materials = (options & OPT_EXPORT_MATERIALS) != 0;
    w.reversed = (options & OPT_REVERSE_FACES) != 0;
    return w;
}

// The facets in the order the writer writes them.
std::vector<uint32_t> WrittenOrder(const Mesh* mesh, uint32_t options)
{
    std::vector<uint32_t> order;
    const Group* table = (options & OPT_SORT_BY_MATERIAL) ? mesh->materials
                         : (options & OPT_SORT_BY_GROUP)  ? mesh->groups
                                                          : nullptr;
    uint32_t count = table == mesh->materials ? mesh->materialCount : mesh->groupCount;
    if (!table)
        for (uint32_t f = 0; f < mesh->facetCount; ++f)
            order.push_back(f);
    for (uint32_t i = 0; table && i < count; ++i)
        order.insert(order.end(), table[i].facetList, table[i].facetList + table[i].facetListCount);
    return order;
}

void CheckVectorsReadBack(const Mesh* mesh, const Mesh* back, const Written& w, uint32_t options)
{
    FUZZ_CHECK(back->vertexCount == (w.vertices ? mesh->vertexCount : 1), "%u vertices read back",
               back->vertexCount);
    for (uint32_t i = 0; w.vertices && i < mesh->vertexCount; ++i)
    {
        const Vec3& v = mesh->vertices[i];
        const Vec3& r = back->vertices[i];
        CheckReadBack(double(v.x) * mesh->scale.x, r.x, "vertex x", i);
        CheckReadBack(double(v.y) * mesh->scale.y, r.y, "vertex y", i);
        CheckReadBack(double(v.z) * mesh->scale.z, r.z, "vertex z", i);
    }
    FUZZ_CHECK(back->uvCount == (w.uvs ? mesh->uvCount : 1), "%u uvs read back", back->uvCount);
    bool flipU = options & OPT_FLIP_UV_HORIZONTALLY, flipV = options & OPT_FLIP_UV_VERTICALLY;
    for (uint32_t i = 0; w.uvs && i < mesh->uvCount; ++i)
    {
        double u = mesh->uCoords[i], v = mesh->vCoords[i];
        CheckReadBack(flipU ? 1.0 - u : u, back->uCoords[i], "u", i);
        CheckReadBack(flipV ? 1.0 - v : v, back->vCoords[i], "v", i);
    }
    FUZZ_CHECK(back->normalCount == w.normalLines, "%u normals read back", back->normalCount);
    for (uint32_t i = 0; i < w.normalLines; ++i)
    {
        CheckReadBack(mesh->normals[i].x, back->normals[i].x, "normal x", i);
        CheckReadBack(mesh->normals[i].y, back->normals[i].y, "normal y", i);
        CheckReadBack(mesh->normals[i].z, back->normals[i].z, "normal z", i);
    }
}

// The name a "g" line with this name gives: trailing blanks and tabs go (a name cut to 63
// characters may end in one); a name of white space only gives no group line at all.
bool NameReadBack(const char* name, std::string* readBack)
{
    std::string text = name;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    *readBack = text;
    for (char c : text)
        if (c != ' ' && !(c >= '\t' && c <= '\r'))
            return true;
    return false;
}

void CheckFacetReadBack(const Mesh* mesh, const Mesh* back, const Written& w, uint32_t f,
                        const Facet& read)
{
    const Facet& facet = mesh->facets[f];
    FUZZ_CHECK(read.cornerCount == facet.cornerCount, "facet %u corners", f);
    for (uint32_t c = 0; c < facet.cornerCount; ++c)
    {
        uint32_t from = w.reversed ? facet.cornerCount - 1 - c : c;
        FUZZ_CHECK(read.vertexIndex[c] == (w.vertices ? facet.vertexIndex[from] : 0) &&
                       read.uvIndex[c] == (w.uvs ? facet.uvIndex[from] : 0) &&
                       (!w.normalForm || read.normalIndex[c] == facet.normalIndex[from]),
                   "facet %u corner %u read back", f, c);
    }
    const char* group = mesh->groups[facet.groupIndex].name;
    const char* readGroup = back->groups[read.groupIndex].name;
    if (!w.groups)
        FUZZ_CHECK(read.groupIndex == 0, "facet %u group", f);
    else if (std::string expected; NameReadBack(group, &expected))
        FUZZ_CHECK(expected == readGroup, "facet %u group %s read as %s", f, group, readGroup);
    const char* material = mesh->materials[facet.materialIndex].name;
    const char* readMaterial = back->materials[read.materialIndex].name;
    FUZZ_CHECK(w.materials ? std::strcmp(material, readMaterial) == 0 : read.materialIndex == 0,
               "facet %u material %s read as %s", f, material, readMaterial);
}

void CheckFacetsReadBack(const Mesh* mesh, const Mesh* back, const Written& w, uint32_t options)
{
    if (!w.faces)
    {
        FUZZ_CHECK(back->facetCount == 0, "facets read back without faces written");
        return;
    }
    std::vector<uint32_t> order = WrittenOrder(mesh, options);
    FUZZ_CHECK(order.size() == mesh->facetCount, "written order");
    FUZZ_CHECK(back->facetCount == mesh->facetCount, "%u facets written, %u read back",
               mesh->facetCount, back->facetCount);
    for (uint32_t k = 0; k < back->facetCount; ++k)
        CheckFacetReadBack(mesh, back, w, order[k], back->facets[k]);
}

// The library name comes back whole when its line fits one 255-character piece.
void CheckLibraryReadBack(const Mesh* mesh, const Mesh* back, const Written& w)
{
    const size_t longest = 255 - std::strlen("mtllib ");
    std::string expected = w.materials ? mesh->materialLibrary : "";
    expected = expected.substr(0, longest);
    FUZZ_CHECK(expected == back->materialLibrary, "library %s read back as %s", expected.c_str(),
               back->materialLibrary);
}

void WriteAndReadBack(Mesh* mesh, uint32_t options, MeshHistory& history)
{
    const Scratch& scratch = ScratchFiles();
    std::string whole = MeshImage(mesh);
    std::string before = MeshImage(mesh, IMAGE_NO_FLAGS);
    uint32_t flags = mesh->flags;
    bool pending = allocationFailAt > 0;
    long held = allocationsHeld;
    bool written = WriteObjMeshFile(mesh, scratch.output.c_str(), options);
    if (MetFailure(pending))
    {
        FUZZ_CHECK(!written, "written though storage failed");
        FUZZ_CHECK(access(scratch.output.c_str(), F_OK) != 0, "a failed write left a file");
        return CheckFailedStep(mesh, whole, held, "writing");
    }
    allocationFailAt = 0; // the file written is read back whole
    FUZZ_CHECK(written, "write failed");
    history.smoothedUnsaved = false;
    FUZZ_CHECK(MeshImage(mesh, IMAGE_NO_FLAGS) == before, "writing changed the mesh");
    FUZZ_CHECK(mesh->flags == (flags & ~uint32_t(MESH_SMOOTHED)), "flags after writing");
    CheckMesh(mesh, history);

    Mesh* back = ReadObjMesh(scratch.output.c_str());
    CheckMesh(back, MeshHistory{true, false, false});
    Written w = WhatIsWritten(mesh, options);
    CheckVectorsReadBack(mesh, back, w, options);
    CheckFacetsReadBack(mesh, back, w, options);
    CheckLibraryReadBack(mesh, back, w);
    FreeMesh(back);
    std::remove(scratch.output.c_str());
}

// The all-faces mode reads the same input with the allocation failure of the plan: no mesh
// only when an allocation failed, nothing held then; otherwise a sound record whose vertices,
// bounds and library are the default read's, with the default read's texture coordinates and
// normals first and at most one placeholder of each after them.
Mesh* ReadAllFaces(const std::string& path, int failAt)
{
    long held = allocationsHeld;
    allocationFailAt = failAt;
    ReadOptions options = {true};
    ReadReport report;
    Mesh* mesh = ReadObjMeshWith(path.c_str(), &options, &report);
    FUZZ_CHECK(!progressState.open, "the progress display is open after reading all faces");
    if (!mesh)
    {
        FUZZ_CHECK(MetFailure(failAt > 0), "all faces: a readable file gave no mesh");
        FUZZ_CHECK(allocationsHeld == held, "all faces: a failed read holds %ld arrays",
                   allocationsHeld - held);
    }
    allocationFailAt = 0;
    return mesh;
}

bool SamePrefix(const void* a, const void* b, size_t bytes)
{
    return bytes == 0 || std::memcmp(a, b, bytes) == 0;
}

// Both modes cut the file into the same lines when no line is longer than a 255-character
// piece and no backslash can join two lines.
bool SameLinesInBothModes(const uint8_t* data, size_t size)
{
    if (std::memchr(data, '\\', size))
        return false;
    for (size_t i = 0, start = 0; i <= size; ++i)
        if (i == size || data[i] == '\n')
        {
            if (i - start >= 255)
                return false;
            start = i + 1;
        }
    return true;
}

void CompareAllFaces(const Mesh* plain, const Mesh* all, bool sameLines)
{
    CheckMesh(all, MeshHistory{true, false, false});
    if (!sameLines)
        return;
    FUZZ_CHECK(all->vertexCount == plain->vertexCount &&
                   SamePrefix(all->vertices, plain->vertices, plain->vertexCount * sizeof(Vec3)),
               "all faces: vertices differ");
    FUZZ_CHECK(std::memcmp(&all->boundsMin, &plain->boundsMin, sizeof(Vec3)) == 0 &&
                   std::memcmp(&all->boundsMax, &plain->boundsMax, sizeof(Vec3)) == 0,
               "all faces: bounds differ");
    FUZZ_CHECK(all->uvCount - plain->uvCount <= 1 &&
                   SamePrefix(all->uCoords, plain->uCoords, plain->uvCount * sizeof(float)) &&
                   SamePrefix(all->vCoords, plain->vCoords, plain->uvCount * sizeof(float)),
               "all faces: %u texture coordinates, %u by default", all->uvCount, plain->uvCount);
    FUZZ_CHECK(all->normalCount - plain->normalCount <= 1 &&
                   SamePrefix(all->normals, plain->normals, plain->normalCount * sizeof(Vec3)),
               "all faces: %u normals, %u by default", all->normalCount, plain->normalCount);
    FUZZ_CHECK(std::strcmp(all->materialLibrary, plain->materialLibrary) == 0,
               "all faces: material library");
}

} // namespace

// Progress changes are not shown; every step must close the display before it returns.
void PresentProgress(ProgressChange) {}

static void CheckDisplayClosed(const char* after)
{
    FUZZ_CHECK(!progressState.open, "the progress display is open after %s", after);
}

// Reading the input in two parts, on two threads, gives what reading it in one gives.
// meeting: where the two threads' loading meets, taken from the input (see twoPartMeetingPiece)
void CompareTwoParts(const std::string& path, const Mesh* plain, const Mesh* all, int meeting)
{
    uint64_t from = twoPartReadFrom;
    twoPartReadFrom = 0;
    twoPartMeetingPiece = meeting;
    for (const Mesh* one : {plain, all})
    {
        ReadOptions options = {one == all};
        Mesh* two = ReadObjMeshWith(path.c_str(), &options, nullptr);
        FUZZ_CHECK(two && MeshImage(two) == MeshImage(one), "%s: two parts read otherwise",
                   one == all ? "all faces" : "default");
        FreeMesh(two);
    }
    twoPartReadFrom = from;
    twoPartMeetingPiece = -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Plan plan = MakePlan(data, size);
    const Scratch& scratch = ScratchFiles();
    WriteFile(scratch.input, data, size);

    long held = allocationsHeld;
    allocationCount = 0;
    Mesh* all = ReadAllFaces(scratch.input, plan.failAt);
    allocationCount = 0;
    allocationFailAt = plan.failAt;
    Mesh* mesh = ReadObjMesh(scratch.input.c_str());
    CheckDisplayClosed("reading");
    if (mesh && all)
        CompareAllFaces(mesh, all, SameLinesInBothModes(data, size));
    if (mesh && all && plan.failAt == 0)
        CompareTwoParts(scratch.input, mesh, all, int(size % (TWO_PART_PIECES + 2)) - 1);
    FreeMesh(all);
    if (!mesh)
    {
        FUZZ_CHECK(MetFailure(plan.failAt > 0), "a readable file gave no mesh");
        FUZZ_CHECK(allocationsHeld == held, "a failed read holds %ld arrays",
                   allocationsHeld - held);
        return 0;
    }
    FUZZ_CHECK(scratch.input == mesh->filePath, "file path %s", mesh->filePath);
    MeshHistory history = {true, false, false};
    CheckMesh(mesh, history);
    CompareWithLiteralReader(mesh, scratch.input, data, size);
    history.freshlyRead = false;

    for (int step = 0; step < plan.operationCount; ++step)
    {
        RunOperation(mesh, plan, step, history);
        CheckDisplayClosed("an operation");
        CheckMesh(mesh, history);
    }
    WriteAndReadBack(mesh, plan.options, history);
    CheckDisplayClosed("writing and reading back");
    allocationFailAt = 0;
    FreeMesh(mesh);
    FUZZ_CHECK(allocationsHeld == held, "%ld arrays held after the run", allocationsHeld - held);
    CheckNoFilesLeft(scratch);
    std::remove(scratch.input.c_str());
    return 0;
}
