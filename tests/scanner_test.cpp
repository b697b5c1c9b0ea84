// The OBJ line scanner: hand-worked cases, and agreement with the C library's sscanf on
// generated lines (natively, where the C library is glibc).
#include "mesh/mesh.h"
#include "tests/reader_literal.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace
{

uint32_t Bits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct FloatCase
{
    int expectedCount;
    float expectedFirst; // checked when expectedCount > 0
    const char* keyword;
    const char* line;
};

const float INF = INFINITY;

TEST(ScannerTest, FloatLinesMatchAsScanfDoes)
{
    const FloatCase cases[] = {
        {3, 1.0f, "v", "v 1 2 3"},
        {3, 1.0f, "v", "v1 2 3"},
        {3, 1.0f, "v", "v\t1\v2\f3\r\n"},
        {0, 0, "v", " v 1 2 3"},
        {2, 1.0f, "v", "v 1 2"},
        {3, 1.0f, "v", "v 1 2 3 4"},
        {0, 0, "v", "vt 1 2 3"},
        {0, 0, "v", "vn 1 2 3"},
        {3, NAN, "v", "vnan 1 2"},
        {3, INF, "v", "vinf 1 2"},
        {1, INF, "v", "vinfx 1 2"},
        {0, 0, "v", "v infinite 1 2"},
        {3, -INF, "v", "v -Infinity 1 2"},
        {3, 1.0f, "v", "v 1e 2 3"},     // the "e" is consumed and ignored
        {3, 1.0f, "v", "v 1e+ 2 3"},    // so is "e+"
        {1, 100.0f, "v", "v 1e2e 3 4"}, // the second "e" ends the number and fails the next
        {3, 1.5f, "v", "v 1.5.5 2"},    // ".5" is the second value
        {0, 0, "v", "v 0x 1 2"},
        {3, 0.0f, "v", "v 0x. 1 2"},
        {3, 255.0f, "v", "v 0xff 1 2"},
        {3, 3.0f, "v", "v 0x1.8p1 1 2"},
        {3, 1.0f, "v", "v 0x1p 1 2"},
        {0, 0, "v", "v . 1 2"},
        {0, 0, "v", "v - 1 2"},
        {0, 0, "v", "v +-1 1 2"},
        {3, 0.5f, "v", "v .5 1 2"},
        {3, -0.0f, "v", "v -0 1 2"},
        {3, INF, "v", "v 1e39 1 2"},
        {3, 0.0f, "v", "v 1e-50 1 2"},
        {3, 0.0f, "v", "v 0x1.000001p-150 1 2"}, // the C library drops the round bit here
        {3, 1.40129846e-45f, "v", "v 0x1.000002p-150 1 2"},
        {3, 3.40282347e38f, "v", "v 3.40282356e38 1 2"},
        {3, INF, "v", "v 3.40282357e38 1 2"},
        {3, 1.0f, "v", "v 000000000000000000000000000000000000000001 2 3"},
        {3, 1.0f, "v", "v 1.000000059604644775390625 0 0"}, // a tie rounds to even
        {3, 1.00000012f, "v", "v 1.000000059604644775390625000000001 0 0"},
        {3, 0.1f, "v", "v 0.1000000000000000055511151231257827021181583404541015625 0 0"},
        {3, 1.17549435e-38f, "v",
         "v 1.1754943508222875079687365372222456778186655567720875e-38 0 0"},
        {2, 1.0f, "vt", "vt 1 2 3"},
        {1, 1.0f, "vt", "vt 1 u"},
        {3, 1.0f, "vn", "vn 1 2 3"},
    };
    for (const FloatCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        float values[3] = {-7, -7, -7};
        int count = ScanObjFloats(c.line, c.keyword, 3, values);
        if (std::strcmp(c.keyword, "vt") == 0)
            count = ScanObjFloats(c.line, c.keyword, 2, values);
        EXPECT_EQ(count, c.expectedCount);
#ifndef _WIN32
        float e[3];
        int scanned = std::strcmp(c.keyword, "vt") == 0
                          ? std::sscanf(c.line, "vt %e %e", &e[0], &e[1])
                          : std::sscanf(c.line, (std::string(c.keyword) + " %e %e %e").c_str(),
                                        &e[0], &e[1], &e[2]);
        EXPECT_EQ(scanned < 0 ? 0 : scanned, c.expectedCount) << "the C library differs";
#endif
        EXPECT_EQ(ScanObjFloats(c.line, c.keyword, std::strcmp(c.keyword, "vt") ? 3 : 2, nullptr),
                  count);
        if (c.expectedCount > 0 && std::isnan(c.expectedFirst))
        {
            EXPECT_TRUE(std::isnan(values[0]));
        }
        else if (c.expectedCount > 0)
        {
            EXPECT_EQ(Bits(values[0]), Bits(c.expectedFirst));
        }
    }
}

struct LongCase
{
    int expectedCount;
    int64_t expected;
    const char* line;
};

TEST(ScannerTest, IntegersSaturateAsStrtolDoes)
{
    const LongCase cases[] = {
        {1, 12, "f 12/1/1"},
        {1, -3, "f\t-3"},
        {1, 5, "f+5"},
        {1, 7, "f 007"},
        {1, 0, "f 0x12"},
        {0, 0, "f -"},
        {0, 0, "f /1"},
        {0, 0, "f"},
        {0, 0, " f 1"},
        {1, INT64_MAX, "f 99999999999999999999999"},
        {1, INT64_MIN, "f -99999999999999999999999"},
        {1, INT64_MIN, "f -9223372036854775808"},
        {1, INT64_MAX, "f 9223372036854775808"},
    };
    for (const LongCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        int64_t value = -42;
        EXPECT_EQ(ScanObjLong(c.line, "f", &value), c.expectedCount);
        if (c.expectedCount)
        {
            EXPECT_EQ(value, c.expected);
        }
    }
}

struct FaceCase
{
    int expectedCount;
    int perCorner;
    const char* line;
};

TEST(ScannerTest, FaceFormsStopAtTheFirstMismatch)
{
    const FaceCase cases[] = {
        {12, 3, "f 1/1/1 2/2/2 3/3/3 4/4/4"},
        {12, 3, "f 1/1/1 2/2/2 3/3/3 4/4/4 5/5/5"},
        {9, 3, "f 1/1/1 2/2/2 3/3/3"},
        {11, 3, "f 1/1/1 2/2/2 3/3/3 4/4"},
        {8, 3, "f 1/1/1 2/2/2 3/3"},
        {1, 3, "f 1//1 2//2 3//3"},
        {1, 3, "f 1 2 3"},
        {1, 3, "f 1 /1/1 2/2/2 3/3/3"},
        {12, 3, "f1/ 1/\t1 2/2/2 3/3/3 4/4/4"},
        {8, 2, "f 1/1 2/2 3/3 4/4"},
        {6, 2, "f 1/1 2/2 3/3"},
        {2, 2, "f 1/1/1 2/2/2 3/3/3"},
        {0, 2, "g 1/1 2/2 3/3"},
    };
    for (const FaceCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        int64_t values[12];
        EXPECT_EQ(ScanObjFace(c.line, c.perCorner, values), c.expectedCount);
    }
}

struct NameCase
{
    const char* expected;
    const char* line;
};

TEST(ScannerTest, GroupNameIsTheRestOfTheLine)
{
    const NameCase cases[] = {
        {"head neck", "g head neck\n"},
        {" leg", "g  leg\n"},
        {"arm", "g arm \t \r\n"},
        {"a\tb", "g a\tb\n"},
        {"x", "g x\ry\n"},
        {"", "gx\n"},
        {"oo", "gfoo"},
        {"123456789012345678901234567890123456789012345678901234567890123",
         "g 1234567890123456789012345678901234567890123456789012345678901234567890\n"},
    };
    for (const NameCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        char name[MESH_NAME_SIZE];
        GetObjGroupName(c.line, name);
        EXPECT_STREQ(name, c.expected);
    }
}

TEST(ScannerTest, TokensEndAtWhiteSpace)
{
    const NameCase cases[] = {
        {"lib.mtl", "mtllib lib.mtl other.mtl\n"},
        {"lib.mtl", "mtllib\tlib.mtl"},
        {"x", "mtllibx"},
        {nullptr, "mtllib \n"},
        {nullptr, "mtllib"},
        {nullptr, "mtl lib"},
    };
    for (const NameCase& c : cases)
    {
        SCOPED_TRACE(c.line);
        const char* token = nullptr;
        size_t length = 0;
        int count = ScanObjToken(c.line, "mtllib", &token, &length);
        EXPECT_EQ(count, c.expected ? 1 : 0);
        if (c.expected && count)
        {
            EXPECT_EQ(std::string(token, length), c.expected);
        }
    }
}

// Digit runs that cross 10^7, where 32-bit builds go on reading in 64 bits, at every place: in
// the integer part, across the point, after leading zeros, and in indices with and without a
// sign; they read as std::from_chars reads them, on every build.
TEST(ScannerTest, DigitRunsReadAsFromCharsDoes)
{
    const std::string sources[] = {"9999999999999999999999", "1000000000000000000000",
                                   "0000000001234567890123", "9876543210987654321098"};
    for (const std::string& source : sources)
        for (size_t whole = 0; whole <= 12; ++whole)
            for (size_t fraction = whole == 0; fraction <= 12; ++fraction)
            {
                std::string number = source.substr(0, whole) + "." + source.substr(whole, fraction);
                SCOPED_TRACE(number);
                float expected = -1, read[3];
                std::from_chars(number.data(), number.data() + number.size(), expected);
                ASSERT_EQ(ScanObjFloats(("v " + number + " 0 0").c_str(), "v", 3, read), 3);
                EXPECT_EQ(Bits(read[0]), Bits(expected));
            }
    for (const std::string& source : sources)
        for (size_t length = 1; length <= 21; ++length)
            for (const char* sign : {"", "-", "+"})
            {
                std::string run = sign + source.substr(0, length);
                SCOPED_TRACE(run);
                int64_t expected = 0, values[12];
                const char* digits = run.c_str() + (*sign == '+');
                if (std::from_chars(digits, run.c_str() + run.size(), expected).ec != std::errc())
                    expected = *sign == '-' ? INT64_MIN : INT64_MAX;
                std::string line = "f " + run + "/" + run + "/" + run + " 1/1/1 2/2/2";
                ASSERT_EQ(ScanObjFace(line.c_str(), 3, values), 9);
                EXPECT_TRUE(values[0] == expected && values[1] == expected &&
                            values[2] == expected);
                ObjCorner corners[3];
                bool lacksUv = false, lacksNormal = false;
                ASSERT_EQ(ScanObjCorners(line.c_str(), corners, 3, &lacksUv, &lacksNormal), 3u);
                EXPECT_TRUE(corners[0].vertex == expected && corners[0].uv == expected &&
                            corners[0].normal == expected);
            }
}

#ifndef _WIN32

// A small deterministic generator, the same on every run.
struct Random
{
    uint64_t state;
    uint32_t Next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    }
    uint32_t Below(uint32_t n)
    {
        return Next() % n;
    }
    const char* Pick(const char* const* list, uint32_t count)
    {
        return list[Below(count)];
    }
};

