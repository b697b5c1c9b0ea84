// Quads to triangles: every four-cornered facet becomes two triangles in place, and every
// group and material list is rebuilt. All storage is had before anything changes; the new
// facets and the lists are written in one pass over the old facets.
#include "ops/ops.h"

#include "ui/progress.h"

#include <cstring>

namespace
{

struct SplitWork
{
    uint32_t facetCount;  // after the split
    Facet* facets;        // the new facet array
    uint32_t* listCounts; // groupCount + materialCount: facets of each entry after the split
    uint32_t** lists;     // groupCount + materialCount: the new lists (null where empty)
    uint32_t entryCount;
};

void ReleaseSplitWork(SplitWork* work)
{
    if (work->lists)
        for (uint32_t e = 0; e < work->entryCount; ++e)
            ReleaseArray(work->lists[e]);
    ReleaseArray(work->lists);
    ReleaseArray(work->listCounts);
    ReleaseArray(work->facets);
}

// Counts the facets of every entry after the split; false when a facet names an entry that
// does not exist.
bool CountSplit(const Mesh* mesh, SplitWork* work, uint64_t* newCount)
{
    uint32_t groups = mesh->groupCount;
    *newCount = 0;
    for (uint32_t f = 0; f < mesh->facetCount; ++f)
    {
        const Facet& facet = mesh->facets[f];
        if (facet.groupIndex >= groups || facet.materialIndex >= mesh->materialCount)
            return false;
        uint32_t pieces = facet.cornerCount == 4 ? 2 : 1;
        work->listCounts[facet.groupIndex] += pieces;
        work->listCounts[groups + facet.materialIndex] += pieces;
        *newCount += pieces;
    }
    return true;
}

bool PrepareSplit(const Mesh* mesh, SplitWork* work)
{
    std::memset(work, 0, sizeof *work);
    if (!mesh->groups || !mesh->materials || (mesh->facetCount > 0 && !mesh->facets))
        return false;
    work->entryCount = mesh->groupCount + mesh->materialCount;
    uint64_t newCount = 0;
    work->listCounts = AllocateArrayOf<uint32_t>(work->entryCount);
    bool ready = work->listCounts && CountSplit(mesh, work, &newCount) && newCount <= UINT32_MAX;
    if (ready)
    {
        work->facetCount = uint32_t(newCount);
        work->facets = AllocateLargeArrayOf<Facet>(work->facetCount);
        work->lists = work->facets ? AllocateArrayOf<uint32_t*>(work->entryCount) : nullptr;
        ready = work->lists != nullptr;
    }
    for (uint32_t e = 0; ready && e < work->entryCount; ++e)
        if (work->listCounts[e] > 0)
        {
            work->lists[e] = AllocateLargeArrayOf<uint32_t>(work->listCounts[e]);
            ready = work->lists[e] != nullptr;
        }
    if (!ready)
        ReleaseSplitWork(work);
    return ready;
}

void ReleaseLists(Group* table, uint32_t count)
{
    for (uint32_t e = 0; e < count; ++e)
    {
        if (table[e].facetListCount != 0 && table[e].facetList)
            ReleaseArray(table[e].facetList);
        table[e].facetList = nullptr;
        table[e].facetListCount = 0;
        table[e].facetListFill = 0;
    }
}

// The triangle of a quad from the quad corners a, b, c; its other slots stay zero.
void WriteTriangle(const Facet& quad, int a, int b, int c, Facet* out)
{
    out->materialIndex = quad.materialIndex;
    out->groupIndex = quad.groupIndex;
    out->cornerCount = 3;
    const int from[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
    {
        out->vertexIndex[k] = quad.vertexIndex[from[k]];
        out->uvIndex[k] = quad.uvIndex[from[k]];
        out->normalIndex[k] = quad.normalIndex[from[k]];
    }
    out->faceNormal = quad.faceNormal;
}

// Puts facet index j next in its group's and its material's list.
void ListFacet(Mesh* mesh, const Facet& facet, uint32_t j)
{
    Group& group = mesh->groups[facet.groupIndex];
    group.facetList[group.facetListFill++] = j;
    Material& material = mesh->materials[facet.materialIndex];
    material.facetList[material.facetListFill++] = j;
}

// Writes the new facets from out on, and lists them.
void SplitFacets(Mesh* mesh, Facet* out)
{
    Facet* start = out;
    for (uint32_t i = 0; i < mesh->facetCount; ++i)
    {
        const Facet& facet = mesh->facets[i];
        if (facet.cornerCount == 4)
        {
            ListFacet(mesh, facet, uint32_t(out - start));
            WriteTriangle(facet, 0, 1, 2, out++);
            ListFacet(mesh, facet, uint32_t(out - start));
            WriteTriangle(facet, 2, 3, 0, out++);
        }
        else
        {
            ListFacet(mesh, facet, uint32_t(out - start));
            *out++ = facet;
        }
    }
}

void InstallLists(Group* table, uint32_t count, uint32_t** lists, const uint32_t* listCounts)
{
    for (uint32_t e = 0; e < count; ++e)
    {
        table[e].facetListCount = listCounts[e];
        table[e].facetListFill = 0;
        table[e].facetList = lists[e];
        lists[e] = nullptr;
    }
}

// The primary bar's moves of one phase: every step-th of count positions.
void ReportSteps(uint32_t count)
{
    uint32_t step = count / 100;
    for (uint32_t i = 0; i < count; ++i)
        if (step == 0 || i % step == 0)
            SetProgressPos(i);
}

} // namespace

void ConvertQuadsToTriangles(Mesh* mesh)
{
    if (!(mesh->flags & MESH_HAS_QUADS))
        return;
    SplitWork work;
    if (!PrepareSplit(mesh, &work))
        return;
    ReleaseLists(mesh->groups, mesh->groupCount);
    ReleaseLists(mesh->materials, mesh->materialCount);
    InstallLists(mesh->groups, mesh->groupCount, work.lists, work.listCounts);
    InstallLists(mesh->materials, mesh->materialCount, work.lists + mesh->groupCount,
                 work.listCounts + mesh->groupCount);
    uint32_t oldCount = mesh->facetCount, newCount = work.facetCount;
    ShowProgress("Reducing Quads to Triangles...", 0, int32_t(oldCount), 0, int32_t(oldCount),
                 true);
    SplitFacets(mesh, work.facets);
    ReleaseArray(mesh->facets);
    mesh->facets = newCount ? work.facets : nullptr;
    if (!newCount)
        ReleaseArray(work.facets);
    work.facets = nullptr;
    mesh->facetCount = newCount;
    // both phases of the work were done in the pass above; the bar moves as they would
    ReportSteps(oldCount);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ShowProgress("Initializing Groups and Materials...", 0, int32_t(newCount), 0, int32_t(newCount),
                 true);
    ReportSteps(newCount);
    ShowProgress("Done", 0, 0, 0, 0, false);
    ReleaseSplitWork(&work);
    mesh->quadCount = 0;
    mesh->flags &= ~uint32_t(MESH_HAS_QUADS);
}
