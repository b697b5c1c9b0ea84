// The fuzz target's failure report, its mesh check, and the read-back check of written numbers.
#include "fuzz_check.h"

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void FuzzFailure(const char* file, int line, const char* condition, const char* format, ...)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n  ", file, line, condition);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::abort();
}

void CheckMesh(const Mesh* mesh, const MeshHistory& history)
{
    std::string failures = MeshInvariantFailures(mesh, &history);
    FUZZ_CHECK(failures.empty(), "%s", failures.c_str());
}

void CheckReadBack(double written, float read, const char* what, uint32_t index)
{
    if (std::isnan(written))
    {
        FUZZ_CHECK(std::isnan(read), "%s %u: nan read as %g", what, index, double(read));
        return;
    }
    if (std::isinf(written))
    {
        FUZZ_CHECK(read == written, "%s %u: %g read as %g", what, index, written, double(read));
        return;
    }
    if (std::isinf(read))
    {
        // only a value at or past the largest float may come back as infinity
        FUZZ_CHECK(std::fabs(written) >= double(FLT_MAX) &&
                       std::signbit(read) == std::signbit(written),
                   "%s %u: %.17g read as %g", what, index, written, double(read));
        return;
    }
    // eight decimals, then the nearest float
    double tolerance = 0.5000001e-8 + std::fabs(written) * 0x1p-24 + 0x1p-149;
    FUZZ_CHECK(std::fabs(double(read) - written) <= tolerance, "%s %u: %.17g read as %.9g", what,
               index, written, double(read));
}