void AppendDigits(std::string& out, Random& random, int count, bool hex)
{
    static const char digits[] = "0123456789abcdefABCDEF";
    for (int i = 0; i < count; ++i)
        out += digits[random.Below(hex ? 22 : 10)];
}

// One number, well or badly formed: the text a %e or %ld directive may meet.
std::string MakeNumber(Random& random)
{
    static const char* const specials[] = {
        "inf",
        "INF",
        "Infinity",
        "infinity",
        "infin",
        "infinit",
        "in",
        "nan",
        "NaN",
        "nan(12)",
        "na",
        "n",
        "i",
        "e5",
        ".",
        "-",
        "+",
        "0x",
        "0X.",
        "0xp1",
        "1e",
        "1e+",
        "1e-",
        "-.e1",
        "0x1p",
        "0x1p-",
        "1..2",
        "1e5.5",
        "3.40282347e38",
        "3.40282357e38",
        "1.17549435e-38",
        "1.4e-45",
        "7.006e-46",
        "7.0064923e-46",
        "0x1.fffffep127",
        "0x1.ffffffp127",
        "0x1p-149",
        "0x1.8p-150",
        "0x0.000002p-126",
        "2147483648",
        "-2147483649",
        "9223372036854775807",
        "9223372036854775808",
        "-9223372036854775809",
        "0.000000000000000000000000000000000000000000000700649232162408535461864791644958",
    };
    std::string out;
    uint32_t kind = random.Below(10);
    if (kind == 0)
        return random.Pick(specials, sizeof specials / sizeof *specials);
    if (random.Below(3) == 0)
        out += random.Below(2) ? '-' : '+';
    bool hex = kind == 1;
    if (hex)
        out += random.Below(2) ? "0x" : "0X";
    AppendDigits(out, random, int(random.Below(kind == 2 ? 60 : 8)), hex);
    if (random.Below(2))
    {
        out += '.';
        AppendDigits(out, random, int(random.Below(kind == 3 ? 50 : 8)), hex);
    }
    if (random.Below(3) == 0)
    {
        out += hex ? (random.Below(2) ? 'p' : 'P') : (random.Below(2) ? 'e' : 'E');
        if (random.Below(2))
            out += random.Below(2) ? '-' : '+';
        uint32_t size = random.Below(5);
        if (size == 4)
            out += std::to_string(30 + random.Below(130)); // near the float limits
        else
            AppendDigits(out, random, int(size == 3 ? 12 : size), false);
    }
    return out;
}

