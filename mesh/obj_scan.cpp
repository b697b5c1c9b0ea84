// Matching of OBJ lines with the C library's scanf rules, without the C library.
//
// A "%e" directive consumes characters greedily, as the C library's scanner does: an
// optional sign, then "nan", "inf" or "infinity" (any case), or digits with at most one
// point, and an exponent mark once a digit has been read, a sign directly after it, and
// digits; "0x" switches to hexadecimal digits with a "p" exponent. What was consumed is then
// converted by the rules of strtof, which may use only a prefix of it ("1e+" reads as 1).
// The conversion fails when strtof would use nothing.
#include "mesh.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{

inline bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

inline const char* SkipSpace(const char* p)
{
    // numbers in files mostly stand after one blank (p[1] is in the text, p[0] being no NUL)
    if (*p == ' ' && (unsigned char)p[1] > ' ')
        return p + 1;
    while (IsSpace(*p))
        ++p;
    return p;
}

// The literal keyword at the very start of the line; null when it differs.
inline const char* MatchKeyword(const char* line, const char* keyword)
{
    while (*keyword)
        if (*line++ != *keyword++)
            return nullptr;
    return line;
}

enum FloatKind
{
    FLOAT_DECIMAL,
    FLOAT_HEX,
    FLOAT_INFINITY,
    FLOAT_NAN,
};

// What one "%e" consumed: the digits start after the sign (and after "0x"), end at the end.
struct FloatText
{
    FloatKind kind;
    bool negative;
    const char* digits;
    const char* end;
    bool simple;       // plain digits with at most one point and no exponent, up to 19 digits
    uint64_t mantissa; // their value without the point, when simple
    int fraction;      // digits after the point, when simple
};

// Appends digits at p to value, two a step, and returns where it stopped: at the run's end, or
// (when limit is not 0) at a digit still to append once value has reached limit.
template <typename Value>
inline const char* AppendDigitPairs(const char* p, Value& value, Value limit)
{
    for (;;)
    {
        unsigned first = unsigned(p[0]) - '0';
        if (first > 9)
            return p;
        unsigned second = unsigned(p[1]) - '0'; // p[0] is no NUL, so p[1] is in the text
        if (second > 9)
        {
            value = value * 10 + first;
            return p + 1;
        }
        value = value * 100 + first * 10 + second;
        p += 2;
        if (limit != 0 && value >= limit)
            return p;
    }
}

// Where registers hold 32 bits, a 64-bit multiply takes several instructions and a 32-bit one
// a single one; elsewhere both cost the same, and the narrow steps' checks would cost more.
constexpr bool narrowRegisters = sizeof(void*) < sizeof(uint64_t);

// Appends the leading digits of the run at p to value in 32 bits, where that pays and value
// is small; most numbers in files have at most nine digits. From below 10^7, 32 bits hold
// every step's result (below 10^9). Returns where it stopped.
inline const char* AppendLeadingDigits(const char* p, uint64_t& value)
{
    if (narrowRegisters && value < 10000000)
    {
        uint32_t narrow = uint32_t(value);
        p = AppendDigitPairs<uint32_t>(p, narrow, 10000000);
        value = narrow;
    }
    return p;
}

// Appends the digit run at p to value (wrapping past 2^64; callers bound the run's length)
// and returns where the run ends. Two digits a step: numbers in files run to several digits.
inline const char* AppendDigits(const char* p, uint64_t& value)
{
    return AppendDigitPairs<uint64_t>(AppendLeadingDigits(p, value), value, 0);
}

// The common spelling: digits, a point, digits, ending where the general scan would end too.
// Returns the end, or null when the text needs the general scan.
inline const char* CollectPlainDecimal(const char* p, FloatText& text)
{
    uint64_t mantissa = 0;
    const char* q = AppendDigits(p, mantissa);
    const char* point = q;
    if (*q == '.')
        q = AppendDigits(q + 1, mantissa);
    ptrdiff_t digits = (q - p) - (*point == '.');
    if (digits == 0 || digits > 19 || *q == 'e' || *q == 'E' || (*p == '0' && Lower(p[1]) == 'x'))
        return nullptr;
    text.kind = FLOAT_DECIMAL;
    text.digits = p;
    text.end = q;
    text.simple = true;
    text.mantissa = mantissa;
    text.fraction = *point == '.' ? int(q - point - 1) : 0;
    return q;
}

