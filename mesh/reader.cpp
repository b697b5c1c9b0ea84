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
//
// A large file is read on two threads, in pieces cut at line ends: both passes take the
// pieces side by side. Every line end is one in either reading, so the pieces hold the same
// lines; each piece is loaded from the counts, group and material of the pieces before it,
// and what the pieces found is put together in file order (see "reading in parts" below).
#include "mesh.h"

#include "ui/progress.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Both parts are counted side by side, then loaded side by side; below a few megabytes a
// second thread saves less than it costs to start.
uint64_t twoPartReadFrom = 4 << 20;
int twoPartMeetingPiece = -1;

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

// The names a counting pass meets: "o" names become groups in the all-faces mode of a file
// without "g" lines.
struct NameTables
{
    NameTable groups;
    NameTable materials;
    NameTable objects;
};

NameTables fileNames; // the whole file's, which the loading pass looks names up in

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

void StartNameTables(NameTables& tables)
{
    tables.groups.count = tables.materials.count = tables.objects.count = 0;
    RegisterName(tables.groups, "Default");
    RegisterName(tables.materials, "Default");
}

// Registers the names of a later part of the file after those of the parts before it, as
// meeting them in order would.
void AppendNameTable(NameTable& table, const NameTable& later)
{
    for (uint32_t i = 0; i < later.count; ++i)
        RegisterName(table, later.names[i]);
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

// A part of the file, read in blocks and handed out piece by piece.
struct LineSource
{
    FILE* file;
    char* block;   // BLOCK_SIZE + 1 + SCAN_PADDING bytes
    uint64_t left; // bytes of the part not yet read
    size_t fill;
    size_t pos;
    bool atEnd;
    bool failed;
    char piece[PIECE_SIZE + 1];
};

// the padding lets the counting pass read 32 bytes at any place of a line
typedef char Block[BLOCK_SIZE + 1 + SCAN_PADDING];
Block streamBlock;
Block sideBlock; // the side thread's

void Refill(LineSource& source)
{
    char* block = source.block;
    size_t rest = source.fill - source.pos;
    std::memmove(block, block + source.pos, rest);
    source.fill = rest;
    source.pos = 0;
    while (source.fill < BLOCK_SIZE && !source.atEnd)
    {
        size_t want = BLOCK_SIZE - source.fill;
        want = source.left < want ? size_t(source.left) : want;
        size_t got = want ? std::fread(block + source.fill, 1, want, source.file) : 0;
        source.fill += got;
        source.left -= got;
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
    char* start = source.block + source.pos;
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
        char* start = source.block + source.pos;
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

// Where a part of the file starts, how long it is (UINT64_MAX: to the end) and its buffer.
struct FilePart
{
    FILE* file;
    uint64_t start;
    uint64_t length;
    char* block;
};

// Moves the file to offset from its start.
bool SeekTo(FILE* file, uint64_t offset)
{
#ifdef _WIN32
    return offset <= uint64_t(INT64_MAX) && _fseeki64(file, int64_t(offset), SEEK_SET) == 0;
#else
    return offset <= uint64_t(INT64_MAX) && off_t(offset) >= 0 &&
           fseeko(file, off_t(offset), SEEK_SET) == 0;
#endif
}

bool StartSource(LineSource& source, const FilePart& part)
{
    source.file = part.file;
    source.block = part.block;
    source.left = part.length;
    source.fill = source.pos = 0;
    source.atEnd = source.failed = false;
    return SeekTo(part.file, part.start);
}

// The two threads of a read each write their own tallies, scratch and loader: aligned apart,
// so that no cache line holds both threads' (the line pair a prefetcher fetches included).
const size_t APART = 128;

// What the counting pass finds.
struct alignas(APART) Tally
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
    // the names last set, which are in force where the part ends (empty: none)
    char lastGroup[MESH_NAME_SIZE];
    char lastMaterial[MESH_NAME_SIZE];
    char lastObject[MESH_NAME_SIZE];
    bool groupSet;
    bool materialSet;
    bool objectSet;
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
bool CountAllFacesLine(const char* line, Tally& tally, NameTables& names)
{
    const char* token;
    size_t length;
    if (line[0] == 'f')
        CountAnyFace(line, tally);
    else if (line[0] == 'o' && ScanObjToken(line, "o", &token, &length))
    {
        GetObjGroupName(line, tally.lastObject);
        tally.objectSet = true;
        RegisterName(names.objects, tally.lastObject);
    }
    else
        return false;
    return true;
}

void CountLine(const char* line, Tally& tally, NameTables& names)
{
    const char* token;
    size_t length;
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
            GetObjGroupName(line, tally.lastGroup);
            tally.groupSet = true;
            RegisterName(names.groups, tally.lastGroup);
            tally.hasGroupLine = true;
        }
        break;
    case 'u':
        if (ScanObjToken(line, "usemtl", &token, &length))
        {
            CopyCut(tally.lastMaterial, MESH_NAME_SIZE, token, length);
            tally.materialSet = true;
            RegisterName(names.materials, tally.lastMaterial);
        }
        break;
    case 'f':
        if (ScanObjLong(line, "f", &value))
            ++tally.faces;
        break;
    }
}

// Counting pass over a part of the file: every piece (whole line in the all-faces mode)
// counts as a line; false when the part cannot be read.
bool CountPart(const FilePart& part, Tally& tally, NameTables& names, bool allFaces)
{
    LineSource source;
    if (!StartSource(source, part))
        return false;
    if (allFaces)
        while (const char* line = NextWholeLine(source))
        {
            ++tally.lines;
            if (!CountAllFacesLine(line, tally, names))
                CountLine(line, tally, names);
        }
    else
        while (const char* line = NextPiece(source))
        {
            ++tally.lines;
            CountLine(line, tally, names);
        }
    return !source.failed;
}

// Adds the tally of the part after to that of the parts before it.
void AppendTally(Tally& tally, const Tally& after)
{
    tally.lines += after.lines;
    tally.vertices += after.vertices;
    tally.uvs += after.uvs;
    tally.normals += after.normals;
    tally.faces += after.faces;
    tally.polygons += after.polygons;
    if (after.hasMaterialLibrary)
    {
        std::memcpy(tally.materialLibrary, after.materialLibrary, MESH_PATH_SIZE);
        tally.hasMaterialLibrary = true;
    }
    tally.hasGroupLine |= after.hasGroupLine;
    tally.mostCorners =
        after.mostCorners > tally.mostCorners ? after.mostCorners : tally.mostCorners;
    tally.cornerLacksUv |= after.cornerLacksUv;
    tally.cornerLacksNormal |= after.cornerLacksNormal;
    if (after.groupSet)
        std::memcpy(tally.lastGroup, after.lastGroup, MESH_NAME_SIZE);
    if (after.materialSet)
        std::memcpy(tally.lastMaterial, after.lastMaterial, MESH_NAME_SIZE);
    if (after.objectSet)
        std::memcpy(tally.lastObject, after.lastObject, MESH_NAME_SIZE);
    tally.groupSet |= after.groupSet;
    tally.materialSet |= after.materialSet;
    tally.objectSet |= after.objectSet;
}

// In a file without "g" lines the "o" names become the groups, in the order met.
void AdoptObjectNames(const Tally& tally)
{
    if (!tally.hasGroupLine)
        AppendNameTable(fileNames.groups, fileNames.objects);
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
    mesh->groupCount = fileNames.groups.count;
    mesh->flags |= MESH_HAS_GROUPS;
    if (!(mesh->groups = MakeEntries(fileNames.groups)))
        return false;
    mesh->materialCount = fileNames.materials.count;
    mesh->flags |= MESH_HAS_MATERIALS;
    return (mesh->materials = MakeEntries(fileNames.materials)) != nullptr;
}

// A polygon stored as a fan of facets until every position is known.
struct PolygonSpan
{
    uint32_t firstFacet;
    uint32_t corners;
};

// Working arrays of the all-faces mode, sized from the counting pass (one set for each part).
struct alignas(APART) FaceScratch
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

// A run of facets of one group and material: slots [first, end) of the table as loaded.
struct FacetRun
{
    uint32_t first;
    uint32_t end;
    uint32_t group;
    uint32_t material;
};

// The runs a loader notes at most. The facet lists are filled from the runs, without reading
// the facet table again; a read with more runs fills them from the table.
const uint32_t RUN_CAPACITY = 4096;

// Loading-pass state: the next free slot of each array and the group and material in force.
struct alignas(APART) Loader
{
    Mesh* mesh;
    uint32_t vertexSlot;
    uint32_t uvSlot;
    uint32_t normalSlot;
    uint32_t facetSlot;
    uint32_t facetCapacity;
    uint32_t group;
    uint32_t material;
    // what this part stored and left out, added to the mesh once every part is read
    ReadReport found;
    uint32_t groupFacets[NAME_TABLE_SIZE];
    uint32_t materialFacets[NAME_TABLE_SIZE];
    uint32_t quads;
    // the runs of facets stored, in the order stored (runsLost: more than RUN_CAPACITY)
    FacetRun* runs;
    uint32_t runCount;
    bool runsLost;
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
    // reading in two parts: the main thread publishes how many positions it has read (out),
    // which the side thread, loading a piece that starts at firstVertex, may use once
    // published (in; knownBefore: the count last seen). The side thread has read the
    // positions [laterFirst, laterEnd) too, in the pieces after its current one.
    std::atomic<uint32_t>* positionsOut;
    std::atomic<uint32_t>* positionsIn;
    uint32_t published;
    uint32_t firstVertex;
    uint32_t knownBefore;
    uint32_t laterFirst;
    uint32_t laterEnd;
};

// Positions go to the side thread in batches, each a store it must fetch.
const uint32_t POSITIONS_PUBLISHED = 1024;

// The main thread's positions read so far become the side thread's to use.
void PublishPositions(Loader& loader)
{
    if (loader.positionsOut && loader.published != loader.vertexSlot)
    {
        loader.published = loader.vertexSlot;
        loader.positionsOut->store(loader.published, std::memory_order_release);
    }
}

// Counts count facets stored from slot on for their group and material, and extends the last
// run with them or starts a run.
inline void NoteFacets(Loader& loader, uint32_t slot, uint32_t count)
{
    loader.groupFacets[loader.group] += count;
    loader.materialFacets[loader.material] += count;
    FacetRun* last = loader.runCount > 0 ? loader.runs + loader.runCount - 1 : nullptr;
    if (last && last->end == slot && last->group == loader.group &&
        last->material == loader.material)
        last->end += count;
    else if (loader.runCount < RUN_CAPACITY)
        loader.runs[loader.runCount++] =
            FacetRun{slot, slot + count, loader.group, loader.material};
    else
        loader.runsLost = true;
}

// The bounds of the first count positions, taken in file order.
void FindBounds(Mesh* mesh, uint32_t count)
{
    float* low = &mesh->boundsMin.x;
    float* high = &mesh->boundsMax.x;
    for (uint32_t i = 0; i < count; ++i)
    {
        const float* value = &mesh->vertices[i].x;
        for (int axis = 0; axis < 3; ++axis)
        {
            // a value that cannot be compared (NaN) becomes the minimum too
            if (!(value[axis] >= low[axis]))
                low[axis] = value[axis];
            if (value[axis] > high[axis])
                high[axis] = value[axis];
        }
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
    loader.found.unreadFaceLines += ScanObjLong(line, "f", &value);
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
            ++loader.found.badIndexFaces;
            return;
        }
    }
    loader.found.cutFaces += corners == 4 && CornerFollows(end);
    facet.materialIndex = loader.material;
    facet.groupIndex = loader.group;
    facet.cornerCount = corners;
    NoteFacets(loader, loader.facetSlot, 1);
    loader.quads += corners == 4;
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
            ++loader.found.badIndexFaces;
            return false;
        }
    for (uint32_t c = 0; c < count && (loader.uvPlaceholder || loader.normalPlaceholder); ++c)
    {
        bool uv = !corners[c].hasUv && loader.uvPlaceholder;
        bool normal = !corners[c].hasNormal && loader.normalPlaceholder;
        loader.found.placeholderCorners += uv || normal;
    }
    return true;
}

