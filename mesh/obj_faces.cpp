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

// An index directly at p (no white space before it); null when there is none.
inline const char* ScanIndex(const char* p, int64_t* value)
{
    bool sign = *p == '-' || *p == '+';
    if (!(p[sign] >= '0' && p[sign] <= '9'))
        return nullptr;
    return ScanObjInteger(p, value);
}

// One corner at p; null when the text there is no corner ending at white space or the end.
const char* ScanCorner(const char* p, ObjCorner& corner)
{
    corner.uv = corner.normal = 0;
    corner.hasUv = corner.hasNormal = false;
    if (!(p = ScanIndex(p, &corner.vertex)))
        return nullptr;
    if (*p == '/')
    {
        ++p;
        corner.hasUv = *p != '/';
        if (corner.hasUv && !(p = ScanIndex(p, &corner.uv)))
            return nullptr;
        corner.hasNormal = *p == '/';
        if (corner.hasNormal && !(p = ScanIndex(p + 1, &corner.normal)))
            return nullptr;
    }
    return *p == '\0' || IsSpace(*p) ? p : nullptr;
}

} // namespace

uint32_t ScanObjCorners(const char* line, ObjCorner* corners, uint32_t capacity, bool* lacksUv,
                        bool* lacksNormal)
{
    if (line[0] != 'f')
        return 0;
    uint32_t count = 0;
    const char* p = SkipSpace(line + 1);
    ObjCorner corner;
    while (*p && (p = ScanCorner(p, corner)))
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
