// Invariants of the mesh record and the helpers the fuzz target's checks share.
#include "fuzz_check.h"

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

void FuzzFailure(const char* file, int line, const char* condition, const char* format, ...)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n  ", file, line, condition);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::abort();
}

namespace
{

const uint32_t KNOWN_FLAGS = 0x7FE;
const uint32_t NAME_TABLE_MOST = 256;

// The array holds room for count elements of size bytes: exactly that many (one byte for
// none) when exact, at least that many otherwise.
void CheckArray(const void* array, uint32_t count, size_t size, bool exact, const char* what)
{
    if (count == 0 && !array)
        return;
    FUZZ_CHECK(array != nullptr, "%s: %u elements but no array", what, count);
    FUZZ_CHECK(__sanitizer_get_ownership(array), "%s: not a heap block", what);
    size_t held = __sanitizer_get_allocated_size(array);
    size_t needed = size_t(count) * size;
    if (exact)
        FUZZ_CHECK(held == (needed ? needed : 1), "%s: %zu bytes for %u elements", what, held,
                   count);
    else
        FUZZ_CHECK(held >= needed, "%s: %zu bytes for %u elements", what, held, count);
}

void CheckArrays(const Mesh* mesh, bool exact)
{
    // the reader sizes the facets by the face lines it counts, some of which may give no
    // facet, so its facet array may be longer than the facets stored
    CheckArray(mesh->facets, mesh->facetCount, sizeof(Facet), false, "facets");
    CheckArray(mesh->vertices, mesh->vertexCount, sizeof(Vec3), exact, "vertices");
    CheckArray(mesh->normals, mesh->normalCount, sizeof(Vec3), exact, "normals");
    CheckArray(mesh->uCoords, mesh->uvCount, sizeof(float), exact, "uCoords");
    CheckArray(mesh->vCoords, mesh->uvCount, sizeof(float), exact, "vCoords");
    CheckArray(mesh->groups, mesh->groupCount, sizeof(Group), exact, "groups");
    CheckArray(mesh->materials, mesh->materialCount, sizeof(Material), exact, "materials");
    if (exact)
    {
        FUZZ_CHECK((mesh->facets != nullptr) == (mesh->facetCount > 0), "facets");
        FUZZ_CHECK((mesh->vertices != nullptr) == (mesh->vertexCount > 0), "vertices");
        FUZZ_CHECK((mesh->normals != nullptr) == (mesh->normalCount > 0), "normals");
        FUZZ_CHECK((mesh->uCoords != nullptr) == (mesh->uvCount > 0), "uCoords");
        FUZZ_CHECK((mesh->vCoords != nullptr) == (mesh->uvCount > 0), "vCoords");
    }
}

bool HasFlag(const Mesh* mesh, uint32_t flag)
{
    return (mesh->flags & flag) != 0;
}

void CheckFlags(const Mesh* mesh, const MeshHistory& history)
{
    FUZZ_CHECK((mesh->flags & ~KNOWN_FLAGS) == 0, "flags %#x", mesh->flags);
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_VERTICES) == (mesh->vertexCount > 0), "vertex flag");
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_UVS) == (mesh->uvCount > 0), "uv flag");
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_FACETS) == (mesh->facetCount > 0), "facet flag");
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_GROUPS) && HasFlag(mesh, MESH_HAS_MATERIALS),
               "group and material flags %#x", mesh->flags);
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_MATERIAL_LIBRARY) == (mesh->materialLibrary[0] != '\0'),
               "library flag");
    // smoothing a mesh without vertices leaves no normals but the flag
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_NORMALS) == (mesh->normalCount > 0 || history.smoothed),
               "normal flag with %u normals", mesh->normalCount);
    FUZZ_CHECK(HasFlag(mesh, MESH_SMOOTHED) == history.smoothedUnsaved, "smoothed flag");
    FUZZ_CHECK(HasFlag(mesh, MESH_HAS_QUADS) == (mesh->quadCount > 0), "quad flag");
    if (history.freshlyRead)
        FUZZ_CHECK(HasFlag(mesh, MESH_DUPLICATE_NORMALS) ==
                       HasEqualNormals(mesh->normals, mesh->normalCount),
                   "duplicate flag after reading");
}

