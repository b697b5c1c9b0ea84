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

#include "ui/progress.h"

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
NameTable objectTable; // "o" names, groups in the all-faces mode of a file without "g" lines

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

// the padding lets the counting pass read 32 bytes at any place of a line
char streamBlock[BLOCK_SIZE + 1 + SCAN_PADDING];

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

// The next whole line for the all-faces mode, NUL-terminated in the block with a CR before
// its LF dropped; a backslash that ends a line joins the next one to it (both line ends
// become blanks). A line longer than the block is cut at the block's size. Null at the end.
[[gnu::always_inline]] inline const char* NextWholeLine(LineSource& source)
{
    size_t searched = 0; // bytes after pos known to hold no line end that ends the line
    for (;;)
    {
        char* start = streamBlock + source.pos;
        size_t available = source.fill - source.pos;
        char* feed = FindLineFeed(start + searched, available - searched);
        if (!feed && !source.atEnd && !(source.pos == 0 && source.fill == BLOCK_SIZE))
        {
            searched = available;
            Refill(source);
            continue;
        }
        if (!feed)
        {
            if (available == 0)
                return nullptr;
            start[available] = '\0';
            source.pos = source.fill;
            return start;
        }
        char* end = feed > start && feed[-1] == '\r' ? feed - 1 : feed;
        if (end > start && end[-1] == '\\')
        {
            std::memset(end - 1, ' ', size_t(feed - end) + 2);
            searched = size_t(feed - start) + 1;
            continue;
        }
        *end = '\0';
        source.pos += size_t(feed - start) + 1;
        return start;
    }
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
    // all-faces mode
    bool hasGroupLine;
    uint64_t polygons;    // faces of more than four corners
    uint32_t mostCorners; // of any face
    bool cornerLacksUv;
    bool cornerLacksNormal;
};

// Whether a line starting with "v" can hold a vertex: a number cannot start with "t", and one
// starting with "n" is "nan"; lines that cannot are "vt" and "vn" lines, tried without it.
inline bool MayBeVertex(const char* line)
{
    return line[1] != 't' && (line[1] != 'n' || line[2] == 'a' || line[2] == 'A');
}

// A face in every form counts the facets it will give: a polygon of n corners n - 2.
void CountAnyFace(const char* line, Tally& tally)
{
    // whole lines stand in the padded block
    uint32_t corners = CountObjCornersPadded(line, &tally.cornerLacksUv, &tally.cornerLacksNormal);
    if (corners < 3)
        return;
    tally.faces += corners <= 4 ? 1 : corners - 2;
    tally.polygons += corners > 4;
    if (corners > tally.mostCorners)
        tally.mostCorners = corners;
}