// Writes the next facet slot: count resolved corners, given by their numbers in corners.
inline void WriteFacet(Loader& loader, const ObjCorner* corners, const uint32_t* pick,
                       uint32_t count)
{
    Facet& facet = loader.mesh->facets[loader.facetSlot++];
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
}

// Stores a facet of three or four resolved corners, given by their numbers in corners.
void StoreFacet(Loader& loader, const ObjCorner* corners, const uint32_t* pick, uint32_t count)
{
    NoteFacets(loader, loader.facetSlot, 1);
    WriteFacet(loader, corners, pick, count);
    loader.quads += count == 4;
}

// Splits a polygon whose positions are all read and stores its triangles.
void StoreSplitPolygon(Loader& loader, const ObjCorner* corners, uint32_t count)
{
    FaceScratch& scratch = *loader.scratch;
    for (uint32_t c = 0; c < count; ++c)
        scratch.points[c] = loader.mesh->vertices[corners[c].vertex];
    SplitPolygon(scratch.points, count, scratch.work, scratch.triangles);
    NoteFacets(loader, loader.facetSlot, count - 2);
    for (uint32_t t = 0; t + 2 < count; ++t)
        WriteFacet(loader, corners, scratch.triangles + 3 * t, 3);
}

// Whether position v is read: by this loader, in its piece or in a later one it loaded, or
// (on the side thread) by the main thread and published.
inline bool PositionKnown(Loader& loader, uint64_t v)
{
    if (v >= loader.vertexSlot)
        return v >= loader.laterFirst && v < loader.laterEnd;
    if (v >= loader.firstVertex || v < loader.knownBefore)
        return true;
    loader.knownBefore = loader.positionsIn->load(std::memory_order_acquire);
    return v < loader.knownBefore;
}