bool Terminated(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

// The names and facet lists of the group or material table.
void CheckTable(const Mesh* mesh, const Group* table, uint32_t count, bool byGroup)
{
    const char* what = byGroup ? "group" : "material";
    FUZZ_CHECK(count >= 1 && count <= NAME_TABLE_MOST, "%u %ss", count, what);
    FUZZ_CHECK(std::strcmp(table[0].name, "Default") == 0, "first %s", what);
    std::vector<uint8_t> seen(mesh->facetCount, 0);
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const Group& entry = table[i];
        FUZZ_CHECK(Terminated(entry.name, MESH_NAME_SIZE), "%s %u name", what, i);
        for (uint32_t j = 0; j < i; ++j)
            FUZZ_CHECK(std::strcmp(table[j].name, entry.name) != 0, "%s %u repeats %u", what, i, j);
        FUZZ_CHECK(entry.facetListFill == entry.facetListCount, "%s %u fill", what, i);
        total += entry.facetListCount;
        if (entry.facetListCount == 0)
            continue;
        CheckArray(entry.facetList, entry.facetListCount, sizeof(uint32_t), false, what);
        for (uint32_t k = 0; k < entry.facetListCount; ++k)
        {
            uint32_t f = entry.facetList[k];
            FUZZ_CHECK(f < mesh->facetCount, "%s %u lists facet %u", what, i, f);
            FUZZ_CHECK(k == 0 || entry.facetList[k - 1] < f, "%s %u list order", what, i);
            const Facet& facet = mesh->facets[f];
            FUZZ_CHECK((byGroup ? facet.groupIndex : facet.materialIndex) == i,
                       "facet %u is not of %s %u", f, what, i);
            ++seen[f];
        }
    }
    FUZZ_CHECK(total == mesh->facetCount, "%s lists hold %llu facets of %u", what,
               (unsigned long long)total, mesh->facetCount);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        FUZZ_CHECK(seen[f] == 1, "facet %u listed %u times by %s", f, seen[f], what);
}

bool IndexBelow(int32_t index, uint32_t count)
{
    return index >= 0 && uint32_t(index) < count;
}

void CheckFacets(const Mesh* mesh)
{
    bool uvs = mesh->uvCount > 0, normals = HasFlag(mesh, MESH_HAS_NORMALS);
    uint32_t quads = 0;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        FUZZ_CHECK(facet.cornerCount == 3 || facet.cornerCount == 4, "facet %u has %u corners", f,
                   facet.cornerCount);
        quads += facet.cornerCount == 4;
        FUZZ_CHECK(facet.groupIndex < mesh->groupCount, "facet %u group", f);
        FUZZ_CHECK(facet.materialIndex < mesh->materialCount, "facet %u material", f);
        for (uint32_t c = 0; c < facet.cornerCount; ++c)
        {
            FUZZ_CHECK(IndexBelow(facet.vertexIndex[c], mesh->vertexCount),
                       "facet %u corner %u vertex %d", f, c, facet.vertexIndex[c]);
            FUZZ_CHECK(!uvs || IndexBelow(facet.uvIndex[c], mesh->uvCount),
                       "facet %u corner %u uv %d", f, c, facet.uvIndex[c]);
            FUZZ_CHECK(!normals || IndexBelow(facet.normalIndex[c], mesh->normalCount),
                       "facet %u corner %u normal %d", f, c, facet.normalIndex[c]);
        }
    }
    FUZZ_CHECK(quads == mesh->quadCount, "%u quads counted as %u", quads, mesh->quadCount);
}

