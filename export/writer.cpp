// The OBJ writer: formats the mesh into a large buffer and writes it through a temporary file
// that replaces the target only once everything was written, or straight to a stream.
#include "export/export.h"

#include "mesh/mesh.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
// The two system functions the writer needs, declared here so that the portable core does not
// pull in the whole Windows header.
extern "C" __declspec(dllimport) char* __stdcall CharPrevA(const char* start, const char* current);
extern "C" __declspec(dllimport) int __stdcall MoveFileExA(const char* from, const char* to,
                                                           unsigned long flags);
static const char lineEnd[] = "\r\n";
#else
#include <sys/stat.h>
#include <unistd.h>
static const char lineEnd[] = "\n";
#endif
static const size_t lineEndLength = sizeof(lineEnd) - 1;

int writerWriteFailAt = 0;

enum
{
    OUTPUT_BUFFER_SIZE = 1 << 20,
    // Room every line is given before it is formatted: three numbers of FORMAT_FIXED8_MAX,
    // a 255-character library name, or a facet line all fit.
    LINE_ROOM = 4 * FORMAT_FIXED8_MAX + 64,
    // Marks "no group or material written yet"; no table index reaches it.
    NO_INDEX = 32000,
};
static_assert(FACET_LINE_MAX >= 1 + FACET_MAX_CORNERS * 36 + 2 &&
                  int(LINE_ROOM) >= int(FACET_LINE_MAX),
              "a facet line of every corner a facet holds fits its room");

// ---- Number formatting ----------------------------------------------------------------------

static const char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

// Writes the eight decimals of fraction (below 10^8), with leading zeros.
static char* PutEightDigits(char* cursor, uint32_t fraction)
{
    for (int i = 6; i >= 0; i -= 2)
    {
        std::memcpy(cursor + i, digitPairs + 2 * (fraction % 100), 2);
        fraction /= 100;
    }
    return cursor + 8;
}

// The common case in exact integer arithmetic: value = m * 2^e with few significant bits, so
// that m * 10^8 fits 64 bits; the result is then rounded half to even as printf rounds.
// Returns 0 when the value needs the general path (zero, subnormal, huge, inf, NaN, or too
// many significant bits).
static size_t FormatFixed8Fast(double value, char* buffer)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
    if (biasedExponent == 0 || biasedExponent == 0x7ff)
        return 0;
    // |value| = m * 2^e
    uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    int e = biasedExponent - 1075;
    int zeros = __builtin_ctzll(m);
    m >>= zeros;
    e += zeros;
    if (m >= (uint64_t(1) << 45))
        return 0;
    char* cursor = buffer;
    if (bits >> 63)
        *cursor++ = '-';
    if (e > 0)
    {
        // An integer below 2^64.
        if (e >= 19)
            return 0;
        cursor = std::to_chars(cursor, cursor + 24, m << e).ptr;
        std::memcpy(cursor, ".00000000", 9);
        return static_cast<size_t>(cursor + 9 - buffer);
    }
    // scaled = |value| * 10^8 = m * 5^8 * 2^(e + 8), rounded half to even.
    uint64_t product = m * 390625;
    int shift = -(e + 8);
    uint64_t scaled;
    if (shift <= 0)
    {
        int left = -shift; // 0 to 8, since -8 <= e <= 0
        if (left > 0 && (product >> (64 - left)) != 0)
            return 0;
        scaled = product << left;
    }
    else
    {
        if (shift >= 64)
            return 0;
        scaled = product >> shift;
        uint64_t rest = product & ((uint64_t(1) << shift) - 1);
        uint64_t half = uint64_t(1) << (shift - 1);
        if (rest > half || (rest == half && (scaled & 1)))
            scaled++;
    }
    cursor = std::to_chars(cursor, cursor + 24, scaled / 100000000).ptr;
    *cursor++ = '.';
    cursor = PutEightDigits(cursor, static_cast<uint32_t>(scaled % 100000000));
    return static_cast<size_t>(cursor - buffer);
}