// "inf" or "infinity" after the sign; null when the text starts one and breaks off.
const char* MatchInfinity(const char* p)
{
    if (Lower(p[1]) != 'n' || Lower(p[2]) != 'f')
        return nullptr;
    p += 3;
    if (Lower(*p) != 'i')
        return p;
    static const char rest[] = "nity";
    for (int i = 0; i < 4; ++i)
        if (Lower(p[1 + i]) != rest[i])
            return nullptr;
    return p + 5;
}

// "nan", "inf" or "infinity" after the sign; null when the text starts one and breaks off.
const char* CollectNamedFloat(const char* p, FloatText& text)
{
    if (Lower(*p) == 'n')
    {
        if (Lower(p[1]) != 'a' || Lower(p[2]) != 'n')
            return nullptr;
        text.kind = FLOAT_NAN;
        return text.end = p + 3;
    }
    text.kind = FLOAT_INFINITY;
    return text.end = MatchInfinity(p);
}

// What the general scan has met so far.
struct GeneralScan
{
    bool hex;
    bool gotDigit;
    bool gotDot;
    bool gotExponent;
    const char* mark; // the exponent mark, once met
};

// A leading "0x" switches to hexadecimal digits; a leading 0 otherwise is a digit read.
const char* ScanNumberPrefix(const char* p, GeneralScan& scan)
{
    scan = GeneralScan{false, false, false, false, nullptr};
    if (*p != '0')
        return p;
    if (Lower(p[1]) == 'x')
    {
        scan.hex = true;
        return p + 2;
    }
    scan.gotDigit = true;
    return p + 1;
}

// Digits, at most one point, an exponent mark once a digit has been read, a sign directly
// after the mark and its digits; returns where the greedy scan stops.
const char* ScanNumberBody(const char* p, GeneralScan& scan)
{
    char exponentMark = scan.hex ? 'p' : 'e';
    for (;; ++p)
    {
        char c = *p;
        if (IsDigit(c) || (scan.hex && !scan.gotExponent && IsHexDigit(c)))
            scan.gotDigit = true;
        else if (scan.gotExponent && p == scan.mark + 1 && (c == '-' || c == '+'))
            continue;
        else if (scan.gotDigit && !scan.gotExponent && Lower(c) == exponentMark)
        {
            scan.gotExponent = scan.gotDot = true;
            scan.mark = p;
        }
        else if (!scan.gotDot && c == '.')
            scan.gotDot = true;
        else
            return p;
    }
}

// Exponents and hexadecimal numbers: the scan of the C library, at p after the sign.
const char* CollectGeneralFloat(const char* p, FloatText& text)
{
    GeneralScan scan;
    const char* body = ScanNumberPrefix(p, scan);
    text.kind = scan.hex ? FLOAT_HEX : FLOAT_DECIMAL;
    text.digits = scan.hex ? body : p;
    text.end = ScanNumberBody(body, scan);
    if (text.end == p || (scan.hex && text.end == p + 2))
        return nullptr;
    // strtof needs a digit before the exponent; "0x" without digits still reads as 0
    if (!scan.hex && !scan.gotDigit)
        return nullptr;
    return text.end;
}

// Consumes one number at p (white space already skipped); null on a conversion failure.
// Inlined in the converting scan, where it is hot, though the checking scan calls it too.
[[gnu::always_inline]] inline const char* CollectFloat(const char* p, FloatText& text)
{
    text.negative = *p == '-';
    bool sign = *p == '-' || *p == '+';
    if (sign && *++p == '\0')
        return nullptr;
    text.simple = false;
    if (const char* end = CollectPlainDecimal(p, text)) // starts with a digit or a point
        return end;
    if (Lower(*p) == 'n' || Lower(*p) == 'i')
        return CollectNamedFloat(p, text);
    return CollectGeneralFloat(p, text);
}

