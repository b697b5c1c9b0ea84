// Polygons split into triangles by ear clipping in their own plane.
#include "mesh.h"

#include <cmath>
#include <cstdint>

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
    const Vec3& last = points[count - 1];
    double ax = last.x, ay = last.y, az = last.z;
    for (uint32_t i = 0; i < count; ++i)
    {
        double bx = points[i].x, by = points[i].y, bz = points[i].z;
        n.x += (ay - by) * (az + bz);
        n.y += (az - bz) * (ax + bx);
        n.z += (ax - bx) * (ay + by);
        ax = bx;
        ay = by;
        az = bz;
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

// The corners of a polygon being cut, and the two lists of corners that may lie in an ear
// (the k-th entries are in work[k]): those not convex now, and those not convex before any
// cut, kept whole.
struct Ring
{
    PolygonCorner* work;
    uint32_t reflexCount;
    uint32_t firstReflexCount;
};

// The triangle a, b, c with its edges, for tests of many points against it.
struct Triangle
{
    double ax, ay, bx, by, cx, cy;
    double abx, aby, bcx, bcy, cax, cay;
};

Triangle MakeTriangle(const PolygonCorner* work, uint32_t a, uint32_t b, uint32_t c)
{
    const PolygonCorner &pa = work[a], &pb = work[b], &pc = work[c];
    return Triangle{pa.x,        pa.y,        pb.x,        pb.y,        pc.x,        pc.y,
                    pb.x - pa.x, pb.y - pa.y, pc.x - pb.x, pc.y - pb.y, pa.x - pc.x, pa.y - pc.y};
}

// Whether p lies inside or on the triangle, not at one of its corners (so never one of the
// triangle's own corners). The turns are those Turn gives, taken first: they reject most
// corners before the places need comparing. The chord c-a goes first: the corners that are
// left lie mostly inside the polygon, on the inner side of the ear's outline edges but beyond
// its chord.
inline bool Inside(const Triangle& t, const PolygonPoint& p)
{
    return t.cax * (p.y - t.cy) - t.cay * (p.x - t.cx) >= 0 &&
           t.abx * (p.y - t.ay) - t.aby * (p.x - t.ax) >= 0 &&
           t.bcx * (p.y - t.by) - t.bcy * (p.x - t.bx) >= 0 && !(p.x == t.ax && p.y == t.ay) &&
           !(p.x == t.bx && p.y == t.by) && !(p.x == t.cx && p.y == t.cy);
}

template <PolygonPoint PolygonCorner::*list>
bool HoldsCornerIn(const PolygonCorner* work, const Triangle& t, uint32_t from, uint32_t to)
{
    for (uint32_t k = from; k < to; ++k)
        if (Inside(t, work[k].*list))
            return true;
    return false;
}

// Whether any corner of a list lies inside or on the triangle a, b, c. Where a corner lies in
// the triangle of a convex corner, so does one that does not turn the polygon's way: only
// those are listed. skipA and skipC are the slots of a and c in the list (UINT32_MAX where
// absent): Inside never holds for them, and passing over them spares their full test, since
// each lies on two of the triangle's edges.
template <PolygonPoint PolygonCorner::*list>
bool HoldsCorner(const PolygonCorner* work, uint32_t count, uint32_t a, uint32_t b, uint32_t c,
                 uint32_t skipA, uint32_t skipC)
{
    Triangle t = MakeTriangle(work, a, b, c);
    uint32_t low = skipA < skipC ? skipA : skipC, high = skipA < skipC ? skipC : skipA;
    if (low > count)
        low = count;
    if (high > count)
        high = count;
    return HoldsCornerIn<list>(work, t, 0, low) || HoldsCornerIn<list>(work, t, low + 1, high) ||
           HoldsCornerIn<list>(work, t, high + 1, count);
}

// The slot of a corner in the list of corners not convex now, or UINT32_MAX.
uint32_t ReflexSlot(const PolygonCorner& corner)
{
    return corner.convex ? UINT32_MAX : corner.reflexSlot;
}

void AddReflex(Ring& ring, uint32_t i)
{
    PolygonCorner* work = ring.work;
    work[i].reflexSlot = ring.reflexCount;
    work[ring.reflexCount++].reflex = PolygonPoint{work[i].x, work[i].y, i};
}

void RemoveReflex(Ring& ring, uint32_t i)
{
    PolygonCorner* work = ring.work;
    uint32_t slot = work[i].reflexSlot, last = --ring.reflexCount;
    work[slot].reflex = work[last].reflex;
    work[work[slot].reflex.corner].reflexSlot = slot;
}

// Works out anew whether corner b, now between a and c, turns the polygon's way, keeping the
// reflex list.
inline void UpdateConvex(Ring& ring, uint32_t a, uint32_t b, uint32_t c)
{
    PolygonCorner* work = ring.work;
    bool convex = Turn(work[a], work[b], work[c]) > 0;
    if (convex != work[b].convex)
        convex ? RemoveReflex(ring, b) : AddReflex(ring, b);
    work[b].convex = convex;
}

// A corner can be cut off when it turns the polygon's way with no other corner in its
// triangle, or when cutting it leaves the outline as it was: a repeated corner, or one on
// the straight line between its neighbours. beforeCuts: tested as the uncut polygon.
bool IsEar(const Ring& ring, uint32_t b, bool beforeCuts)
{
    const PolygonCorner* work = ring.work;
    uint32_t a = work[b].prev, c = work[b].next;
    if (work[b].convex)
        return beforeCuts
                   ? !HoldsCorner<&PolygonCorner::firstReflex>(work, ring.firstReflexCount, a, b, c,
                                                               work[a].firstSlot, work[c].firstSlot)
                   : !HoldsCorner<&PolygonCorner::reflex>(work, ring.reflexCount, a, b, c,
                                                          ReflexSlot(work[a]), ReflexSlot(work[c]));
    double turn = Turn(work[a], work[b], work[c]);
    if (turn != 0)
        return false;
    const PolygonCorner &pa = work[a], &pb = work[b], &pc = work[c];
    return (pa.x - pb.x) * (pc.x - pb.x) + (pa.y - pb.y) * (pc.y - pb.y) <= 0;
}

// Whether corner i is an ear as last worked out. Ears are worked out when the walk comes to
// their corner: the ear of a corner whose neighbours have not changed is that of the uncut
// polygon (most corners never need it), one beside a cut is worked out anew, with the
// corners then left (a cut beside it in the meantime spares one test).
bool EarAsKnown(Ring& ring, uint32_t i)
{
    PolygonCorner& corner = ring.work[i];
    if (corner.earPending)
    {
        corner.ear = IsEar(ring, i, !corner.earStale);
        corner.earPending = false;
    }
    return corner.ear;
}

// The corner's ear is to be worked out anew, after a cut beside it.
void MarkEarStale(Ring& ring, uint32_t i)
{
    ring.work[i].earPending = true;
    ring.work[i].earStale = true;
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
    Ring ring{work, 0, 0};
    for (uint32_t i = 0; i < count; ++i)
    {
        const PolygonCorner& prev = work[i == 0 ? count - 1 : i - 1];
        const PolygonCorner& next = work[i + 1 == count ? 0 : i + 1];
        work[i].convex = Turn(prev, work[i], next) > 0;
        work[i].earPending = true;
        work[i].earStale = false;
        work[i].firstSlot = UINT32_MAX;
        if (!work[i].convex)
        {
            work[i].firstSlot = ring.reflexCount;
            AddReflex(ring, i);
        }
    }
    ring.firstReflexCount = ring.reflexCount;
    for (uint32_t k = 0; k < ring.reflexCount; ++k)
        work[k].firstReflex = work[k].reflex;
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
        if (!work[i].convex) // a corner on the line between its neighbours
            RemoveReflex(ring, i);
        work[a].next = c;
        work[c].prev = a;
        --left;
        UpdateConvex(ring, work[a].prev, a, c);
        UpdateConvex(ring, a, c, work[c].next);
        MarkEarStale(ring, a);
        MarkEarStale(ring, c);
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
