// The batch tool's standard streams: "-" as an input (standard input kept in a temporary file,
// since the reader reads its file twice) and binary mode for the bytes of OBJ files.
#include "cli.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define StreamOnDescriptor _fdopen
#define CloseDescriptor _close
#else
#include <unistd.h>
#define StreamOnDescriptor fdopen
#define CloseDescriptor close
#endif

enum
{
    SPOOL_CHUNK = 1 << 16,
    SPOOL_NAME_TRIES = 100,
};

bool IsStandardStream(const char* path)
{
    return std::strcmp(path, "-") == 0;
}

const char* InputMeshName(const char* input)
{
    return IsStandardStream(input) ? "stdin" : MeshNameFromPath(input);
}

void UseBinaryMode(FILE* stream)
{
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

// Creates a new empty file for the spool in the system's temporary folder; its name goes to
// path. -1 when none could be made within MESH_PATH_SIZE.
static int CreateSpoolFile(char path[MESH_PATH_SIZE])
{
#ifdef _WIN32
    for (int attempt = 0; attempt < SPOOL_NAME_TRIES; ++attempt)
    {
        char* name = _tempnam(nullptr, "kvin");
        if (!name)
            return -1;
        int length = std::snprintf(path, MESH_PATH_SIZE, "%s", name);
        std::free(name);
        if (length < 0 || length >= MESH_PATH_SIZE)
            return -1;
        int descriptor =
            _open(path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (descriptor >= 0)
            return descriptor;
    }
    return -1;
#else
    const char* folder = std::getenv("TMPDIR");
    if (!folder || !folder[0])
        folder = "/tmp";
    int length = std::snprintf(path, MESH_PATH_SIZE, "%s/korvella-stdin-XXXXXX", folder);
    if (length < 0 || length >= MESH_PATH_SIZE)
        return -1;
    return mkstemp(path);
#endif
}

// Copies everything left on from to to; false on a read or write error.
static bool CopyStream(FILE* from, FILE* to)
{
    char* chunk = AllocateArrayOf<char>(SPOOL_CHUNK);
    if (!chunk)
        return false;
    size_t got;
    bool copied = true;
    while (copied && (got = std::fread(chunk, 1, SPOOL_CHUNK, from)) > 0)
        copied = std::fwrite(chunk, 1, got, to) == got;
    ReleaseArray(chunk);
    return copied && !std::ferror(from);
}

bool SpoolStandardInput(char path[MESH_PATH_SIZE])
{
    int descriptor = CreateSpoolFile(path);
    if (descriptor < 0)
        return false;
    FILE* spool = StreamOnDescriptor(descriptor, "wb");
    if (!spool)
    {
        CloseDescriptor(descriptor);
        std::remove(path);
        return false;
    }
    UseBinaryMode(stdin);
    bool copied = CopyStream(stdin, spool);
    copied = std::fclose(spool) == 0 && copied;
    if (!copied)
        std::remove(path);
    return copied;
}