// A line of keywords, numbers, slashes, white space and stray text, at most 255 bytes.
std::string MakeLine(Random& random)
{
    static const char* const keywords[] = {"v", "vt", "vn", "f", "g",  "s", "usemtl", "mtllib",
                                           "v", "f",  "vv", "x", " v", "",  "#"};
    static const char* const spaces[] = {" ", " ", " ", "", "\t", "  ", "\v", "\f", "\r", " \t "};
    static const char* const junk[] = {"/", "//", "a", "x", "#", "/ ", " /", "\r\n", "\n", "-"};
    std::string line = random.Pick(keywords, sizeof keywords / sizeof *keywords);
    uint32_t items = random.Below(16);
    for (uint32_t i = 0; i < items; ++i)
    {
        line += random.Pick(spaces, sizeof spaces / sizeof *spaces);
        uint32_t what = random.Below(10);
        if (what < 6)
            line += MakeNumber(random);
        else if (what < 9)
            line += MakeNumber(random) + "/" + MakeNumber(random) +
                    (random.Below(2) ? "/" + MakeNumber(random) : std::string());
        else
            line += random.Pick(junk, sizeof junk / sizeof *junk);
    }
    if (random.Below(4) == 0)
        line += random.Below(2) ? "\r\n" : "\n";
    if (line.size() > 255)
        line.resize(255);
    return line;
}

