// Pictures of meshes: what covers which pixels, how facets are lit, and the PNG bytes read back
// with zlib's inflate and a filter decoder of the test's own.
#include "cli/cli.h"

#include "ops/ops.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

namespace
{

// A picture copied out of a RenderImage, with pixel access for the checks.
struct Picture
{
    int result;
    uint32_t width, height;
    std::vector<uint8_t> rgb;
    const uint8_t* At(uint32_t x, uint32_t y) const
    {
        return &rgb[(size_t(y) * width + x) * 3];
    }
    bool Background(uint32_t x, uint32_t y) const
    {
        return std::memcmp(At(x, y), renderBackgroundColor, 3) == 0;
    }
};

Picture Render(const Mesh* mesh, RenderView view, uint32_t width, uint32_t height)
{
    RenderImage image;
    Picture picture = {RenderMesh(mesh, view, width, height, &image), width, height, {}};
    if (picture.result == RENDER_DONE)
        picture.rgb.assign(image.pixels, image.pixels + size_t(width) * height * 3);
    FreeRenderImage(&image);
    return picture;
}

// Reads OBJ text through the reader; the caller frees the mesh.
Mesh* ReadText(const std::string& text)
{
    Mesh* mesh = ReadObjMesh(WriteScratchFile("mesh.obj", text).c_str());
    EXPECT_NE(mesh, nullptr);
    return mesh;
}

Picture RenderText(const std::string& text, RenderView view, uint32_t width = 200,
                   uint32_t height = 150)
{
    Mesh* mesh = ReadText(text);
    Picture picture = mesh ? Render(mesh, view, width, height) : Picture{-1, 0, 0, {}};
    FreeMesh(mesh);
    return picture;
}

// A unit cube around the origin, corners counter-clockwise seen from outside.
const char cubeText[] =
    "v -0.5 -0.5 0.5\nv 0.5 -0.5 0.5\nv 0.5 0.5 0.5\nv -0.5 0.5 0.5\nv -0.5 -0.5 -0.5\n"
    "v 0.5 -0.5 -0.5\nv 0.5 0.5 -0.5\nv -0.5 0.5 -0.5\nvt 0 0\nf 1/1 2/1 3/1 4/1\n"
    "f 6/1 5/1 8/1 7/1\nf 2/1 6/1 7/1 3/1\nf 5/1 1/1 4/1 8/1\nf 4/1 3/1 7/1 8/1\nf 5/1 6/1 2/1 "
    "1/1\n";

// A square in z = 0 facing +z, with or without its stored normals, or wound the other way.
#define PLANE_CORNERS "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\n"
const char planeText[] = PLANE_CORNERS "f 1/1 2/1 3/1 4/1\n";
const char planeNormalsText[] = PLANE_CORNERS "vn 0 0 1\nf 1/1/1 2/1/1 3/1/1 4/1/1\n";
const char planeReversedText[] = PLANE_CORNERS "f 4/1 3/1 2/1 1/1\n";
// wound the other way with its normal kept, as --reverse writes it
const char planeReversedNormalsText[] = PLANE_CORNERS "vn 0 0 1\nf 4/1/1 3/1/1 2/1/1 1/1/1\n";

// The smallest rectangle [x0, x1) x [y0, y1) holding every non-background pixel.
struct Box
{
    uint32_t x0, y0, x1, y1;
};

Box CoveredBox(const Picture& p)
{
    Box box = {p.width, p.height, 0, 0};
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            if (!p.Background(x, y))
            {
                box.x0 = std::min(box.x0, x), box.x1 = std::max(box.x1, x + 1);
                box.y0 = std::min(box.y0, y), box.y1 = std::max(box.y1, y + 1);
            }
    return box;
}

// Every covered pixel's colour, once each.
std::vector<std::string> CoveredColours(const Picture& p)
{
    std::vector<std::string> colours;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
        {
            std::string colour(reinterpret_cast<const char*>(p.At(x, y)), 3);
            if (!p.Background(x, y) &&
                std::find(colours.begin(), colours.end(), colour) == colours.end())
                colours.push_back(colour);
        }
    return colours;
}

TEST(Render, CubeSeenAlongAnAxisIsACentredFilledSquare)
{
    // the camera fills 90% of the picture's height with the nearest face, which faces the eye
    // squarely from every axis view and hides the rest of the cube
    const RenderView views[] = {RENDER_VIEW_FRONT, RENDER_VIEW_BACK, RENDER_VIEW_LEFT,
                                RENDER_VIEW_RIGHT, RENDER_VIEW_TOP,  RENDER_VIEW_BOTTOM};
    for (RenderView view : views)
    {
        SCOPED_TRACE(view);
        Picture p = RenderText(cubeText, view, 400, 300);
        ASSERT_EQ(p.result, RENDER_DONE);
        Box box = CoveredBox(p);
        EXPECT_NEAR(double(box.y1 - box.y0), 0.9 * 300, 2);
        EXPECT_NEAR(double(box.x1 - box.x0), double(box.y1 - box.y0), 1);
        EXPECT_NEAR((box.x0 + box.x1) / 2.0, 200, 1);
        EXPECT_NEAR((box.y0 + box.y1) / 2.0, 150, 1);
        // filled without holes, in one lit front colour
        for (uint32_t y = box.y0; y < box.y1; ++y)
            for (uint32_t x = box.x0; x < box.x1; ++x)
                ASSERT_FALSE(p.Background(x, y)) << x << "," << y;
        std::vector<std::string> colours = CoveredColours(p);
        ASSERT_EQ(colours.size(), 1u);
        EXPECT_GT(uint8_t(colours[0][2]), uint8_t(colours[0][0])); // the bluish front colour
    }
}

TEST(Render, PlaneFacingTheLightIsEvenlyLitAndItsBackIsDarker)
{
    Picture stored = RenderText(planeNormalsText, RENDER_VIEW_FRONT);
    Picture face = RenderText(planeText, RENDER_VIEW_FRONT);
    Picture reversed = RenderText(planeReversedText, RENDER_VIEW_FRONT);
    std::vector<std::string> lit = CoveredColours(stored);
    ASSERT_EQ(lit.size(), 1u);
    for (int c = 0; c < 3; ++c) // the full light of a face turned to the eye
        EXPECT_GE(uint8_t(lit[0][c]), 0.9 * renderFrontColor[c]) << c;
    // the face normal stands in for missing normals and gives the same light
    EXPECT_EQ(CoveredColours(face), lit);
    std::vector<std::string> back = CoveredColours(reversed);
    ASSERT_EQ(back.size(), 1u);
    auto brightness = [](const std::string& c)
    { return int(uint8_t(c[0])) + uint8_t(c[1]) + uint8_t(c[2]); };
    EXPECT_LT(brightness(back[0]) * 10, brightness(lit[0]) * 6);
    EXPECT_GT(uint8_t(back[0][0]), uint8_t(back[0][2])); // reddish, unlike the front
    EXPECT_EQ(CoveredColours(RenderText(planeReversedNormalsText, RENDER_VIEW_FRONT)), back);
    EXPECT_EQ(CoveredBox(reversed).x1, CoveredBox(stored).x1);
}

// A UV sphere whose facets each have their own three corners and face normal: it shows every
// facet until Smooth Seams joins the corners at each position.
std::string FlatSphereText(int segments, int rings)
{
    const double pi = 3.14159265358979323846;
    std::string text = "vt 0 0\n";
    char line[128];
    int vertex = 0;
    auto at = [&](int s, int r, double out[3])
    {
        double theta = pi * r / rings, phi = 2 * pi * s / segments;
        out[0] = std::sin(theta) * std::cos(phi);
        out[1] = std::cos(theta);
        out[2] = std::sin(theta) * std::sin(phi);
    };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            double p[4][3];
            at(s, r, p[0]), at(s, r + 1, p[1]), at(s + 1, r + 1, p[2]), at(s + 1, r, p[3]);
            const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& tri : tris)
            {
                for (int k : tri)
                {
                    std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", p[k][0], p[k][1],
                                  p[k][2]);
                    text += line;
                }
                text += "f " + std::to_string(vertex + 1) + "/1 " + std::to_string(vertex + 2) +
                        "/1 " + std::to_string(vertex + 3) + "/1\n";
                vertex += 3;
            }
        }
    return text;
}