size_t FormatFixed8(double value, char* buffer)
{
    if (size_t length = FormatFixed8Fast(value, buffer))
        return length;

    // Infinities and NaNs are spelled as glibc's printf spells them, sign included.
    const char* special = nullptr;
    if (std::isnan(value))
        special = std::signbit(value) ? "-nan" : "nan";
    else if (std::isinf(value))
        special = std::signbit(value) ? "-inf" : "inf";
    if (special)
    {
        size_t length = std::strlen(special);
        std::memcpy(buffer, special, length);
        return length;
    }
    std::to_chars_result result =
        std::to_chars(buffer, buffer + FORMAT_FIXED8_MAX, value, std::chars_format::fixed, 8);
    return static_cast<size_t>(result.ptr - buffer);
}

size_t FormatLong(int32_t value, char* buffer)
{
    std::to_chars_result result = std::to_chars(buffer, buffer + 11, value);
    return static_cast<size_t>(result.ptr - buffer);
}

// ---- Output buffer --------------------------------------------------------------------------

struct ObjOutput
{
    char* data;
    size_t fill;
    FILE* file;
    bool failed;
};

static void FlushOutput(ObjOutput* out)
{
    if (out->fill == 0 || out->failed)
    {
        out->fill = 0;
        return;
    }
    bool injectedFailure = writerWriteFailAt > 0 && --writerWriteFailAt == 0;
    if (injectedFailure || std::fwrite(out->data, 1, out->fill, out->file) != out->fill)
        out->failed = true;
    out->fill = 0;
}

// Returns the cursor where a line of up to LINE_ROOM bytes may be formatted.
static char* BeginLine(ObjOutput* out)
{
    if (out->fill + LINE_ROOM > OUTPUT_BUFFER_SIZE)
        FlushOutput(out);
    return out->data + out->fill;
}

static void EndLine(ObjOutput* out, char* cursor)
{
    out->fill = static_cast<size_t>(cursor - out->data);
}

static char* PutText(char* cursor, const char* text)
{
    size_t length = std::strlen(text);
    std::memcpy(cursor, text, length);
    return cursor + length;
}

static char* PutLineEnd(char* cursor)
{
    std::memcpy(cursor, lineEnd, lineEndLength);
    return cursor + lineEndLength;
}

static char* PutLong(char* cursor, uint32_t value)
{
    // Counts and indices are written as a 32-bit long would print them.
    return cursor + FormatLong(static_cast<int32_t>(value), cursor);
}

static char* PutFixed(char* cursor, double value)
{
    return cursor + FormatFixed8(value, cursor);
}

// Writes prefix, the number, suffix, and a line end, as one line.
static void WriteCountLine(ObjOutput* out, const char* prefix, uint32_t value, const char* suffix)
{
    char* cursor = BeginLine(out);
    cursor = PutText(cursor, prefix);
    cursor = PutLong(cursor, value);
    cursor = PutText(cursor, suffix);
    EndLine(out, PutLineEnd(cursor));
}

// Writes text (which holds no line end) followed by a line end; an empty text gives an empty
// line.
static void WriteTextLine(ObjOutput* out, const char* prefix, const char* text)
{
    char* cursor = BeginLine(out);
    cursor = PutText(cursor, prefix);
    cursor = PutText(cursor, text);
    EndLine(out, PutLineEnd(cursor));
}

// ---- Sections -------------------------------------------------------------------------------

static const char ruleLine[] =
    "#  ==========================================================================";

static void WriteHeader(ObjOutput* out, const Mesh* mesh)
{
    WriteTextLine(out, ruleLine, "");
    WriteTextLine(out, "#  Wavefront OBJ exported by Korvella v1.0", "");
    WriteTextLine(out, "#  ", "");
    WriteTextLine(
        out, "#  (stats below do not reflect user-supplied export options to the contrary)", "");
    WriteCountLine(out, "#  Vertices:  ", mesh->vertexCount, "");
    WriteCountLine(out, "#  UV Coords: ", mesh->uvCount, "");
    WriteCountLine(out, "#  Normals:   ", mesh->normalCount, "");
    WriteCountLine(out, "#  Faces:     ", mesh->facetCount, "");
    WriteCountLine(out, "#  Groups:    ", mesh->groupCount, "");
    WriteCountLine(out, "#  Materials: ", mesh->materialCount, "");
    WriteTextLine(out, ruleLine, "");
    WriteTextLine(out, "", "");
}

static void WriteMaterialLibrary(ObjOutput* out, const Mesh* mesh, uint32_t options)
{
    if (mesh->materialLibrary[0] == '\0' || !(options & OPT_EXPORT_MATERIALS))
        return;
    WriteTextLine(out, "mtllib ", mesh->materialLibrary);
    WriteTextLine(out, "", "");
}

