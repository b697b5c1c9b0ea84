// Deterministic torus meshes written as OBJ text, for the benchmarks.
#include "generate.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

const int GROUP_BANDS = 4;
const int MATERIAL_BANDS = 3;
const double PI = 3.14159265358979323846;

// Collects text and hands it on in large blocks: to a string, or to a file.
struct TextSink
{
    std::string buffer;
    std::string* text;
    FILE* file;
    bool failed;
    uint64_t bytes;
    uint64_t lines;

    void Flush()
    {
        bytes += buffer.size();
        if (text)
            text->append(buffer);
        else if (!failed && fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size())
            failed = true;
        buffer.clear();
    }
    void Put(const char* s)
    {
        buffer.append(s);
    }
    void EndLine()
    {
        buffer.push_back('\n');
        ++lines;
        if (buffer.size() >= (1u << 20))
            Flush();
    }
};

// Appends a number with six decimals, rounded the same way on every platform.
void PutFixed(TextSink& sink, double value)
{
    long long scaled = std::llround(value * 1e6);
    char digits[32];
    char* end = digits + sizeof digits;
    char* p = end;
    unsigned long long magnitude = scaled < 0 ? 0ull - (unsigned long long)scaled : scaled;
    for (int i = 0; i < 6; ++i, magnitude /= 10)
        *--p = char('0' + magnitude % 10);
    *--p = '.';
    do
        *--p = char('0' + magnitude % 10);
    while ((magnitude /= 10) != 0);
    if (scaled < 0)
        *--p = '-';
    sink.buffer.append(p, end);
}

void PutUnsigned(TextSink& sink, uint32_t value)
{
    char digits[16];
    int n = 0;
    do
        digits[n++] = char('0' + value % 10);
    while ((value /= 10) != 0);
    while (n > 0)
        sink.buffer.push_back(digits[--n]);
}

struct TorusShape
{
    uint32_t columns; // cells per row
    uint32_t rows;    // rows of cells
    uint32_t facets;
};

// Cells per row about the square root of the facet count; every third row holds triangles.
TorusShape ChooseShape(uint32_t facetCount)
{
    TorusShape shape;
    shape.columns = uint32_t(std::sqrt(double(facetCount)));
    if (shape.columns < 3)
        shape.columns = 3;
    shape.facets = facetCount;
    uint32_t made = 0;
    shape.rows = 0;
    while (made < facetCount)
    {
        made += (shape.rows % 3 == 2) ? 2 * shape.columns : shape.columns;
        ++shape.rows;
    }
    return shape;
}

void PutVertexLines(TextSink& sink, const TorusShape& shape, GeneratedObjInfo& info, bool normals)
{
    const double ringRadius = 2.0, tubeRadius = 0.75;
    for (int kind = 0; kind < (normals ? 3 : 2); ++kind)
        for (uint32_t r = 0; r <= shape.rows; ++r)
            for (uint32_t c = 0; c <= shape.columns; ++c)
            {
                double u = double(c) / shape.columns, v = double(r) / shape.rows;
                double a = 2 * PI * u, b = 2 * PI * v;
                double nx = std::cos(a) * std::cos(b), ny = std::sin(a) * std::cos(b);
                double nz = std::sin(b);
                if (kind == 0)
                {
                    double ring = ringRadius + tubeRadius * std::cos(b);
                    sink.Put("v ");
                    PutFixed(sink, ring * std::cos(a));
                    sink.Put(" ");
                    PutFixed(sink, ring * std::sin(a));
                    sink.Put(" ");
                    PutFixed(sink, tubeRadius * nz);
                    ++info.vertexCount;
                }
                else if (kind == 1)
                {
                    sink.Put("vt ");
                    PutFixed(sink, u);
                    sink.Put(" ");
                    PutFixed(sink, v);
                    ++info.uvCount;
                }
                else
                {
                    sink.Put("vn ");
                    PutFixed(sink, nx);
                    sink.Put(" ");
                    PutFixed(sink, ny);
                    sink.Put(" ");
                    PutFixed(sink, nz);
                    ++info.normalCount;
                }
                sink.EndLine();
            }
}