int ScanfCount(int result)
{
    return result < 0 ? 0 : result;
}

// Compares converted floats bit by bit (a NaN with a NaN of either payload).
void ExpectSameFloats(const float* expected, const float* actual, int count)
{
    for (int i = 0; i < count; ++i)
        if (!(std::isnan(expected[i]) && std::isnan(actual[i])))
        {
            EXPECT_EQ(Bits(expected[i]), Bits(actual[i])) << "value " << i;
        }
}

void CompareFloatPatterns(const char* line)
{
    float e[3], a[3];
    int n = ScanfCount(std::sscanf(line, "v %e %e %e", &e[0], &e[1], &e[2]));
    ASSERT_EQ(ScanObjFloats(line, "v", 3, a), n);
    ASSERT_EQ(ScanObjFloats(line, "v", 3, nullptr), n);
    ExpectSameFloats(e, a, n);
    n = ScanfCount(std::sscanf(line, "vt %e %e", &e[0], &e[1]));
    ASSERT_EQ(ScanObjFloats(line, "vt", 2, a), n);
    ASSERT_EQ(ScanObjFloats(line, "vt", 2, nullptr), n);
    ExpectSameFloats(e, a, n);
    n = ScanfCount(std::sscanf(line, "vn %e %e %e", &e[0], &e[1], &e[2]));
    ASSERT_EQ(ScanObjFloats(line, "vn", 3, a), n);
    ExpectSameFloats(e, a, n);
}

