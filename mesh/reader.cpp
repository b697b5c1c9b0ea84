// ReadObjMesh: the OBJ reader. Counts everything in one pass, allocates every array at its
// exact size, fills them in a second pass, then builds the facet lists and looks for
// duplicate normals.
//
// The file is read in large blocks and cut into the pieces a 256-byte line buffer gives: at
// most 255 characters, up to and including a line feed. A carriage return right before a
// line feed is dropped on every platform. A piece is handled as a C string, so a NUL byte
// ends its text (the piece still counts as one line).
//
// Face indices are read as 64-bit integers on every build (a 32-bit long would saturate
// instead), so a face whose index does not fit 32 bits yields no facet everywhere alike.
#include "mesh.h"

#include "ui/ui.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{

const uint32_t NAME_TABLE_SIZE = 256;
const size_t PIECE_SIZE = 255;     // characters a 256-byte line buffer takes at a time
const size_t BLOCK_SIZE = 1 << 20; // bytes read from the file at a time

// Group or material names met in the file; "Default" is entry 0.
struct NameTable
{
    char names[NAME_TABLE_SIZE][MESH_NAME_SIZE];
    uint32_t count;
};

NameTable groupTable;
NameTable materialTable;

// Registers a name (already cut to 63 characters); returns the table's count afterwards.
uint32_t RegisterName(NameTable& table, const char* name)
{
    for (uint32_t i = 0; i < table.count; ++i)
        if (std::strcmp(table.names[i], name) == 0)
            return table.count;
    if (table.count < NAME_TABLE_SIZE)
        std::strcpy(table.names[table.count++], name);
    return table.count;
}

// The index of a name; 0 ("Default") when it is not in the table.
uint32_t FindName(const NameTable& table, const char* name)
{
    for (uint32_t i = 0; i < table.count; ++i)
        if (std::strcmp(table.names[i], name) == 0)
            return i;
    return 0;
}

void CopyCut(char* to, size_t size, const char* from, size_t length)
{
    if (length > size - 1)
        length = size - 1;
    std::memcpy(to, from, length);
    to[length] = '\0';
}

// The file, read in blocks and handed out piece by piece.
struct LineSource
{
    FILE* file;
    size_t fill;
    size_t pos;
    bool atEnd;
    bool failed;
    char piece[PIECE_SIZE + 1];
};

char streamBlock[BLOCK_SIZE + 1];

void Refill(LineSource& source)
{
    size_t rest = source.fill - source.pos;
    std::memmove(streamBlock, streamBlock + source.pos, rest);
    source.fill = rest;
    source.pos = 0;
    while (source.fill < BLOCK_SIZE && !source.atEnd)
    {
        size_t got =
            std::fread(streamBlock + source.fill, 1, BLOCK_SIZE - source.fill, source.file);
        source.fill += got;
        if (got == 0)
        {
            source.atEnd = true;
            source.failed = std::ferror(source.file) != 0;
        }
    }
}

// The first line feed among length characters, or null. Searched here rather than with
// memchr: the Windows C runtime's memchr (under Wine at least) tests one byte at a time, which
// cost the import about a sixth of its time there; sixteen bytes a step serve both builds.
inline char* FindLineFeed(char* start, size_t length)
{
#ifdef __SSE2__
    const __m128i feeds = _mm_set1_epi8('\n');
    for (; length >= 16; start += 16, length -= 16)
    {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start));
        if (int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feeds)))
            return start + __builtin_ctz(unsigned(hits));
    }
    for (; length > 0; ++start, --length)
        if (*start == '\n')
            return start;
    return nullptr;
#else
    return static_cast<char*>(std::memchr(start, '\n', length));
#endif
}

