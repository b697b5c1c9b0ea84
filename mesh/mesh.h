// The mesh record, its allocation helpers, and the OBJ reader that builds it.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t
{
    MESH_HAS_VERTICES = 0x002,
    MESH_HAS_NORMALS = 0x004,
    MESH_HAS_UVS = 0x008,
    MESH_HAS_FACETS = 0x010,
    MESH_HAS_GROUPS = 0x020,
    MESH_HAS_MATERIALS = 0x040,
    MESH_HAS_MATERIAL_LIBRARY = 0x080,
    MESH_SMOOTHED = 0x100,
    MESH_HAS_QUADS = 0x200,
    MESH_DUPLICATE_NORMALS = 0x400,
};

enum
{
    MESH_PATH_SIZE = 256,
    MESH_NAME_SIZE = 64,
    // Nothing makes or keeps a facet of more than four corners (a longer polygon is cut or
    // split before it is stored), so the record has room for exactly four.
    FACET_MAX_CORNERS = 4,
};

struct Vec3
{
    float x, y, z;
};

struct Facet
{
    uint32_t materialIndex;
    uint32_t groupIndex;
    uint32_t cornerCount; // 3 or 4
    int32_t vertexIndex[FACET_MAX_CORNERS];
    int32_t uvIndex[FACET_MAX_CORNERS];
    int32_t normalIndex[FACET_MAX_CORNERS];
    Vec3 faceNormal;
};
// The size arithmetic of the reader, the operations and the limits tests assumes this layout:
// 72 bytes, no padding, so a 32-bit size_t holds up to 59,652,323 facets.
static_assert(sizeof(Facet) == 72, "Facet is three counts, 3 x 4 indices and a normal");

// Group and Material share one layout: a name and the ascending indices of their facets.
// facetList exists only while facetListCount > 0.
struct Group
{
    char name[MESH_NAME_SIZE];
    uint32_t facetListCount;
    uint32_t facetListFill;
    uint32_t* facetList;
};
typedef Group Material;

struct Mesh
{
    char filePath[MESH_PATH_SIZE];
    char materialLibrary[MESH_PATH_SIZE];
    uint32_t vertexCount;
    uint32_t normalCount;
    uint32_t uvCount;
    uint32_t facetCount;
    uint32_t quadCount;
    uint32_t groupCount;
    uint32_t materialCount;
    Vec3 scale;
    Vec3 boundsMin;
    Vec3 boundsMax;
    Facet* facets;       // facetCount
    Vec3* vertices;      // vertexCount
    Vec3* normals;       // normalCount (smoothing may leave it longer)
    float* uCoords;      // uvCount
    float* vCoords;      // uvCount
    Group* groups;       // groupCount, entry 0 "Default"
    Material* materials; // materialCount, entry 0 "Default"
    uint32_t flags;
};

// Allocates count elements of size bytes each, zero-filled. Returns null when count * size
// overflows size_t, when the heap refuses, or when a test has injected a failure.
void* AllocateArray(size_t count, size_t size);
template <typename T> T* AllocateArrayOf(size_t count)
{
    return static_cast<T*>(AllocateArray(count, sizeof(T)));
}
// Releases what AllocateArray returned; null does nothing.
void ReleaseArray(void* memory);
// Asks for 2 MiB pages for an array of at least 4 MiB that is about to be filled (Linux only):
// each first touch of a 4 KiB page of fresh memory traps into the kernel, and random reads of
// a large table miss the address cache page after page. Elsewhere nothing changes.
void AdviseLargePages(void* memory, size_t bytes);
// AllocateArrayOf for a large array filled soon after: the same failures, large pages where the
// system offers them.
template <typename T> T* AllocateLargeArrayOf(size_t count)
{
    T* array = AllocateArrayOf<T>(count);
    AdviseLargePages(array, count * sizeof(T));
    return array;
}

// Test hook: when > 0, the allocation with this 1-based number from now fails (and the
// counter is cleared). allocationCount counts calls of AllocateArray since the last reset.
extern int allocationFailAt;
extern int allocationCount;
// Arrays AllocateArray has handed out and ReleaseArray has not yet taken back; tests compare
// it before and after a step to see that the step leaked nothing.
extern long allocationsHeld;

// Releases the record and every array it owns, in any state the reader may leave behind.
// A null mesh does nothing.
void FreeMesh(Mesh* mesh);

// True for a character that separates folders in a path: the backslash, and on POSIX systems
// also "/".
bool IsFolderSeparator(char c);

// The mesh the open modal dialog (export options or scale) works on. Set by the export
// command's writer and by the scale command before their dialog opens; read only while a
// dialog is open.
extern Mesh* dialogMesh;

// Reads one OBJ file into a new mesh, owned by the caller; null when the file cannot be
// opened or an array cannot be allocated. path holds at most 255 characters.
// The reader keeps process-wide state while it runs (the group and material name tables,
// the block buffer of the file stream, the progress display): it is not reentrant, and two
// reads must not run at the same time on different threads.
Mesh* ReadObjMesh(const char* path);

// How ReadObjMeshWith reads a file. All false is the reading of ReadObjMesh.
struct ReadOptions
{
    // Every face form (v, v/t, v//n, v/t/n, mixed), whole lines of any length up to 1 MiB
    // with backslash continuations, polygons split into triangles, "o" lines naming groups
    // in files without "g" lines, and placeholders for corners without a texture or normal.
    bool allFaces;
};