// The float strtof gives for a decimal text whose conversion ran out of range: infinity
// when the exponent grows it, zero when it shrinks it. The digits alone (at most a line
// long) stay within double range, so double decides where it can.
float DecimalOutOfRange(const char* digits, const char* end)
{
    double wide = 0;
    if (std::from_chars(digits, end, wide).ec == std::errc())
        return std::fabs(wide) > 1.0 ? std::numeric_limits<float>::infinity() : 0.0f;
    const char* mark = digits;
    while (mark < end && Lower(*mark) != 'e')
        ++mark;
    bool shrinks = mark + 1 < end && mark[1] == '-';
    return shrinks ? 0.0f : std::numeric_limits<float>::infinity();
}

inline int HexValue(char c)
{
    return IsDigit(c) ? c - '0' : Lower(c) - 'a' + 10;
}

// The binary exponent after "p" (digits already checked), saturated far outside float range.
int64_t HexExponent(const char* p, const char* end)
{
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    int64_t exponent = 0;
    for (; p < end && IsDigit(*p); ++p)
        if (exponent < 100000000)
            exponent = exponent * 10 + (*p - '0');
    return negative ? -exponent : exponent;
}

// The leading 25 significant bits of a hexadecimal mantissa, the exponent of the first, and
// whether any bit further down is set.
struct HexBits
{
    uint32_t bits; // 0 when the mantissa is zero
    int count;
    int64_t exponent;
    bool sticky;
};

HexBits ReadHexMantissa(const char* p, const char* end)
{
    HexBits hex{0, 0, 0, false};
    int64_t integerDigits = 0;
    for (const char* q = p; q < end && IsHexDigit(*q); ++q)
        ++integerDigits;
    int64_t digitIndex = 0;
    for (; p < end && (IsHexDigit(*p) || *p == '.'); ++p)
    {
        if (*p == '.')
            continue;
        int digit = HexValue(*p);
        for (int b = 3; b >= 0; --b)
        {
            bool one = (digit >> b) & 1;
            if (hex.count == 0 && !one)
                continue;
            if (hex.count == 0)
                hex.exponent = 4 * (integerDigits - 1 - digitIndex) + b;
            if (hex.count < 25)
                hex.bits = (hex.bits << 1) | uint32_t(one), ++hex.count;
            else
                hex.sticky = hex.sticky || one;
        }
        ++digitIndex;
    }
    hex.bits <<= 25 - hex.count;
    return hex;
}

// A hexadecimal text rounded to float the way the C library's strtof does. Its subnormal
// results lose the bit just below the 24 kept bits before rounding (0x1.000001p-150 reads as
// 0, not as the smallest subnormal); the same is done here so that every build agrees with it.
float ConvertHex(const char* digits, const char* end)
{
    HexBits hex = ReadHexMantissa(digits, end);
    if (hex.bits == 0)
        return 0.0f;
    const char* mark = digits;
    while (mark < end && Lower(*mark) != 'p')
        ++mark;
    bool hasExponent = mark + 1 < end && (IsDigit(mark[1]) || (mark + 2 < end && IsDigit(mark[2])));
    int64_t exponent = hex.exponent + (hasExponent ? HexExponent(mark + 1, end) : 0);
    uint32_t mantissa = hex.bits >> 1; // 24 bits, leading one at bit 23
    bool roundBit = hex.bits & 1;
    bool sticky = hex.sticky;
    if (exponent > 127)
        return std::numeric_limits<float>::infinity();
    if (exponent < -150)
        return 0.0f;
    if (exponent < -126)
    {
        int shift = int(-126 - exponent); // 1 to 24
        sticky = sticky || (mantissa & ((1u << (shift - 1)) - 1)) != 0;
        roundBit = (mantissa >> (shift - 1)) & 1;
        mantissa >>= shift;
        exponent = -126;
    }
    if (roundBit && (sticky || (mantissa & 1)))
        ++mantissa;
    if (mantissa == (1u << 24))
    {
        mantissa >>= 1;
        ++exponent;
    }
    if (exponent > 127)
        return std::numeric_limits<float>::infinity();
    return std::ldexp(float(mantissa), int(exponent) - 23);
}

