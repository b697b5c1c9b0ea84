// The batch tool: command-line parsing, per-input processing and the terminal progress bar.
#pragma once

#include "mesh/mesh.h"
#include "ui/ui.h"

#include <cstdint>
#include <cstdio>

// Exit codes; with several inputs the highest one met is returned.
enum CliExitCode
{
    CLI_EXIT_DONE = 0,
    CLI_EXIT_USAGE = 2,
    CLI_EXIT_READ = 3,
    CLI_EXIT_WRITE = 4,
};

// What the command line asks for as a whole.
enum CliAction
{
    CLI_RUN,
    CLI_SHOW_HELP,
    CLI_SHOW_VERSION,
    CLI_USAGE_ERROR,
};

// Mesh operations, applied in command-line order.
enum CliOperation
{
    CLI_SMOOTH,
    CLI_COMPACT,
    CLI_TRIANGULATE,
    CLI_SCALE,
};

struct CliStep
{
    CliOperation operation;
    Vec3 scale; // CLI_SCALE only
};

enum
{
    CLI_MESSAGE_SIZE = 512,
};

// The parsed command line. steps and inputs are allocated at the argument count and owned by
// the record; inputs point into argv.
struct CliArguments
{
    CliAction action;
    uint32_t stepCount;
    CliStep* steps;
    uint32_t inputCount;
    const char** inputs;
    uint32_t exportOptions; // the word handed to the writer: --options, then the switches
    const char* outputPath; // -o, or null
    const char* outputDir;  // --out-dir, or null
    bool printStats;
    bool statsAsJson; // --stats=json: one JSON array instead of the panel's lines
    bool quiet;
    const char* renderPath; // --render: the picture, or its folder with --out-dir; or null
    uint32_t renderWidth;   // --size, 1024 x 768 by default
    uint32_t renderHeight;
    int renderView;                 // a RenderView, iso by default
    bool allFaces;                  // --all-faces: every face form, polygons split into triangles
    char message[CLI_MESSAGE_SIZE]; // the one-line reason of a usage error
};

// Parses argv[1..argc-1]. On a usage error action is CLI_USAGE_ERROR and message names it.
// Always release the record with FreeCliArguments, whatever the action.
void ParseCliArguments(int argc, const char* const* argv, CliArguments* arguments);
void FreeCliArguments(CliArguments* arguments);

// Parses an option word: decimal or 0x-hexadecimal, at most 32 bits. False when malformed.
bool ParseOptionWord(const char* text, uint32_t* word);
// Parses "S" or "X,Y,Z", each factor a finite number that rounds to a factor in the scale
// dialog's range (ScaleFactorInRange). False otherwise.
bool ParseScaleFactors(const char* text, Vec3* scale);

// The --help text and the --version line, each ending with a line end.
extern const char cliHelpText[];
extern const char cliVersionText[];

// Where an input is written: -o PATH as given (the writer adds ".obj"), DIR/<mesh name>.obj
// with --out-dir, or an empty path when nothing is written. False when the path would not
// fit in MESH_PATH_SIZE bytes.
bool MakeOutputPath(const CliArguments* arguments, const char* input, char path[MESH_PATH_SIZE]);

// Reads one input, applies the steps, prints statistics to out when asked and writes the
// output. Names every failure in one line on err. Returns a CliExitCode.
int ProcessInput(const CliArguments* arguments, const char* input, FILE* out, FILE* err);

// The whole program without the process: parses (-q clears progressStream), checks that no
// two inputs share an output file, processes every input independently. Returns the highest
// exit code met.
int RunCli(int argc, const char* const* argv, FILE* out, FILE* err);

// Prints one line naming what the read of input left out or filled in, when anything was;
// in the default mode the line names --all-faces. Nothing when the report is all zero.
void PrintReadWarning(const ReadReport* report, bool allFaces, const char* input, FILE* err);

// Prints the mesh-name line and the thirteen statistics lines of the mesh, one per line.
void PrintMeshStatistics(const Mesh* mesh, FILE* out);

// ---- Pictures of the mesh (--render) ---------------------------------------------------------

enum RenderView
{
    RENDER_VIEW_ISO, // from front, right and above
    RENDER_VIEW_FRONT,
    RENDER_VIEW_BACK,
    RENDER_VIEW_LEFT,
    RENDER_VIEW_RIGHT,
    RENDER_VIEW_TOP,
    RENDER_VIEW_BOTTOM,
    RENDER_VIEW_COUNT,
};

