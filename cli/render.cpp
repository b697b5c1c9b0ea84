// Pictures of a mesh: a perspective view fitted to the scaled bounds, drawn with a depth buffer
// and shaded per pixel from the corners' normals. Only the C++ operators and sqrt are used, so
// the native and the Windows build compute the same pixels.
#include "cli.h"

#include <cmath>
#include <cstring>

const uint8_t renderBackgroundColor[3] = {38, 42, 50};
const uint8_t renderFrontColor[3] = {178, 198, 224};
const uint8_t renderBackColor[3] = {150, 58, 48};

static const char* const viewNames[RENDER_VIEW_COUNT] = {"iso",   "front", "back",  "left",
                                                         "right", "top",   "bottom"};

bool ParseRenderView(const char* text, RenderView* view)
{
    for (int i = 0; i < RENDER_VIEW_COUNT; ++i)
        if (std::strcmp(text, viewNames[i]) == 0)
        {
            *view = RenderView(i);
            return true;
        }
    return false;
}

// A side length: decimal digits only, 1 to RENDER_SIZE_MAX; end receives what follows.
static bool ParseSide(const char* text, uint32_t* side, const char** end)
{
    uint32_t value = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        value = value * 10 + uint32_t(*p - '0');
        if (value > RENDER_SIZE_MAX)
            return false;
    }
    *side = value;
    *end = p;
    return p != text && value > 0;
}

bool ParseRenderSize(const char* text, uint32_t* width, uint32_t* height)
{
    const char* p = text;
    if (!ParseSide(p, width, &p) || (*p != 'x' && *p != 'X'))
        return false;
    return ParseSide(p + 1, height, &p) && *p == '\0';
}

// ---- Camera ------------------------------------------------------------------------------

struct Vec3d
{
    double x, y, z;
};

static Vec3d Sub(Vec3d a, Vec3d b)
{
    return Vec3d{a.x - b.x, a.y - b.y, a.z - b.z};
}

static double Dot(Vec3d a, Vec3d b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

static Vec3d Cross(Vec3d a, Vec3d b)
{
    return Vec3d{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

static Vec3d Unit(Vec3d v)
{
    double length = std::sqrt(Dot(v, v));
    return length > 0 ? Vec3d{v.x / length, v.y / length, v.z / length} : v;
}

static Vec3d Combine(Vec3d a, double fa, Vec3d b, double fb, Vec3d c, double fc)
{
    return Vec3d{a.x * fa + b.x * fb + c.x * fc, a.y * fa + b.y * fb + c.y * fc,
                 a.z * fa + b.z * fb + c.z * fc};
}

// Where the eye sits, seen from the mesh's centre, and which way is up, per view.
static const Vec3d viewEyeDirection[RENDER_VIEW_COUNT][2] = {
    {{1, 1, 1}, {0, 1, 0}},  {{0, 0, 1}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}},
    {{-1, 0, 0}, {0, 1, 0}}, {{1, 0, 0}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, -1}},
    {{0, -1, 0}, {0, 0, 1}},
};

// Half the vertical field of view as its tangent, and the share of the picture's half width
// or half height that the nearest extent of the bounds fills.
static const double tanHalfFov = 0.4;
static const double fillShare = 0.9;

struct Camera
{
    Vec3d eye, right, up, forward;
    double focal;            // pixels per unit of lateral offset at depth 1
    double centerX, centerY; // the picture's middle, in pixels
    Vec3d headlight, fill;   // unit directions towards the two lights
};

static Vec3d ScaledPosition(const Mesh* mesh, const Vec3& v)
{
    return Vec3d{double(v.x) * mesh->scale.x, double(v.y) * mesh->scale.y,
                 double(v.z) * mesh->scale.z};
}

// The scaled bounds of the finite vertices; false when no vertex is finite.
static bool ScaledBounds(const Mesh* mesh, Vec3d* low, Vec3d* high)
{
    bool any = false;
    for (uint32_t i = 0; i < mesh->vertexCount; ++i)
    {
        Vec3d p = ScaledPosition(mesh, mesh->vertices[i]);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            continue;
        *low = any ? Vec3d{p.x < low->x ? p.x : low->x, p.y < low->y ? p.y : low->y,
                           p.z < low->z ? p.z : low->z}
                   : p;
        *high = any ? Vec3d{p.x > high->x ? p.x : high->x, p.y > high->y ? p.y : high->y,
                            p.z > high->z ? p.z : high->z}
                    : p;
        any = true;
    }
    return any;
}

// The distance from the centre of the bounds at which every finite vertex lies inside the fill
// share of the picture and in front of the eye.
static double FitDistance(const Camera* camera, const Mesh* mesh, Vec3d center, double aspect)
{
    double distance = 0, radius = 0;
    for (uint32_t i = 0; i < mesh->vertexCount; ++i)
    {
        Vec3d q = Sub(ScaledPosition(mesh, mesh->vertices[i]), center);
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z))
            continue;
        double x = std::fabs(Dot(q, camera->right)), y = std::fabs(Dot(q, camera->up));
        double z = Dot(q, camera->forward);
        double need[2] = {x / (fillShare * tanHalfFov * aspect) - z,
                          y / (fillShare * tanHalfFov) - z};
        for (double d : need)
            distance = d > distance ? d : distance;
        radius = -z > radius ? -z : radius;
    }
    // the nearest vertex stays a little in front of the eye, also for a single point
    double margin = (radius > 0 ? radius : 1) / 20;
    return distance > radius + margin ? distance : radius + margin;
}

