// The invariants of the mesh record and its comparison image, shared by the unit tests and
// the fuzz target.
#include "mesh_check.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

// Where the sanitizer's allocator interface is at hand (the fuzz target's clang build), the
// heap tells how large each block is: a read record's arrays are then checked to be exactly as
// large as their counts.
#if defined(__has_include)
#if __has_include(<sanitizer/allocator_interface.h>)
#if defined(__SANITIZE_ADDRESS__)
#define KORVELLA_HEAP_SIZES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVELLA_HEAP_SIZES 1
#endif
#endif
#endif
#endif
#ifdef KORVELLA_HEAP_SIZES
#include <sanitizer/allocator_interface.h>
#endif

namespace
{

const uint32_t KNOWN_FLAGS = 0x7FE;
const uint32_t NAME_TABLE_MOST = 256;

// The broken invariants found so far, one line each.
struct Findings
{
    std::string text;

#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Note(const char* format, ...)
    {
        char line[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        text += line;
        text += '\n';
    }
};

#define EXPECT_OR_NOTE(findings, condition, ...)                                                   \
    do                                                                                             \
    {                                                                                              \
        if (!(condition))                                                                          \
            (findings).Note(__VA_ARGS__);                                                          \
    } while (0)

bool HasFlag(const Mesh* mesh, uint32_t flag)
{
    return (mesh->flags & flag) != 0;
}

bool Terminated(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

// The array holds room for count elements of size bytes: exactly that many (one byte for
// none) when exact, at least that many otherwise. Only where the heap can tell.
void CheckHeapBlock(Findings& found, const void* array, uint32_t count, size_t size, bool exact,
                    const char* what)
{
#ifdef KORVELLA_HEAP_SIZES
    if (!array)
        return;
    if (!__sanitizer_get_ownership(array))
    {
        found.Note("%s: not a heap block", what);
        return;
    }
    size_t held = __sanitizer_get_allocated_size(array);
    size_t needed = size_t(count) * size;
    if (exact ? held != (needed ? needed : 1) : held < needed)
        found.Note("%s: %zu bytes for %u elements", what, held, count);
#endif
}

void CheckPresent(Findings& found, const void* array, uint32_t count, const char* what)
{
    EXPECT_OR_NOTE(found, (array != nullptr) == (count > 0), "%s: %u elements, array %s", what,
                   count, array ? "present" : "missing");
}

void CheckArrays(Findings& found, const Mesh* mesh, const MeshHistory* history)
{
    CheckPresent(found, mesh->facets, mesh->facetCount, "facets");
    CheckPresent(found, mesh->vertices, mesh->vertexCount, "vertices");
    CheckPresent(found, mesh->uCoords, mesh->uvCount, "uCoords");
    CheckPresent(found, mesh->vCoords, mesh->uvCount, "vCoords");
    EXPECT_OR_NOTE(found, mesh->normalCount == 0 || mesh->normals, "%u normals but no array",
                   mesh->normalCount);
    if (!history)
        return;
    bool exact = history->freshlyRead;
    if (exact)
        CheckPresent(found, mesh->normals, mesh->normalCount, "normals");
    // the reader sizes the facets by the face lines it counts, some of which may give no
    // facet, so its facet array may be longer than the facets stored
    CheckHeapBlock(found, mesh->facets, mesh->facetCount, sizeof(Facet), false, "facets");
    CheckHeapBlock(found, mesh->vertices, mesh->vertexCount, sizeof(Vec3), exact, "vertices");
    CheckHeapBlock(found, mesh->normals, mesh->normalCount, sizeof(Vec3), exact, "normals");
    CheckHeapBlock(found, mesh->uCoords, mesh->uvCount, sizeof(float), exact, "uCoords");
    CheckHeapBlock(found, mesh->vCoords, mesh->uvCount, sizeof(float), exact, "vCoords");
    CheckHeapBlock(found, mesh->groups, mesh->groupCount, sizeof(Group), exact, "groups");
    CheckHeapBlock(found, mesh->materials, mesh->materialCount, sizeof(Material), exact,
                   "materials");
}

// The flags every record keeps in step with its contents.
void CheckFlags(Findings& found, const Mesh* mesh)
{
    EXPECT_OR_NOTE(found, (mesh->flags & ~KNOWN_FLAGS) == 0, "flags %#x", mesh->flags);
    EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_HAS_QUADS) == (mesh->quadCount > 0),
                   "quad flag with %u quads", mesh->quadCount);
}

// The flags of a record whose history is known: each one says exactly what it stands for.
void CheckHistoryFlags(Findings& found, const Mesh* mesh, const MeshHistory& history)
{
    EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_HAS_VERTICES) == (mesh->vertexCount > 0),
                   "vertex flag");
    EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_HAS_UVS) == (mesh->uvCount > 0), "uv flag");
    EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_HAS_FACETS) == (mesh->facetCount > 0), "facet flag");
    EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_HAS_GROUPS) && HasFlag(mesh, MESH_HAS_MATERIALS),
                   "group and material flags %#x", mesh->flags);
    EXPECT_OR_NOTE(found,
                   HasFlag(mesh, MESH_HAS_MATERIAL_LIBRARY) == (mesh->materialLibrary[0] != '\0'),
                   "library flag");
    // smoothing a mesh without vertices leaves no normals but the flag
    EXPECT_OR_NOTE(found,
                   HasFlag(mesh, MESH_HAS_NORMALS) == (mesh->normalCount > 0 || history.smoothed),
                   "normal flag with %u normals", mesh->normalCount);
    EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_SMOOTHED) == history.smoothedUnsaved, "smoothed flag");
    if (history.freshlyRead)
        EXPECT_OR_NOTE(found,
                       HasFlag(mesh, MESH_DUPLICATE_NORMALS) ==
                           HasEqualNormals(mesh->normals, mesh->normalCount),
                       "duplicate flag after reading");
}

