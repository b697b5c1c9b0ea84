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

// The corners of a polygon being cut, the first of those not known to be convex, and the
// first of those that were not convex before any cut.
struct Ring
{
    PolygonCorner* work;
    uint32_t reflexHead;
    uint32_t firstReflexHead;
};

// The triangle a, b, c with its edges, for tests of many points against it.
struct Triangle
{
    const PolygonCorner &a, &b, &c;
    double abx, aby, bcx, bcy, cax, cay;
};

Triangle MakeTriangle(const PolygonCorner* work, uint32_t a, uint32_t b, uint32_t c)
{
    const PolygonCorner &pa = work[a], &pb = work[b], &pc = work[c];
    return Triangle{pa,          pb,          pc,          pb.x - pa.x, pb.y - pa.y,
                    pc.x - pb.x, pc.y - pb.y, pa.x - pc.x, pa.y - pc.y};
}

// Whether p lies inside or on the triangle, not at one of its corners. The turns are those
// Turn gives, taken first: they reject most corners before the places need comparing.
inline bool Inside(const Triangle& t, const PolygonCorner& p)
{
    return t.abx * (p.y - t.a.y) - t.aby * (p.x - t.a.x) >= 0 &&
           t.bcx * (p.y - t.b.y) - t.bcy * (p.x - t.b.x) >= 0 &&
           t.cax * (p.y - t.c.y) - t.cay * (p.x - t.c.x) >= 0 && !SamePlace(p, t.a) &&
           !SamePlace(p, t.b) && !SamePlace(p, t.c);
}

// Whether any corner left, other than the triangle's own, lies inside or on the triangle.
// Only corners that do not turn the polygon's way are tried: where a corner lies in the
// triangle of a convex corner, so does one of those. Corners cut off or turned convex leave
// their list here. The triangle's own corners are passed over by number (a corner at the
// same place as one of them never counts).
bool HoldsCorner(Ring& ring, uint32_t a, uint32_t b, uint32_t c)
{
    PolygonCorner* work = ring.work;
    Triangle t = MakeTriangle(work, a, b, c);
    for (uint32_t j = ring.reflexHead, before = NONE; j != NONE; j = work[j].nextReflex)
    {
        const PolygonCorner& p = work[j];
        if (p.convex || p.cut)
        {
            (before == NONE ? ring.reflexHead : work[before].nextReflex) = p.nextReflex;
            continue;
        }
        before = j;
        if (j != a && j != c && Inside(t, p))
            return true;
    }
    return false;
}

// HoldsCorner as it answers before any cut: every corner of the first list is left.
bool HeldBeforeCuts(const Ring& ring, uint32_t a, uint32_t b, uint32_t c)
{
    const PolygonCorner* work = ring.work;
    Triangle t = MakeTriangle(work, a, b, c);
    for (uint32_t j = ring.firstReflexHead; j != NONE; j = work[j].nextFirstReflex)
        if (j != a && j != c && Inside(t, work[j]))
            return true;
    return false;
}

void UpdateConvex(PolygonCorner* work, uint32_t b)
{
    work[b].convex = Turn(work[work[b].prev], work[b], work[work[b].next]) > 0;
}

// A corner can be cut off when it turns the polygon's way with no other corner in its
// triangle, or when cutting it leaves the outline as it was: a repeated corner, or one on
// the straight line between its neighbours. beforeCuts: tested as the uncut polygon.
bool IsEar(Ring& ring, uint32_t b, bool beforeCuts)
{
    const PolygonCorner* work = ring.work;
    uint32_t a = work[b].prev, c = work[b].next;
    if (work[b].convex)
        return beforeCuts ? !HeldBeforeCuts(ring, a, b, c) : !HoldsCorner(ring, a, b, c);
    double turn = Turn(work[a], work[b], work[c]);
    if (turn != 0)
        return false;
    const PolygonCorner &pa = work[a], &pb = work[b], &pc = work[c];
    return (pa.x - pb.x) * (pc.x - pb.x) + (pa.y - pb.y) * (pc.y - pb.y) <= 0;
}

// Whether corner i is an ear as last worked out. The ear of a corner whose neighbours have
// not changed is that of the uncut polygon, worked out only once it is asked for: corners
// next to a cut get theirs anew first, and most never need the first one.
bool EarAsKnown(Ring& ring, uint32_t i)
{
    PolygonCorner& corner = ring.work[i];
    if (corner.earPending)
    {
        corner.ear = IsEar(ring, i, true);
        corner.earPending = false;
    }
    return corner.ear;
}

// The corner's ear anew, after a cut beside it.
void UpdateEar(Ring& ring, uint32_t i)
{
    ring.work[i].ear = IsEar(ring, i, false);
    ring.work[i].earPending = false;
}

uint32_t* Emit(uint32_t* out, uint32_t a, uint32_t b, uint32_t c)
{
    out[0] = a;
    out[1] = b;
    out[2] = c;
    return out + 3;
}

// The ring before any cut: convexity, both reflex lists, every ear still to be worked out.
Ring StartRing(PolygonCorner* work, uint32_t count)
{
    Ring ring{work, NONE, NONE};
    for (uint32_t i = count; i-- > 0;)
    {
        UpdateConvex(work, i);
        work[i].cut = false;
        work[i].earPending = true;
        work[i].nextReflex = ring.reflexHead;
        work[i].nextFirstReflex = ring.firstReflexHead;
        if (!work[i].convex)
            ring.reflexHead = ring.firstReflexHead = i;
    }
    return ring;
}

// Cuts ears while there are any; returns where the triangles written end, and in first a
// corner still left.
uint32_t* ClipEars(PolygonCorner* work, uint32_t count, uint32_t* out, uint32_t* first)
{
    Ring ring = StartRing(work, count);
    uint32_t left = count, i = 0, passed = 0;
    while (left > 3 && passed <= left)
    {
        if (!EarAsKnown(ring, i))
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
        UpdateEar(ring, a);
        UpdateEar(ring, c);
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