static bool MakeCamera(const Mesh* mesh, RenderView view, uint32_t width, uint32_t height,
                       Camera* camera)
{
    Vec3d low, high;
    if (!ScaledBounds(mesh, &low, &high))
        return false;
    camera->forward = Unit(Sub(Vec3d{0, 0, 0}, viewEyeDirection[view][0]));
    camera->right = Unit(Cross(camera->forward, viewEyeDirection[view][1]));
    camera->up = Cross(camera->right, camera->forward);
    double aspect = double(width) / height;
    Vec3d center = {(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
    double distance = FitDistance(camera, mesh, center, aspect);
    camera->eye = Combine(center, 1, camera->forward, -distance, center, 0);
    camera->focal = height / (2 * tanHalfFov);
    camera->centerX = width / 2.0;
    camera->centerY = height / 2.0;
    Vec3d back = Sub(Vec3d{0, 0, 0}, camera->forward);
    camera->headlight = back;
    // the fill comes from above on the left, so that faces turned away from the eye still
    // show their shape
    camera->fill = Unit(Combine(back, 0.6, camera->up, 0.55, camera->right, -0.55));
    return true;
}

// ---- Rasterizer --------------------------------------------------------------------------

// A vertex on the picture: pixel position and the reciprocal of its depth (0: not drawable).
struct ScreenPoint
{
    float x, y, w;
};

struct Corner
{
    ScreenPoint point;
    Vec3 normal; // unit, or zero when the corner has no usable normal
};

struct Raster
{
    uint32_t width, height;
    uint8_t* pixels; // RGB
    float* depth;    // reciprocal depth of the nearest surface drawn so far, 0 where none
    float headlight[3], fill[3];
};

static ScreenPoint Project(const Camera* camera, const Mesh* mesh, const Vec3& v)
{
    Vec3d d = Sub(ScaledPosition(mesh, v), camera->eye);
    double depth = Dot(d, camera->forward);
    ScreenPoint s = {0, 0, 0};
    if (!(depth > 0) || !std::isfinite(depth))
        return s;
    s.x = float(camera->centerX + camera->focal * Dot(d, camera->right) / depth);
    s.y = float(camera->centerY - camera->focal * Dot(d, camera->up) / depth);
    s.w = float(1 / depth);
    return s;
}

// Normals as the scaled mesh has them (divided by the scale per axis), unit length; zero where
// a normal is not usable.
static Vec3 ScaledUnitNormal(const Mesh* mesh, const Vec3& n)
{
    Vec3d m = Unit(Vec3d{n.x / double(mesh->scale.x), n.y / double(mesh->scale.y),
                         n.z / double(mesh->scale.z)});
    if (!std::isfinite(m.x) || !std::isfinite(m.y) || !std::isfinite(m.z) || Dot(m, m) == 0)
        return Vec3{0, 0, 0};
    return Vec3{float(m.x), float(m.y), float(m.z)};
}

static float ShadeIntensity(const Raster* raster, float nx, float ny, float nz)
{
    float head = nx * raster->headlight[0] + ny * raster->headlight[1] + nz * raster->headlight[2];
    float fill = nx * raster->fill[0] + ny * raster->fill[1] + nz * raster->fill[2];
    float intensity = 0.1f + 0.7f * (head > 0 ? head : 0) + 0.3f * (fill > 0 ? fill : 0);
    return intensity < 1 ? intensity : 1;
}

static void PutPixel(Raster* raster, size_t index, const uint8_t color[3], float intensity)
{
    for (int c = 0; c < 3; ++c)
        raster->pixels[index * 3 + c] = uint8_t(float(color[c]) * intensity + 0.5f);
}

static float EdgeValue(const ScreenPoint& a, const ScreenPoint& b, float px, float py)
{
    return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// One triangle whose geometric normal (unit, towards the outside its winding gives) is
// faceNormal; front tells whether that side faces the eye.
struct Triangle
{
    Corner corner[3];
    Vec3 faceNormal;
    bool front;
};

// The pixel rectangle [x0, x1) x [y0, y1) that holds the triangle's pixel centres.
static bool PixelBox(const Raster* raster, const Triangle* t, int box[4])
{
    float lowX = t->corner[0].point.x, highX = lowX, lowY = t->corner[0].point.y, highY = lowY;
    for (int i = 1; i < 3; ++i)
    {
        const ScreenPoint& p = t->corner[i].point;
        lowX = p.x < lowX ? p.x : lowX, highX = p.x > highX ? p.x : highX;
        lowY = p.y < lowY ? p.y : lowY, highY = p.y > highY ? p.y : highY;
    }
    if (!(lowX < float(raster->width)) || !(highX > 0) || !(lowY < float(raster->height)) ||
        !(highY > 0))
        return false;
    box[0] = lowX > 0 ? int(lowX) : 0;
    box[1] = highX < float(raster->width) ? int(highX) + 1 : int(raster->width);
    box[2] = lowY > 0 ? int(lowY) : 0;
    box[3] = highY < float(raster->height) ? int(highY) + 1 : int(raster->height);
    return true;
}

// Shades one covered pixel from the perspective-weighted corner normals.
static void ShadePixel(Raster* raster, const Triangle* t, size_t index, const float q[3])
{
    float n[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i)
    {
        n[0] += q[i] * t->corner[i].normal.x;
        n[1] += q[i] * t->corner[i].normal.y;
        n[2] += q[i] * t->corner[i].normal.z;
    }
    float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0))
        n[0] = t->faceNormal.x, n[1] = t->faceNormal.y, n[2] = t->faceNormal.z, length = 1;
    float sign = 1 / length;
    // a back face is lit on the side turned to the eye, whichever way its normals point, so
    // that its shape shows in the back colour
    float towardsEye =
        n[0] * raster->headlight[0] + n[1] * raster->headlight[1] + n[2] * raster->headlight[2];
    if (!t->front && towardsEye < 0)
        sign = -sign;
    float intensity = ShadeIntensity(raster, n[0] * sign, n[1] * sign, n[2] * sign);
    PutPixel(raster, index, t->front ? renderFrontColor : renderBackColor, intensity);
}

static void DrawTriangle(Raster* raster, const Triangle* t)
{
    const ScreenPoint &a = t->corner[0].point, &b = t->corner[1].point, &c = t->corner[2].point;
    float area = EdgeValue(a, b, c.x, c.y);
    int box[4];
    if (area == 0 || !std::isfinite(area) || !PixelBox(raster, t, box))
        return;
    float inverseArea = 1 / area;
    for (int y = box[2]; y < box[3]; ++y)
        for (int x = box[0]; x < box[1]; ++x)
        {
            float px = float(x) + 0.5f, py = float(y) + 0.5f;
            float l0 = EdgeValue(b, c, px, py) * inverseArea;
            float l1 = EdgeValue(c, a, px, py) * inverseArea;
            float l2 = EdgeValue(a, b, px, py) * inverseArea;
            if (l0 < 0 || l1 < 0 || l2 < 0)
                continue;
            float q[3] = {l0 * a.w, l1 * b.w, l2 * c.w};
            float w = q[0] + q[1] + q[2];
            size_t index = size_t(y) * raster->width + size_t(x);
            if (!(w > raster->depth[index]))
                continue;
            raster->depth[index] = w;
            ShadePixel(raster, t, index, q);
        }
}

// ---- Mesh to triangles -------------------------------------------------------------------

struct Scene
{
    const Mesh* mesh;
    const Camera* camera;
    const ScreenPoint* points; // per vertex
    const Vec3* normals;       // per normal, scaled and unit; null without normals
};

static bool ValidIndex(int32_t index, uint32_t count)
{
    return index >= 0 && uint32_t(index) < count;
}

// Fills the triangle of the facet's corners i, j, k; false when it cannot be drawn.
static bool MakeTriangle(const Scene* scene, const Facet& facet, const int corners[3], Triangle* t)
{
    const Mesh* mesh = scene->mesh;
    Vec3d p[3];
    for (int i = 0; i < 3; ++i)
    {
        int32_t v = facet.vertexIndex[corners[i]];
        if (!ValidIndex(v, mesh->vertexCount) || !(scene->points[v].w > 0))
            return false;
        p[i] = ScaledPosition(mesh, mesh->vertices[v]);
        t->corner[i].point = scene->points[v];
        int32_t n = facet.normalIndex[corners[i]];
        bool usable = scene->normals && ValidIndex(n, mesh->normalCount);
        t->corner[i].normal = usable ? scene->normals[n] : Vec3{0, 0, 0};
    }
    Vec3d face = Unit(Cross(Sub(p[1], p[0]), Sub(p[2], p[0])));
    t->faceNormal = Vec3{float(face.x), float(face.y), float(face.z)};
    t->front = Dot(face, Sub(scene->camera->eye, p[0])) > 0;
    // a corner without a usable normal takes the facet's own
    for (int i = 0; i < 3; ++i)
        if (t->corner[i].normal.x == 0 && t->corner[i].normal.y == 0 && t->corner[i].normal.z == 0)
            t->corner[i].normal = t->faceNormal;
    return true;
}

static void DrawFacet(Raster* raster, const Scene* scene, const Facet& facet)
{
    static const int halves[2][3] = {{0, 1, 2}, {0, 2, 3}};
    int count = facet.cornerCount == 4 ? 2 : facet.cornerCount == 3 ? 1 : 0;
    for (int h = 0; h < count; ++h)
    {
        Triangle t;
        if (MakeTriangle(scene, facet, halves[h], &t))
            DrawTriangle(raster, &t);
    }
}

// A mesh without facets: each vertex as a small square facing the eye.
static void DrawPoints(Raster* raster, const Scene* scene)
{
    int radius = int((raster->width < raster->height ? raster->width : raster->height) / 300);
    for (uint32_t v = 0; v < scene->mesh->vertexCount; ++v)
    {
        const ScreenPoint& s = scene->points[v];
        if (!(s.w > 0) || !(s.x >= 0) || !(s.y >= 0) || !(s.x < float(raster->width)) ||
            !(s.y < float(raster->height)))
            continue;
        int cx = int(s.x), cy = int(s.y);
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x)
            {
                if (x < 0 || y < 0 || x >= int(raster->width) || y >= int(raster->height))
                    continue;
                size_t index = size_t(y) * raster->width + size_t(x);
                if (!(s.w > raster->depth[index]))
                    continue;
                raster->depth[index] = s.w;
                PutPixel(raster, index, renderFrontColor, 0.9f);
            }
    }
}