static void WriteVertexLine(ObjOutput* out, double x, double y, double z)
{
    char* cursor = BeginLine(out);
    cursor = PutText(cursor, "v ");
    cursor = PutFixed(cursor, x);
    *cursor++ = ' ';
    cursor = PutFixed(cursor, y);
    *cursor++ = ' ';
    cursor = PutFixed(cursor, z);
    EndLine(out, PutLineEnd(cursor));
}

static void WriteVertices(ObjOutput* out, const Mesh* mesh, uint32_t options)
{
    uint32_t written = 1;
    if ((mesh->flags & MESH_HAS_VERTICES) && (options & OPT_EXPORT_VERTICES))
    {
        // Each product of two floats is exact in double.
        double sx = mesh->scale.x, sy = mesh->scale.y, sz = mesh->scale.z;
        for (uint32_t i = 0; i < mesh->vertexCount; i++)
        {
            const Vec3& v = mesh->vertices[i];
            WriteVertexLine(out, v.x * sx, v.y * sy, v.z * sz);
        }
        written = mesh->vertexCount;
    }
    else
        WriteVertexLine(out, 0.0, 0.0, 0.0);
    WriteCountLine(out, "# ", written, " Vertices");
    WriteTextLine(out, "", "");
}

static void WriteUvLine(ObjOutput* out, double u, double v)
{
    char* cursor = BeginLine(out);
    cursor = PutText(cursor, "vt ");
    cursor = PutFixed(cursor, u);
    *cursor++ = ' ';
    cursor = PutFixed(cursor, v);
    EndLine(out, PutLineEnd(cursor));
}

static void WriteUvs(ObjOutput* out, const Mesh* mesh, uint32_t options)
{
    uint32_t written = 1;
    if ((mesh->flags & MESH_HAS_UVS) && (options & OPT_EXPORT_UV_COORDS))
    {
        bool flipU = (options & OPT_FLIP_UV_HORIZONTALLY) != 0;
        bool flipV = (options & OPT_FLIP_UV_VERTICALLY) != 0;
        for (uint32_t i = 0; i < mesh->uvCount; i++)
        {
            double u = mesh->uCoords[i], v = mesh->vCoords[i];
            WriteUvLine(out, flipU ? 1.0 - u : u, flipV ? 1.0 - v : v);
        }
        written = mesh->uvCount;
    }
    else
        WriteUvLine(out, 0.0, 0.0);
    WriteCountLine(out, "# ", written, " Texture Coordinates");
    WriteTextLine(out, "", "");
}

static void WriteNormals(ObjOutput* out, const Mesh* mesh, uint32_t options)
{
    uint32_t written = 0;
    if ((mesh->flags & MESH_HAS_NORMALS) && (options & OPT_EXPORT_NORMALS))
    {
        for (uint32_t i = 0; i < mesh->normalCount; i++)
        {
            const Vec3& n = mesh->normals[i];
            char* cursor = BeginLine(out);
            cursor = PutText(cursor, "vn ");
            cursor = PutFixed(cursor, n.x);
            *cursor++ = ' ';
            cursor = PutFixed(cursor, n.y);
            *cursor++ = ' ';
            cursor = PutFixed(cursor, n.z);
            EndLine(out, PutLineEnd(cursor));
        }
        written = mesh->normalCount;
    }
    WriteCountLine(out, "# ", written, " Normals");
    WriteTextLine(out, "", "");
}

// ---- Facets ---------------------------------------------------------------------------------

int ChooseCornerForm(uint32_t meshFlags, uint32_t options)
{
    bool vertices = (meshFlags & MESH_HAS_VERTICES) && (options & OPT_EXPORT_VERTICES);
    bool uvs = (meshFlags & MESH_HAS_UVS) && (options & OPT_EXPORT_UV_COORDS);
    bool normals = (meshFlags & MESH_HAS_NORMALS) && (options & OPT_EXPORT_NORMALS);
    int row = (vertices ? 0 : 4) + (uvs ? 0 : 2) + (normals ? 0 : 1);
    int form = 2 * row + 2;
    return (options & OPT_REVERSE_FACES) ? form - 1 : form;
}