// What a read left out or filled in, for the caller to tell; the reader prints nothing.
struct ReadReport
{
    uint64_t unreadFaceLines;    // face lines in forms the mode does not read
    uint64_t cutFaces;           // faces kept as a quad of their first four corners
    uint64_t badIndexFaces;      // faces left out for an index 0, out of range or too wide
    uint64_t placeholderCorners; // corners given the placeholder texture coordinate or normal
};

// ReadObjMesh with options; report, when given, is filled in whenever a mesh is returned.
Mesh* ReadObjMeshWith(const char* path, const ReadOptions* options, ReadReport* report);

// Files from this many bytes on are read in two parts, counted and loaded on two threads,
// where the machine has more than one processor; the mesh, the report and the progress calls
// are those of a read in one part.
extern uint64_t twoPartReadFrom;

// Such a file is taken in up to TWO_PART_PIECES pieces; the main thread loads pieces from the
// first on, the side thread from the last back, each taking the next one free until they
// meet. Tests set the piece they meet at (the side thread's first in the file;
// TWO_PART_PIECES or more: past the last); negative (the default): wherever they meet.
const int TWO_PART_PIECES = 32;
extern int twoPartMeetingPiece;

// One corner of a face line as written: 1-based or negative indices.
struct ObjCorner
{
    int64_t vertex;
    int64_t uv;     // when hasUv
    int64_t normal; // when hasNormal
    bool hasUv;
    bool hasNormal;
};

// Corners of an "f" line in any of the forms v, v/t, v//n and v/t/n: reads while the text is
// a corner followed by white space or the end, and ignores what follows. Returns the number
// read; the first capacity are stored (none, and no number converted, when corners is null).
// lacksUv and lacksNormal are set (never cleared) when a corner read has no texture or normal
// index.
uint32_t ScanObjCorners(const char* line, ObjCorner* corners, uint32_t capacity, bool* lacksUv,
                        bool* lacksNormal);
// ScanObjCorners for the counting pass (nothing stored or converted), for a line followed by
// at least SCAN_PADDING readable bytes after its NUL: it takes the form of most corners from
// 32 bytes at a time.
const size_t SCAN_PADDING = 32;
uint32_t CountObjCornersPadded(const char* line, bool* lacksUv, bool* lacksNormal);

// A corner in the polygon's plane, as a list of corners to test against ears holds it.
struct PolygonPoint
{
    double x, y;
    uint32_t corner;
};

// Working storage of SplitPolygon, one element per corner: the corner's state, and one slot
// of each of the two lists of corners that do not turn the polygon's way.
struct PolygonCorner
{
    double x, y; // the corner in the polygon's plane
    uint32_t prev, next;
    uint32_t reflexSlot; // its slot in the list of reflex corners, while it is there
    uint32_t firstSlot;  // its slot in the list of those before any cut, or none (UINT32_MAX)
    bool convex;         // turns the polygon's way
    bool ear;
    bool earPending;          // ear not worked out since the last change
    bool earStale;            // a cut beside it changed it since the polygon was whole
    PolygonPoint reflex;      // slot of the list of the corners not convex now
    PolygonPoint firstReflex; // slot of the list of those not convex before any cut
};

// Splits a polygon of count >= 3 corners into count - 2 triangles, written as corner
// numbers to triangles[3 * k + 0..2]. Ear clipping in the polygon's plane, seen along its
// Newell normal, so each ear turns the polygon's way; where no ear is left (a polygon that
// crosses itself or has no area) the rest becomes a fan. At most quadratic in count.
void SplitPolygon(const Vec3* points, uint32_t count, PolygonCorner* work, uint32_t* triangles);

// Sets MESH_DUPLICATE_NORMALS when two normals are equal component by component.
void AnalyzeMeshNormals(Mesh* mesh);

// Scanning of OBJ line text. Each function takes one NUL-terminated line and matches it the
// way the C library's sscanf matches the format named, returning the number of values
// converted (0 when even the keyword differs). Blanks match any run of white space, "%e"
// rounds to float as strtof does (overflow gives infinity, underflow zero), "%ld" converts a
// decimal integer saturated to 64 bits as strtol does there.

// "KEYWORD %e %e ..." with count values (count <= 3); values may be null to check syntax only.
int ScanObjFloats(const char* line, const char* keyword, int count, float* values);
// "KEYWORD %ld": 1 and the value when the keyword is followed by an integer.
int ScanObjLong(const char* line, const char* keyword, int64_t* value);
// "KEYWORD %s": 1 and the token (start and length, not terminated) when there is one.
int ScanObjToken(const char* line, const char* keyword, const char** token, size_t* length);
// "f %ld/%ld/%ld %ld/%ld/%ld ..." (perCorner 3) or "f %ld/%ld %ld/%ld ..." (perCorner 2), up
// to four corners: the number of values converted, 0 to 4 * perCorner.
// end, when given, receives where the fourth corner ends once all four were read.
int ScanObjFace(const char* line, int perCorner, int64_t values[12], const char** end = nullptr);
// The group name of a "g" line: the text from its third character, cut at the first CR or
// LF, trailing blanks and tabs removed, at most 63 characters kept.
void GetObjGroupName(const char* line, char name[MESH_NAME_SIZE]);