// The root mean square of the colour change between horizontal neighbours that both show the
// mesh: steps between flat facets weigh more than the same change spread over many pixels.
double NeighbourChange(const Picture& p)
{
    double sum = 0;
    size_t pairs = 0;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x + 1 < p.width; ++x)
            if (!p.Background(x, y) && !p.Background(x + 1, y))
            {
                for (int c = 0; c < 3; ++c)
                {
                    double change = int(p.At(x, y)[c]) - int(p.At(x + 1, y)[c]);
                    sum += change * change;
                }
                ++pairs;
            }
    return pairs ? std::sqrt(sum / pairs) : 1e9;
}

TEST(Render, SmoothSeamsMakesAFlatShadedSphereSmoother)
{
    Mesh* mesh = ReadText(FlatSphereText(16, 10));
    ASSERT_NE(mesh, nullptr);
    Picture flat = Render(mesh, RENDER_VIEW_ISO, 320, 240);
    ASSERT_NE(SmoothMeshNormals(mesh), 0);
    Picture smooth = Render(mesh, RENDER_VIEW_ISO, 320, 240);
    FreeMesh(mesh);
    ASSERT_EQ(flat.result, RENDER_DONE);
    ASSERT_EQ(smooth.result, RENDER_DONE);
    // the same silhouette, with the steps between facets gone
    EXPECT_EQ(flat.rgb.size(), smooth.rgb.size());
    Box a = CoveredBox(flat), b = CoveredBox(smooth);
    EXPECT_TRUE(a.x0 == b.x0 && a.x1 == b.x1 && a.y0 == b.y0 && a.y1 == b.y1);
    double before = NeighbourChange(flat), after = NeighbourChange(smooth);
    std::printf("neighbour change (rms): flat %.3f, smoothed %.3f\n", before, after);
    EXPECT_LT(after * 1.5, before);
}

