// Large working arrays of the mesh operations are written once, soon after they are had. On
// Linux each first touch of a 4 KiB page of fresh memory traps into the kernel, and random
// reads of a large table miss the address cache page after page; 2 MiB pages save most of
// both. Elsewhere, and where the kernel declines, nothing changes.
#include "ops/ops.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

void AdviseLargePages(void* memory, size_t bytes)
{
#ifdef __linux__
    const uintptr_t page = 4096, huge = uintptr_t(2) << 20;
    if (!memory || bytes < 2 * huge)
        return;
    uintptr_t start = (uintptr_t(memory) + page - 1) & ~(page - 1);
    uintptr_t end = (uintptr_t(memory) + bytes) & ~(page - 1);
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)memory;
    (void)bytes;
#endif
}
