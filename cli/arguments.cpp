// Command-line parsing of the batch tool into a plain record.
#include "cli.h"

#include "export/export.h"
#include "ops/ops.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// KORVELLA_VERSION comes from the project version in CMakeLists.txt.
const char cliVersionText[] = "korvella-cli " KORVELLA_VERSION "\n";

const char cliHelpText[] =
    "Usage: korvella-cli [options] INPUT.obj...\n"
    "Reads each OBJ file (- reads stdin), applies the operations in the order given, and\n"
    "writes it again.\n"
    "\n"
    "Input:\n"
    "  --all-faces          read every face form (v, v/t, v//n, v/t/n), long and continued\n"
    "                       lines, and split polygons of more than four corners\n"
    "\n"
    "Operations, applied to each mesh in command-line order, any number of times:\n"
    "  --smooth             Smooth Seams: face normals and smoothed vertex normals\n"
    "  --compact            Compact Normals: equal normals stored once\n"
    "  --triangulate        Quads to Triangles\n"
    "  --scale S            set all three scale factors (0.05 to 20) and recompute the bounds\n"
    "  --scale X,Y,Z        set the factors per axis (each 0.05 to 20)\n"
    "\n"
    "Export options: start from --options, then apply the switches in command-line order:\n"
    "  --options WORD       option word, decimal or 0x-hexadecimal (default 0x1366)\n"
    "  --no-uvs --no-normals --no-faces --no-groups --no-materials\n"
    "  --uvs --normals --faces --groups --materials\n"
    "  --flip-u --flip-v    write 1 - U, 1 - V\n"
    "  --reverse            write facet corners in reverse order\n"
    "  --sort loaded|material|group   facet order\n"
    "\n"
    "Output:\n"
    "  -o PATH              write the single input to PATH (\".obj\" added without extension);\n"
    "                       -o - writes it to stdout\n"
    "  --out-dir DIR        write each input to DIR/<mesh name>.obj\n"
    "  --stats              print the mesh name and the statistics lines to stdout\n"
    "  --stats=json         print them as one JSON array, an object per input\n"
    "  -q, --quiet          no progress bar on the terminal\n"
    "  -h, --help           show this text\n"
    "  --version            show the version\n"
    "\n"
    "Picture, drawn after the operations:\n"
    "  --render FILE.png    write a shaded picture of the single input to FILE.png; with\n"
    "                       --out-dir it names a folder: one <mesh name>.png per input\n"
    "  --size WxH           picture size, each side 1 to 8192 (default 1024x768)\n"
    "  --view NAME          iso (default: from front, right and above), front, back, left,\n"
    "                       right, top or bottom\n"
    "\n"
    "Exit codes: 0 all inputs done, 2 usage error, 3 an input could not be read,\n"
    "4 an output or a picture could not be written (also: a mesh without vertices has no\n"
    "picture); with several inputs the highest one met.\n";

// Export switches that set or clear one bit of the option word.
struct OptionSwitch
{
    const char* name;
    uint32_t bit;
    bool set;
};

static const OptionSwitch optionSwitches[] = {
    {"--no-uvs", OPT_EXPORT_UV_COORDS, false},       {"--no-normals", OPT_EXPORT_NORMALS, false},
    {"--no-faces", OPT_EXPORT_FACES, false},         {"--no-groups", OPT_EXPORT_GROUP_NAMES, false},
    {"--no-materials", OPT_EXPORT_MATERIALS, false}, {"--uvs", OPT_EXPORT_UV_COORDS, true},
    {"--normals", OPT_EXPORT_NORMALS, true},         {"--faces", OPT_EXPORT_FACES, true},
    {"--groups", OPT_EXPORT_GROUP_NAMES, true},      {"--materials", OPT_EXPORT_MATERIALS, true},
    {"--flip-u", OPT_FLIP_UV_HORIZONTALLY, true},    {"--flip-v", OPT_FLIP_UV_VERTICALLY, true},
    {"--reverse", OPT_REVERSE_FACES, true},
};

static const OptionSwitch* FindOptionSwitch(const char* name)
{
    for (const OptionSwitch& entry : optionSwitches)
        if (std::strcmp(entry.name, name) == 0)
            return &entry;
    return nullptr;
}