enum
{
    RENDER_SIZE_MAX = 8192, // largest width and height
    RENDER_DEFAULT_WIDTH = 1024,
    RENDER_DEFAULT_HEIGHT = 768,
};

enum RenderResult
{
    RENDER_DONE,
    RENDER_NO_VERTICES, // nothing to see: no vertex, or none with finite coordinates
    RENDER_NO_MEMORY,
};

// An RGB picture, rows from the top, three bytes per pixel; pixels from AllocateArray.
struct RenderImage
{
    uint32_t width;
    uint32_t height;
    uint8_t* pixels;
};

// The colours of the pictures: background, front faces and back faces at full light.
extern const uint8_t renderBackgroundColor[3];
extern const uint8_t renderFrontColor[3];
extern const uint8_t renderBackColor[3];

// Draws the scaled mesh seen from the view, with a perspective camera fitted to its bounds:
// facets as triangles shaded from their corners' normals (the face normal where a corner has
// none), back faces in their own darker colour; a mesh without facets as points. width and
// height lie from 1 to RENDER_SIZE_MAX. Returns a RenderResult; image->pixels is set only
// on RENDER_DONE and released with FreeRenderImage.
int RenderMesh(const Mesh* mesh, RenderView view, uint32_t width, uint32_t height,
               RenderImage* image);
void FreeRenderImage(RenderImage* image);

// The PNG file of a picture, in a buffer from AllocateArray; false when memory runs out.
bool EncodePng(const RenderImage* image, uint8_t** bytes, size_t* byteCount);
// Writes the PNG file; false (and no partial file) when it cannot be written.
bool WritePngFile(const RenderImage* image, const char* path);

// "WxH" with both sides from 1 to RENDER_SIZE_MAX; "iso", "front", "back", "left", "right",
// "top" or "bottom". False when malformed.
bool ParseRenderSize(const char* text, uint32_t* width, uint32_t* height);
bool ParseRenderView(const char* text, RenderView* view);

// Where the picture of an input goes: --render as given, or FOLDER/<mesh name>.png with
// --out-dir; an empty path without --render. False when the path would not fit.
bool MakeRenderPath(const CliArguments* arguments, const char* input, char path[MESH_PATH_SIZE]);

// ---- Standard streams and JSON statistics ---------------------------------------------------

// True for "-": as an input, standard input; as -o, standard output.
bool IsStandardStream(const char* path);

// The mesh name of an input: "stdin" for "-", else MeshNameFromPath's (a process-wide buffer,
// valid until the next call of either).
const char* InputMeshName(const char* input);

// Copies standard input (in binary mode) into a new temporary file and stores its name in
// path. False, with no file left, when it could not be made or copied. The caller removes it.
bool SpoolStandardInput(char path[MESH_PATH_SIZE]);

// Puts a standard stream in binary mode on Windows, so that its bytes are a file's bytes.
void UseBinaryMode(FILE* stream);

// Prints one input's object of the JSON statistics, without a line end: path, name, ok, and
// with a mesh the material library (null without one), the six counts and the bounds as the
// panel scales them (numbers that read back as the same doubles); without a mesh, error.
void PrintStatisticsJson(const char* input, const Mesh* mesh, const char* error, FILE* out);

// Writes text as a JSON string: quotes, backslashes and control characters escaped, UTF-8
// passed through, any other byte read as Latin-1 and escaped.
void PrintJsonString(const char* text, FILE* out);
// Writes value as the shortest JSON number that reads back as the same double; an infinity or
// a NaN as the string the panel shows ("inf", "-inf", "nan", "-nan").
void PrintJsonNumber(double value, FILE* out);

// ---- Terminal progress bar ------------------------------------------------------------------

enum
{
    PROGRESS_BAR_WIDTH = 18,
    PROGRESS_LINE_SIZE = 128,
};

// Where the batch tool draws the progress display: a stream that is a terminal, or null for
// nothing (not a terminal, or -q). Null at start; main sets it when stderr is a terminal.
extern FILE* progressStream;

// Formats the display as one line: the caption padded to a column, then both bars as
// "[####    ]" filled by position / (maximum - minimum), overfill clamped, an empty range empty.
void FormatProgressLine(const ProgressState* state, char line[PROGRESS_LINE_SIZE]);