void CompareLongAndTokenPatterns(const char* line)
{
    static const char* const longs[][2] = {{"s", "s %ld"}, {"f", "f %ld"}};
    for (auto& pattern : longs)
    {
        long e = 0;
        int64_t a = 0;
        int n = ScanfCount(std::sscanf(line, pattern[1], &e));
        ASSERT_EQ(ScanObjLong(line, pattern[0], &a), n) << pattern[1];
        if (n)
        {
            ASSERT_EQ(int64_t(e), a) << pattern[1];
        }
    }
    static const char* const tokens[][2] = {
        {"g", "g %255s"}, {"usemtl", "usemtl %255s"}, {"mtllib", "mtllib %255s"}};
    for (auto& pattern : tokens)
    {
        char e[256];
        const char* token = nullptr;
        size_t length = 0;
        int n = ScanfCount(std::sscanf(line, pattern[1], e));
        ASSERT_EQ(ScanObjToken(line, pattern[0], &token, &length), n) << pattern[1];
        if (n)
        {
            ASSERT_EQ(std::string(token, length), std::string(e)) << pattern[1];
        }
    }
}

void CompareFacePatterns(const char* line)
{
    long e[12];
    int64_t a[12];
    int n = ScanfCount(std::sscanf(line, "f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld", &e[0],
                                   &e[1], &e[2], &e[3], &e[4], &e[5], &e[6], &e[7], &e[8], &e[9],
                                   &e[10], &e[11]));
    ASSERT_EQ(ScanObjFace(line, 3, a), n);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(int64_t(e[i]), a[i]);
    n = ScanfCount(std::sscanf(line, "f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld", &e[0], &e[1], &e[2],
                               &e[3], &e[4], &e[5], &e[6], &e[7], &e[8]));
    ASSERT_EQ(std::min(ScanObjFace(line, 3, a), 9), n);
    n = ScanfCount(std::sscanf(line, "f %ld/%ld %ld/%ld %ld/%ld %ld/%ld", &e[0], &e[1], &e[2],
                               &e[3], &e[4], &e[5], &e[6], &e[7]));
    ASSERT_EQ(ScanObjFace(line, 2, a), n);
    for (int i = 0; i < n; ++i)
    {
        ASSERT_EQ(int64_t(e[i]), a[i]);
    }
    n = ScanfCount(
        std::sscanf(line, "f %ld/%ld %ld/%ld %ld/%ld", &e[0], &e[1], &e[2], &e[3], &e[4], &e[5]));
    ASSERT_EQ(std::min(ScanObjFace(line, 2, a), 6), n);
}