float ConvertFloat(const FloatText& text)
{
    float value = 0.0f;
    switch (text.kind)
    {
    case FLOAT_NAN:
        value = std::numeric_limits<float>::quiet_NaN();
        break;
    case FLOAT_INFINITY:
        value = std::numeric_limits<float>::infinity();
        break;
    case FLOAT_HEX:
        value = ConvertHex(text.digits, text.end);
        break;
    case FLOAT_DECIMAL:
        // a mantissa and a power of ten both exact in float give a correctly rounded quotient
        if (text.simple && text.mantissa <= (1u << 24) && text.fraction <= 10)
        {
            static const float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
            // through 32 bits, which a 32-bit processor converts in one instruction
            value = float(int32_t(text.mantissa)) / powersOfTen[text.fraction];
            break;
        }
        if (std::from_chars(text.digits, text.end, value).ec == std::errc::result_out_of_range)
            value = DecimalOutOfRange(text.digits, text.end);
        break;
    }
    return text.negative ? -value : value;
}

// The general scan, for the numbers SkipFloat does not pass over itself; out of line, so that
// the checking loop stays small.
[[gnu::noinline]] const char* SkipFloatSlowly(const char* p)
{
    FloatText text;
    return CollectFloat(p, text);
}

// Where the number at p ends, for a check that needs no value: a sign, digits and at most one
// point end at the first other character, as CollectFloat ends them; without a digit only
// "nan" and "inf" can follow the sign. Exponents, hexadecimal numbers and infinities go the
// long way.
inline const char* SkipFloat(const char* p)
{
    const char* q = p + (*p == '-' || *p == '+');
    const char* first = q;
    while (IsDigit(*q))
        ++q;
    bool point = *q == '.';
    if (point)
        while (IsDigit(*++q))
            ;
    if (q - first == ptrdiff_t(point)) // no digit
    {
        char c = Lower(*first);
        if (c == 'n')
            return Lower(first[1]) == 'a' && Lower(first[2]) == 'n' ? first + 3 : nullptr;
        return c == 'i' ? SkipFloatSlowly(p) : nullptr;
    }
    char next = Lower(*q);
    return next == 'e' || next == 'x' ? SkipFloatSlowly(p) : q;
}

// "%e": skips white space and converts one number; null on failure.
inline const char* ScanFloat(const char* p, float* value)
{
    FloatText text;
    p = CollectFloat(SkipSpace(p), text);
    if (p)
        *value = ConvertFloat(text);
    return p;
}

// "%ld": skips white space; a sign and a run of digits, saturated like strtol.
const char* ScanLong(const char* p, int64_t* value)
{
    // most face indices stand right after a slash or one blank: no sign, few digits
    if (*p == ' ' && IsDigit(p[1]))
        ++p;
    if (IsDigit(*p))
    {
        uint64_t magnitude = 0;
        const char* q = AppendDigits(p, magnitude);
        if (q - p <= 18)
        {
            if (value)
                *value = int64_t(magnitude);
            return q;
        }
    }
    p = SkipSpace(p);
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!IsDigit(*p))
        return nullptr;
    const char* digits = p;
    uint64_t magnitude = 0;
    for (p = AppendLeadingDigits(p, magnitude); IsDigit(*p); ++p)
        magnitude = magnitude * 10 + unsigned(*p - '0');
    if (p - digits > 18) // may not fit: convert again, saturating
    {
        const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
        magnitude = 0;
        for (const char* q = digits; q < p; ++q)
        {
            unsigned digit = unsigned(*q - '0');
            magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
        }
    }
    if (value)
        *value = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return p;
}

// ---- Face corners in every form: v, v/t, v//n, v/t/n

// An index directly at p (no white space before it): a sign and digits, converted when
// convert is true. Null when there is none.
template <bool convert> inline const char* ScanIndex(const char* p, int64_t* value)
{
    bool sign = *p == '-' || *p == '+';
    if (!IsDigit(p[sign]))
        return nullptr;
    if (convert && !sign)
    {
        // the common index, converted here as ScanLong converts it
        uint64_t magnitude = 0;
        const char* end = AppendDigits(p, magnitude);
        if (end - p > 18)
            return ScanLong(p, value);
        *value = int64_t(magnitude);
        return end;
    }
    if (convert)
        return ScanLong(p, value);
    for (p += sign; IsDigit(*p);)
        ++p;
    return p;
}