bool SameBits(const Vec3& a, const Vec3& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckScaleAndBounds(const Mesh* mesh, bool freshlyRead)
{
    const float* factor = &mesh->scale.x;
    for (int axis = 0; axis < 3; ++axis)
        FUZZ_CHECK(freshlyRead ? factor[axis] == 1.0f
                               : factor[axis] >= 0.05f && factor[axis] <= 20.0f,
                   "scale %g on axis %d", factor[axis], axis);
    if (!freshlyRead)
        return;
    Vec3 low, high;
    ReaderBounds(mesh, &low, &high);
    FUZZ_CHECK(SameBits(low, mesh->boundsMin) && SameBits(high, mesh->boundsMax),
               "bounds after reading");
}

// Normals with -0 read as 0, NaNs left out, in an order where equal normals stand together.
struct NormalKey
{
    float x, y, z;
    uint32_t index;
};

bool KeyBefore(const NormalKey& a, const NormalKey& b)
{
    if (a.x != b.x)
        return a.x < b.x;
    if (a.y != b.y)
        return a.y < b.y;
    if (a.z != b.z)
        return a.z < b.z;
    return a.index < b.index;
}

std::vector<NormalKey> SortedNormalKeys(const Vec3* normals, uint32_t count)
{
    std::vector<NormalKey> keys;
    for (uint32_t i = 0; i < count; ++i)
    {
        const Vec3& n = normals[i];
        if (std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z))
            continue;
        keys.push_back({n.x + 0.0f, n.y + 0.0f, n.z + 0.0f, i});
    }
    std::sort(keys.begin(), keys.end(), KeyBefore);
    return keys;
}

void Append(std::string& image, const void* data, size_t size)
{
    image.append(static_cast<const char*>(data), size);
}

void AppendTable(std::string& image, const Group* table, uint32_t count, bool lists)
{
    for (uint32_t i = 0; table && i < count; ++i)
    {
        Append(image, table[i].name, std::strlen(table[i].name) + 1);
        if (!lists)
            continue;
        Append(image, &table[i].facetListCount, sizeof(uint32_t) * 2);
        if (table[i].facetListCount > 0)
            Append(image, table[i].facetList, sizeof(uint32_t) * table[i].facetListCount);
    }
}

void AppendFacets(std::string& image, const Mesh* mesh)
{
    Append(image, &mesh->facetCount, sizeof(uint32_t) * 2); // facetCount, quadCount
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        uint32_t corners = std::min<uint32_t>(facet.cornerCount, FACET_MAX_CORNERS);
        Append(image, &facet, offsetof(Facet, vertexIndex));
        Append(image, facet.vertexIndex, sizeof(int32_t) * corners);
        Append(image, facet.uvIndex, sizeof(int32_t) * corners);
        Append(image, facet.normalIndex, sizeof(int32_t) * corners);
        Append(image, &facet.faceNormal, sizeof(Vec3));
    }
}

} // namespace

void CheckMesh(const Mesh* mesh, const MeshHistory& history)
{
    FUZZ_CHECK(mesh != nullptr, "no mesh");
    FUZZ_CHECK(Terminated(mesh->filePath, MESH_PATH_SIZE), "file path");
    FUZZ_CHECK(Terminated(mesh->materialLibrary, MESH_PATH_SIZE), "material library");
    CheckArrays(mesh, history.freshlyRead);
    CheckFlags(mesh, history);
    CheckScaleAndBounds(mesh, history.freshlyRead);
    CheckFacets(mesh);
    CheckTable(mesh, mesh->groups, mesh->groupCount, true);
    CheckTable(mesh, mesh->materials, mesh->materialCount, false);
}

std::string MeshImage(const Mesh* mesh, uint32_t leftOut)
{
    std::string image;
    Append(image, mesh->filePath, std::strlen(mesh->filePath) + 1);
    Append(image, mesh->materialLibrary, std::strlen(mesh->materialLibrary) + 1);
    const uint32_t counts[] = {mesh->vertexCount, mesh->uvCount, mesh->groupCount,
                               mesh->materialCount};
    Append(image, counts, sizeof counts);
    if (!(leftOut & IMAGE_NO_FLAGS))
        Append(image, &mesh->flags, sizeof mesh->flags);
    if (!(leftOut & IMAGE_NO_SCALE)) // factors and bounds stand together
        Append(image, &mesh->scale, offsetof(Mesh, facets) - offsetof(Mesh, scale));
    if (mesh->vertexCount)
        Append(image, mesh->vertices, sizeof(Vec3) * mesh->vertexCount);
    if (mesh->uvCount)
    {
        Append(image, mesh->uCoords, sizeof(float) * mesh->uvCount);
        Append(image, mesh->vCoords, sizeof(float) * mesh->uvCount);
    }
    if (!(leftOut & IMAGE_NO_NORMALS))
    {
        Append(image, &mesh->normalCount, sizeof mesh->normalCount);
        if (mesh->normalCount)
            Append(image, mesh->normals, sizeof(Vec3) * mesh->normalCount);
    }
    if (!(leftOut & IMAGE_NO_FACETS))
        AppendFacets(image, mesh);
    bool lists = !(leftOut & IMAGE_NO_LISTS);
    AppendTable(image, mesh->groups, mesh->groupCount, lists);
    AppendTable(image, mesh->materials, mesh->materialCount, lists);
    return image;
}

