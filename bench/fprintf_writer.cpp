// The plain fprintf OBJ writer: each line as one format string, each facet corner as one.
#include "fprintf_writer.h"

#include "export/export.h"
#include "mesh/mesh.h"

#include <cstdio>

namespace
{

const char ruleLine[] =
    "#  ==========================================================================";

void WriteHeader(FILE* file, const Mesh* mesh)
{
    std::fprintf(file, "%s\n", ruleLine);
    std::fprintf(file, "#  Wavefront OBJ exported by Korvella v1.0\n");
    std::fprintf(file, "#  \n");
    std::fprintf(file,
                 "#  (stats below do not reflect user-supplied export options to the contrary)\n");
    std::fprintf(file, "#  Vertices:  %ld\n", long(mesh->vertexCount));
    std::fprintf(file, "#  UV Coords: %ld\n", long(mesh->uvCount));
    std::fprintf(file, "#  Normals:   %ld\n", long(mesh->normalCount));
    std::fprintf(file, "#  Faces:     %ld\n", long(mesh->facetCount));
    std::fprintf(file, "#  Groups:    %ld\n", long(mesh->groupCount));
    std::fprintf(file, "#  Materials: %ld\n", long(mesh->materialCount));
    std::fprintf(file, "%s\n\n", ruleLine);
}

void WriteVertices(FILE* file, const Mesh* mesh, uint32_t options)
{
    long written = 1;
    if ((mesh->flags & MESH_HAS_VERTICES) && (options & OPT_EXPORT_VERTICES))
    {
        for (uint32_t i = 0; i < mesh->vertexCount; ++i)
        {
            const Vec3& v = mesh->vertices[i];
            std::fprintf(file, "v %.08f %.08f %.08f\n", double(v.x) * mesh->scale.x,
                         double(v.y) * mesh->scale.y, double(v.z) * mesh->scale.z);
        }
        written = long(mesh->vertexCount);
    }
    else
        std::fprintf(file, "v %.08f %.08f %.08f\n", 0.0, 0.0, 0.0);
    std::fprintf(file, "# %ld Vertices\n\n", written);
}

void WriteUvs(FILE* file, const Mesh* mesh, uint32_t options)
{
    long written = 1;
    if ((mesh->flags & MESH_HAS_UVS) && (options & OPT_EXPORT_UV_COORDS))
    {
        for (uint32_t i = 0; i < mesh->uvCount; ++i)
        {
            double u = mesh->uCoords[i], v = mesh->vCoords[i];
            if (options & OPT_FLIP_UV_HORIZONTALLY)
                u = 1.0 - u;
            if (options & OPT_FLIP_UV_VERTICALLY)
                v = 1.0 - v;
            std::fprintf(file, "vt %.08f %.08f\n", u, v);
        }
        written = long(mesh->uvCount);
    }
    else
        std::fprintf(file, "vt %.08f %.08f\n", 0.0, 0.0);
    std::fprintf(file, "# %ld Texture Coordinates\n\n", written);
}

void WriteNormals(FILE* file, const Mesh* mesh, uint32_t options)
{
    long written = 0;
    if ((mesh->flags & MESH_HAS_NORMALS) && (options & OPT_EXPORT_NORMALS) && mesh->normalCount)
    {
        for (uint32_t i = 0; i < mesh->normalCount; ++i)
        {
            const Vec3& n = mesh->normals[i];
            std::fprintf(file, "vn %.08f %.08f %.08f\n", double(n.x), double(n.y), double(n.z));
        }
        written = long(mesh->normalCount);
    }
    std::fprintf(file, "# %ld Normals\n\n", written);
}

// "f", each corner in the form's format, forward for even forms and reversed for odd ones.
void WriteFacetLine(FILE* file, const Facet& facet, int form)
{
    int row = (form - 1) / 2;
    bool vertices = !(row & 4), uvs = !(row & 2), normals = !(row & 1);
    std::fprintf(file, "f");
    for (uint32_t k = 0; k < facet.cornerCount; ++k)
    {
        uint32_t corner = (form & 1) ? facet.cornerCount - 1 - k : k;
        long v = vertices ? long(facet.vertexIndex[corner]) + 1 : 1;
        long t = uvs ? long(facet.uvIndex[corner]) + 1 : 1;
        if (normals)
            std::fprintf(file, " %ld/%ld/%ld", v, t, long(facet.normalIndex[corner]) + 1);
        else
            std::fprintf(file, " %ld/%ld", v, t);
    }
    std::fprintf(file, "\n");
}

struct FacetState
{
    uint32_t lastGroup;
    uint32_t lastMaterial;
    long written;
};

void WriteFacet(FILE* file, const Mesh* mesh, uint32_t options, int form, uint32_t index,
                FacetState& state)
{
    const Facet& facet = mesh->facets[index];
    if ((options & OPT_EXPORT_GROUP_NAMES) && facet.groupIndex != state.lastGroup)
        std::fprintf(file, "g %s\n", mesh->groups[facet.groupIndex].name);
    if ((options & OPT_EXPORT_MATERIALS) && facet.materialIndex != state.lastMaterial)
        std::fprintf(file, "usemtl %s\n", mesh->materials[facet.materialIndex].name);
    state.lastGroup = facet.groupIndex;
    state.lastMaterial = facet.materialIndex;
    WriteFacetLine(file, facet, form);
    ++state.written;
}

long WriteFacets(FILE* file, const Mesh* mesh, uint32_t options)
{
    FacetState state{32000, 32000, 0};
    if (!(options & OPT_EXPORT_FACES))
        return 0;
    int form = ChooseCornerForm(mesh->flags, options);
    const Group* table = nullptr;
    uint32_t tableCount = 0;
    if (options & OPT_SORT_BY_MATERIAL)
        table = mesh->materials, tableCount = mesh->materialCount;
    else if (options & OPT_SORT_BY_GROUP)
        table = mesh->groups, tableCount = mesh->groupCount;
    if (!table)
        for (uint32_t i = 0; i < mesh->facetCount; ++i)
            WriteFacet(file, mesh, options, form, i, state);
    for (uint32_t e = 0; e < tableCount; ++e)
        for (uint32_t k = 0; k < table[e].facetListCount; ++k)
            WriteFacet(file, mesh, options, form, table[e].facetList[k], state);
    return state.written;
}

} // namespace

bool WriteObjMeshFprintf(const Mesh* mesh, const char* path, uint32_t options)
{
    FILE* file = std::fopen(path, "w");
    if (!file)
        return false;
    WriteHeader(file, mesh);
    if (mesh->materialLibrary[0] != '\0' && (options & OPT_EXPORT_MATERIALS))
        std::fprintf(file, "mtllib %s\n\n", mesh->materialLibrary);
    WriteVertices(file, mesh, options);
    WriteUvs(file, mesh, options);
    WriteNormals(file, mesh, options);
    long written = WriteFacets(file, mesh, options);
    std::fprintf(file, "# %ld Total Facets\n\n", written);
    bool failed = std::ferror(file) != 0;
    return std::fclose(file) == 0 && !failed;
}