bool ParseOptionWord(const char* text, uint32_t* word)
{
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        digits = text + 2;
    }
    // strtoull would accept blanks and signs; only digits are a word
    bool hex = base == 16;
    if (*digits == '\0')
        return false;
    for (const char* p = digits; *p; ++p)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(*p)) : (*p >= '0' && *p <= '9')))
            return false;
    errno = 0;
    unsigned long long value = std::strtoull(digits, nullptr, base);
    if (errno == ERANGE || value > 0xFFFFFFFFull)
        return false;
    *word = static_cast<uint32_t>(value);
    return true;
}

// One factor: a whole decimal number text from 0.05 to 20; end receives what follows it.
static bool ParseScaleFactor(const char* text, float* factor, const char** end)
{
    // strtod skips blanks and reads hexadecimal, infinities and nan; none of these is a factor
    if (!(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.'))
        return false;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return false;
    char* stop = nullptr;
    double value = std::strtod(text, &stop);
    if (stop == text || !std::isfinite(value))
        return false;
    if (!ScaleFactorInRange(static_cast<float>(value)))
        return false;
    *factor = static_cast<float>(value);
    *end = stop;
    return true;
}

bool ParseScaleFactors(const char* text, Vec3* scale)
{
    float values[3];
    const char* p = text;
    int count = 0;
    while (count < 3)
    {
        if (!ParseScaleFactor(p, &values[count], &p))
            return false;
        ++count;
        if (count == 3 || *p != ',')
            break;
        ++p;
    }
    if (*p != '\0' || (count != 1 && count != 3))
        return false;
    if (count == 1)
        values[1] = values[2] = values[0];
    *scale = Vec3{values[0], values[1], values[2]};
    return true;
}

static bool ParseSortOrder(const char* text, uint32_t* options)
{
    uint32_t bit;
    if (std::strcmp(text, "loaded") == 0)
        bit = OPT_SORT_AS_LOADED;
    else if (std::strcmp(text, "material") == 0)
        bit = OPT_SORT_BY_MATERIAL;
    else if (std::strcmp(text, "group") == 0)
        bit = OPT_SORT_BY_GROUP;
    else
        return false;
    *options = (*options & ~(OPT_SORT_AS_LOADED | OPT_SORT_BY_MATERIAL | OPT_SORT_BY_GROUP)) | bit;
    return true;
}

// Parsing state beyond the record: the switches are applied once the base word is known.
struct ParseState
{
    int argc;
    const char* const* argv;
    int index;
    bool optionsOnly; // after "--" every argument is an input
    uint32_t baseWord;
    uint32_t setBits;   // bits of the switches, in command-line order: set, then
    uint32_t clearBits; // cleared, each switch overriding earlier ones
    const char* sortText;
    bool renderSettings; // --size or --view was given
};

// Records a usage error: format names the cause, with detail (a word of the command line) in
// its one "%s".
static void Fail(CliArguments* arguments, const char* format, const char* detail = "")
{
    arguments->action = CLI_USAGE_ERROR;
    std::snprintf(arguments->message, sizeof arguments->message, format, detail);
}

// The value after an option that takes one; null (and a usage error) at the end of argv.
static const char* TakeValue(ParseState* state, CliArguments* arguments)
{
    const char* name = state->argv[state->index];
    if (state->index + 1 >= state->argc)
    {
        Fail(arguments, "korvella-cli: %s needs a value", name);
        return nullptr;
    }
    return state->argv[++state->index];
}

static void ApplySwitch(ParseState* state, const OptionSwitch* entry)
{
    if (entry->set)
    {
        state->setBits |= entry->bit;
        state->clearBits &= ~entry->bit;
    }
    else
    {
        state->clearBits |= entry->bit;
        state->setBits &= ~entry->bit;
    }
}

static void AddScaleStep(ParseState* state, CliArguments* arguments)
{
    const char* value = TakeValue(state, arguments);
    if (!value)
        return;
    CliStep step = {CLI_SCALE, {1.0f, 1.0f, 1.0f}};
    if (!ParseScaleFactors(value, &step.scale))
        return Fail(arguments, "korvella-cli: bad scale \"%s\" (S or X,Y,Z, each from 0.05 to 20)",
                    value);
    arguments->steps[arguments->stepCount++] = step;
}

static void SetOutput(ParseState* state, CliArguments* arguments, const char** target)
{
    const char* name = state->argv[state->index];
    const char* value = TakeValue(state, arguments);
    if (!value)
        return;
    if (arguments->outputPath || arguments->outputDir)
        return Fail(arguments, "korvella-cli: %s: only one of -o and --out-dir, once", name);
    if (value[0] == '\0')
        return Fail(arguments, "korvella-cli: %s needs a non-empty value", name);
    *target = value;
}

// Handles an argument that names an option; false when it is not a known option.
static bool ParseValueOption(ParseState* state, CliArguments* arguments, const char* arg)
{
    if (std::strcmp(arg, "--scale") == 0)
        AddScaleStep(state, arguments);
    else if (std::strcmp(arg, "--options") == 0)
    {
        const char* value = TakeValue(state, arguments);
        if (value && !ParseOptionWord(value, &state->baseWord))
            Fail(arguments, "korvella-cli: bad option word \"%s\" (decimal or 0x-hexadecimal)",
                 value);
    }
    else if (std::strcmp(arg, "--sort") == 0)
    {
        const char* value = TakeValue(state, arguments);
        uint32_t probe = 0;
        if (value && !ParseSortOrder(value, &probe))
            Fail(arguments, "korvella-cli: bad sort order \"%s\" (loaded, material or group)",
                 value);
        else if (value)
            state->sortText = value;
    }
    else if (std::strcmp(arg, "-o") == 0)
        SetOutput(state, arguments, &arguments->outputPath);
    else if (std::strcmp(arg, "--out-dir") == 0)
        SetOutput(state, arguments, &arguments->outputDir);
    else
        return false;
    return true;
}

// --render, --size and --view; false when the argument is none of them.
static bool ParseRenderOption(ParseState* state, CliArguments* arguments, const char* arg)
{
    bool render = std::strcmp(arg, "--render") == 0, size = std::strcmp(arg, "--size") == 0;
    bool view = std::strcmp(arg, "--view") == 0;
    if (!render && !size && !view)
        return false;
    const char* value = TakeValue(state, arguments);
    RenderView parsedView;
    if (!value)
        return true;
    if (render && value[0] == '\0')
        Fail(arguments, "korvella-cli: --render needs a non-empty value%s");
    else if (render)
        arguments->renderPath = value;
    else if (size && !ParseRenderSize(value, &arguments->renderWidth, &arguments->renderHeight))
        Fail(arguments, "korvella-cli: bad size \"%s\" (WxH, each side from 1 to 8192)", value);
    else if (view && !ParseRenderView(value, &parsedView))
        Fail(arguments,
             "korvella-cli: bad view \"%s\" (iso, front, back, left, right, top or bottom)", value);
    else if (view)
        arguments->renderView = parsedView;
    state->renderSettings |= size || view;
    return true;
}

static bool ParseFlagOption(ParseState* state, CliArguments* arguments, const char* arg)
{
    static const struct
    {
        const char* name;
        CliOperation operation;
    } operations[] = {
        {"--smooth", CLI_SMOOTH}, {"--compact", CLI_COMPACT}, {"--triangulate", CLI_TRIANGULATE}};
    for (const auto& entry : operations)
        if (std::strcmp(arg, entry.name) == 0)
        {
            arguments->steps[arguments->stepCount++] = CliStep{entry.operation, {1, 1, 1}};
            return true;
        }
    if (const OptionSwitch* entry = FindOptionSwitch(arg))
        ApplySwitch(state, entry);
    else if (std::strcmp(arg, "--stats") == 0 || std::strcmp(arg, "--stats=json") == 0)
    {
        arguments->printStats = true;
        arguments->statsAsJson = std::strcmp(arg, "--stats=json") == 0;
    }
    else if (std::strcmp(arg, "--all-faces") == 0)
        arguments->allFaces = true;
    else if (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0)
        arguments->quiet = true;
    else
        return false;
    return true;
}

static void ParseOne(ParseState* state, CliArguments* arguments)
{
    const char* arg = state->argv[state->index];
    if (state->optionsOnly || arg[0] != '-' || arg[1] == '\0')
    {
        arguments->inputs[arguments->inputCount++] = arg;
        return;
    }
    if (std::strcmp(arg, "--") == 0)
        state->optionsOnly = true;
    else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)
        arguments->action = CLI_SHOW_HELP;
    else if (std::strcmp(arg, "--version") == 0)
    {
        if (arguments->action != CLI_SHOW_HELP)
            arguments->action = CLI_SHOW_VERSION;
    }
    else if (!ParseValueOption(state, arguments, arg) &&
             !ParseRenderOption(state, arguments, arg) && !ParseFlagOption(state, arguments, arg))
        Fail(arguments, "korvella-cli: unknown option %s (see --help)", arg);
}

// The word the writer gets: the base word, then each switch's last setting, then the sort.
static uint32_t FinalOptionWord(const ParseState* state)
{
    uint32_t word = (state->baseWord | state->setBits) & ~state->clearBits;
    if (state->sortText)
        ParseSortOrder(state->sortText, &word);
    return word;
}

static void CheckRender(const ParseState* state, CliArguments* arguments)
{
    if (state->renderSettings && !arguments->renderPath)
        return Fail(arguments, "korvella-cli: --size and --view need --render%s");
    if (arguments->renderPath && !arguments->outputDir && arguments->inputCount > 1)
        Fail(arguments, "korvella-cli: --render FILE takes a single input; with --out-dir it "
                        "names a folder%s");
}

// Standard input can be read once, and standard output carries either the OBJ or statistics.
static void CheckStandardStreams(CliArguments* arguments)
{
    uint32_t stdinInputs = 0;
    for (uint32_t i = 0; i < arguments->inputCount; ++i)
        stdinInputs += IsStandardStream(arguments->inputs[i]);
    if (stdinInputs > 1)
        return Fail(arguments, "korvella-cli: - (standard input) given more than once%s");
    if (arguments->printStats && arguments->outputPath && IsStandardStream(arguments->outputPath))
        Fail(arguments, "korvella-cli: --stats and -o - would both write to standard output%s");
}

static void CheckInputCount(CliArguments* arguments)
{
    if (arguments->inputCount == 0)
        return Fail(arguments, "korvella-cli: no input file (see --help)%s");
    if (arguments->outputPath && arguments->inputCount > 1)
    {
        char count[16];
        std::snprintf(count, sizeof count, "%u", arguments->inputCount);
        Fail(arguments, "korvella-cli: -o takes a single input, %s given; use --out-dir", count);
    }
    else
        CheckStandardStreams(arguments);
}

void ParseCliArguments(int argc, const char* const* argv, CliArguments* arguments)
{
    *arguments = CliArguments();
    arguments->action = CLI_RUN;
    size_t slots = argc > 0 ? static_cast<size_t>(argc) : 1;
    arguments->steps = AllocateArrayOf<CliStep>(slots);
    arguments->inputs = AllocateArrayOf<const char*>(slots);
    if (!arguments->steps || !arguments->inputs)
        return Fail(arguments, "korvella-cli: out of memory%s");
    arguments->renderWidth = RENDER_DEFAULT_WIDTH;
    arguments->renderHeight = RENDER_DEFAULT_HEIGHT;
    arguments->renderView = RENDER_VIEW_ISO;
    ParseState state = {argc, argv, 1, false, EXPORT_OPTIONS_AT_START, 0, 0, nullptr, false};
    for (; state.index < argc && arguments->action != CLI_USAGE_ERROR; ++state.index)
        ParseOne(&state, arguments);
    arguments->exportOptions = FinalOptionWord(&state);
    if (arguments->action == CLI_RUN)
        CheckInputCount(arguments);
    if (arguments->action == CLI_RUN)
        CheckRender(&state, arguments);
}

void FreeCliArguments(CliArguments* arguments)
{
    ReleaseArray(arguments->inputs);
    ReleaseArray(arguments->steps);
    arguments->inputs = nullptr;
    arguments->steps = nullptr;
    arguments->inputCount = arguments->stepCount = 0;
}