TEST(Render, MeshesWithoutFacetsOrVertices)
{
    Picture points = RenderText("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 1\n", RENDER_VIEW_FRONT);
    ASSERT_EQ(points.result, RENDER_DONE);
    size_t covered = 0;
    for (uint32_t y = 0; y < points.height; ++y)
        for (uint32_t x = 0; x < points.width; ++x)
            covered += !points.Background(x, y);
    // four separate dots, each a few pixels wide
    EXPECT_GE(covered, 4u);
    EXPECT_LE(covered, 4u * 25);
    const char* const empty[] = {"# nothing\n", "vn 0 0 1\nvt 0 0\n"};
    for (const char* text : empty)
        EXPECT_EQ(RenderText(text, RENDER_VIEW_ISO).result, RENDER_NO_VERTICES) << text;
}

uint32_t BigEndian(const std::string& bytes, size_t at)
{
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

// Decodes an 8-bit RGB PNG (chunks, CRCs, inflate, the five filter types); empty on any fault.
std::vector<uint8_t> DecodePng(const std::string& png, uint32_t* width, uint32_t* height)
{
    if (png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return {};
    std::string idat;
    for (size_t at = 8; at + 12 <= png.size();)
    {
        uint32_t size = BigEndian(png, at);
        std::string type = png.substr(at + 4, 4), data = png.substr(at + 8, size);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), 4 + size);
        if (at + 12 + size > png.size() || BigEndian(png, at + 8 + size) != crc)
            return {};
        if (type == "IHDR")
            *width = BigEndian(data, 0), *height = BigEndian(data, 4);
        if (type == "IHDR" && data.substr(8, 5) != std::string("\x08\x02\x00\x00\x00", 5))
            return {};
        if (type == "IDAT")
            idat += data;
        if (type == "IEND")
            break;
        at += 12 + size;
    }
    size_t stride = size_t(*width) * 3;
    std::vector<uint8_t> raw((stride + 1) * *height), rgb(stride * *height);
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(idat.data()),
                   uLong(idat.size())) != Z_OK ||
        rawSize != raw.size())
        return {};
    for (size_t y = 0; y < *height; ++y)
        for (size_t i = 0; i < stride; ++i)
        {
            int a = i >= 3 ? rgb[y * stride + i - 3] : 0, b = y ? rgb[(y - 1) * stride + i] : 0;
            int c = i >= 3 && y ? rgb[(y - 1) * stride + i - 3] : 0;
            int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predictors[5] = {0, a, b, (a + b) / 2, paeth};
            uint8_t filter = raw[y * (stride + 1)];
            if (filter > 4)
                return {};
            rgb[y * stride + i] = uint8_t(raw[y * (stride + 1) + 1 + i] + predictors[filter]);
        }
    return rgb;
}

TEST(Render, PngFileDecodesToThePictureAndRepeatsItsBytes)
{
    Mesh* mesh = ReadText(FlatSphereText(12, 8));
    ASSERT_NE(mesh, nullptr);
    std::string files[2];
    RenderImage image;
    for (std::string& file : files)
    {
        ASSERT_EQ(RenderMesh(mesh, RENDER_VIEW_ISO, 97, 61, &image), RENDER_DONE);
        std::string path = ScratchPath("picture.png");
        ASSERT_TRUE(WritePngFile(&image, path.c_str()));
        file = ReadWholeFile(path);
        std::remove(path.c_str());
        if (&file == &files[0])
            FreeRenderImage(&image);
    }
    FreeMesh(mesh);
    EXPECT_EQ(files[0], files[1]);
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> decoded = DecodePng(files[0], &width, &height);
    EXPECT_EQ(width, 97u);
    EXPECT_EQ(height, 61u);
    ASSERT_EQ(decoded.size(), size_t(97) * 61 * 3);
    EXPECT_EQ(0, std::memcmp(decoded.data(), image.pixels, decoded.size()));
    EXPECT_FALSE(WritePngFile(&image, ScratchPath("no_folder/picture.png").c_str()));
    FreeRenderImage(&image);
}

} // namespace