// Lines only the all-faces mode reads: faces in every form and "o" lines.
bool CountAllFacesLine(const char* line, Tally& tally)
{
    char name[MESH_NAME_SIZE];
    const char* token;
    size_t length;
    if (line[0] == 'f')
        CountAnyFace(line, tally);
    else if (line[0] == 'o' && ScanObjToken(line, "o", &token, &length))
    {
        GetObjGroupName(line, name);
        RegisterName(objectTable, name);
    }
    else
        return false;
    return true;
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
            tally.hasGroupLine = true;
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

// Counting pass: every piece (whole line in the all-faces mode) counts as a line; false when
// the file cannot be read.
bool CountFile(FILE* file, Tally& tally, bool allFaces)
{
    LineSource source;
    if (!StartSource(source, file))
        return false;
    if (allFaces)
        while (const char* line = NextWholeLine(source))
        {
            ++tally.lines;
            if (!CountAllFacesLine(line, tally))
                CountLine(line, tally);
        }
    else
        while (const char* line = NextPiece(source))
        {
            ++tally.lines;
            CountLine(line, tally);
        }
    return !source.failed;
}

// In a file without "g" lines the "o" names become the groups, in the order met.
void AdoptObjectNames(const Tally& tally)
{
    if (tally.hasGroupLine)
        return;
    for (uint32_t i = 0; i < objectTable.count; ++i)
        RegisterName(groupTable, objectTable.names[i]);
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
// uvPlaceholder and normalPlaceholder: one entry more after the file's own.
bool SizeArrays(Mesh* mesh, const Tally& tally, bool uvPlaceholder, bool normalPlaceholder)
{
    const uint64_t most = INT32_MAX;
    if (tally.faces > most || tally.uvs + uvPlaceholder > most || tally.vertices > most ||
        tally.normals + normalPlaceholder > most)
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
        mesh->uvCount = uint32_t(tally.uvs) + uvPlaceholder;
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
        mesh->normalCount = uint32_t(tally.normals) + normalPlaceholder;
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

// A polygon stored as a fan of facets until every position is known.
struct PolygonSpan
{
    uint32_t firstFacet;
    uint32_t corners;
};

// Working arrays of the all-faces mode, sized from the counting pass.
struct FaceScratch
{
    ObjCorner* corners;  // mostCorners: the corners of one face
    Vec3* points;        // mostCorners: a polygon's positions
    PolygonCorner* work; // mostCorners
    uint32_t* triangles; // 3 * (mostCorners - 2)
    PolygonSpan* spans;  // polygons
    uint32_t cornerCapacity;
    uint32_t spanCapacity;
    uint32_t spanCount;
};

bool AllocateFaceScratch(FaceScratch& scratch, const Tally& tally)
{
    uint32_t most = tally.mostCorners;
    scratch.cornerCapacity = most;
    if (most > 0 && !(scratch.corners = AllocateArrayOf<ObjCorner>(most)))
        return false;
    if (tally.polygons == 0)
        return true;
    scratch.spanCapacity = uint32_t(tally.polygons);
    return (scratch.points = AllocateArrayOf<Vec3>(most)) &&
           (scratch.work = AllocateArrayOf<PolygonCorner>(most)) &&
           (scratch.triangles = AllocateArrayOf<uint32_t>(3 * size_t(most - 2))) &&
           (scratch.spans = AllocateArrayOf<PolygonSpan>(scratch.spanCapacity));
}

void ReleaseFaceScratch(FaceScratch& scratch)
{
    ReleaseArray(scratch.spans);
    ReleaseArray(scratch.triangles);
    ReleaseArray(scratch.work);
    ReleaseArray(scratch.points);
    ReleaseArray(scratch.corners);
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
    ReadReport* report;
    // all-faces mode
    bool allFaces;
    bool objectGroups; // "o" lines name groups
    uint32_t fileUvs;  // entries the file holds; a placeholder stands after them
    uint32_t fileNormals;
    // corners without an index point at a placeholder; the counting pass decides it from the
    // corners written, so it stays when every face that lacked the index was left out
    bool uvPlaceholder;
    bool normalPlaceholder;
    FaceScratch* scratch;
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

// A face line ("f" and an integer) that gave no facet.
void NoteUnreadFace(Loader& loader, const char* line)
{
    int64_t value;
    loader.report->unreadFaceLines += ScanObjLong(line, "f", &value);
}

// Whether another corner follows the four a face line's quad took.
bool CornerFollows(const char* p)
{
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    p += *p == '-' || *p == '+';
    return *p >= '0' && *p <= '9';
}

void LoadFace(Loader& loader, const char* line)
{
    Mesh* mesh = loader.mesh;
    bool withNormals = (mesh->flags & MESH_HAS_NORMALS) != 0;
    int perCorner = withNormals ? 3 : 2;
    int64_t values[12];
    const char* end = nullptr;
    int got = ScanObjFace(line, perCorner, values, &end);
    uint32_t corners = got >= 4 * perCorner ? 4 : got >= 3 * perCorner ? 3 : 0;
    if (corners == 0)
        return NoteUnreadFace(loader, line);
    if (loader.facetSlot >= loader.facetCapacity)
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
            ++loader.report->badIndexFaces;
            return;
        }
    }
    loader.report->cutFaces += corners == 4 && CornerFollows(end);
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

// Resolves a corner of the all-faces mode in place to 0-based indices; false when one is
// out. A missing texture or normal index becomes the placeholder's (or 0 without one).
bool ResolveCorner(Loader& loader, ObjCorner& corner)
{
    int32_t v, t = loader.uvPlaceholder ? int32_t(loader.fileUvs) : 0;
    int32_t n = loader.normalPlaceholder ? int32_t(loader.fileNormals) : 0;
    if (!ResolveIndex(corner.vertex, loader.vertexSlot, loader.mesh->vertexCount, true, &v) ||
        (corner.hasUv && !ResolveIndex(corner.uv, loader.uvSlot, loader.fileUvs, true, &t)) ||
        (corner.hasNormal &&
         !ResolveIndex(corner.normal, loader.normalSlot, loader.fileNormals, true, &n)))
        return false;
    corner.vertex = v;
    corner.uv = t;
    corner.normal = n;
    return true;
}

// Resolves every corner; false (and nothing noted but the count) when one is out.
bool ResolveCorners(Loader& loader, ObjCorner* corners, uint32_t count)
{
    for (uint32_t c = 0; c < count; ++c)
        if (!ResolveCorner(loader, corners[c]))
        {
            ++loader.report->badIndexFaces;
            return false;
        }
    for (uint32_t c = 0; c < count && (loader.uvPlaceholder || loader.normalPlaceholder); ++c)
    {
        bool uv = !corners[c].hasUv && loader.uvPlaceholder;
        bool normal = !corners[c].hasNormal && loader.normalPlaceholder;
        loader.report->placeholderCorners += uv || normal;
    }
    return true;
}

// Stores a facet of three or four resolved corners, given by their numbers in corners.
void StoreFacet(Loader& loader, const ObjCorner* corners, const uint32_t* pick, uint32_t count)
{
    Mesh* mesh = loader.mesh;
    Facet& facet = mesh->facets[loader.facetSlot++];
    facet.materialIndex = loader.material;
    facet.groupIndex = loader.group;
    facet.cornerCount = count;
    for (uint32_t c = 0; c < count; ++c)
    {
        const ObjCorner& corner = corners[pick[c]];
        facet.vertexIndex[c] = int32_t(corner.vertex);
        facet.uvIndex[c] = int32_t(corner.uv);
        facet.normalIndex[c] = int32_t(corner.normal);
    }
    ++mesh->groups[loader.group].facetListCount;
    ++mesh->materials[loader.material].facetListCount;
    if (count == 4)
    {
        ++mesh->quadCount;
        mesh->flags |= MESH_HAS_QUADS;
    }
}

// Splits a polygon whose positions are all read and stores its triangles.
void StoreSplitPolygon(Loader& loader, const ObjCorner* corners, uint32_t count)
{
    FaceScratch& scratch = *loader.scratch;
    for (uint32_t c = 0; c < count; ++c)
        scratch.points[c] = loader.mesh->vertices[corners[c].vertex];
    SplitPolygon(scratch.points, count, scratch.work, scratch.triangles);
    for (uint32_t t = 0; t + 2 < count; ++t)
        StoreFacet(loader, corners, scratch.triangles + 3 * t, 3);
}

// Whether every corner names a position already read.
bool PositionsKnown(const Loader& loader, const ObjCorner* corners, uint32_t count)
{
    for (uint32_t c = 0; c < count; ++c)
        if (uint64_t(corners[c].vertex) >= loader.vertexSlot)
            return false;
    return true;
}

// A polygon naming a position further down the file is stored as a fan for now, and split
// once every position is read (SplitPolygons).
void StorePolygonFan(Loader& loader, const ObjCorner* corners, uint32_t count)
{
    FaceScratch& scratch = *loader.scratch;
    if (scratch.spanCount < scratch.spanCapacity)
        scratch.spans[scratch.spanCount++] = PolygonSpan{loader.facetSlot, count};
    for (uint32_t k = 1; k + 1 < count; ++k)
    {
        const uint32_t pick[3] = {0, k, k + 1};
        StoreFacet(loader, corners, pick, 3);
    }
}

// A face line in every form: a triangle, a quad, or a polygon as n - 2 triangles.
void LoadAnyFace(Loader& loader, const char* line)
{
    FaceScratch& scratch = *loader.scratch;
    bool lacksUv = false, lacksNormal = false;
    uint32_t count =
        ScanObjCorners(line, scratch.corners, scratch.cornerCapacity, &lacksUv, &lacksNormal);
    if (count < 3)
        return NoteUnreadFace(loader, line);
    uint32_t facets = count <= 4 ? 1 : count - 2;
    if (count > scratch.cornerCapacity || facets > loader.facetCapacity - loader.facetSlot ||
        !ResolveCorners(loader, scratch.corners, count))
        return;
    static const uint32_t inOrder[4] = {0, 1, 2, 3};
    if (count <= 4)
        StoreFacet(loader, scratch.corners, inOrder, count);
    else if (PositionsKnown(loader, scratch.corners, count))
        StoreSplitPolygon(loader, scratch.corners, count);
    else
        StorePolygonFan(loader, scratch.corners, count);
}

// Splits every polygon stored as a fan by ear clipping, in place.
void SplitPolygons(Loader& loader)
{
    FaceScratch& scratch = *loader.scratch;
    const Mesh* mesh = loader.mesh;
    for (uint32_t s = 0; s < scratch.spanCount; ++s)
    {
        Facet* fan = mesh->facets + scratch.spans[s].firstFacet;
        uint32_t count = scratch.spans[s].corners;
        ObjCorner* corners = scratch.corners;
        for (uint32_t c = 0; c < count; ++c)
        {
            // corner 0 starts every fan triangle, corner c > 0 is the second of triangle c - 1
            // and the last corner the third of the last triangle
            const Facet& from = fan[c == 0 ? 0 : c + 1 < count ? c - 1 : count - 3];
            uint32_t k = c == 0 ? 0 : c + 1 < count ? 1 : 2;
            corners[c] =
                ObjCorner{from.vertexIndex[k], from.uvIndex[k], from.normalIndex[k], true, true};
            scratch.points[c] = mesh->vertices[from.vertexIndex[k]];
        }
        SplitPolygon(scratch.points, count, scratch.work, scratch.triangles);
        for (uint32_t t = 0; t + 2 < count; ++t)
            for (uint32_t k = 0; k < 3; ++k)
            {
                const ObjCorner& corner = corners[scratch.triangles[3 * t + k]];
                fan[t].vertexIndex[k] = int32_t(corner.vertex);
                fan[t].uvIndex[k] = int32_t(corner.uv);
                fan[t].normalIndex[k] = int32_t(corner.normal);
            }
    }
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
        if (loader.uvSlot < loader.fileUvs)
        {
            mesh->uCoords[loader.uvSlot] = uv[0];
            mesh->vCoords[loader.uvSlot] = uv[1];
        }
        ++loader.uvSlot;
        return;
    }
    if ((flags & MESH_HAS_NORMALS) && line[1] == 'n')
        LoadVector(line, "vn", 3, loader.normalSlot, loader.fileNormals, &mesh->normals->x);
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
        if (loader.allFaces)
            LoadAnyFace(loader, line);
        else
            LoadFace(loader, line);
        break;
    case 'o':
        if (loader.objectGroups && ScanObjToken(line, "o", &token, &length))
        {
            GetObjGroupName(line, name);
            loader.group = FindName(groupTable, name);
        }
        break;
    }
}

// Loading pass: fills the arrays, moving the first bar about a hundred times.
bool LoadFile(FILE* file, Loader& loader, uint64_t lineCount)
{
    Mesh* mesh = loader.mesh;
    LineSource source;
    if (!StartSource(source, file))
        return false;
    loader.facetCapacity = mesh->facetCount;
    // the bar moves at every line number that is a multiple of step (every line when 0)
    uint64_t step = lineCount / 100;
    uint64_t n = 0, countdown = step;
    while (const char* line = loader.allFaces ? NextWholeLine(source) : NextPiece(source))
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
    SplitPolygons(loader);
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

// The three phases of a read, each shown with its own caption while it runs.
enum ReadPhase
{
    PHASE_SCAN,
    PHASE_LOAD,
    PHASE_LISTS,
};

// Opens a phase's display with the ranges 0 to first and 0 to second, or closes it (the
// closing call carries a caption of its own, never shown, and the ranges 0 to 100 and 0 to
// second).
void ShowReadPhase(ReadPhase phase, bool open, int32_t first, int32_t second)
{
    static const char* const captions[][2] = {
        {"Scanning file...", "Loading Facets..."},
        {"Loading Mesh...", "Counting Facets..."},
        {"Initializing Groups and Materials...", "Done"},
    };
    if (open)
        ShowProgress(captions[phase][0], 0, first, 0, second, true);
    else
        ShowProgress(captions[phase][1], 0, 100, 0, second, false);
}

// What the loading pass starts from, once the counting pass is done.
Loader StartLoader(Mesh* mesh, const Tally& tally, const ReadOptions& options, ReadReport* report,
                   FaceScratch* scratch)
{
    Loader loader;
    std::memset(&loader, 0, sizeof loader);
    loader.mesh = mesh;
    loader.report = report;
    loader.scratch = scratch;
    loader.allFaces = options.allFaces;
    loader.objectGroups = options.allFaces && !tally.hasGroupLine;
    loader.fileUvs = uint32_t(tally.uvs);
    loader.fileNormals = uint32_t(tally.normals);
    loader.uvPlaceholder = options.allFaces && tally.uvs > 0 && tally.cornerLacksUv;
    loader.normalPlaceholder = options.allFaces && tally.normals > 0 && tally.cornerLacksNormal;
    return loader;
}

Mesh* ReadOpenFile(FILE* file, Mesh* mesh, const ReadOptions& options, ReadReport* report,
                   FaceScratch& scratch)
{
    groupTable.count = materialTable.count = objectTable.count = 0;
    RegisterName(groupTable, "Default");
    RegisterName(materialTable, "Default");

    // count, then size every array exactly
    ShowReadPhase(PHASE_SCAN, true, 100, 100);
    Tally tally;
    std::memset(&tally, 0, sizeof tally);
    if (!CountFile(file, tally, options.allFaces))
        return Abandon(mesh, file);
    AdoptObjectNames(tally);
    std::memcpy(mesh->materialLibrary, tally.materialLibrary, MESH_PATH_SIZE);
    if (tally.hasMaterialLibrary)
        mesh->flags |= MESH_HAS_MATERIAL_LIBRARY;
    Loader loader = StartLoader(mesh, tally, options, report, &scratch);
    if (!SizeArrays(mesh, tally, loader.uvPlaceholder, loader.normalPlaceholder) ||
        (options.allFaces && !AllocateFaceScratch(scratch, tally)))
        return Abandon(mesh, file);
    ShowReadPhase(PHASE_SCAN, false, 100, int32_t(mesh->facetCount));

    // fill the arrays
    ShowReadPhase(PHASE_LOAD, true, ProgressRange(tally.lines), int32_t(mesh->vertexCount));
    mesh->boundsMin = Vec3{3000.0f, 3000.0f, 3000.0f};
    mesh->boundsMax = Vec3{-3000.0f, -3000.0f, -3000.0f};
    bool loaded = LoadFile(file, loader, tally.lines);
    std::fclose(file);
    if (!loaded)
        return Abandon(mesh, nullptr);
    ShowReadPhase(PHASE_LOAD, false, 100, int32_t(mesh->facetCount));

    // the facet list of every group and material
    ShowReadPhase(PHASE_LISTS, true, int32_t(mesh->facetCount), int32_t(mesh->facetCount));
    if (!BuildFacetLists(mesh))
        return Abandon(mesh, nullptr);
    ShowReadPhase(PHASE_LISTS, false, 100, int32_t(mesh->facetCount));

    AnalyzeMeshNormals(mesh);
    return mesh;
}

} // namespace

Mesh* ReadObjMeshWith(const char* path, const ReadOptions* options, ReadReport* report)
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
    const ReadOptions plain = {false};
    ReadReport unused;
    report = report ? report : &unused;
    std::memset(report, 0, sizeof *report);
    FaceScratch scratch;
    std::memset(&scratch, 0, sizeof scratch);
    mesh = ReadOpenFile(file, mesh, options ? *options : plain, report, scratch);
    ReleaseFaceScratch(scratch);
    return mesh;
}

Mesh* ReadObjMesh(const char* path)
{
    return ReadObjMeshWith(path, nullptr, nullptr);
}
