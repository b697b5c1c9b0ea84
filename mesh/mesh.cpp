// The mesh record's allocation helpers and release.
#include "mesh.h"

#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

int allocationFailAt = 0;
int allocationCount = 0;
long allocationsHeld = 0;
Mesh* dialogMesh = nullptr;

bool IsFolderSeparator(char c)
{
#ifdef _WIN32
    return c == '\\';
#else
    return c == '\\' || c == '/';
#endif
}

void* AllocateArray(size_t count, size_t size)
{
    ++allocationCount;
    if (allocationFailAt > 0 && allocationCount == allocationFailAt)
    {
        allocationFailAt = 0;
        return nullptr;
    }
    if (size != 0 && count > SIZE_MAX / size)
        return nullptr;
    // calloc(0, ...) may return null or a unique pointer; ask for at least one byte
    size_t bytes = count * size;
    void* memory = std::calloc(bytes ? bytes : 1, 1);
    if (memory)
        ++allocationsHeld;
    return memory;
}

void ReleaseArray(void* memory)
{
    if (memory)
        --allocationsHeld;
    std::free(memory);
}

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

static void FreeFacetLists(Group* table, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (table[i].facetListCount > 0 && table[i].facetList)
            ReleaseArray(table[i].facetList);
}

void FreeMesh(Mesh* mesh)
{
    if (!mesh)
        return;
    ReleaseArray(mesh->vertices);
    ReleaseArray(mesh->normals);
    ReleaseArray(mesh->uCoords);
    ReleaseArray(mesh->vCoords);
    ReleaseArray(mesh->facets);
    if (mesh->groups)
        FreeFacetLists(mesh->groups, mesh->groupCount);
    ReleaseArray(mesh->groups);
    if (mesh->materials)
        FreeFacetLists(mesh->materials, mesh->materialCount);
    ReleaseArray(mesh->materials);
    ReleaseArray(mesh);
}
