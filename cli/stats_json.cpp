// The statistics of each input as one JSON object, for scripts that read the batch tool.
#include "cli.h"

#include <charconv>
#include <cmath>
#include <cstring>

// The length of the well-formed UTF-8 sequence at text (2 to 4 bytes), or 0 when the byte
// there starts none: overlong forms, surrogates and values past U+10FFFF are not UTF-8.
static int Utf8SequenceLength(const unsigned char* text)
{
    unsigned char lead = text[0];
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead < 0xC2 || lead > 0xF4)
        return 0;
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    if (text[1] < low || text[1] > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 0;
    return length;
}

void PrintJsonString(const char* text, FILE* out)
{
    std::fputc('"', out);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;)
    {
        int length = *p >= 0x80 ? Utf8SequenceLength(p) : 1;
        if (*p == '"' || *p == '\\')
            std::fprintf(out, "\\%c", *p);
        else if (*p < 0x20 || length == 0)
            // control characters, and bytes of another code page read as Latin-1
            std::fprintf(out, "\\u%04x", *p);
        else
            std::fwrite(p, 1, static_cast<size_t>(length), out);
        p += length > 0 ? length : 1;
    }
    std::fputc('"', out);
}

void PrintJsonNumber(double value, FILE* out)
{
    // JSON has no infinities or NaNs: they are given as the panel spells them
    if (std::isnan(value))
        return PrintJsonString(std::signbit(value) ? "-nan" : "nan", out);
    if (std::isinf(value))
        return PrintJsonString(value < 0 ? "-inf" : "inf", out);
    // the shortest text that reads back as the same double
    char text[32];
    std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    std::fwrite(text, 1, static_cast<size_t>(result.ptr - text), out);
}

static void PrintJsonBounds(const Mesh* mesh, FILE* out)
{
    const Vec3* corners[2] = {&mesh->boundsMin, &mesh->boundsMax};
    const char* names[2] = {"min", "max"};
    std::fputs("\"bounds\": {", out);
    for (int c = 0; c < 2; ++c)
    {
        const float values[3] = {corners[c]->x, corners[c]->y, corners[c]->z};
        const float factors[3] = {mesh->scale.x, mesh->scale.y, mesh->scale.z};
        std::fprintf(out, "%s\"%s\": [", c ? ", " : "", names[c]);
        for (int axis = 0; axis < 3; ++axis)
        {
            std::fputs(axis ? ", " : "", out);
            // scaled as the panel shows it; the product of two floats is exact in double
            PrintJsonNumber(static_cast<double>(values[axis]) * factors[axis], out);
        }
        std::fputc(']', out);
    }
    std::fputc('}', out);
}

static void PrintJsonCounts(const Mesh* mesh, FILE* out)
{
    const struct
    {
        const char* name;
        uint32_t count;
    } counts[] = {{"materials", mesh->materialCount}, {"groups", mesh->groupCount},
                  {"facets", mesh->facetCount},       {"vertices", mesh->vertexCount},
                  {"normals", mesh->normalCount},     {"uv_coords", mesh->uvCount}};
    for (const auto& entry : counts)
        std::fprintf(out, "\"%s\": %lu, ", entry.name, static_cast<unsigned long>(entry.count));
}

void PrintStatisticsJson(const char* input, const Mesh* mesh, const char* error, FILE* out)
{
    std::fputs("{\"path\": ", out);
    PrintJsonString(input, out);
    std::fputs(", \"name\": ", out);
    PrintJsonString(InputMeshName(input), out);
    if (!mesh)
    {
        std::fputs(", \"ok\": false, \"error\": ", out);
        PrintJsonString(error, out);
        std::fputc('}', out);
        return;
    }
    std::fputs(", \"ok\": true, \"material_library\": ", out);
    if (mesh->materialLibrary[0])
        PrintJsonString(mesh->materialLibrary, out);
    else
        std::fputs("null", out);
    std::fputs(", ", out);
    PrintJsonCounts(mesh, out);
    PrintJsonBounds(mesh, out);
    std::fputc('}', out);
}