bool IndexBelow(int32_t index, uint32_t count)
{
    return index >= 0 && uint32_t(index) < count;
}

void CheckCorners(Findings& found, const Mesh* mesh, uint32_t f)
{
    const Facet& facet = mesh->facets[f];
    bool uvs = mesh->uvCount > 0, normals = HasFlag(mesh, MESH_HAS_NORMALS);
    for (uint32_t c = 0; c < facet.cornerCount; ++c)
    {
        EXPECT_OR_NOTE(found, IndexBelow(facet.vertexIndex[c], mesh->vertexCount),
                       "facet %u corner %u vertex %d", f, c, int(facet.vertexIndex[c]));
        EXPECT_OR_NOTE(found, !uvs || IndexBelow(facet.uvIndex[c], mesh->uvCount),
                       "facet %u corner %u uv %d", f, c, int(facet.uvIndex[c]));
        EXPECT_OR_NOTE(found, !normals || IndexBelow(facet.normalIndex[c], mesh->normalCount),
                       "facet %u corner %u normal %d", f, c, int(facet.normalIndex[c]));
    }
}

void CheckFacets(Findings& found, const Mesh* mesh)
{
    uint32_t quads = 0;
    for (uint32_t f = 0; mesh->facets && f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        EXPECT_OR_NOTE(found, facet.groupIndex < mesh->groupCount, "facet %u group %u", f,
                       facet.groupIndex);
        EXPECT_OR_NOTE(found, facet.materialIndex < mesh->materialCount, "facet %u material %u", f,
                       facet.materialIndex);
        if (facet.cornerCount != 3 && facet.cornerCount != 4)
        {
            found.Note("facet %u has %u corners", f, facet.cornerCount);
            continue;
        }
        quads += facet.cornerCount == 4;
        CheckCorners(found, mesh, f);
    }
    EXPECT_OR_NOTE(found, quads == mesh->quadCount, "%u quads counted as %u", quads,
                   mesh->quadCount);
}