bool PositionsKnown(Loader& loader, const ObjCorner* corners, uint32_t count)
{
    for (uint32_t c = 0; c < count; ++c)
        if (!PositionKnown(loader, uint64_t(corners[c].vertex)))
            return false;
    return true;
}

// A polygon naming a position further down the file is stored as a fan for now, and split
// once every position is read (FinishSplitting).
void StorePolygonFan(Loader& loader, const ObjCorner* corners, uint32_t count)
{
    FaceScratch& scratch = *loader.scratch;
    if (scratch.spanCount < scratch.spanCapacity)
        scratch.spans[scratch.spanCount++] = PolygonSpan{loader.facetSlot, count};
    NoteFacets(loader, loader.facetSlot, count - 2);
    for (uint32_t k = 1; k + 1 < count; ++k)
    {
        const uint32_t pick[3] = {0, k, k + 1};
        WriteFacet(loader, corners, pick, 3);
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

// Splits a polygon stored as a fan by ear clipping, in place.
void SplitFan(const Mesh* mesh, const PolygonSpan& span, FaceScratch& scratch)
{
    Facet* fan = mesh->facets + span.firstFacet;
    uint32_t count = span.corners;
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

// Splits the polygons that waited for their positions.
void FinishSplitting(Loader& loader)
{
    FaceScratch& scratch = *loader.scratch;
    for (uint32_t s = 0; s < scratch.spanCount; ++s)
        SplitFan(loader.mesh, scratch.spans[s], scratch);
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
        return;
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
        if (loader.positionsOut && loader.vertexSlot - loader.published >= POSITIONS_PUBLISHED)
            PublishPositions(loader);
        break;
    case 'g':
        if (ScanObjToken(line, "g", &token, &length))
        {
            GetObjGroupName(line, name);
            loader.group = FindName(fileNames.groups, name);
        }
        break;
    case 'u':
        if (ScanObjToken(line, "usemtl", &token, &length))
        {
            CopyCut(name, MESH_NAME_SIZE, token, length);
            loader.material = FindName(fileNames.materials, name);
        }
        break;
    case 'f':
        PublishPositions(loader);
        if (loader.allFaces)
            LoadAnyFace(loader, line);
        else
            LoadFace(loader, line);
        break;
    case 'o':
        if (loader.objectGroups && ScanObjToken(line, "o", &token, &length))
        {
            GetObjGroupName(line, name);
            loader.group = FindName(fileNames.groups, name);
        }
        break;
    }
}

// Where the loading pass moves the first bar: at every line number that is a multiple of step
// (every line when step is 0), about a hundred times.
struct ProgressLines
{
    uint64_t step;
    uint64_t next; // the next line number that moves it
};

ProgressLines StartProgressLines(uint64_t lineCount)
{
    uint64_t step = lineCount / 100;
    return ProgressLines{step, step ? step : 1};
}

// Moves the bar for every line number due up to lines.
void ShowProgressLines(ProgressLines& progress, uint64_t lines)
{
    for (; progress.next <= lines; progress.next += progress.step ? progress.step : 1)
        SetProgressPos(uint32_t(progress.next));
}

// Loading pass over a part of the file whose first line is line firstLine + 1; lines counts
// the lines read. On the main thread it moves the bar itself.
bool LoadPart(const FilePart& part, Loader& loader, ProgressLines* progress, uint64_t firstLine,
              uint64_t* lines)
{
    LineSource source;
    if (!StartSource(source, part))
        return false;
    uint64_t n = firstLine;
    uint64_t due = progress ? progress->next : UINT64_MAX;
    while (const char* line = loader.allFaces ? NextWholeLine(source) : NextPiece(source))
    {
        if (++n == due)
        {
            ShowProgressLines(*progress, n);
            due = progress->next;
        }
        if (line[0] != '#')
            LoadLine(loader, line);
    }
    *lines = n - firstLine;
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

// Enters facets [begin, end) in the lists of their group and material, from the lists' next
// free slots groupNext and materialNext.
void FillFacetLists(Mesh* mesh, uint32_t begin, uint32_t end, uint32_t* groupNext,
                    uint32_t* materialNext)
{
    for (uint32_t i = begin; i < end; ++i)
    {
        const Facet& facet = mesh->facets[i];
        mesh->groups[facet.groupIndex].facetList[groupNext[facet.groupIndex]++] = i;
        mesh->materials[facet.materialIndex].facetList[materialNext[facet.materialIndex]++] = i;
    }
}

// The bar moves at facet 0 and then at every hundredth of the facets (at every facet where
// there are fewer than a hundred).
uint32_t ListProgressStep(const Mesh* mesh)
{
    uint32_t step = mesh->facetCount / 100;
    return step == 0 ? 1 : step;
}

// Fills the lists of facets [begin, end), moving the bar at the facets where it moves.
void FillFacetListsShown(Mesh* mesh, uint32_t begin, uint32_t end, uint32_t* groupNext,
                         uint32_t* materialNext)
{
    uint32_t step = ListProgressStep(mesh);
    for (uint32_t i = begin; i < end;)
    {
        uint64_t shown = i % step == 0 ? i : i + uint64_t(step - i % step); // next that moves it
        uint32_t until = shown < end ? uint32_t(shown) + 1 : end;
        FillFacetLists(mesh, i, until, groupNext, materialNext);
        if (shown < end)
            SetProgressPos(uint32_t(shown));
        i = until;
    }
}

// Enters the facets of runs in the lists of their group and material, each facet moved down
// the table by shift since it was stored, from the lists' next free slots.
void FillFacetRuns(Mesh* mesh, const FacetRun* runs, uint32_t count, uint32_t shift,
                   uint32_t* groupNext, uint32_t* materialNext)
{
    for (const FacetRun* run = runs; run < runs + count; ++run)
    {
        uint32_t* group = mesh->groups[run->group].facetList + groupNext[run->group];
        uint32_t* material = mesh->materials[run->material].facetList + materialNext[run->material];
        for (uint32_t i = run->first; i < run->end; ++i)
            *group++ = *material++ = i - shift;
        groupNext[run->group] += run->end - run->first;
        materialNext[run->material] += run->end - run->first;
    }
}

// Moves the bar as FillFacetListsShown would over facets [begin, end), without filling.
void ShowFacetListProgress(const Mesh* mesh, uint32_t begin, uint32_t end)
{
    uint32_t step = ListProgressStep(mesh);
    for (uint64_t i = begin % step == 0 ? begin : begin + uint64_t(step - begin % step); i < end;
         i += step)
        SetProgressPos(uint32_t(i));
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

// ---- reading in parts

// Work for a second thread, run on one where that can be had, else on this one when joined;
// none when work is empty.
class SideThread
{
public:
    explicit SideThread(std::function<void()> work) : work_(std::move(work)), ran_(!work_)
    {
        try
        {
            if (work_)
                thread_ = std::thread(work_);
        }
        catch (const std::system_error&)
        {
        }
    }
    bool Running() const
    {
        return thread_.joinable();
    }
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
        else if (!ran_)
            work_();
        ran_ = true;
    }

private:
    std::function<void()> work_;
    bool ran_;
    std::thread thread_;
};

// The size of a regular file; false for anything else (a pipe, a device) or when unknown.
bool RegularFileSize(FILE* file, uint64_t* size)
{
#ifdef _WIN32
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)
        return false;
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
#endif
    *size = uint64_t(status.st_size);
    return true;
}

// The offset just after the first line feed at or past from that ends a line in the mode (in
// the all-faces mode a backslash before it, or before its CR, continues the line instead); 0
// when none lies within the LINE_END_SEARCH bytes that follow.
const uint64_t LINE_END_SEARCH = 1 << 20;

uint64_t FindLineEndFrom(FILE* file, uint64_t from, bool allFaces)
{
    uint64_t at = from >= 2 ? from - 2 : 0;
    if (!SeekTo(file, at))
        return 0;
    int before = 0, last = 0; // the two characters before the current one
    for (uint64_t end = at + LINE_END_SEARCH; at < end; ++at)
    {
        int c = std::getc(file);
        if (c == EOF)
            return 0;
        bool continued = allFaces && (last == '\\' || (last == '\r' && before == '\\'));
        if (c == '\n' && at >= from && !continued)
            return at + 1;
        before = last;
        last = c;
    }
    return 0;
}

// A file read in two parts is taken in pieces cut at line ends. Each thread counts the next
// piece not yet counted; then the main thread loads pieces from the front of the file and the
// side thread from its end, until they meet. The pieces of a file can cost very different
// time to count and to load (positions, which usually come first, count slower than faces
// in the default mode and load faster), so neither pass is cut at one fixed place. Small
// pieces keep the two threads finishing together: the threads' speed varies with what else
// the machine runs, and a thread left with a large last piece keeps the other waiting.
const int PIECES = TWO_PART_PIECES;

// The parts of a read: stream 0 on this thread, stream 1 (when count is 2) on the side thread,
// each with its own block. The pieces end where the next starts (the last at the end of the
// file); before[k] holds the counts of the pieces before piece k, before[pieces] those of the
// file. The side thread loads pieces sideFrom to pieces - 1; the facets piece k stores end at
// facetEnds[k], its positions at vertexEnds[k], its runs are those from runsFrom[k] to
// runsEnd[k] of the side thread's, and its facets move down by facetShift[k] once loaded.
struct Reading
{
    FilePart parts[2];
    int count;
    uint64_t pieceStarts[PIECES];
    int pieces;
    Tally tallies[PIECES];
    Tally before[PIECES + 1];
    int sideFrom;
    uint32_t facetEnds[PIECES];
    uint32_t vertexEnds[PIECES];
    uint32_t runsFrom[PIECES];
    uint32_t runsEnd[PIECES];
    uint32_t facetShift[PIECES];
    FaceScratch scratch[2];
    Loader loaders[2];
};

NameTables pieceNames[PIECES];
FacetRun loaderRuns[2][RUN_CAPACITY];

// The pieces of a file read in two parts: cut at line ends near each PIECES-th of the file.
void PlanPieces(Reading& reading, FILE* file, uint64_t size, bool allFaces)
{
    reading.pieces = 1;
    for (int k = 1; k < PIECES; ++k)
    {
        uint64_t from = size / PIECES * k + size % PIECES * k / PIECES;
        uint64_t at = FindLineEndFrom(file, from, allFaces);
        if (at > reading.pieceStarts[reading.pieces - 1] && at < size)
            reading.pieceStarts[reading.pieces++] = at;
    }
}

// Reads the file in two parts where it is large enough, cuts into pieces and a second stream
// of it opens.
void PlanParts(Reading& reading, FILE* file, const char* path, bool allFaces)
{
    reading.parts[0] = FilePart{file, 0, UINT64_MAX, streamBlock};
    reading.count = 1;
    reading.pieces = 1;
    uint64_t size = 0;
    if (!RegularFileSize(file, &size) || size < twoPartReadFrom ||
        std::thread::hardware_concurrency() == 1)
        return;
    PlanPieces(reading, file, size, allFaces);
    FILE* side = reading.pieces > 1 ? std::fopen(path, "rb") : nullptr;
    if (!side)
    {
        reading.pieces = 1;
        return;
    }
    reading.parts[1] = FilePart{side, 0, UINT64_MAX, sideBlock};
    reading.count = 2;
}

void CloseSidePart(Reading& reading)
{
    if (reading.count == 2 && reading.parts[1].file)
        std::fclose(reading.parts[1].file);
    reading.parts[1].file = nullptr;
}

// Piece k of the file, read from one of the streams.
FilePart PieceOf(const Reading& reading, int stream, int k)
{
    uint64_t start = reading.pieceStarts[k];
    uint64_t length = k + 1 < reading.pieces ? reading.pieceStarts[k + 1] - start : UINT64_MAX;
    const FilePart& part = reading.parts[stream];
    return FilePart{part.file, start, length, part.block};
}

// Counts pieces on one thread, taking the next one not yet taken, from one of the streams.
void CountPieces(Reading& reading, int stream, std::atomic<int>& next, bool* counted, bool allFaces)
{
    for (int k; (k = next.fetch_add(1)) < reading.pieces;)
    {
        StartNameTables(pieceNames[k]);
        counted[k] =
            CountPart(PieceOf(reading, stream, k), reading.tallies[k], pieceNames[k], allFaces);
    }
}

// Counts the pieces side by side and sums them up in order: the counts before each piece in
// before, the file's names in fileNames.
bool CountParts(Reading& reading, bool allFaces)
{
    bool counted[PIECES] = {};
    std::atomic<int> next{0};
    SideThread side(reading.count < 2 ? std::function<void()>()
                                      : [&] { CountPieces(reading, 1, next, counted, allFaces); });
    CountPieces(reading, 0, next, counted, allFaces);
    side.Join();
    bool all = true;
    for (int k = 0; k < reading.pieces; ++k)
    {
        reading.before[k + 1] = reading.before[k];
        AppendTally(reading.before[k + 1], reading.tallies[k]);
        AppendNameTable(fileNames.groups, pieceNames[k].groups);
        AppendNameTable(fileNames.materials, pieceNames[k].materials);
        AppendNameTable(fileNames.objects, pieceNames[k].objects);
        all = all && counted[k];
    }
    return all;
}

const Tally& FileTally(const Reading& reading)
{
    return reading.before[reading.pieces];
}

// What the loading pass starts from, once the counting pass is done.
void StartLoader(Loader& loader, Mesh* mesh, const Tally& tally, bool allFaces,
                 FaceScratch* scratch, FacetRun* runs)
{
    std::memset(&loader, 0, sizeof loader);
    loader.mesh = mesh;
    loader.scratch = scratch;
    loader.runs = runs;
    loader.allFaces = allFaces;
    loader.objectGroups = allFaces && !tally.hasGroupLine;
    loader.fileUvs = uint32_t(tally.uvs);
    loader.fileNormals = uint32_t(tally.normals);
    loader.uvPlaceholder = allFaces && tally.uvs > 0 && tally.cornerLacksUv;
    loader.normalPlaceholder = allFaces && tally.normals > 0 && tally.cornerLacksNormal;
}

// The side thread's loader starts piece k where the counts of the pieces before it end, with
// the group and material their last lines set.
void StartPieceLoader(Loader& loader, const Reading& reading, int k)
{
    const Tally& before = reading.before[k];
    loader.vertexSlot = loader.firstVertex = uint32_t(before.vertices);
    loader.uvSlot = uint32_t(before.uvs);
    loader.normalSlot = uint32_t(before.normals);
    loader.facetSlot = uint32_t(before.faces);
    loader.facetCapacity = uint32_t(reading.before[k + 1].faces);
    loader.group = loader.material = 0;
    if (loader.objectGroups ? before.objectSet : before.groupSet)
        loader.group =
            FindName(fileNames.groups, loader.objectGroups ? before.lastObject : before.lastGroup);
    if (before.materialSet)
        loader.material = FindName(fileNames.materials, before.lastMaterial);
}

// Sizes every array from the file's tally and sets both threads' loaders; false when an array
// cannot be had.
bool PrepareLoading(Reading& reading, Mesh* mesh, bool allFaces)
{
    const Tally& tally = FileTally(reading);
    Loader& loader = reading.loaders[0];
    StartLoader(loader, mesh, tally, allFaces, &reading.scratch[0], loaderRuns[0]);
    if (!SizeArrays(mesh, tally, loader.uvPlaceholder, loader.normalPlaceholder))
        return false;
    for (int k = 0; k < reading.count; ++k)
        if (allFaces && !AllocateFaceScratch(reading.scratch[k], tally))
            return false;
    if (reading.count == 2)
        StartLoader(reading.loaders[1], mesh, tally, allFaces, &reading.scratch[1], loaderRuns[1]);
    return true;
}

// The pieces not yet loaded, front to back, and where the threads meet when that is fixed
// (meet: the side thread's first piece; -1: not fixed).
struct PieceQueue
{
    std::mutex lock;
    int front;
    int back;
    int meet;
};

// The next piece to load from the front or the back; -1 when none is left.
int TakePiece(PieceQueue& queue, bool fromBack)
{
    std::lock_guard<std::mutex> hold(queue.lock);
    bool beyondMeeting =
        queue.meet >= 0 && (fromBack ? queue.back < queue.meet : queue.front >= queue.meet);
    if (queue.front > queue.back || beyondMeeting)
        return -1;
    return fromBack ? queue.back-- : queue.front++;
}

// The side thread loads pieces from the end of the file, each from the counts before it.
bool LoadPiecesFromBack(Reading& reading, PieceQueue& queue, uint64_t* lines)
{
    Loader& loader = reading.loaders[1];
    bool loaded = true, whole = true;
    for (int k; (k = TakePiece(queue, true)) >= 0;)
    {
        StartPieceLoader(loader, reading, k);
        uint64_t read = 0;
        reading.runsFrom[k] = loader.runCount;
        loaded = LoadPart(PieceOf(reading, 1, k), loader, nullptr, 0, &read) && loaded;
        reading.runsEnd[k] = loader.runCount;
        *lines += read;
        reading.facetEnds[k] = loader.facetSlot;
        reading.vertexEnds[k] = loader.vertexSlot;
        reading.sideFrom = k;
        // the positions of the pieces read count as read while each piece held all it counted
        whole = whole && loader.vertexSlot == reading.before[k + 1].vertices;
        loader.laterFirst = whole ? loader.firstVertex : 0;
        loader.laterEnd = whole ? reading.vertexEnds[reading.pieces - 1] : 0;
    }
    return loaded;
}

// Loads the pieces, this thread from the front of the file while the side thread loads from
// its end; false when one cannot be read. The bar moves for the lines this thread reads, and
// for the side thread's once it is done.
bool LoadParts(Reading& reading)
{
    ProgressLines progress = StartProgressLines(FileTally(reading).lines);
    PieceQueue queue;
    queue.front = 0;
    queue.back = reading.pieces - 1;
    queue.meet = twoPartMeetingPiece < 0 ? -1 : std::min(twoPartMeetingPiece, reading.pieces);
    reading.sideFrom = reading.pieces;
    std::atomic<uint32_t> positions{0};
    Loader& loader = reading.loaders[0];
    if (reading.count == 2)
    {
        loader.positionsOut = &positions;
        reading.loaders[1].positionsIn = &positions;
    }
    bool sideLoaded = true;
    uint64_t lines = 0, sideLines = 0;
    SideThread side(reading.count < 2 ? std::function<void()>()
                                      : [&]
                        { sideLoaded = LoadPiecesFromBack(reading, queue, &sideLines); });
    bool loaded = true;
    for (int k; (k = TakePiece(queue, false)) >= 0;)
    {
        loader.facetCapacity = uint32_t(reading.before[k + 1].faces);
        uint64_t read = 0;
        loaded = LoadPart(PieceOf(reading, 0, k), loader, &progress, lines, &read) && loaded;
        lines += read;
    }
    side.Join();
    ShowProgressLines(progress, lines + sideLines);
    loader.positionsOut = reading.loaders[1].positionsIn = nullptr;
    return loaded && sideLoaded;
}

// Adds what a loader found to the mesh's counts and the report.
void AddFound(Mesh* mesh, const Loader& loader, ReadReport* report)
{
    for (uint32_t g = 0; g < mesh->groupCount; ++g)
        mesh->groups[g].facetListCount += loader.groupFacets[g];
    for (uint32_t m = 0; m < mesh->materialCount; ++m)
        mesh->materials[m].facetListCount += loader.materialFacets[m];
    mesh->quadCount += loader.quads;
    report->unreadFaceLines += loader.found.unreadFaceLines;
    report->cutFaces += loader.found.cutFaces;
    report->badIndexFaces += loader.found.badIndexFaces;
    report->placeholderCorners += loader.found.placeholderCorners;
}

// Puts what the threads found into the mesh: the polygons that waited for positions split,
// the side thread's pieces moved up to the facets before them, the counts, the bounds and the
// report.
void FinishLoading(Reading& reading, Mesh* mesh, ReadReport* report)
{
    for (int k = 0; k < reading.count; ++k)
    {
        FinishSplitting(reading.loaders[k]);
        AddFound(mesh, reading.loaders[k], report);
    }
    uint32_t stored = reading.loaders[0].facetSlot, positions = reading.loaders[0].vertexSlot;
    for (int k = reading.sideFrom; k < reading.pieces; ++k)
    {
        uint32_t start = uint32_t(reading.before[k].faces), facets = reading.facetEnds[k] - start;
        if (facets > 0 && start != stored)
            std::memmove(mesh->facets + stored, mesh->facets + start, facets * sizeof(Facet));
        reading.facetShift[k] = start - stored;
        stored += facets;
        positions = reading.vertexEnds[k];
    }
    if (mesh->quadCount > 0)
        mesh->flags |= MESH_HAS_QUADS;
    FindBounds(mesh, positions < mesh->vertexCount ? positions : mesh->vertexCount);
    // only stored facets count; an empty facet table is no table
    mesh->facetCount = stored;
    if (mesh->facetCount == 0)
    {
        ReleaseArray(mesh->facets);
        mesh->facets = nullptr;
        mesh->flags &= ~uint32_t(MESH_HAS_FACETS);
    }
}

// This thread's share of the lists, facets 0 to split, with the bar: from its loader's runs,
// or from the table.
void FillMainLists(const Reading& reading, Mesh* mesh, bool fromRuns, uint32_t split,
                   uint32_t* groupNext, uint32_t* materialNext)
{
    if (!fromRuns)
        return FillFacetListsShown(mesh, 0, split, groupNext, materialNext);
    const Loader& loader = reading.loaders[0];
    for (const FacetRun* run = loader.runs; run < loader.runs + loader.runCount; ++run)
    {
        FillFacetRuns(mesh, run, 1, 0, groupNext, materialNext);
        ShowFacetListProgress(mesh, run->first, run->end);
    }
}

// The side thread's share, the facets from split on: from the runs of its pieces in file
// order, or from the table.
void FillSideLists(const Reading& reading, Mesh* mesh, bool fromRuns, uint32_t split,
                   uint32_t* groupNext, uint32_t* materialNext)
{
    if (!fromRuns)
        return FillFacetLists(mesh, split, mesh->facetCount, groupNext, materialNext);
    const Loader& loader = reading.loaders[1];
    for (int k = reading.sideFrom; k < reading.pieces; ++k)
        FillFacetRuns(mesh, loader.runs + reading.runsFrom[k],
                      reading.runsEnd[k] - reading.runsFrom[k], reading.facetShift[k], groupNext,
                      materialNext);
}

// Fills the facet list of every group and material in ascending facet order, from the runs
// the loaders noted where they hold every facet. After a read in two parts the side thread
// fills the lists of the facets it loaded, from the slots that follow the main thread's
// facets of each group and material.
bool BuildFacetLists(Reading& reading, Mesh* mesh)
{
    if (!AllocateFacetLists(mesh->groups, mesh->groupCount) ||
        !AllocateFacetLists(mesh->materials, mesh->materialCount))
        return false;
    static uint32_t groupNext[2][NAME_TABLE_SIZE], materialNext[2][NAME_TABLE_SIZE];
    std::memset(groupNext, 0, sizeof groupNext);
    std::memset(materialNext, 0, sizeof materialNext);
    const Loader& first = reading.loaders[0];
    bool apart = reading.count == 2;
    uint32_t split = apart ? first.facetSlot : mesh->facetCount;
    if (apart)
    {
        std::memcpy(groupNext[1], first.groupFacets, sizeof groupNext[1]);
        std::memcpy(materialNext[1], first.materialFacets, sizeof materialNext[1]);
    }
    bool fromRuns = !first.runsLost && !(apart && reading.loaders[1].runsLost);
    SideThread side(
        !apart ? std::function<void()>()
               : [&]
            { FillSideLists(reading, mesh, fromRuns, split, groupNext[1], materialNext[1]); });
    FillMainLists(reading, mesh, fromRuns, split, groupNext[0], materialNext[0]);
    side.Join();
    ShowFacetListProgress(mesh, split, mesh->facetCount);
    for (uint32_t g = 0; g < mesh->groupCount; ++g)
        mesh->groups[g].facetListFill = mesh->groups[g].facetListCount;
    for (uint32_t m = 0; m < mesh->materialCount; ++m)
        mesh->materials[m].facetListFill = mesh->materials[m].facetListCount;
    return true;
}

void ReleaseReading(Reading& reading)
{
    CloseSidePart(reading);
    for (FaceScratch& scratch : reading.scratch)
        ReleaseFaceScratch(scratch);
}

Mesh* ReadOpenFile(Reading& reading, Mesh* mesh, const char* path, const ReadOptions& options,
                   ReadReport* report)
{
    FILE* file = reading.parts[0].file;
    StartNameTables(fileNames);

    // count, then size every array exactly
    ShowReadPhase(PHASE_SCAN, true, 100, 100);
    PlanParts(reading, file, path, options.allFaces);
    if (!CountParts(reading, options.allFaces))
        return Abandon(mesh, file);
    const Tally& tally = FileTally(reading);
    AdoptObjectNames(tally);
    std::memcpy(mesh->materialLibrary, tally.materialLibrary, MESH_PATH_SIZE);
    if (tally.hasMaterialLibrary)
        mesh->flags |= MESH_HAS_MATERIAL_LIBRARY;
    if (!PrepareLoading(reading, mesh, options.allFaces))
        return Abandon(mesh, file);
    ShowReadPhase(PHASE_SCAN, false, 100, int32_t(mesh->facetCount));

    // fill the arrays
    ShowReadPhase(PHASE_LOAD, true, ProgressRange(tally.lines), int32_t(mesh->vertexCount));
    mesh->boundsMin = Vec3{3000.0f, 3000.0f, 3000.0f};
    mesh->boundsMax = Vec3{-3000.0f, -3000.0f, -3000.0f};
    bool loaded = LoadParts(reading);
    std::fclose(file);
    if (!loaded)
        return Abandon(mesh, nullptr);
    FinishLoading(reading, mesh, report);
    ShowReadPhase(PHASE_LOAD, false, 100, int32_t(mesh->facetCount));

    // the facet list of every group and material
    ShowReadPhase(PHASE_LISTS, true, int32_t(mesh->facetCount), int32_t(mesh->facetCount));
    if (!BuildFacetLists(reading, mesh))
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
    static Reading reading; // large; reads do not overlap (the line buffers are shared too)
    std::memset(&reading, 0, sizeof reading);
    reading.parts[0].file = file;
    mesh = ReadOpenFile(reading, mesh, path, options ? *options : plain, report);
    ReleaseReading(reading);
    return mesh;
}

Mesh* ReadObjMesh(const char* path)
{
    return ReadObjMeshWith(path, nullptr, nullptr);
}