// The next piece as a NUL-terminated text, or null at the end of the file.
[[gnu::always_inline]] inline const char* NextPiece(LineSource& source)
{
    if (source.fill - source.pos <= PIECE_SIZE && !source.atEnd)
        Refill(source);
    size_t available = source.fill - source.pos;
    if (available == 0)
        return nullptr;
    char* start = streamBlock + source.pos;
    size_t window = available < PIECE_SIZE + 1 ? available : PIECE_SIZE + 1;
    char* feed = FindLineFeed(start, window);
    // a line feed ends the piece when it is within 255 characters once a CR before it is gone
    if (feed && (size_t(feed - start) < PIECE_SIZE || feed[-1] == '\r'))
    {
        *feed = '\0';
        if (feed > start && feed[-1] == '\r')
            feed[-1] = '\0';
        source.pos += size_t(feed - start) + 1;
        return start;
    }
    size_t take = available < PIECE_SIZE ? available : PIECE_SIZE;
    std::memcpy(source.piece, start, take);
    source.piece[take] = '\0';
    source.pos += take;
    return source.piece;
}

bool StartSource(LineSource& source, FILE* file)
{
    source.file = file;
    source.fill = source.pos = 0;
    source.atEnd = source.failed = false;
    return std::fseek(file, 0, SEEK_SET) == 0;
}

// What the counting pass finds.
struct Tally
{
    uint64_t lines;
    uint64_t vertices;
    uint64_t uvs;
    uint64_t normals;
    uint64_t faces;
    char materialLibrary[MESH_PATH_SIZE];
    bool hasMaterialLibrary;
};

// Whether a line starting with "v" can hold a vertex: a number cannot start with "t", and one
// starting with "n" is "nan"; lines that cannot are "vt" and "vn" lines, tried without it.
inline bool MayBeVertex(const char* line)
{
    return line[1] != 't' && (line[1] != 'n' || line[2] == 'a' || line[2] == 'A');
}

void CountLine(const char* line, Tally& tally)
{
    const char* token;
    size_t length;
    char name[MESH_NAME_SIZE];
    int64_t value;
    switch (line[0])
    {
    case 'm':
        if (ScanObjToken(line, "mtllib", &token, &length))
        {
            CopyCut(tally.materialLibrary, MESH_PATH_SIZE, token, length);
            tally.hasMaterialLibrary = true;
        }
        break;
    case 'v':
        if (MayBeVertex(line) && ScanObjFloats(line, "v", 3, nullptr) == 3)
            ++tally.vertices;
        else if (line[1] == 't' && ScanObjFloats(line, "vt", 2, nullptr) == 2)
            ++tally.uvs;
        else if (line[1] == 'n' && ScanObjFloats(line, "vn", 3, nullptr) == 3)
            ++tally.normals;
        break;
    case 'g':
        if (ScanObjToken(line, "g", &token, &length))
        {
            GetObjGroupName(line, name);
            RegisterName(groupTable, name);
        }
        break;
    case 'u':
        if (ScanObjToken(line, "usemtl", &token, &length))
        {
            CopyCut(name, MESH_NAME_SIZE, token, length);
            RegisterName(materialTable, name);
        }
        break;
    case 'f':
        if (ScanObjLong(line, "f", &value))
            ++tally.faces;
        break;
    }
}

// Counting pass: every piece counts as a line; false when the file cannot be read.
bool CountFile(FILE* file, Tally& tally)
{
    LineSource source;
    if (!StartSource(source, file))
        return false;
    while (const char* line = NextPiece(source))
    {
        ++tally.lines;
        CountLine(line, tally);
    }
    return !source.failed;
}

// Allocates a name table's entries with their names; null when the heap refuses.
Group* MakeEntries(const NameTable& table)
{
    Group* entries = AllocateArrayOf<Group>(table.count);
    if (entries)
        for (uint32_t i = 0; i < table.count; ++i)
            std::strcpy(entries[i].name, table.names[i]);
    return entries;
}

