// The corners of a face line in every form: v, v/t, v//n and v/t/n.
#include "mesh.h"

namespace
{

inline bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline const char* SkipSpace(const char* p)
{
    while (IsSpace(*p))
        ++p;
    return p;
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// An index directly at p (no white space before it): a sign and digits, converted when
// convert is true. Null when there is none.
template <bool convert> inline const char* ScanIndex(const char* p, int64_t* value)
{
    bool sign = *p == '-' || *p == '+';
    if (!IsDigit(p[sign]))
        return nullptr;
    if (convert)
        return ScanObjInteger(p, value);
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

template <bool convert>
uint32_t ScanCorners(const char* p, ObjCorner* corners, uint32_t capacity, bool* lacksUv,
                     bool* lacksNormal)
{
    uint32_t count = 0;
    ObjCorner corner;
    while (*p && (p = ScanCorner<convert>(p, corner)))
    {
        *lacksUv = *lacksUv || !corner.hasUv;
        *lacksNormal = *lacksNormal || !corner.hasNormal;
        if (count < capacity)
            corners[count] = corner;
        ++count;
        p = SkipSpace(p);
    }
    return count;
}

} // namespace

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
