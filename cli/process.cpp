// The batch tool's work on each input: read, operate, print statistics, write.
#include "cli.h"

#include "export/export.h"
#include "ops/ops.h"

#include <cstring>

#ifdef _WIN32
static const char folderSeparator = '\\';
#else
static const char folderSeparator = '/';
#endif

static bool EndsWithSeparator(const char* path)
{
    size_t length = std::strlen(path);
    if (length == 0)
        return false;
    char last = path[length - 1];
    return last == '\\' || last == '/' || (last == ':' && length == 2);
}

bool MakeOutputPath(const CliArguments* arguments, const char* input, char path[MESH_PATH_SIZE])
{
    path[0] = '\0';
    if (arguments->outputPath)
    {
        // the writer appends ".obj" itself, and refuses a path it cannot extend
        if (std::strlen(arguments->outputPath) >= MESH_PATH_SIZE)
            return false;
        std::strcpy(path, arguments->outputPath);
        return true;
    }
    if (!arguments->outputDir)
        return true;
    const char* dir = arguments->outputDir;
    const char separator[2] = {EndsWithSeparator(dir) ? '\0' : folderSeparator, '\0'};
    int length =
        std::snprintf(path, MESH_PATH_SIZE, "%s%s%s.obj", dir, separator, MeshNameFromPath(input));
    if (length < 0 || length >= MESH_PATH_SIZE)
    {
        path[0] = '\0';
        return false;
    }
    return true;
}

// Appends ", N what" (the first item without the comma) to line when count is not 0, what
// being one or other in the singular and the plural.
static void AppendCount(char* line, size_t size, uint64_t count, const char* one, const char* other)
{
    if (count == 0)
        return;
    size_t used = std::strlen(line);
    std::snprintf(line + used, size - used, "%s%llu %s", line[0] ? ", " : "",
                  static_cast<unsigned long long>(count), count == 1 ? one : other);
}

void PrintReadWarning(const ReadReport* report, bool allFaces, const char* input, FILE* err)
{
    char counts[CLI_MESSAGE_SIZE] = "";
    AppendCount(counts, sizeof counts, report->unreadFaceLines, "face line in a form not read",
                "face lines in forms not read");
    AppendCount(counts, sizeof counts, report->cutFaces, "face cut to its first four corners",
                "faces cut to their first four corners");
    AppendCount(counts, sizeof counts, report->badIndexFaces, "face left out for its indices",
                "faces left out for their indices");
    AppendCount(counts, sizeof counts, report->placeholderCorners,
                "corner given a placeholder texture coordinate or normal",
                "corners given a placeholder texture coordinate or normal");
    if (counts[0] == '\0')
        return;
    std::fprintf(err, "korvella-cli: warning: %s: %s%s\n", input, counts,
                 allFaces ? "" : "; --all-faces reads every face form");
}

void PrintMeshStatistics(const Mesh* mesh, FILE* out)
{
    char line[PANEL_LINE_SIZE];
    FormatMeshNameLine(mesh, line);
    std::fprintf(out, "%s\n", line);
    for (int i = 0; i < STATISTICS_LINE_COUNT; ++i)
    {
        FormatStatisticsLine(mesh, i, line);
        std::fprintf(out, "%s\n", line);
    }
}

// One operation, as the window's command does it; commands whose button the mesh's flags
// leave disabled do nothing. False when the operation could not run (it then leaves the mesh
// as it was, which for compaction and splitting shows in the flag it would have cleared).
static bool ApplyStep(Mesh* mesh, const CliStep* step)
{
    switch (step->operation)
    {
    case CLI_SMOOTH:
        return SmoothMeshNormals(mesh) != 0;
    case CLI_COMPACT:
        if (!(mesh->flags & MESH_DUPLICATE_NORMALS))
            return true;
        CompactNormals(mesh);
        return !(mesh->flags & MESH_DUPLICATE_NORMALS);
    case CLI_TRIANGULATE:
        if (!(mesh->flags & MESH_HAS_QUADS))
            return true;
        ConvertQuadsToTriangles(mesh);
        return !(mesh->flags & MESH_HAS_QUADS);
    case CLI_SCALE:
        if (mesh->flags & MESH_HAS_VERTICES)
            return SetMeshScale(mesh, step->scale.x, step->scale.y, step->scale.z);
        return true;
    }
    return true;
}

