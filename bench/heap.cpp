// Heap accounting for the benchmarks: replaces the C library's allocation functions.
//
// On glibc the program's own malloc/calloc/realloc/free (and the aligned forms) take the
// place of the library's; each forwards to the library's implementation and adds or removes
// the block's usable size, keeping the bytes in use and their peak. operator new goes
// through malloc, so every heap byte of the process is counted. Sanitizer builds supply
// their own allocator, and other C libraries offer no forwarding entry points: there the
// counters stay 0 and HeapTracking() is false.
#include "bench.h"

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define KORVELLA_HEAP_TRACKING 1
#endif

#ifdef KORVELLA_HEAP_TRACKING
#include <cerrno>
#include <malloc.h>

extern "C"
{
    void* __libc_malloc(size_t size);
    void* __libc_calloc(size_t count, size_t size);
    void* __libc_realloc(void* memory, size_t size);
    void* __libc_memalign(size_t alignment, size_t size);
    void __libc_free(void* memory);
}

static size_t bytesInUse = 0;
static size_t peakBytes = 0;

static void* Counted(void* memory)
{
    if (memory)
    {
        bytesInUse += malloc_usable_size(memory);
        if (bytesInUse > peakBytes)
            peakBytes = bytesInUse;
    }
    return memory;
}

static void Uncount(void* memory)
{
    if (memory)
        bytesInUse -= malloc_usable_size(memory);
}

extern "C"
{
    void* malloc(size_t size)
    {
        return Counted(__libc_malloc(size));
    }
    void* calloc(size_t count, size_t size)
    {
        return Counted(__libc_calloc(count, size));
    }
    void* realloc(void* memory, size_t size)
    {
        Uncount(memory);
        void* moved = __libc_realloc(memory, size);
        if (!moved && size != 0)
            return Counted(memory); // the old block is still there
        return Counted(moved);
    }
    void free(void* memory)
    {
        Uncount(memory);
        __libc_free(memory);
    }
    void* memalign(size_t alignment, size_t size)
    {
        return Counted(__libc_memalign(alignment, size));
    }
    void* aligned_alloc(size_t alignment, size_t size)
    {
        return Counted(__libc_memalign(alignment, size));
    }
    int posix_memalign(void** result, size_t alignment, size_t size)
    {
        void* memory = Counted(__libc_memalign(alignment, size));
        if (!memory)
            return ENOMEM;
        *result = memory;
        return 0;
    }
}

bool HeapTracking()
{
    return true;
}
size_t HeapBytesInUse()
{
    return bytesInUse;
}
size_t HeapPeakBytes()
{
    return peakBytes;
}
void ResetHeapPeak()
{
    peakBytes = bytesInUse;
}

#else

bool HeapTracking()
{
    return false;
}
size_t HeapBytesInUse()
{
    return 0;
}
size_t HeapPeakBytes()
{
    return 0;
}
void ResetHeapPeak() {}

#endif