// One corner at p; null when the text there is no corner ending at white space or the end.
// Without convert only its form is taken (the counting pass).
template <bool convert> inline const char* ScanCorner(const char* p, ObjCorner& corner)
{
    corner.uv = corner.normal = 0;
    corner.hasUv = corner.hasNormal = false;
    if (!(p = ScanIndex<convert>(p, &corner.vertex)))
        return nullptr;
    if (*p == '/')
    {
        ++p;
        corner.hasUv = *p != '/';
        if (corner.hasUv && !(p = ScanIndex<convert>(p, &corner.uv)))
            return nullptr;
        corner.hasNormal = *p == '/';
        if (corner.hasNormal && !(p = ScanIndex<convert>(p + 1, &corner.normal)))
            return nullptr;
    }
    return *p == '\0' || IsSpace(*p) ? p : nullptr;
}

#ifdef __SSE2__
// The classes of the 32 bytes at p, as bit k for p[k]: digits, slashes and NUL bytes.
struct WindowClasses
{
    uint32_t digits;
    uint32_t slashes;
    uint32_t nuls;
};

inline uint32_t MaskOf(__m128i bytes)
{
    return uint32_t(_mm_movemask_epi8(bytes));
}

inline __m128i Between(__m128i bytes, char low, char high)
{
    return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(char(low - 1))),
                         _mm_cmplt_epi8(bytes, _mm_set1_epi8(char(high + 1))));
}

inline __m128i LoadHalf(const char* p, unsigned half)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * half));
}

inline WindowClasses ClassifyWindow(const char* p)
{
    WindowClasses classes = {0, 0, 0};
    for (unsigned half = 0; half < 2; ++half)
    {
        __m128i bytes = LoadHalf(p, half);
        classes.digits |= MaskOf(Between(bytes, '0', '9')) << (16 * half);
        classes.slashes |= MaskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('/'))) << (16 * half);
        classes.nuls |= MaskOf(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())) << (16 * half);
    }
    return classes;
}

// The blanks among the 32 bytes at p, as IsSpace takes them.
inline uint32_t BlanksAt(const char* p)
{
    uint32_t blanks = 0;
    for (unsigned half = 0; half < 2; ++half)
    {
        __m128i bytes = LoadHalf(p, half);
        __m128i blank =
            _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), Between(bytes, '\t', '\r'));
        blanks |= MaskOf(blank) << (16 * half);
    }
    return blanks;
}

// The digits and slashes among the 32 bytes at p, as bit k for p[k]; bit 31 is left clear, so
// that every run of digits or slashes ends before it.
struct ByteClasses
{
    uint32_t digits;
    uint32_t slashes;
};

inline ByteClasses RunClassesOf(const WindowClasses& classes)
{
    return ByteClasses{classes.digits & 0x7FFFFFFFu, classes.slashes & 0x7FFFFFFFu};
}

inline ByteClasses ClassifyBytes(const char* p)
{
    return RunClassesOf(ClassifyWindow(p));
}

// The length of the digit run starting at bit k < 32 of digits.
inline unsigned DigitRun(uint32_t digits, unsigned k)
{
    return unsigned(__builtin_ctz(~digits >> k));
}

// The form of the corner at p for the counting pass, taken from the classes of the bytes at p
// (bit k for p[k], up to a clear bit 31 or before): the end of a corner of unsigned indices
// that ends within the classified bytes, as ScanCorner<false> finds it. Null when the bytes
// do not settle it; ScanCorner decides then.
inline const char* SkimCorner(const char* p, ByteClasses classes, ObjCorner& corner)
{
    unsigned end = DigitRun(classes.digits, 0);
    corner.hasUv = corner.hasNormal = false;
    if (end == 0)
        return nullptr;
    if (classes.slashes >> end & 1)
    {
        unsigned run = DigitRun(classes.digits, ++end);
        corner.hasUv = run > 0;
        end += run;
        corner.hasNormal = classes.slashes >> end & 1;
        if (corner.hasNormal)
        {
            run = DigitRun(classes.digits, ++end);
            end += run;
            if (run == 0)
                return nullptr;
        }
        else if (!corner.hasUv)
            return nullptr;
    }
    // a run cut short where the classes end ends at no blank there
    if (p[end] != '\0' && !IsSpace(p[end]))
        return nullptr;
    return p + end;
}

