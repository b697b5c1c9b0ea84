// The batch tool's work on each input: read, operate, print statistics, write.
#include "cli.h"

#include "export/export.h"
#include "ops/ops.h"
#include "res/resource.h"

#include <cstring>

#ifdef _WIN32
static const char folderSeparator = '\\';
#else
static const char folderSeparator = '/';
#endif

// A folder path that needs no separator before a file name: it ends with one (either kind,
// since Windows' file functions take "/" too), or is a bare drive ("C:").
static bool EndsWithSeparator(const char* path)
{
    size_t length = std::strlen(path);
    if (length == 0)
        return false;
    char last = path[length - 1];
    return last == '\\' || last == '/' || (last == ':' && length == 2);
}

// FOLDER/<mesh name>EXTENSION in path; false when it would not fit.
static bool MakePathInFolder(const char* folder, const char* input, const char* extension,
                             char path[MESH_PATH_SIZE])
{
    const char separator[2] = {EndsWithSeparator(folder) ? '\0' : folderSeparator, '\0'};
    int length = std::snprintf(path, MESH_PATH_SIZE, "%s%s%s%s", folder, separator,
                               InputMeshName(input), extension);
    if (length >= 0 && length < MESH_PATH_SIZE)
        return true;
    path[0] = '\0';
    return false;
}

bool MakeRenderPath(const CliArguments* arguments, const char* input, char path[MESH_PATH_SIZE])
{
    path[0] = '\0';
    if (!arguments->renderPath)
        return true;
    if (arguments->outputDir)
        return MakePathInFolder(arguments->renderPath, input, ".png", path);
    if (std::strlen(arguments->renderPath) >= MESH_PATH_SIZE)
        return false;
    std::strcpy(path, arguments->renderPath);
    return true;
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
    return MakePathInFolder(arguments->outputDir, input, ".obj", path);
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
        if (!IsCommandOffered(mesh, IDC_COMPACT_NORMALS))
            return true;
        CompactNormals(mesh);
        return !(mesh->flags & MESH_DUPLICATE_NORMALS);
    case CLI_TRIANGULATE:
        if (!IsCommandOffered(mesh, IDC_QUADS_TO_TRIANGLES))
            return true;
        ConvertQuadsToTriangles(mesh);
        return !(mesh->flags & MESH_HAS_QUADS);
    case CLI_SCALE:
        if (IsCommandOffered(mesh, IDC_SCALE_VERTICES))
            return SetMeshScale(mesh, step->scale.x, step->scale.y, step->scale.z);
        return true;
    }
    return true;
}

// The picture of the mesh after the operations, when --render asks for one.
static int RenderInput(const CliArguments* arguments, const Mesh* mesh, const char* input,
                       FILE* err)
{
    char path[MESH_PATH_SIZE];
    if (!MakeRenderPath(arguments, input, path))
    {
        std::fprintf(err, "korvella-cli: cannot write the picture of %s: path too long\n", input);
        return CLI_EXIT_WRITE;
    }
    if (!path[0])
        return CLI_EXIT_DONE;
    RenderImage image;
    int rendered = RenderMesh(mesh, RenderView(arguments->renderView), arguments->renderWidth,
                              arguments->renderHeight, &image);
    if (rendered == RENDER_NO_VERTICES)
        std::fprintf(err, "korvella-cli: no picture of %s: the mesh has no vertices\n", input);
    else if (rendered == RENDER_NO_MEMORY)
        std::fprintf(err, "korvella-cli: no picture of %s: out of memory\n", input);
    bool written = rendered == RENDER_DONE && WritePngFile(&image, path);
    if (rendered == RENDER_DONE && !written)
        std::fprintf(err, "korvella-cli: cannot write %s\n", path);
    FreeRenderImage(&image);
    return written ? CLI_EXIT_DONE : CLI_EXIT_WRITE;
}

static const char* const stepNames[] = {"--smooth", "--compact", "--triangulate", "--scale"};

// Records why an input failed (format takes up to two words) and returns its exit code.
static int Failure(char failure[CLI_MESSAGE_SIZE], int code, const char* format, const char* first,
                   const char* second = "")
{
    std::snprintf(failure, CLI_MESSAGE_SIZE, format, first, second);
    return code;
}