TEST(ScannerTest, AgreesWithTheCLibraryOnGeneratedLines)
{
    Random random{20261208};
    const int lineCount = 120000;
    for (int i = 0; i < lineCount; ++i)
    {
        std::string line = MakeLine(random);
        SCOPED_TRACE(testing::Message() << "line " << i << ": \"" << line << "\"");
        CompareFloatPatterns(line.c_str());
        CompareLongAndTokenPatterns(line.c_str());
        CompareFacePatterns(line.c_str());
        if (HasFatalFailure() || HasNonfatalFailure())
            return;
    }
}

// The counting pass's padded face scan gives the corner count and the missing-index flags of
// the plain one, on lines of corner-like text with long digit runs (to cross its 32-byte
// window), every form, signs, stray slashes and blanks, and on long lines of mostly whole
// corners (which it takes 32 bytes at a time) with a rare flaw, with the bytes after the
// line's end set to digits and slashes (which must not be taken for part of it).
TEST(ScannerTest, PaddedCornerCountAgreesWithThePlainOne)
{
    static const char* const pieces[2][13] = {
        {"1", "23", "456789", "1234567890123", "/", "//", " ", " ", "\t", "-", "+", "x", "\r"},
        {" 1/2/3", " 45//6", " 7/89", " 10", " 1234567890", " 1/2/3", " 45//6", " 7", "  8",
         "\t9//1", " 2/", "/", " -3"}};
    Random random{20261209};
    for (int i = 0; i < 400000; ++i)
    {
        std::string line = "f ";
        bool corners = i % 2 == 1;
        for (uint32_t n = 1 + random.Below(corners ? 40 : 24); n > 0; --n)
            line += random.Pick(pieces[corners], corners && random.Below(4) ? 10 : 13);
        std::string padded = line + '\0' + std::string(SCAN_PADDING, i % 4 < 2 ? '7' : '/');
        bool uv[2] = {false, false}, normal[2] = {false, false};
        uint32_t plain = ScanObjCorners(line.c_str(), nullptr, 0, &uv[0], &normal[0]);
        uint32_t skimmed = CountObjCornersPadded(padded.data(), &uv[1], &normal[1]);
        ASSERT_EQ(plain, skimmed) << line;
        ASSERT_EQ(uv[0], uv[1]) << line;
        ASSERT_EQ(normal[0], normal[1]) << line;
    }
}

// Every decimal and hexadecimal spelling near the float limits converts to the same bits.
TEST(ScannerTest, AgreesWithTheCLibraryNearFloatLimits)
{
    Random random{7};
    const int valueCount = 40000;
    for (int i = 0; i < valueCount; ++i)
    {
        char text[128];
        double scale = std::ldexp(1.0, int(random.Below(300)) - 170);
        double value = scale * (1.0 + random.Next() / 4294967296.0);
        if (random.Below(2))
            std::snprintf(text, sizeof text, "v %.*e 0 0", int(random.Below(20)), value);
        else
            std::snprintf(text, sizeof text, "v %.*a 0 0", int(random.Below(12)), value);
        SCOPED_TRACE(text);
        float e[3], a[3];
        int n = ScanfCount(std::sscanf(text, "v %e %e %e", &e[0], &e[1], &e[2]));
        ASSERT_EQ(ScanObjFloats(text, "v", 3, a), n);
        ASSERT_EQ(Bits(e[0]), Bits(a[0]));
    }
}