char* WriteFacetLine(char* cursor, const Facet* facet, int form)
{
    assert(form >= 1 && form <= 16);
    int row = (form - 1) / 2;
    bool reversed = (form & 1) != 0;
    bool vertices = !(row & 4), uvs = !(row & 2), normals = !(row & 1);
    uint32_t count = facet->cornerCount;
    assert(count <= FACET_MAX_CORNERS);
    if (count > FACET_MAX_CORNERS)
        count = FACET_MAX_CORNERS;

    *cursor++ = 'f';
    for (uint32_t k = 0; k < count; k++)
    {
        uint32_t corner = reversed ? count - 1 - k : k;
        // A literal 1 points at the placeholder of a section that is not written.
        uint32_t v = vertices ? static_cast<uint32_t>(facet->vertexIndex[corner]) + 1 : 1;
        uint32_t t = uvs ? static_cast<uint32_t>(facet->uvIndex[corner]) + 1 : 1;
        *cursor++ = ' ';
        cursor = PutLong(cursor, v);
        *cursor++ = '/';
        cursor = PutLong(cursor, t);
        if (normals)
        {
            *cursor++ = '/';
            cursor = PutLong(cursor, static_cast<uint32_t>(facet->normalIndex[corner]) + 1);
        }
    }
    return PutLineEnd(cursor);
}

struct FacetSection
{
    const Mesh* mesh;
    uint32_t options;
    int form;
    uint32_t lastGroup;
    uint32_t lastMaterial;
    uint32_t written;
};

static void WriteOneFacet(ObjOutput* out, FacetSection* section, uint32_t facetIndex)
{
    const Mesh* mesh = section->mesh;
    const Facet& facet = mesh->facets[facetIndex];
    assert(facet.groupIndex < mesh->groupCount && facet.materialIndex < mesh->materialCount);
    if ((section->options & OPT_EXPORT_GROUP_NAMES) && facet.groupIndex != section->lastGroup)
        WriteTextLine(out, "g ", mesh->groups[facet.groupIndex].name);
    if ((section->options & OPT_EXPORT_MATERIALS) && facet.materialIndex != section->lastMaterial)
        WriteTextLine(out, "usemtl ", mesh->materials[facet.materialIndex].name);
    section->lastGroup = facet.groupIndex;
    section->lastMaterial = facet.materialIndex;
    EndLine(out, WriteFacetLine(BeginLine(out), &facet, section->form));
    section->written++;
}

// Writes the facets of each table entry in table order, each entry's list in list order.
static void WriteFacetsByTable(ObjOutput* out, FacetSection* section, const Group* table,
                               uint32_t tableCount)
{
    for (uint32_t i = 0; i < tableCount; i++)
    {
        for (uint32_t k = 0; k < table[i].facetListCount; k++)
            WriteOneFacet(out, section, table[i].facetList[k]);
    }
}

static uint32_t WriteFacets(ObjOutput* out, const Mesh* mesh, uint32_t options)
{
    FacetSection section = {mesh, options, 0, NO_INDEX, NO_INDEX, 0};
    if (!(options & OPT_EXPORT_FACES))
        return 0;
    section.form = ChooseCornerForm(mesh->flags, options);
    if (options & OPT_SORT_BY_MATERIAL)
        WriteFacetsByTable(out, &section, mesh->materials, mesh->materialCount);
    else if (options & OPT_SORT_BY_GROUP)
        WriteFacetsByTable(out, &section, mesh->groups, mesh->groupCount);
    else
    {
        for (uint32_t i = 0; i < mesh->facetCount; i++)
            WriteOneFacet(out, &section, i);
    }
    return section.written;
}

static void WriteWholeMesh(ObjOutput* out, const Mesh* mesh, uint32_t options)
{
    WriteHeader(out, mesh);
    WriteMaterialLibrary(out, mesh, options);
    WriteVertices(out, mesh, options);
    WriteUvs(out, mesh, options);
    WriteNormals(out, mesh, options);
    uint32_t written = WriteFacets(out, mesh, options);
    WriteCountLine(out, "# ", written, " Total Facets");
    WriteTextLine(out, "", "");
    FlushOutput(out);
}

// ---- Paths and files ------------------------------------------------------------------------