// Sizes and allocates every array from the tally; false when one cannot be had. Indices are
// signed 32-bit, so a kind with more than 2^31 - 1 elements is refused as well.
bool SizeArrays(Mesh* mesh, const Tally& tally)
{
    const uint64_t most = INT32_MAX;
    if (tally.faces > most || tally.uvs > most || tally.vertices > most || tally.normals > most)
        return false;
    if (tally.faces > 0)
    {
        mesh->facetCount = uint32_t(tally.faces);
        mesh->flags |= MESH_HAS_FACETS;
        if (!(mesh->facets = AllocateLargeArrayOf<Facet>(mesh->facetCount)))
            return false;
    }
    if (tally.uvs > 0)
    {
        mesh->uvCount = uint32_t(tally.uvs);
        mesh->flags |= MESH_HAS_UVS;
        if (!(mesh->uCoords = AllocateLargeArrayOf<float>(mesh->uvCount)) ||
            !(mesh->vCoords = AllocateLargeArrayOf<float>(mesh->uvCount)))
            return false;
    }
    if (tally.vertices > 0)
    {
        mesh->vertexCount = uint32_t(tally.vertices);
        mesh->flags |= MESH_HAS_VERTICES;
        if (!(mesh->vertices = AllocateLargeArrayOf<Vec3>(mesh->vertexCount)))
            return false;
    }
    mesh->flags &= ~uint32_t(MESH_HAS_NORMALS);
    if (tally.normals > 0)
    {
        mesh->normalCount = uint32_t(tally.normals);
        mesh->flags |= MESH_HAS_NORMALS;
        if (!(mesh->normals = AllocateLargeArrayOf<Vec3>(mesh->normalCount)))
            return false;
    }
    mesh->groupCount = groupTable.count;
    mesh->flags |= MESH_HAS_GROUPS;
    if (!(mesh->groups = MakeEntries(groupTable)))
        return false;
    mesh->materialCount = materialTable.count;
    mesh->flags |= MESH_HAS_MATERIALS;
    return (mesh->materials = MakeEntries(materialTable)) != nullptr;
}

// Loading-pass state: the next free slot of each array and the group and material in force.
struct Loader
{
    Mesh* mesh;
    uint32_t vertexSlot;
    uint32_t uvSlot;
    uint32_t normalSlot;
    uint32_t facetSlot;
    uint32_t facetCapacity;
    uint32_t group;
    uint32_t material;
};

void UpdateBounds(Mesh* mesh, const Vec3& v)
{
    float* low = &mesh->boundsMin.x;
    float* high = &mesh->boundsMax.x;
    const float* value = &v.x;
    for (int axis = 0; axis < 3; ++axis)
    {
        // a value that cannot be compared (NaN) becomes the minimum too
        if (!(value[axis] >= low[axis]))
            low[axis] = value[axis];
        if (value[axis] > high[axis])
            high[axis] = value[axis];
    }
}

// A file index (1-based, or negative counting back from the latest element read) as a
// 0-based index; false when it does not fit 32 bits or, when checked, lies outside the count.
bool ResolveIndex(int64_t value, uint32_t readSoFar, uint32_t count, bool check, int32_t* index)
{
    if (value > 0 && value <= int64_t(count)) // the common case, checked or not
    {
        *index = int32_t(value - 1);
        return true;
    }
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    int64_t oneBased = value < 0 ? int64_t(readSoFar) + 1 + value : value;
    if (check && (oneBased < 1 || oneBased > int64_t(count)))
        return false;
    *index = int32_t(oneBased - 1);
    return true;
}

void LoadFace(Loader& loader, const char* line)
{
    Mesh* mesh = loader.mesh;
    bool withNormals = (mesh->flags & MESH_HAS_NORMALS) != 0;
    int perCorner = withNormals ? 3 : 2;
    int64_t values[12];
    int got = ScanObjFace(line, perCorner, values);
    uint32_t corners = got >= 4 * perCorner ? 4 : got >= 3 * perCorner ? 3 : 0;
    if (corners == 0 || loader.facetSlot >= loader.facetCapacity)
        return;
    Facet& facet = mesh->facets[loader.facetSlot];
    for (uint32_t c = 0; c < corners; ++c)
    {
        const int64_t* v = values + c * perCorner;
        if (!ResolveIndex(v[0], loader.vertexSlot, mesh->vertexCount, true,
                          &facet.vertexIndex[c]) ||
            !ResolveIndex(v[1], loader.uvSlot, mesh->uvCount, mesh->uvCount > 0,
                          &facet.uvIndex[c]) ||
            (withNormals && !ResolveIndex(v[2], loader.normalSlot, mesh->normalCount, true,
                                          &facet.normalIndex[c])))
        {
            std::memset(&facet, 0, sizeof facet);
            return;
        }
    }
    facet.materialIndex = loader.material;
    facet.groupIndex = loader.group;
    facet.cornerCount = corners;
    ++mesh->groups[loader.group].facetListCount;
    ++mesh->materials[loader.material].facetListCount;
    if (corners == 4)
    {
        ++mesh->quadCount;
        mesh->flags |= MESH_HAS_QUADS;
    }
    ++loader.facetSlot;
}

