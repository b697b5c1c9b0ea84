// SplitPolygon by its properties: n - 2 triangles using every corner, none facing against
// the polygon, and for planar simple polygons the triangles' areas adding up to its area.
#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace
{

const double PI = 3.14159265358979323846;

struct Point
{
    double x, y;
};

struct D3
{
    double x, y, z;
};

D3 Sub(const Vec3& a, const Vec3& b)
{
    return D3{double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z};
}

D3 Cross(const D3& a, const D3& b)
{
    return D3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Dot(const D3& a, const D3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double Length(const D3& a)
{
    return std::sqrt(Dot(a, a));
}

// Twice the vector area, summed over a fan from the first corner (an independent way to the
// polygon's area and orientation from the one the splitter takes).
D3 VectorArea(const std::vector<Vec3>& p)
{
    D3 sum{0, 0, 0};
    for (size_t i = 1; i + 1 < p.size(); ++i)
    {
        D3 c = Cross(Sub(p[i], p[0]), Sub(p[i + 1], p[0]));
        sum = D3{sum.x + c.x, sum.y + c.y, sum.z + c.z};
    }
    return sum;
}

// The 2-D outline placed in 3-D: turned about two axes and moved, or bent out of its plane.
std::vector<Vec3> Place(const std::vector<Point>& outline, double tilt, double bend)
{
    std::vector<Vec3> points;
    double c = std::cos(tilt), s = std::sin(tilt);
    for (const Point& p : outline)
    {
        double z = bend * std::sin(3 * p.x + 2 * p.y);
        double y = c * p.y - s * z, z2 = s * p.y + c * z;
        points.push_back(Vec3{float(c * p.x - s * z2 + 5), float(y - 3), float(s * p.x + c * z2)});
    }
    return points;
}

enum Shape
{
    SIMPLE_PLANAR, // every property, centres of triangles inside the outline too
    SIMPLE_BENT,   // out of its plane: no triangle against it, the projected areas add up
    ANY,           // crossing or without area: triangle count and corners only
};

// Whether p lies inside the outline (crossings of a ray to +x).
bool Inside(const std::vector<Point>& outline, const Point& p)
{
    bool inside = false;
    for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++)
    {
        const Point &a = outline[i], &b = outline[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y))
            inside = !inside;
    }
    return inside;
}

// points is outline placed in 3-D.
void CheckSplit(const std::vector<Point>& outline, const std::vector<Vec3>& points, Shape shape)
{
    uint32_t n = uint32_t(points.size());
    std::vector<PolygonCorner> work(n);
    std::vector<uint32_t> triangles(3 * (n - 2), n);
    SplitPolygon(points.data(), n, work.data(), triangles.data());
    std::vector<int> used(n, 0);
    for (uint32_t t : triangles)
    {
        ASSERT_LT(t, n);
        used[t] = 1;
    }
    for (uint32_t i = 0; i < n; ++i)
        EXPECT_TRUE(used[i]) << "corner " << i << " unused";
    if (shape == ANY)
        return;
    D3 normal = VectorArea(points);
    double length = Length(normal), covered = 0;
    for (uint32_t k = 0; k < n - 2; ++k)
    {
        const uint32_t* t = &triangles[3 * k];
        D3 facing = Cross(Sub(points[t[1]], points[t[0]]), Sub(points[t[2]], points[t[0]]));
        EXPECT_GE(Dot(facing, normal), -1e-9 * Length(facing) * length)
            << "triangle " << k << " faces against the polygon";
        covered += std::fabs(Dot(facing, normal)) / length;
        // a triangle of some area has its centre inside the outline
        const Point &a = outline[t[0]], &b = outline[t[1]], &c = outline[t[2]];
        double area = std::fabs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
        bool inside = Inside(outline, Point{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3});
        EXPECT_TRUE(inside || shape != SIMPLE_PLANAR || area <= 1e-6 * length)
            << "triangle " << k << " lies outside the polygon";
    }
    // the triangles, seen along the normal, cover the polygon's area once
    EXPECT_NEAR(covered, length, 1e-9 * length);
}

std::vector<Point> Star(int points, double inner)
{
    std::vector<Point> outline;
    for (int i = 0; i < 2 * points; ++i)
    {
        double angle = PI * i / points, r = i % 2 ? inner : 1.0;
        outline.push_back(Point{r * std::cos(angle), r * std::sin(angle)});
    }
    return outline;
}

// Teeth of width 1 and height 2 on a bar of height 1, a gap of 1 between them.
std::vector<Point> Comb(int teeth)
{
    std::vector<Point> outline{{0, 0}, {2.0 * teeth - 1, 0}};
    for (int t = teeth - 1; t >= 0; --t)
    {
        outline.push_back(Point{2.0 * t + 1, 3});
        outline.push_back(Point{2.0 * t, 3});
        if (t > 0)
        {
            outline.push_back(Point{2.0 * t, 1});
            outline.push_back(Point{2.0 * t - 1, 1});
        }
    }
    return outline;
}

std::vector<Point> Spiral(int turns)
{
    std::vector<Point> outer, inner;
    for (int i = 0; i <= 12 * turns; ++i)
    {
        double angle = i * PI / 6, r = 1 + angle;
        outer.push_back(Point{(r + 0.8) * std::cos(angle), (r + 0.8) * std::sin(angle)});
        inner.push_back(Point{r * std::cos(angle), r * std::sin(angle)});
    }
    outer.insert(outer.end(), inner.rbegin(), inner.rend());
    return outer;
}

TEST(PolygonTest, TableOfShapes)
{
    struct
    {
        const char* what;
        std::vector<Point> outline;
        double bend;
        Shape shape;
    } cases[] = {
        {"convex hexagon", {{2, 0}, {1, 2}, {-1, 2}, {-2, 0}, {-1, -2}, {1, -2}}, 0, SIMPLE_PLANAR},
        {"L", {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}}, 0, SIMPLE_PLANAR},
        {"L clockwise", {{0, 3}, {1, 3}, {1, 1}, {3, 1}, {3, 0}, {0, 0}}, 0, SIMPLE_PLANAR},
        {"comb", Comb(5), 0, SIMPLE_PLANAR},
        {"star", Star(7, 0.3), 0, SIMPLE_PLANAR},
        {"spiral", Spiral(3), 0, SIMPLE_PLANAR},
        {"collinear corners",
         {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {0, 2}, {0, 1}},
         0,
         SIMPLE_PLANAR},
        {"repeated corners",
         {{0, 0}, {2, 0}, {2, 0}, {2, 2}, {1, 1}, {0, 2}, {0, 2}},
         0,
         SIMPLE_PLANAR},
        {"nearly degenerate",
         {{0, 0}, {1, 1e-6}, {2, 0}, {3, 1e-6}, {4, 0}, {2, 1e-5}},
         0,
         SIMPLE_PLANAR},
        {"bent star", Star(6, 0.5), 0.05, SIMPLE_BENT},
        {"bow tie", {{0, 0}, {2, 2}, {2, 0}, {1, 1.5}, {0, 2}}, 0, ANY},
        {"one point", {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}, 0, ANY},
        {"a line", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {1.5, 0}}, 0, ANY},
    };
    for (const auto& c : cases)
        for (double tilt : {0.0, 0.7, 2.9})
        {
            SCOPED_TRACE(std::string(c.what) + " tilt " + std::to_string(tilt));
            CheckSplit(c.outline, Place(c.outline, tilt, c.bend), c.shape);
        }
}

// Star-shaped polygons of random radii at random angles are simple, mostly concave.
TEST(PolygonTest, RandomSimplePolygons)
{
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int draw = 0; draw < 400; ++draw)
    {
        int n = 5 + int(random() % 60);
        std::vector<double> angles(n);
        for (double& a : angles)
            a = 2 * PI * unit(random);
        std::sort(angles.begin(), angles.end());
        std::vector<Point> outline;
        for (double a : angles)
        {
            double r = 0.1 + unit(random);
            outline.push_back(Point{r * std::cos(a), r * std::sin(a)});
        }
        SCOPED_TRACE(draw);
        CheckSplit(outline, Place(outline, 3 * unit(random), 0), SIMPLE_PLANAR);
        if (HasFailure())
            return;
    }
}

} // namespace