void ReaderBounds(const Mesh* mesh, Vec3* low, Vec3* high)
{
    float lo[3] = {3000.0f, 3000.0f, 3000.0f}, hi[3] = {-3000.0f, -3000.0f, -3000.0f};
    for (uint32_t i = 0; i < mesh->vertexCount; ++i)
    {
        const float value[3] = {mesh->vertices[i].x, mesh->vertices[i].y, mesh->vertices[i].z};
        for (int a = 0; a < 3; ++a)
        {
            if (value[a] < lo[a] || std::isnan(value[a]) || std::isnan(lo[a]))
                lo[a] = value[a];
            if (value[a] > hi[a])
                hi[a] = value[a];
        }
    }
    *low = {lo[0], lo[1], lo[2]};
    *high = {hi[0], hi[1], hi[2]};
}

void RescaledBounds(const Mesh* mesh, Vec3* low, Vec3* high)
{
    float lo[3] = {3000.0f, 3000.0f, 3000.0f}, hi[3] = {-3000.0f, -3000.0f, -3000.0f};
    for (uint32_t i = 0; i < mesh->vertexCount; ++i)
    {
        const float value[3] = {mesh->vertices[i].x, mesh->vertices[i].y, mesh->vertices[i].z};
        for (int a = 0; a < 3; ++a)
        {
            lo[a] = lo[a] > value[a] ? value[a] : lo[a];
            hi[a] = hi[a] < value[a] ? value[a] : hi[a];
        }
    }
    *low = {lo[0], lo[1], lo[2]};
    *high = {hi[0], hi[1], hi[2]};
}

bool SameNormal(const Vec3& a, const Vec3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool HasEqualNormals(const Vec3* normals, uint32_t count)
{
    std::vector<NormalKey> keys = SortedNormalKeys(normals, count);
    for (size_t k = 1; k < keys.size(); ++k)
        if (SameNormal(normals[keys[k - 1].index], normals[keys[k].index]))
            return true;
    return false;
}

void FirstEqualNormals(const Vec3* normals, uint32_t count, uint32_t* first)
{
    for (uint32_t i = 0; i < count; ++i)
        first[i] = i;
    std::vector<NormalKey> keys = SortedNormalKeys(normals, count);
    // within a run of equal normals the lowest index comes first
    for (size_t k = 1; k < keys.size(); ++k)
        if (SameNormal(normals[keys[k - 1].index], normals[keys[k].index]))
            first[keys[k].index] = first[keys[k - 1].index];
}

void CheckReadBack(double written, float read, const char* what, uint32_t index)
{
    if (std::isnan(written))
    {
        FUZZ_CHECK(std::isnan(read), "%s %u: nan read as %g", what, index, double(read));
        return;
    }
    if (std::isinf(written))
    {
        FUZZ_CHECK(read == written, "%s %u: %g read as %g", what, index, written, double(read));
        return;
    }
    if (std::isinf(read))
    {
        // only a value at or past the largest float may come back as infinity
        FUZZ_CHECK(std::fabs(written) >= double(FLT_MAX) &&
                       std::signbit(read) == std::signbit(written),
                   "%s %u: %.17g read as %g", what, index, written, double(read));
        return;
    }
    // eight decimals, then the nearest float
    double tolerance = 0.5000001e-8 + std::fabs(written) * 0x1p-24 + 0x1p-149;
    FUZZ_CHECK(std::fabs(double(read) - written) <= tolerance, "%s %u: %.17g read as %.9g", what,
               index, written, double(read));
}