void PutCorner(TextSink& sink, uint32_t index, bool normals)
{
    sink.buffer.push_back(' ');
    PutUnsigned(sink, index);
    sink.buffer.push_back('/');
    PutUnsigned(sink, index);
    if (normals)
    {
        sink.buffer.push_back('/');
        PutUnsigned(sink, index);
    }
}

void PutFace(TextSink& sink, const uint32_t* corners, int count, bool normals)
{
    sink.buffer.push_back('f');
    for (int i = 0; i < count; ++i)
        PutCorner(sink, corners[i], normals);
    sink.EndLine();
}

void PutNamed(TextSink& sink, const char* keyword, const char* prefix, uint32_t number)
{
    sink.Put(keyword);
    sink.Put(prefix);
    PutUnsigned(sink, number);
    sink.EndLine();
}

void PutFaceLines(TextSink& sink, const TorusShape& shape, GeneratedObjInfo& info, bool normals)
{
    uint32_t stride = shape.columns + 1;
    int group = -1;
    for (uint32_t r = 0; r < shape.rows && info.facetCount < shape.facets; ++r)
    {
        int rowGroup = int(uint64_t(r) * GROUP_BANDS / shape.rows);
        if (rowGroup != group)
            PutNamed(sink, "g ", "ring_", uint32_t(group = rowGroup));
        int material = -1;
        for (uint32_t c = 0; c < shape.columns && info.facetCount < shape.facets; ++c)
        {
            int band = int(uint64_t(c) * MATERIAL_BANDS / shape.columns);
            if (band != material)
                PutNamed(sink, "usemtl ", "band_", uint32_t(material = band));
            uint32_t a = 1 + r * stride + c, b = a + 1, d = a + stride, e = d + 1;
            if (r % 3 != 2)
            {
                uint32_t quad[4] = {a, b, e, d};
                PutFace(sink, quad, 4, normals);
                ++info.facetCount;
                ++info.quadCount;
                continue;
            }
            uint32_t first[3] = {a, b, e}, second[3] = {a, e, d};
            PutFace(sink, first, 3, normals);
            if (++info.facetCount < shape.facets)
            {
                PutFace(sink, second, 3, normals);
                ++info.facetCount;
            }
        }
    }
    info.groupCount = shape.rows < GROUP_BANDS ? shape.rows : GROUP_BANDS;
    info.materialCount = MATERIAL_BANDS;
}

void Generate(TextSink& sink, uint32_t facetCount, GeneratedFaceForm form, GeneratedObjInfo* out)
{
    GeneratedObjInfo info;
    std::memset(&info, 0, sizeof info);
    TorusShape shape = ChooseShape(facetCount < 1 ? 1 : facetCount);
    bool normals = form == GENERATED_FACES_VTN;
    sink.Put("# torus, generated for benchmarks");
    sink.EndLine();
    sink.Put("mtllib torus.mtl");
    sink.EndLine();
    PutVertexLines(sink, shape, info, normals);
    sink.Put("s 1");
    sink.EndLine();
    PutFaceLines(sink, shape, info, normals);
    sink.Flush();
    info.lineCount = sink.lines;
    info.byteCount = sink.bytes;
    if (out)
        *out = info;
}

} // namespace

std::string GenerateObjText(uint32_t facetCount, GeneratedFaceForm form, GeneratedObjInfo* info)
{
    std::string text;
    TextSink sink{std::string(), &text, nullptr, false, 0, 0};
    Generate(sink, facetCount, form, info);
    return text;
}

bool WriteGeneratedObj(const char* path, uint32_t facetCount, GeneratedFaceForm form,
                       GeneratedObjInfo* info)
{
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    TextSink sink{std::string(), nullptr, file, false, 0, 0};
    Generate(sink, facetCount, form, info);
    bool closed = std::fclose(file) == 0;
    return closed && !sink.failed;
}