static const char* const stepNames[] = {"--smooth", "--compact", "--triangulate", "--scale"};

int ProcessInput(const CliArguments* arguments, const char* input, FILE* out, FILE* err)
{
    char outputPath[MESH_PATH_SIZE];
    if (!MakeOutputPath(arguments, input, outputPath))
    {
        std::fprintf(err, "korvella-cli: cannot write output of %s: path too long\n", input);
        return CLI_EXIT_WRITE;
    }
    if (std::strlen(input) >= MESH_PATH_SIZE)
    {
        std::fprintf(err, "korvella-cli: cannot read %s: path too long\n", input);
        return CLI_EXIT_READ;
    }
    ReadOptions options = {arguments->allFaces};
    ReadReport report;
    Mesh* mesh = ReadObjMeshWith(input, &options, &report);
    if (!mesh)
    {
        std::fprintf(err, "korvella-cli: cannot read %s\n", input);
        return CLI_EXIT_READ;
    }
    PrintReadWarning(&report, arguments->allFaces, input, err);
    for (uint32_t i = 0; i < arguments->stepCount; ++i)
        if (!ApplyStep(mesh, &arguments->steps[i]))
        {
            // writing the mesh without the operation would pass a wrong result off as done
            std::fprintf(err, "korvella-cli: %s could not run on %s; not written\n",
                         stepNames[arguments->steps[i].operation], input);
            FreeMesh(mesh);
            return CLI_EXIT_WRITE;
        }
    if (arguments->printStats)
    {
        PrintMeshStatistics(mesh, out);
        std::fflush(out);
    }
    int result = CLI_EXIT_DONE;
    if (outputPath[0] && !WriteObjMeshFile(mesh, outputPath, arguments->exportOptions))
    {
        std::fprintf(err, "korvella-cli: cannot write %s\n", outputPath);
        result = CLI_EXIT_WRITE;
    }
    FreeMesh(mesh);
    return result;
}

// Two inputs written to one file would leave only the last; that is refused before any work.
// Windows file names ignore case, so there the comparison does too.
static bool SameOutputPath(const char* a, const char* b)
{
#ifdef _WIN32
    for (; *a && *b; ++a, ++b)
    {
        char ca = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
#else
    return std::strcmp(a, b) == 0;
#endif
}

static bool FindSharedOutput(const CliArguments* arguments, FILE* err)
{
    if (!arguments->outputDir || arguments->inputCount < 2)
        return false;
    char(*paths)[MESH_PATH_SIZE] =
        static_cast<char(*)[MESH_PATH_SIZE]>(AllocateArray(arguments->inputCount, MESH_PATH_SIZE));
    if (!paths)
        return false; // each input then reports its own outcome
    bool shared = false;
    for (uint32_t i = 0; i < arguments->inputCount && !shared; ++i)
    {
        MakeOutputPath(arguments, arguments->inputs[i], paths[i]);
        for (uint32_t j = 0; j < i && !shared; ++j)
            if (paths[i][0] && SameOutputPath(paths[i], paths[j]))
            {
                std::fprintf(err, "korvella-cli: %s and %s would both be written to %s\n",
                             arguments->inputs[j], arguments->inputs[i], paths[i]);
                shared = true;
            }
    }
    ReleaseArray(paths);
    return shared;
}

int RunCli(int argc, const char* const* argv, FILE* out, FILE* err)
{
    CliArguments arguments;
    ParseCliArguments(argc, argv, &arguments);
    int result = CLI_EXIT_DONE;
    if (arguments.quiet)
        progressStream = nullptr;
    if (arguments.action == CLI_SHOW_HELP)
        std::fputs(cliHelpText, out);
    else if (arguments.action == CLI_SHOW_VERSION)
        std::fputs(cliVersionText, out);
    else if (arguments.action == CLI_USAGE_ERROR)
    {
        std::fprintf(err, "%s\n", arguments.message);
        result = CLI_EXIT_USAGE;
    }
    else if (FindSharedOutput(&arguments, err))
        result = CLI_EXIT_USAGE;
    else
        for (uint32_t i = 0; i < arguments.inputCount; ++i)
        {
            int code = ProcessInput(&arguments, arguments.inputs[i], out, err);
            result = code > result ? code : result;
        }
    FreeCliArguments(&arguments);
    return result;
}