// Corners starting this far into 32 classified bytes are skimmed from the same classes.
const size_t CLASSES_REUSED = 16;

// What the counting pass takes from the corners of a line: how many, and whether one lacks a
// texture or a normal index.
struct CornerTally
{
    uint32_t count;
    bool withoutUv;
    bool withoutNormal;
};

// The corners that end within the 32 bytes at p (a corner's start, the bytes' classes given,
// the line going on past them), all at once, where those bytes hold only corners of unsigned
// indices in the forms v, v/t, v//n and v/t/n, and blanks: a corner is a digit run, then
// optionally a slash and a run, then optionally a slash and a run, where only the first run
// after the first slash may be empty. Returns where the bytes taken end (after their last
// blank); null when they settle no corner, leaving them to SkimCorner.
inline const char* SkimWindow(const char* p, const WindowClasses& classes, CornerTally& tally)
{
    uint32_t blanks = BlanksAt(p);
    if (blanks == 0)
        return nullptr;
    unsigned last = 31 - unsigned(__builtin_clz(blanks));
    uint32_t taken = (2u << last) - 1; // up to the last blank; all 32 bytes at bit 31
    uint32_t digits = classes.digits & taken, slashes = classes.slashes & taken;
    uint32_t marks = digits | slashes, starts = marks & ~(marks << 1);
    if ((marks | (blanks & taken)) != taken || (starts & ~digits) != 0)
        return nullptr;
    // adding a run's first bit carries to the byte after the run
    uint32_t afterVertex = (digits + starts) & ~digits;
    uint32_t firstSlashes = afterVertex & slashes, afterFirst = firstSlashes << 1;
    uint32_t afterUv = (digits + (afterFirst & digits)) & ~digits;
    uint32_t secondSlashes = (afterFirst & slashes) | (afterUv & slashes);
    if ((afterFirst & ~marks) != 0 || ((secondSlashes << 1) & ~digits) != 0 ||
        slashes != (firstSlashes | secondSlashes))
        return nullptr;
    tally.count += uint32_t(__builtin_popcount(starts));
    tally.withoutUv |= ((afterVertex & ~slashes) | (afterFirst & slashes)) != 0;
    tally.withoutNormal |= ((afterVertex | afterUv) & ~slashes) != 0;
    return p + last + 1;
}

// The counting pass over the corners at p one by one, from the classes of the 32 bytes there:
// the classes of one corner's bytes serve the corners that start within CLASSES_REUSED of it,
// and a corner they do not settle is classified anew.
void SkimEachCorner(const char* p, ByteClasses classes, CornerTally& tally)
{
    const char* window = p;
    ObjCorner corner;
    while (*p)
    {
        size_t offset = size_t(p - window);
        const char* end = nullptr;
        if (offset <= CLASSES_REUSED)
            end = SkimCorner(p, ByteClasses{classes.digits >> offset, classes.slashes >> offset},
                             corner);
        if (!end && offset > 0)
        {
            window = p;
            classes = ClassifyBytes(p);
            end = SkimCorner(p, classes, corner);
        }
        if (!end && !(end = ScanCorner<false>(p, corner)))
            break;
        tally.withoutUv |= !corner.hasUv;
        tally.withoutNormal |= !corner.hasNormal;
        ++tally.count;
        p = SkipSpace(end);
    }
}

// The counting pass over the corners at p, whose line stands in a padded block (32 bytes are
// readable at every corner): 32 bytes at a time while the line goes on past them and they
// hold plain corners, then one by one.
uint32_t SkimCorners(const char* p, bool* lacksUv, bool* lacksNormal)
{
    CornerTally tally = {0, false, false};
    for (;;)
    {
        WindowClasses classes = ClassifyWindow(p);
        const char* end = classes.nuls == 0 ? SkimWindow(p, classes, tally) : nullptr;
        if (!end)
        {
            SkimEachCorner(p, RunClassesOf(classes), tally);
            break;
        }
        p = SkipSpace(end);
    }
    *lacksUv = *lacksUv || tally.withoutUv;
    *lacksNormal = *lacksNormal || tally.withoutNormal;
    return tally.count;
}
#endif