static const char* PreviousCharacter(const char* start, const char* current)
{
#ifdef _WIN32
    return CharPrevA(start, current);
#else
    return current - 1;
#endif
}

bool AppendDefaultExtension(char* path, size_t pathSize, const char* extension)
{
    size_t length = std::strlen(path);
    const char* p = path + length;
    while (p > path)
    {
        p = PreviousCharacter(path, p);
        if (*p == '.')
            return true;
        if (IsFolderSeparator(*p))
            break;
    }
    size_t extensionLength = std::strlen(extension);
    if (length + extensionLength + 1 > pathSize)
        return false;
    std::memcpy(path + length, extension, extensionLength + 1);
    return true;
}

enum
{
    TEMP_NAME_TRIES = 100,
    // The file a link points to may lie anywhere, so its path is not bound to MESH_PATH_SIZE.
    TARGET_PATH_SIZE = 4096,
    TEMP_PATH_SIZE = TARGET_PATH_SIZE + 16,
    LINK_HOPS_MAX = 40,
};

// The file a write replaces and what the replacement keeps of it.
struct WriteTarget
{
    char path[TARGET_PATH_SIZE]; // the path given, or the file its links end at
    bool exists;
    bool regular; // false for a device, a pipe or a folder: written in place, as opened
#ifndef _WIN32
    struct stat info;
#endif
};

#ifndef _WIN32
// Replaces path (a symbolic link) by what it points to; a relative link counts from the link's
// folder. False when the link cannot be read or the result does not fit.
static bool FollowOneLink(char* path)
{
    char link[TARGET_PATH_SIZE];
    ssize_t length = readlink(path, link, sizeof link - 1);
    if (length < 0)
        return false;
    link[length] = '\0';
    size_t folderLength = std::strlen(path);
    while (folderLength > 0 && path[folderLength - 1] != '/')
        folderLength--;
    if (link[0] == '/')
        folderLength = 0;
    if (folderLength + static_cast<size_t>(length) + 1 > TARGET_PATH_SIZE)
        return false;
    std::memcpy(path + folderLength, link, static_cast<size_t>(length) + 1);
    return true;
}