// ---- The picture as a whole --------------------------------------------------------------

static Vec3* ScaledNormals(const Mesh* mesh)
{
    if (!(mesh->flags & MESH_HAS_NORMALS) || mesh->normalCount == 0 || !mesh->normals)
        return nullptr;
    Vec3* normals = AllocateArrayOf<Vec3>(mesh->normalCount);
    for (uint32_t i = 0; normals && i < mesh->normalCount; ++i)
        normals[i] = ScaledUnitNormal(mesh, mesh->normals[i]);
    return normals;
}

static bool PrepareRaster(Raster* raster, const Camera* camera, uint32_t width, uint32_t height)
{
    size_t pixelCount = size_t(width) * height;
    raster->width = width;
    raster->height = height;
    raster->pixels = AllocateArrayOf<uint8_t>(pixelCount * 3);
    raster->depth = AllocateArrayOf<float>(pixelCount);
    if (!raster->pixels || !raster->depth)
        return false;
    for (size_t i = 0; i < pixelCount; ++i)
        std::memcpy(raster->pixels + i * 3, renderBackgroundColor, 3);
    const Vec3d* lights[2] = {&camera->headlight, &camera->fill};
    float* targets[2] = {raster->headlight, raster->fill};
    for (int l = 0; l < 2; ++l)
        targets[l][0] = float(lights[l]->x), targets[l][1] = float(lights[l]->y),
        targets[l][2] = float(lights[l]->z);
    return true;
}