bool LoadVector(const char* line, const char* keyword, int count, uint32_t& slot, uint32_t capacity,
                float* store)
{
    float values[3];
    if (ScanObjFloats(line, keyword, count, values) != count)
        return false;
    if (slot < capacity)
        std::memcpy(store + size_t(slot) * count, values, sizeof(float) * count);
    ++slot;
    return true;
}

// A "v", "vt" or "vn" line, tried in that order (each only where its keyword can match).
void LoadVectorLine(Loader& loader, const char* line)
{
    Mesh* mesh = loader.mesh;
    uint32_t flags = mesh->flags;
    if ((flags & MESH_HAS_VERTICES) && MayBeVertex(line) &&
        LoadVector(line, "v", 3, loader.vertexSlot, mesh->vertexCount, &mesh->vertices->x))
    {
        if (loader.vertexSlot <= mesh->vertexCount)
            UpdateBounds(mesh, mesh->vertices[loader.vertexSlot - 1]);
        return;
    }
    float uv[2];
    if ((flags & MESH_HAS_UVS) && line[1] == 't' && ScanObjFloats(line, "vt", 2, uv) == 2)
    {
        if (loader.uvSlot < mesh->uvCount)
        {
            mesh->uCoords[loader.uvSlot] = uv[0];
            mesh->vCoords[loader.uvSlot] = uv[1];
        }
        ++loader.uvSlot;
        return;
    }
    if ((flags & MESH_HAS_NORMALS) && line[1] == 'n')
        LoadVector(line, "vn", 3, loader.normalSlot, mesh->normalCount, &mesh->normals->x);
}

// Every pattern starts with a letter that must stand in the first column, so the first
// character picks the only patterns that can match; their order is kept.
void LoadLine(Loader& loader, const char* line)
{
    const char* token;
    size_t length;
    char name[MESH_NAME_SIZE];
    switch (line[0])
    {
    case 'v':
        LoadVectorLine(loader, line);
        break;
    case 'g':
        if (ScanObjToken(line, "g", &token, &length))
        {
            GetObjGroupName(line, name);
            loader.group = FindName(groupTable, name);
        }
        break;
    case 'u':
        if (ScanObjToken(line, "usemtl", &token, &length))
        {
            CopyCut(name, MESH_NAME_SIZE, token, length);
            loader.material = FindName(materialTable, name);
        }
        break;
    case 'f':
        LoadFace(loader, line);
        break;
    }
}

// Loading pass: fills the arrays, moving the first bar about a hundred times.
bool LoadFile(FILE* file, Mesh* mesh, uint64_t lineCount)
{
    LineSource source;
    if (!StartSource(source, file))
        return false;
    Loader loader{mesh, 0, 0, 0, 0, mesh->facetCount, 0, 0};
    // the bar moves at every line number that is a multiple of step (every line when 0)
    uint64_t step = lineCount / 100;
    uint64_t n = 0, countdown = step;
    while (const char* line = NextPiece(source))
    {
        ++n;
        if (step == 0 || --countdown == 0)
        {
            SetProgressPos(uint32_t(n));
            countdown = step;
        }
        if (line[0] != '#')
            LoadLine(loader, line);
    }
    // only stored facets count; an empty facet table is no table
    mesh->facetCount = loader.facetSlot;
    if (mesh->facetCount == 0)
    {
        ReleaseArray(mesh->facets);
        mesh->facets = nullptr;
        mesh->flags &= ~uint32_t(MESH_HAS_FACETS);
    }
    return !source.failed;
}

