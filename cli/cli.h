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
    CLI_SCALE_MIN_PERCENT = 5, // factors lie between 0.05 and 20
    CLI_SCALE_MAX = 20,
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
    bool quiet;
    bool allFaces;                  // --all-faces: every face form, polygons split into triangles
    char message[CLI_MESSAGE_SIZE]; // the one-line reason of a usage error
};

// Parses argv[1..argc-1]. On a usage error action is CLI_USAGE_ERROR and message names it.
// Always release the record with FreeCliArguments, whatever the action.
void ParseCliArguments(int argc, const char* const* argv, CliArguments* arguments);
void FreeCliArguments(CliArguments* arguments);

// Parses an option word: decimal or 0x-hexadecimal, at most 32 bits. False when malformed.
bool ParseOptionWord(const char* text, uint32_t* word);
// Parses "S" or "X,Y,Z", each factor a finite number from 0.05 to 20. False otherwise.
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