// Digit runs of every length up to past the 19 digits read in one go, in each part of a
// number, and integers around the float range of exact integers; odd and even lengths end the
// two-digits-a-step reading at either digit.
std::vector<std::string> DigitRunLines()
{
    std::vector<std::string> lines;
    const std::string digits = "9876543210987654321098";
    for (size_t n = 1; n <= 21; ++n)
    {
        std::string run = digits.substr(0, n);
        lines.push_back("v " + run + " -" + run + ".5 0." + run);
        lines.push_back("vt ." + run + " " + run + ".");
        lines.push_back("vn 1." + run + "e1 " + run + "x 7");
        lines.push_back("f " + run + "/" + run + "/" + run + " -" + run + "/1/1 +" + run + "/2/2");
        lines.push_back("f 1/" + run + " " + run + "/" + run + "  2/3 " + run + "/4");
    }
    const char* const edges[] = {
        "v 16777215 16777216 16777217",
        "v 1677721.6 16777.217 0.16777217",
        "v 0.0000000001 0.00000000001 1",
        "v 9.999999999 99999999.99 0.09999999995",
        "v 0.1234567890123456789 12 0",
        "v -0 +0 -0.0",
        "vt 0.500000 0.499999",
        "f 1/1/1 \t2/2/2 3/3/3",
        "f 1/1/1 \v2/2/2 3/3/3 4/4/4",
        "f 1/1/1 -2/-2/-2 3/3/3 4/4/4",
        "f 1/1/1 /2/2/2 3/3/3",
        "f 1/1/1  2/2/2 3/3/3 4/4/4",
        "f 0/0/0 00/00/00 007/08/09",
        "f 1/1/1 2/2/2 3/3/3 4/4/4 ",
        "v 1  2 \t3",
        "vt \v0.5 \f0.25",
        "v 1 \x80 2",
        "v 1 \x7f 2",
        "v -nan +INF -.5",
        "v +.5e1 -0x1p1 -Infinity",
        "vn - 1 2",
        "vn 1 \r\n",
    };
    lines.insert(lines.end(), std::begin(edges), std::end(edges));
    return lines;
}

TEST(ScannerTest, AgreesWithTheCLibraryOnDigitRuns)
{
    for (const std::string& line : DigitRunLines())
    {
        SCOPED_TRACE(line);
        CompareFloatPatterns(line.c_str());
        CompareLongAndTokenPatterns(line.c_str());
        CompareFacePatterns(line.c_str());
    }
}

// The reader tries "v" only on lines that can hold a vertex, "vt" and "vn" only after their
// keyword; lines where a number right after "v" starts with "n" or "t" show the choice.
TEST(ScannerTest, ReaderPicksVectorPatternsAsTheLiteralReader)
{
    const std::string text = "v 1 2 3\nvnan 1 2\nvNaN 4 5\nvnAn 6 7\nvna 1 2 3\nvn 0 0 1\n"
                             "vninf 1 2 3\nvt 0.5 0.25\nvT 1 2\nvtnan 1\nvt1 2\nvn1 2 3\n"
                             "vinf 1 2\nv\tnan 8 9\nvn nan 0 1\nf 1/1/1 2/2/2 -1/-1/-1\n"
                             "f 5/2/3 6/1/1 4/2/2 1/1/1\n";
    std::string path = WriteScratchFile("vectors.obj", text);
    Mesh* literal = ReadObjMeshLiteral(path.c_str());
    Mesh* mesh = ReadObjMesh(path.c_str());
    ASSERT_NE(literal, nullptr);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertexCount, 6u);
    EXPECT_EQ(mesh->uvCount, 3u);
    EXPECT_EQ(mesh->normalCount, 4u);
    EXPECT_EQ(mesh->facetCount, 2u);
    ASSERT_EQ(std::memcmp(&mesh->vertexCount, &literal->vertexCount, 7 * 4), 0);
    EXPECT_EQ(mesh->flags, literal->flags);
    EXPECT_EQ(std::memcmp(mesh->vertices, literal->vertices, 12 * mesh->vertexCount), 0);
    EXPECT_EQ(std::memcmp(mesh->normals, literal->normals, 12 * mesh->normalCount), 0);
    EXPECT_EQ(std::memcmp(mesh->uCoords, literal->uCoords, 4 * mesh->uvCount), 0);
    EXPECT_EQ(std::memcmp(mesh->vCoords, literal->vCoords, 4 * mesh->uvCount), 0);
    EXPECT_EQ(std::memcmp(mesh->facets, literal->facets, sizeof(Facet) * mesh->facetCount), 0);
    FreeMesh(mesh);
    FreeMesh(literal);
}

#endif

} // namespace