bool AllocateFacetLists(Group* table, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        table[i].facetListFill = 0;
        if (table[i].facetListCount > 0 &&
            !(table[i].facetList = AllocateLargeArrayOf<uint32_t>(table[i].facetListCount)))
            return false;
    }
    return true;
}

// Fills the facet list of every group and material in ascending facet order.
bool BuildFacetLists(Mesh* mesh)
{
    if (!AllocateFacetLists(mesh->groups, mesh->groupCount) ||
        !AllocateFacetLists(mesh->materials, mesh->materialCount))
        return false;
    uint32_t step = mesh->facetCount / 100;
    uint32_t countdown = 1; // facet 0 moves the bar, then every step-th
    for (uint32_t i = 0; i < mesh->facetCount; ++i)
    {
        Group& group = mesh->groups[mesh->facets[i].groupIndex];
        group.facetList[group.facetListFill++] = i;
        Material& material = mesh->materials[mesh->facets[i].materialIndex];
        material.facetList[material.facetListFill++] = i;
        if (step == 0 || --countdown == 0)
        {
            SetProgressPos(i);
            countdown = step;
        }
    }
    return true;
}

int32_t ProgressRange(uint64_t count)
{
    return count > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(count);
}

// A file that opens but holds no data to read (a folder) counts as one that does not open.
FILE* OpenObjFile(const char* path)
{
    FILE* file = std::fopen(path, "rb");
    struct stat status;
    if (file && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode))
    {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

Mesh* NewMesh(const char* path)
{
    Mesh* mesh = AllocateArrayOf<Mesh>(1);
    if (!mesh)
        return nullptr;
    CopyCut(mesh->filePath, MESH_PATH_SIZE, path, std::strlen(path));
    mesh->scale = Vec3{1.0f, 1.0f, 1.0f};
    return mesh;
}

Mesh* Abandon(Mesh* mesh, FILE* file)
{
    if (file)
        std::fclose(file);
    ShowProgress("", 0, 100, 0, 100, false);
    FreeMesh(mesh);
    return nullptr;
}

} // namespace

Mesh* ReadObjMesh(const char* path)
{
    if (!path)
        return nullptr;
    FILE* file = OpenObjFile(path);
    if (!file)
        return nullptr;
    Mesh* mesh = NewMesh(path);
    if (!mesh)
    {
        std::fclose(file);
        return nullptr;
    }
    groupTable.count = materialTable.count = 0;
    RegisterName(groupTable, "Default");
    RegisterName(materialTable, "Default");

    // count, then size every array exactly
    ShowProgress("Scanning file...", 0, 100, 0, 100, true);
    Tally tally;
    std::memset(&tally, 0, sizeof tally);
    if (!CountFile(file, tally))
        return Abandon(mesh, file);
    std::memcpy(mesh->materialLibrary, tally.materialLibrary, MESH_PATH_SIZE);
    if (tally.hasMaterialLibrary)
        mesh->flags |= MESH_HAS_MATERIAL_LIBRARY;
    if (!SizeArrays(mesh, tally))
        return Abandon(mesh, file);
    ShowProgress("Loading Facets...", 0, 100, 0, int32_t(mesh->facetCount), false);

    // fill the arrays
    ShowProgress("Loading Mesh...", 0, ProgressRange(tally.lines), 0, int32_t(mesh->vertexCount),
                 true);
    mesh->boundsMin = Vec3{3000.0f, 3000.0f, 3000.0f};
    mesh->boundsMax = Vec3{-3000.0f, -3000.0f, -3000.0f};
    bool loaded = LoadFile(file, mesh, tally.lines);
    std::fclose(file);
    if (!loaded)
        return Abandon(mesh, nullptr);
    ShowProgress("Counting Facets...", 0, 100, 0, int32_t(mesh->facetCount), false);

    // the facet list of every group and material
    ShowProgress("Initializing Groups and Materials...", 0, int32_t(mesh->facetCount), 0,
                 int32_t(mesh->facetCount), true);
    if (!BuildFacetLists(mesh))
        return Abandon(mesh, nullptr);
    ShowProgress("Done", 0, 100, 0, int32_t(mesh->facetCount), false);

    AnalyzeMeshNormals(mesh);
    return mesh;
}