// Follows symbolic links from the path given to the file they end at, which need not exist
// yet (a plain open creates it). False on a loop or an unreadable link.
static bool ResolveLinks(WriteTarget* target)
{
    for (int hop = 0; hop < LINK_HOPS_MAX; hop++)
    {
        struct stat info;
        if (lstat(target->path, &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        if (!FollowOneLink(target->path))
            return false;
    }
    return false;
}
#endif

// Finds the file to replace and refuses one the user could not open for writing, as a plain
// open would: a read-only file (on Windows the read-only attribute), no permission.
static bool PrepareTarget(const char* path, WriteTarget* target)
{
    std::snprintf(target->path, sizeof target->path, "%s", path);
#ifdef _WIN32
    struct _stat info;
    target->exists = _stat(path, &info) == 0;
    target->regular = !target->exists || (info.st_mode & _S_IFREG);
    return !target->exists || _access(path, 2) == 0;
#else
    // a device, a pipe or another non-file is written in place through the name given
    target->exists = stat(path, &target->info) == 0;
    target->regular = !target->exists || S_ISREG(target->info.st_mode);
    if (target->regular && !ResolveLinks(target))
        return false;
    return !target->exists || access(target->path, W_OK) == 0;
#endif
}

// Opens a new file for writing; fails when a file of that name exists.
static FILE* CreateNewFile(const char* path)
{
#ifdef _WIN32
    // The system C library of Windows does not know fopen's "x" mode.
    int descriptor = _open(path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (descriptor < 0)
        return nullptr;
    FILE* file = _fdopen(descriptor, "wb");
    if (!file)
        _close(descriptor);
    return file;
#else
    return std::fopen(path, "wbx");
#endif
}

// Creates a new temporary file beside target ("~kvNN.tmp" in the target's folder) and stores
// its name in tempPath. Never opens a file that exists already.
static FILE* CreateTempBeside(const char* target, char* tempPath)
{
    size_t folderLength = std::strlen(target);
    while (folderLength > 0 && !IsFolderSeparator(target[folderLength - 1]))
        folderLength--;
    static unsigned serial = 0;
    for (int attempt = 0; attempt < TEMP_NAME_TRIES; attempt++)
    {
        std::memcpy(tempPath, target, folderLength);
        std::snprintf(tempPath + folderLength, TEMP_PATH_SIZE - folderLength, "~kv%02u.tmp",
                      serial++ % 100);
        FILE* file = CreateNewFile(tempPath);
        if (file)
            return file;
        // Another file of that name exists (or the folder cannot be written): try the next.
        FILE* existing = std::fopen(tempPath, "rb");
        if (!existing)
            return nullptr;
        std::fclose(existing);
    }
    return nullptr;
}

#ifndef _WIN32
static bool SetOwner(int descriptor, uid_t owner, gid_t group)
{
    return fchown(descriptor, owner, group) == 0;
}
#endif

// Gives the replacement the target's permission bits, its owner where the user may (the
// superuser) and its group where the user may (a group the user belongs to). A new file keeps
// the mode the umask gave it.
static void KeepTargetAttributes(FILE* file, const WriteTarget* target)
{
#ifndef _WIN32
    if (!target->exists)
        return;
    int descriptor = fileno(file);
    // ownership first: changing it may clear the set-id bits that the mode then restores
    if (!SetOwner(descriptor, target->info.st_uid, target->info.st_gid))
        SetOwner(descriptor, static_cast<uid_t>(-1), target->info.st_gid);
    fchmod(descriptor, target->info.st_mode & 07777);
#endif
}

static bool ReplaceFile(const char* from, const char* to)
{
#ifdef _WIN32
    const unsigned long MOVEFILE_REPLACE_EXISTING_FLAG = 0x1;
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING_FLAG) != 0;
#else
    return std::rename(from, to) == 0;
#endif
}

// Writes the whole mesh to an open stream through the output buffer; false when any write,
// or the final flush, failed (a full disk, a file-size limit, an I/O error, a closed pipe).
static bool WriteMeshToStream(const Mesh* mesh, FILE* file, uint32_t options)
{
    char* buffer = AllocateArrayOf<char>(OUTPUT_BUFFER_SIZE);
    if (!buffer)
        return false;
    ObjOutput out = {buffer, 0, file, false};
    WriteWholeMesh(&out, mesh, options);
    ReleaseArray(buffer);
    return !out.failed && std::fflush(file) == 0 && !std::ferror(file);
}

// Writes the mesh to a temporary file and renames it over target; false leaves target as it
// was and no temporary file behind.
static bool WriteThroughTempFile(const Mesh* mesh, const WriteTarget* target, uint32_t options)
{
    char tempPath[TEMP_PATH_SIZE];
    FILE* file = CreateTempBeside(target->path, tempPath);
    if (!file)
        return false;
    KeepTargetAttributes(file, target);
    bool written = WriteMeshToStream(mesh, file, options);
    written = std::fclose(file) == 0 && written;
    if (written)
        written = ReplaceFile(tempPath, target->path);
    if (!written)
        std::remove(tempPath);
    return written;
}

// A target that is no file of its own (a device, a pipe) takes the bytes as they come.
static bool WriteInPlace(const Mesh* mesh, const WriteTarget* target, uint32_t options)
{
    FILE* file = std::fopen(target->path, "wb");
    if (!file)
        return false;
    bool written = WriteMeshToStream(mesh, file, options);
    return std::fclose(file) == 0 && written;
}

bool WriteObjMeshFile(Mesh* mesh, const char* path, uint32_t options)
{
    if (!mesh || !path)
        return false;
    size_t length = std::strlen(path);
    if (length >= MESH_PATH_SIZE)
        return false;
    char named[MESH_PATH_SIZE];
    std::memcpy(named, path, length + 1);
    if (!AppendDefaultExtension(named, sizeof named, ".obj"))
        return false;
    WriteTarget target;
    if (!PrepareTarget(named, &target))
        return false;
    bool written = target.regular ? WriteThroughTempFile(mesh, &target, options)
                                  : WriteInPlace(mesh, &target, options);
    if (!written)
        return false;
    mesh->flags &= ~static_cast<uint32_t>(MESH_SMOOTHED);
    return true;
}

bool WriteObjMeshStream(Mesh* mesh, FILE* stream, uint32_t options)
{
    if (!mesh || !stream || !WriteMeshToStream(mesh, stream, options))
        return false;
    mesh->flags &= ~static_cast<uint32_t>(MESH_SMOOTHED);
    return true;
}