template <bool convert>
uint32_t ScanCorners(const char* p, ObjCorner* corners, uint32_t capacity, bool* lacksUv,
                     bool* lacksNormal)
{
    uint32_t count = 0;
    bool withoutUv = false, withoutNormal = false;
    ObjCorner spare;
    while (*p)
    {
        // scanned in place: a copy would read back the fields just written one by one
        ObjCorner& corner = convert && count < capacity ? corners[count] : spare;
        if (!(p = ScanCorner<convert>(p, corner)))
            break;
        withoutUv |= !corner.hasUv;
        withoutNormal |= !corner.hasNormal;
        ++count;
        p = SkipSpace(p);
    }
    *lacksUv = *lacksUv || withoutUv;
    *lacksNormal = *lacksNormal || withoutNormal;
    return count;
}

} // namespace

int ScanObjFloats(const char* line, const char* keyword, int count, float* values)
{
    const char* p = MatchKeyword(line, keyword);
    if (!p)
        return 0;
    // checking only (the counting pass) is the lighter scan
    if (!values)
    {
        for (int i = 0; i < count; ++i)
            if (!(p = SkipFloat(SkipSpace(p))))
                return i;
        return count;
    }
    for (int i = 0; i < count; ++i)
        if (!(p = ScanFloat(p, values + i)))
            return i;
    return count;
}

int ScanObjLong(const char* line, const char* keyword, int64_t* value)
{
    const char* p = MatchKeyword(line, keyword);
    return p && ScanLong(p, value) ? 1 : 0;
}

int ScanObjToken(const char* line, const char* keyword, const char** token, size_t* length)
{
    const char* p = MatchKeyword(line, keyword);
    if (!p)
        return 0;
    p = SkipSpace(p);
    if (*p == '\0')
        return 0;
    const char* end = p;
    while (*end && !IsSpace(*end))
        ++end;
    *token = p;
    *length = size_t(end - p);
    return 1;
}

int ScanObjFace(const char* line, int perCorner, int64_t values[12], const char** end)
{
    const char* p = MatchKeyword(line, "f");
    if (!p)
        return 0;
    int got = 0;
    for (int corner = 0; corner < 4; ++corner)
        for (int k = 0; k < perCorner; ++k)
        {
            if (k > 0 && *p++ != '/')
                return got;
            if (!(p = ScanLong(p, &values[got])))
                return got;
            ++got;
        }
    if (end)
        *end = p;
    return got;
}

void GetObjGroupName(const char* line, char name[MESH_NAME_SIZE])
{
    const char* p = line[0] && line[1] ? line + 2 : line + std::strlen(line);
    size_t length = 0;
    while (p[length] && p[length] != '\r' && p[length] != '\n')
        ++length;
    while (length > 0 && (p[length - 1] == ' ' || p[length - 1] == '\t'))
        --length;
    if (length > MESH_NAME_SIZE - 1)
        length = MESH_NAME_SIZE - 1;
    std::memcpy(name, p, length);
    name[length] = '\0';
}

uint32_t ScanObjCorners(const char* line, ObjCorner* corners, uint32_t capacity, bool* lacksUv,
                        bool* lacksNormal)
{
    if (line[0] != 'f')
        return 0;
    const char* p = SkipSpace(line + 1);
    if (!corners)
        return ScanCorners<false>(p, nullptr, 0, lacksUv, lacksNormal);
    return ScanCorners<true>(p, corners, capacity, lacksUv, lacksNormal);
}

uint32_t CountObjCornersPadded(const char* line, bool* lacksUv, bool* lacksNormal)
{
    if (line[0] != 'f')
        return 0;
#ifdef __SSE2__
    return SkimCorners(SkipSpace(line + 1), lacksUv, lacksNormal);
#else
    return ScanCorners<false>(SkipSpace(line + 1), nullptr, 0, lacksUv, lacksNormal);
#endif
}
