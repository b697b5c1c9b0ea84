// The writer's number formatting: byte-identical to "%.08f" and "%ld" as glibc prints them.
#include "export/export.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

static std::string Fixed8(double value)
{
    char buffer[FORMAT_FIXED8_MAX];
    return std::string(buffer, FormatFixed8(value, buffer));
}

static std::string Long(int32_t value)
{
    char buffer[16];
    return std::string(buffer, FormatLong(value, buffer));
}

static double FloatFromBits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Expected strings worked out by hand; these hold on every build.
TEST(NumberFormat, FixedTable)
{
    static const struct
    {
        const char* text;
        double value;
    } rows[] = {
        {"0.00000000", 0.0},
        {"-0.00000000", -0.0},
        {"0.50000000", 0.5},
        {"-2.00000000", -2.0},
        {"1.00000000", 1.0},
        {"0.10000000", 0.1f},
        {"0.30000001", 0.3f},
        {"-0.00100000", -1e-3f},
        {"0.00195312", 1.0 / 512}, // exact tie, rounds to even
        {"0.00585938", 3.0 / 512}, // exact tie, rounds to even (up)
        {"-0.00195312", -1.0 / 512},
        {"0.00000000", 5e-9 * 0.999}, // just below half a unit
        {"0.00000001", 5.0000001e-9}, // just above half a unit
        {"-0.00000000", -1e-30},      // the sign stays
        {"0.00000000", FLT_TRUE_MIN},
        {"0.00000000", DBL_TRUE_MIN},
        {"16777216.00000000", 16777216.0f},
        {"340282346638528859811704183484516925440.00000000", FLT_MAX},
        {"-340282346638528859811704183484516925440.00000000", -FLT_MAX},
        {"1000000000000000019884624838656.00000000", 1e30},
        {"inf", std::numeric_limits<double>::infinity()},
        {"-inf", -std::numeric_limits<double>::infinity()},
        {"nan", std::numeric_limits<double>::quiet_NaN()},
        {"-nan", -std::numeric_limits<double>::quiet_NaN()},
        {"nan", FloatFromBits(0x7f800001)},  // signalling NaN of a float
        {"-nan", FloatFromBits(0xffc00000)}, // the default NaN of SSE arithmetic
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Fixed8(row.value), row.text);
    }
    std::string longest = Fixed8(-DBL_MAX);
    EXPECT_EQ(longest.size(), 1u + 309u + 1u + 8u);
    EXPECT_LE(longest.size(), size_t(FORMAT_FIXED8_MAX));
}

TEST(NumberFormat, LongTable)
{
    static const struct
    {
        const char* text;
        int32_t value;
    } rows[] = {
        {"0", 0},
        {"1", 1},
        {"-1", -1},
        {"9", 9},
        {"10", 10},
        {"999999", 999999},
        {"1000000", 1000000},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Long(row.value), row.text);
    }
}

#ifndef _WIN32
static double DoubleFromBits(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// glibc's printf is the oracle; the Windows C library prints differently, so this runs natively.
static std::string Printf8(double value)
{
    char buffer[400];
    int length = std::snprintf(buffer, sizeof buffer, "%.08f", value);
    return std::string(buffer, static_cast<size_t>(length));
}

struct Differences
{
    long compared = 0;
    long failures = 0;
    void Check(double value)
    {
        compared++;
        std::string mine = Fixed8(value), expected = Printf8(value);
        if (mine != expected && ++failures <= 10)
            ADD_FAILURE() << "value " << std::hexfloat << value << ": " << mine
                          << " != " << expected;
    }
};

TEST(NumberFormat, MatchesPrintfOverManyValues)
{
    std::mt19937_64 random(20261208);
    Differences diff;
    // Random float bit patterns: every exponent, subnormals, infinities and NaNs included.
    for (int i = 0; i < 600000; i++)
        diff.Check(FloatFromBits(static_cast<uint32_t>(random())));
    // Random double bit patterns.
    for (int i = 0; i < 100000; i++)
        diff.Check(DoubleFromBits(random()));
    // What the writer forms: products of two floats, and 1 - a float, in double.
    std::uniform_real_distribution<float> coordinate(-1000.0f, 1000.0f), unit(0.0f, 1.0f);
    for (int i = 0; i < 150000; i++)
    {
        diff.Check(static_cast<double>(coordinate(random)) * unit(random) * 20.0f);
        diff.Check(1.0 - static_cast<double>(unit(random)));
    }
    // Halfway cases and their neighbours: odd multiples of 2^-k land on or next to a tie at
    // the ninth decimal.
    for (int k = 9; k <= 40; k++)
    {
        for (int i = 0; i < 2000; i++)
        {
            double value = std::ldexp(static_cast<double>(2 * (random() % 4000000) + 1), -k);
            diff.Check(value);
            diff.Check(-value);
            diff.Check(std::nextafter(value, 0.0));
            diff.Check(std::nextafter(value, 1e300));
        }
    }
    // Powers of two and their neighbours, from subnormal to huge.
    for (int e = -1074; e <= 1023; e++)
    {
        double value = std::ldexp(1.0, e);
        diff.Check(value);
        diff.Check(-std::nextafter(value, 0.0));
        diff.Check(std::nextafter(value, 1e308 * 10));
    }
    // Special values.
    const double specials[] = {0.0,
                               -0.0,
                               DBL_MAX,
                               -DBL_MAX,
                               FLT_MAX,
                               FLT_TRUE_MIN,
                               DBL_TRUE_MIN,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN(),
                               5e-9,
                               -5e-9,
                               4.999999999e-9,
                               0.000000005000000001};
    for (double value : specials)
        diff.Check(value);
    EXPECT_GE(diff.compared, 1000000);
    EXPECT_EQ(diff.failures, 0);
}

TEST(NumberFormat, LongMatchesPrintf)
{
    std::mt19937 random(7);
    long failures = 0;
    for (int i = 0; i < 200000; i++)
    {
        int32_t value = static_cast<int32_t>(random());
        if (i < 64)
            value = i < 32 ? (1 << (i % 31)) - 1 : -(1 << (i % 31));
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%ld", static_cast<long>(value));
        if (Long(value) != buffer && ++failures <= 10)
            ADD_FAILURE() << value << ": " << Long(value);
    }
    EXPECT_EQ(failures, 0);
}
#endif