// Names of the table: terminated, "Default" first, none twice.
void CheckNames(Findings& found, const Group* table, uint32_t count, const char* what)
{
    EXPECT_OR_NOTE(found, std::strcmp(table[0].name, "Default") == 0, "first %s", what);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!Terminated(table[i].name, MESH_NAME_SIZE))
        {
            found.Note("%s %u name not terminated", what, i);
            continue;
        }
        for (uint32_t j = 0; j < i; ++j)
            EXPECT_OR_NOTE(found, std::strcmp(table[j].name, table[i].name) != 0,
                           "%s %u repeats %u", what, i, j);
    }
}

// The facet list of entry i: ascending facets of that entry. Counts each facet in seen.
void CheckList(Findings& found, const Mesh* mesh, const Group& entry, uint32_t i, bool byGroup,
               bool heap, std::vector<uint32_t>& seen)
{
    const char* what = byGroup ? "group" : "material";
    EXPECT_OR_NOTE(found, entry.facetListFill == entry.facetListCount, "%s %u fill", what, i);
    if (entry.facetListCount == 0)
        return;
    if (!entry.facetList)
    {
        found.Note("%s %u: %u facets but no list", what, i, entry.facetListCount);
        return;
    }
    if (heap)
        CheckHeapBlock(found, entry.facetList, entry.facetListCount, sizeof(uint32_t), false, what);
    for (uint32_t k = 0; k < entry.facetListCount; ++k)
    {
        uint32_t f = entry.facetList[k];
        if (f >= mesh->facetCount || !mesh->facets)
        {
            found.Note("%s %u lists facet %u", what, i, f);
            continue;
        }
        EXPECT_OR_NOTE(found, k == 0 || entry.facetList[k - 1] < f, "%s %u list order", what, i);
        const Facet& facet = mesh->facets[f];
        EXPECT_OR_NOTE(found, (byGroup ? facet.groupIndex : facet.materialIndex) == i,
                       "facet %u is not of %s %u", f, what, i);
        ++seen[f];
    }
}

// The group or material table: names, and lists that hold every facet once.
void CheckTable(Findings& found, const Mesh* mesh, const Group* table, uint32_t count, bool byGroup,
                const MeshHistory* history)
{
    const char* what = byGroup ? "group" : "material";
    if (!table || count == 0 || (history && count > NAME_TABLE_MOST))
    {
        found.Note("%u %ss, table %s", count, what, table ? "present" : "missing");
        return;
    }
    CheckNames(found, table, count, what);
    std::vector<uint32_t> seen(mesh->facetCount, 0);
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        total += table[i].facetListCount;
        CheckList(found, mesh, table[i], i, byGroup, history != nullptr, seen);
    }
    EXPECT_OR_NOTE(found, total == mesh->facetCount, "%s lists hold %llu facets of %u", what,
                   (unsigned long long)total, mesh->facetCount);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        EXPECT_OR_NOTE(found, seen[f] == 1, "facet %u listed %u times by %s", f, seen[f], what);
}

