// Polygons split into triangles by ear clipping in their own plane.
#include "mesh.h"

#include <cmath>

namespace
{

struct Vector
{
    double x, y, z;
};

Vector Cross(const Vector& a, const Vector& b)
{
    return Vector{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The Newell normal: twice the polygon's vector area, pointing the way its corners turn.
Vector NewellNormal(const Vec3* points, uint32_t count)
{
    Vector n{0, 0, 0};
    for (uint32_t i = 0, j = count - 1; i < count; j = i++)
    {
        const Vec3& a = points[j];
        const Vec3& b = points[i];
        n.x += (double(a.y) - b.y) * (double(a.z) + b.z);
        n.y += (double(a.z) - b.z) * (double(a.x) + b.x);
        n.z += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    return n;
}

// Two axes of the plane across n such that the polygon turns counter-clockwise in them;
// false when n has no direction.
bool PlaneAxes(const Vector& n, Vector& u, Vector& v)
{
    double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (!(ax + ay + az > 0) || !std::isfinite(ax + ay + az))
        return false;
    // the coordinate axis least along n is farthest from parallel to it
    Vector axis = ax <= ay && ax <= az ? Vector{1, 0, 0}
                  : ay <= az           ? Vector{0, 1, 0}
                                       : Vector{0, 0, 1};
    u = Cross(n, axis);
    v = Cross(n, u);
    // unit axes keep the turns near the square of the polygon's size
    double lu = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
    double lv = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    u = Vector{u.x / lu, u.y / lu, u.z / lu};
    v = Vector{v.x / lv, v.y / lv, v.z / lv};
    return lu > 0 && lv > 0 && std::isfinite(lv);
}

void Project(const Vec3* points, uint32_t count, const Vector& u, const Vector& v,
             PolygonCorner* work)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        const Vec3& p = points[i];
        work[i].x = p.x * u.x + p.y * u.y + p.z * u.z;
        work[i].y = p.x * v.x + p.y * v.y + p.z * v.z;
        work[i].prev = i == 0 ? count - 1 : i - 1;
        work[i].next = i + 1 == count ? 0 : i + 1;
    }
}

// Twice the signed area of the triangle a, b, c; positive when it turns counter-clockwise.
double Turn(const PolygonCorner& a, const PolygonCorner& b, const PolygonCorner& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool SamePlace(const PolygonCorner& a, const PolygonCorner& b)
{
    return a.x == b.x && a.y == b.y;
}

const uint32_t NONE = 0xFFFFFFFFu;

// The corners of a polygon being cut, and the first of those not known to be convex.
struct Ring
{
    PolygonCorner* work;
    uint32_t reflexHead;
};

// Whether any corner left, other than the triangle's own, lies inside or on the triangle.
// Only corners that do not turn the polygon's way are tried: where a corner lies in the
// triangle of a convex corner, so does one of those. Corners cut off or turned convex leave
// their list here. The turns, computed as Turn does, reject most corners before the
// comparison with the triangle's own places is needed.
bool HoldsCorner(Ring& ring, uint32_t a, uint32_t b, uint32_t c)
{
    PolygonCorner* work = ring.work;
    const PolygonCorner &pa = work[a], &pb = work[b], &pc = work[c];
    double abx = pb.x - pa.x, aby = pb.y - pa.y;
    double bcx = pc.x - pb.x, bcy = pc.y - pb.y;
    double cax = pa.x - pc.x, cay = pa.y - pc.y;
    for (uint32_t j = ring.reflexHead, before = NONE; j != NONE; j = work[j].nextReflex)
    {
        const PolygonCorner& p = work[j];
        if (p.convex || p.cut)
        {
            (before == NONE ? ring.reflexHead : work[before].nextReflex) = p.nextReflex;
            continue;
        }
        before = j;
        if (abx * (p.y - pa.y) - aby * (p.x - pa.x) >= 0 &&
            bcx * (p.y - pb.y) - bcy * (p.x - pb.x) >= 0 &&
            cax * (p.y - pc.y) - cay * (p.x - pc.x) >= 0 && !SamePlace(p, pa) &&
            !SamePlace(p, pb) && !SamePlace(p, pc))
            return true;
    }
    return false;
}

void UpdateConvex(PolygonCorner* work, uint32_t b)
{
    work[b].convex = Turn(work[work[b].prev], work[b], work[work[b].next]) > 0;
}

// A corner can be cut off when it turns the polygon's way with no other corner in its
// triangle, or when cutting it leaves the outline as it was: a repeated corner, or one on
// the straight line between its neighbours.
bool IsEar(Ring& ring, uint32_t b)
{
    const PolygonCorner* work = ring.work;
    uint32_t a = work[b].prev, c = work[b].next;
    if (work[b].convex)
        return !HoldsCorner(ring, a, b, c);
    double turn = Turn(work[a], work[b], work[c]);
    if (turn != 0)
        return false;
    const PolygonCorner &pa = work[a], &pb = work[b], &pc = work[c];
    return (pa.x - pb.x) * (pc.x - pb.x) + (pa.y - pb.y) * (pc.y - pb.y) <= 0;
}

uint32_t* Emit(uint32_t* out, uint32_t a, uint32_t b, uint32_t c)
{
    out[0] = a;
    out[1] = b;
    out[2] = c;
    return out + 3;
}

// Cuts ears while there are any; returns where the triangles written end, and in first a
// corner still left.
uint32_t* ClipEars(PolygonCorner* work, uint32_t count, uint32_t* out, uint32_t* first)
{
    Ring ring{work, NONE};
    for (uint32_t i = count; i-- > 0;)
    {
        UpdateConvex(work, i);
        work[i].cut = false;
        work[i].nextReflex = ring.reflexHead;
        if (!work[i].convex)
            ring.reflexHead = i;
    }
    for (uint32_t i = 0; i < count; ++i)
        work[i].ear = IsEar(ring, i);
    uint32_t left = count, i = 0, passed = 0;
    while (left > 3 && passed <= left)
    {
        if (!work[i].ear)
        {
            i = work[i].next;
            ++passed;
            continue;
        }
        uint32_t a = work[i].prev, c = work[i].next;
        out = Emit(out, a, i, c);
        work[i].cut = true;
        work[a].next = c;
        work[c].prev = a;
        --left;
        UpdateConvex(work, a);
        UpdateConvex(work, c);
        work[a].ear = IsEar(ring, a);
        work[c].ear = IsEar(ring, c);
        i = c;
        passed = 0;
    }
    *first = i;
    return out;
}

// The corners left, as a fan from first.
void Fan(const PolygonCorner* work, uint32_t first, uint32_t* out, uint32_t* end)
{
    for (uint32_t b = work[first].next; out < end; b = work[b].next)
        out = Emit(out, first, b, work[b].next);
}

} // namespace

void SplitPolygon(const Vec3* points, uint32_t count, PolygonCorner* work, uint32_t* triangles)
{
    uint32_t* end = triangles + 3 * size_t(count - 2);
    Vector u{0, 0, 0}, v{0, 0, 0};
    uint32_t first = 0;
    // a polygon without area has no plane: all of it is a fan
    bool planar = PlaneAxes(NewellNormal(points, count), u, v);
    Project(points, count, u, v, work);
    uint32_t* out = planar ? ClipEars(work, count, triangles, &first) : triangles;
    Fan(work, first, out, end);
}