// Reads one input; "-" is standard input, kept in a temporary file while the reader reads it
// and named "stdin".
static Mesh* ReadInput(const CliArguments* arguments, const char* input, ReadReport* report)
{
    ReadOptions options = {arguments->allFaces};
    if (!IsStandardStream(input))
        return ReadObjMeshWith(input, &options, report);
    char spool[MESH_PATH_SIZE];
    if (!SpoolStandardInput(spool))
        return nullptr;
    Mesh* mesh = ReadObjMeshWith(spool, &options, report);
    std::remove(spool);
    if (mesh)
        std::snprintf(mesh->filePath, sizeof mesh->filePath, "%s", "stdin");
    return mesh;
}

// Reads the input and applies the steps. On failure *result is null, failure names the cause,
// and the exit code is returned.
static int PrepareMesh(const CliArguments* arguments, const char* input, Mesh** result,
                       char failure[CLI_MESSAGE_SIZE], FILE* err)
{
    *result = nullptr;
    if (std::strlen(input) >= MESH_PATH_SIZE)
        return Failure(failure, CLI_EXIT_READ, "cannot read %s: path too long", input);
    ReadReport report;
    Mesh* mesh = ReadInput(arguments, input, &report);
    if (!mesh)
        return Failure(failure, CLI_EXIT_READ, "cannot read %s", input);
    PrintReadWarning(&report, arguments->allFaces, input, err);
    for (uint32_t i = 0; i < arguments->stepCount; ++i)
        if (!ApplyStep(mesh, &arguments->steps[i]))
        {
            // writing the mesh without the operation would pass a wrong result off as done
            FreeMesh(mesh);
            return Failure(failure, CLI_EXIT_WRITE, "%s could not run on %s; not written",
                           stepNames[arguments->steps[i].operation], input);
        }
    *result = mesh;
    return CLI_EXIT_DONE;
}

// The panel's lines of a mesh, or one JSON object for every input, read or not.
static void PrintStatistics(const CliArguments* arguments, const char* input, const Mesh* mesh,
                            const char* failure, FILE* out)
{
    if (!arguments->printStats)
        return;
    if (arguments->statsAsJson)
        PrintStatisticsJson(input, mesh, failure, out);
    else if (mesh)
        PrintMeshStatistics(mesh, out);
    std::fflush(out);
}

// Writes the mesh to its output file, or with "-o -" to out (no temporary file then).
static int WriteOutput(const CliArguments* arguments, Mesh* mesh, const char* outputPath, FILE* out,
                       FILE* err)
{
    bool toStream = IsStandardStream(outputPath);
    if (toStream)
        UseBinaryMode(out);
    bool written = toStream ? WriteObjMeshStream(mesh, out, arguments->exportOptions)
                            : WriteObjMeshFile(mesh, outputPath, arguments->exportOptions);
    if (written)
        return CLI_EXIT_DONE;
    std::fprintf(err, "korvella-cli: cannot write %s\n", toStream ? "standard output" : outputPath);
    return CLI_EXIT_WRITE;
}

int ProcessInput(const CliArguments* arguments, const char* input, FILE* out, FILE* err)
{
    char outputPath[MESH_PATH_SIZE];
    char failure[CLI_MESSAGE_SIZE] = "";
    Mesh* mesh = nullptr;
    int result = CLI_EXIT_DONE;
    if (!MakeOutputPath(arguments, input, outputPath))
        result =
            Failure(failure, CLI_EXIT_WRITE, "cannot write output of %s: path too long", input);
    else
        result = PrepareMesh(arguments, input, &mesh, failure, err);
    if (result != CLI_EXIT_DONE)
        std::fprintf(err, "korvella-cli: %s\n", failure);
    PrintStatistics(arguments, input, mesh, failure, out);
    if (mesh && outputPath[0])
        result = WriteOutput(arguments, mesh, outputPath, out, err);
    if (mesh)
    {
        int rendered = RenderInput(arguments, mesh, input, err);
        result = rendered > result ? rendered : result;
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

// Every input in turn; the JSON statistics wrap their objects in one array, one per line.
static int ProcessAllInputs(const CliArguments* arguments, FILE* out, FILE* err)
{
    bool json = arguments->printStats && arguments->statsAsJson;
    int result = CLI_EXIT_DONE;
    if (json)
        std::fputs("[\n", out);
    for (uint32_t i = 0; i < arguments->inputCount; ++i)
    {
        if (json && i > 0)
            std::fputs(",\n", out);
        int code = ProcessInput(arguments, arguments->inputs[i], out, err);
        result = code > result ? code : result;
    }
    if (json)
        std::fputs("\n]\n", out);
    return result;
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
        result = ProcessAllInputs(&arguments, out, err);
    FreeCliArguments(&arguments);
    return result;
}