static void DrawScene(Raster* raster, const Scene* scene)
{
    const Mesh* mesh = scene->mesh;
    if (mesh->facetCount == 0 || !mesh->facets)
        return DrawPoints(raster, scene);
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
        DrawFacet(raster, scene, mesh->facets[f]);
}

int RenderMesh(const Mesh* mesh, RenderView view, uint32_t width, uint32_t height,
               RenderImage* image)
{
    *image = RenderImage{width, height, nullptr};
    Camera camera;
    if (mesh->vertexCount == 0 || !mesh->vertices ||
        !MakeCamera(mesh, view, width, height, &camera))
        return RENDER_NO_VERTICES;
    Raster raster = {};
    ScreenPoint* points = AllocateArrayOf<ScreenPoint>(mesh->vertexCount);
    Vec3* normals = ScaledNormals(mesh);
    bool normalsMissing = (mesh->flags & MESH_HAS_NORMALS) && mesh->normalCount && !normals;
    int result = RENDER_NO_MEMORY;
    if (points && !normalsMissing && PrepareRaster(&raster, &camera, width, height))
    {
        for (uint32_t v = 0; v < mesh->vertexCount; ++v)
            points[v] = Project(&camera, mesh, mesh->vertices[v]);
        Scene scene = {mesh, &camera, points, normals};
        DrawScene(&raster, &scene);
        image->pixels = raster.pixels;
        raster.pixels = nullptr;
        result = RENDER_DONE;
    }
    ReleaseArray(raster.pixels);
    ReleaseArray(raster.depth);
    ReleaseArray(normals);
    ReleaseArray(points);
    return result;
}

void FreeRenderImage(RenderImage* image)
{
    ReleaseArray(image->pixels);
    image->pixels = nullptr;
}