bool SameBits(const Vec3& a, const Vec3& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckScaleAndBounds(Findings& found, const Mesh* mesh, bool freshlyRead)
{
    const float* factor = &mesh->scale.x;
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_OR_NOTE(found,
                       freshlyRead ? factor[axis] == 1.0f
                                   : factor[axis] >= 0.05f && factor[axis] <= 20.0f,
                       "scale %g on axis %d", double(factor[axis]), axis);
    if (!freshlyRead)
        return;
    Vec3 low, high;
    ReaderBounds(mesh, &low, &high);
    EXPECT_OR_NOTE(found, SameBits(low, mesh->boundsMin) && SameBits(high, mesh->boundsMax),
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
    if (size)
        image.append(static_cast<const char*>(data), size);
}

void AppendTable(std::string& image, const Group* table, uint32_t count, bool lists)
{
    for (uint32_t i = 0; table && i < count; ++i)
    {
        Append(image, table[i].name, strnlen(table[i].name, MESH_NAME_SIZE) + 1);
        if (!lists)
            continue;
        Append(image, &table[i].facetListCount, sizeof(uint32_t));
        Append(image, &table[i].facetListFill, sizeof(uint32_t));
        if (table[i].facetListCount > 0 && table[i].facetList)
            Append(image, table[i].facetList, sizeof(uint32_t) * table[i].facetListCount);
    }
}

void AppendFacets(std::string& image, const Mesh* mesh)
{
    Append(image, &mesh->facetCount, sizeof mesh->facetCount);
    Append(image, &mesh->quadCount, sizeof mesh->quadCount);
    for (uint32_t f = 0; mesh->facets && f < mesh->facetCount; ++f)
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

std::string MeshInvariantFailures(const Mesh* mesh, const MeshHistory* history)
{
    if (!mesh)
        return "no mesh\n";
    Findings found;
    EXPECT_OR_NOTE(found, Terminated(mesh->filePath, MESH_PATH_SIZE), "file path");
    EXPECT_OR_NOTE(found, Terminated(mesh->materialLibrary, MESH_PATH_SIZE), "material library");
    CheckArrays(found, mesh, history);
    CheckFlags(found, mesh);
    if (history)
    {
        CheckHistoryFlags(found, mesh, *history);
        CheckScaleAndBounds(found, mesh, history->freshlyRead);
    }
    else
    {
        EXPECT_OR_NOTE(found, HasFlag(mesh, MESH_HAS_NORMALS) == (mesh->normalCount > 0),
                       "normal flag with %u normals", mesh->normalCount);
    }
    CheckFacets(found, mesh);
    CheckTable(found, mesh, mesh->groups, mesh->groupCount, true, history);
    CheckTable(found, mesh, mesh->materials, mesh->materialCount, false, history);
    return found.text;
}

std::string MeshImage(const Mesh* mesh, uint32_t leftOut)
{
    std::string image;
    Append(image, mesh->filePath, strnlen(mesh->filePath, MESH_PATH_SIZE) + 1);
    Append(image, mesh->materialLibrary, strnlen(mesh->materialLibrary, MESH_PATH_SIZE) + 1);
    const uint32_t counts[] = {mesh->vertexCount, mesh->uvCount, mesh->groupCount,
                               mesh->materialCount};
    Append(image, counts, sizeof counts);
    if (!(leftOut & IMAGE_NO_FLAGS))
        Append(image, &mesh->flags, sizeof mesh->flags);
    if (!(leftOut & IMAGE_NO_SCALE)) // factors and bounds stand together
        Append(image, &mesh->scale, offsetof(Mesh, facets) - offsetof(Mesh, scale));
    if (mesh->vertices)
        Append(image, mesh->vertices, sizeof(Vec3) * mesh->vertexCount);
    if (mesh->uCoords && mesh->vCoords)
    {
        Append(image, mesh->uCoords, sizeof(float) * mesh->uvCount);
        Append(image, mesh->vCoords, sizeof(float) * mesh->uvCount);
    }
    if (!(leftOut & IMAGE_NO_NORMALS))
    {
        Append(image, &mesh->normalCount, sizeof mesh->normalCount);
        if (mesh->normals)
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

static void UnifyNans(Vec3* v)
{
    for (float* c : {&v->x, &v->y, &v->z})
        if (std::isnan(*c))
            *c = std::numeric_limits<float>::quiet_NaN();
}

void UnifyComputedNans(Mesh* mesh)
{
    for (uint32_t i = 0; i < mesh->normalCount; ++i)
        UnifyNans(&mesh->normals[i]);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        UnifyNans(&mesh->facets[f].faceNormal);
}
