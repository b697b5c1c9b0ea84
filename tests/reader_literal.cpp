// The literal OBJ reader: line by line through stdio, patterns through sscanf.
#include "reader_literal.h"

#include "mesh/mesh.h"
#include "ui/ui.h"

#include <cstdio>
#include <cstring>

namespace
{

struct LiteralNameTable
{
    char names[256][64];
    int count;
};

LiteralNameTable groupNames;
LiteralNameTable materialNames;

int Register(LiteralNameTable& table, const char* name)
{
    for (int i = 0; i < table.count; ++i)
        if (std::strcmp(table.names[i], name) == 0)
            return table.count;
    if (table.count < 256)
        std::strcpy(table.names[table.count++], name);
    return table.count;
}

int Find(const LiteralNameTable& table, const char* name)
{
    for (int i = 0; i < table.count; ++i)
        if (std::strcmp(table.names[i], name) == 0)
            return i;
    return 0;
}

void GroupName(const char* line, char name[64])
{
    char text[256];
    std::strcpy(text, line + 2);
    text[std::strcspn(text, "\r\n")] = '\0';
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t'))
        text[--length] = '\0';
    text[63] = '\0';
    std::strcpy(name, text);
}

void Cut(char* to, const char* from, size_t size)
{
    size_t length = std::strlen(from);
    length = length < size - 1 ? length : size - 1;
    std::memcpy(to, from, length);
    to[length] = '\0';
}

struct Counts
{
    long lines, vertices, uvs, normals, faces, groups, materials;
};

void CountLine(const char* line, Mesh* mesh, Counts& c)
{
    char token[256];
    float x, y, z;
    long value;
    if (line[0] == '#')
        return;
    if (std::sscanf(line, "mtllib %s", token) == 1)
    {
        Cut(mesh->materialLibrary, token, 256);
        mesh->flags |= MESH_HAS_MATERIAL_LIBRARY;
    }
    else if (std::sscanf(line, "v %e %e %e", &x, &y, &z) == 3)
        ++c.vertices;
    else if (std::sscanf(line, "vt %e %e", &x, &y) == 2)
        ++c.uvs;
    else if (std::sscanf(line, "vn %e %e %e", &x, &y, &z) == 3)
        ++c.normals;
    else if (std::sscanf(line, "g %s", token) == 1)
    {
        char name[64];
        GroupName(line, name);
        c.groups = Register(groupNames, name);
    }
    else if (std::sscanf(line, "usemtl %s", token) == 1)
    {
        token[63] = '\0';
        c.materials = Register(materialNames, token);
    }
    else if (std::sscanf(line, "s %ld", &value) == 1)
    {
    }
    else if (std::sscanf(line, "f %ld", &value) == 1)
        ++c.faces;
}

Group* Entries(const LiteralNameTable& table)
{
    Group* entries = AllocateArrayOf<Group>(table.count);
    for (int i = 0; entries && i < table.count; ++i)
        std::strcpy(entries[i].name, table.names[i]);
    return entries;
}

bool Allocate(Mesh* mesh, const Counts& c)
{
    if (c.faces > 0)
    {
        mesh->facetCount = uint32_t(c.faces);
        mesh->flags |= MESH_HAS_FACETS;
        if (!(mesh->facets = AllocateArrayOf<Facet>(mesh->facetCount)))
            return false;
    }
    if (c.uvs > 0)
    {
        mesh->uvCount = uint32_t(c.uvs);
        mesh->flags |= MESH_HAS_UVS;
        if (!(mesh->uCoords = AllocateArrayOf<float>(mesh->uvCount)) ||
            !(mesh->vCoords = AllocateArrayOf<float>(mesh->uvCount)))
            return false;
    }
    if (c.vertices > 0)
    {
        mesh->vertexCount = uint32_t(c.vertices);
        mesh->flags |= MESH_HAS_VERTICES;
        if (!(mesh->vertices = AllocateArrayOf<Vec3>(mesh->vertexCount)))
            return false;
    }
    mesh->flags &= ~uint32_t(MESH_HAS_NORMALS);
    if (c.normals > 0)
    {
        mesh->normalCount = uint32_t(c.normals);
        mesh->flags |= MESH_HAS_NORMALS;
        if (!(mesh->normals = AllocateArrayOf<Vec3>(mesh->normalCount)))
            return false;
    }
    mesh->groupCount = uint32_t(c.groups);
    mesh->flags |= MESH_HAS_GROUPS;
    if (!(mesh->groups = Entries(groupNames)))
        return false;
    mesh->materialCount = uint32_t(c.materials);
    mesh->flags |= MESH_HAS_MATERIALS;
    return (mesh->materials = Entries(materialNames)) != nullptr;
}

struct Slots
{
    long vertex, uv, normal, facet, group, material;
};

// 0-based index of a 1-based or negative file index; false when out of range.
bool Resolve(long value, long readSoFar, long count, bool check, int32_t* index)
{
    long long v = value;
    if (v < -2147483648LL || v > 2147483647LL)
        return false;
    long long oneBased = v < 0 ? readSoFar + 1 + v : v;
    if (check && (oneBased < 1 || oneBased > count))
        return false;
    *index = int32_t(oneBased - 1);
    return true;
}

void LoadFace(const char* line, Mesh* mesh, Slots& s)
{
    long v[12];
    int corners = 0;
    bool normals = (mesh->flags & MESH_HAS_NORMALS) != 0;
    int per = normals ? 3 : 2;
    if (normals)
    {
        if (std::sscanf(line, "f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld", &v[0], &v[1],
                        &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10],
                        &v[11]) == 12)
            corners = 4;
        else if (std::sscanf(line, "f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld", &v[0], &v[1], &v[2],
                             &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 9)
            corners = 3;
    }
    else if (std::sscanf(line, "f %ld/%ld %ld/%ld %ld/%ld %ld/%ld", &v[0], &v[1], &v[2], &v[3],
                         &v[4], &v[5], &v[6], &v[7]) == 8)
        corners = 4;
    else if (std::sscanf(line, "f %ld/%ld %ld/%ld %ld/%ld", &v[0], &v[1], &v[2], &v[3], &v[4],
                         &v[5]) == 6)
        corners = 3;
    if (corners == 0 || s.facet >= long(mesh->facetCount))
        return;
    Facet facet;
    std::memset(&facet, 0, sizeof facet);
    for (int c = 0; c < corners; ++c)
        if (!Resolve(v[c * per], s.vertex, mesh->vertexCount, true, &facet.vertexIndex[c]) ||
            !Resolve(v[c * per + 1], s.uv, mesh->uvCount, mesh->uvCount > 0, &facet.uvIndex[c]) ||
            (normals &&
             !Resolve(v[c * per + 2], s.normal, mesh->normalCount, true, &facet.normalIndex[c])))
            return;
    facet.materialIndex = uint32_t(s.material);
    facet.groupIndex = uint32_t(s.group);
    facet.cornerCount = uint32_t(corners);
    mesh->facets[s.facet++] = facet;
    mesh->groups[s.group].facetListCount++;
    mesh->materials[s.material].facetListCount++;
    if (corners == 4)
    {
        mesh->quadCount++;
        mesh->flags |= MESH_HAS_QUADS;
    }
}

void Bound(Mesh* mesh, float x, float y, float z)
{
    float v[3] = {x, y, z};
    float* low = &mesh->boundsMin.x;
    float* high = &mesh->boundsMax.x;
    for (int a = 0; a < 3; ++a)
    {
        if (v[a] < low[a] || v[a] != v[a] || low[a] != low[a])
            low[a] = v[a];
        if (v[a] > high[a])
            high[a] = v[a];
    }
}

void LoadLine(const char* line, Mesh* mesh, Slots& s)
{
    char token[256];
    float x, y, z;
    if (line[0] == '#')
        return;
    if ((mesh->flags & MESH_HAS_VERTICES) && std::sscanf(line, "v %e %e %e", &x, &y, &z) == 3)
    {
        if (s.vertex < long(mesh->vertexCount))
        {
            mesh->vertices[s.vertex] = Vec3{x, y, z};
            Bound(mesh, x, y, z);
        }
        s.vertex++;
    }
    else if ((mesh->flags & MESH_HAS_UVS) && std::sscanf(line, "vt %e %e", &x, &y) == 2)
    {
        if (s.uv < long(mesh->uvCount))
        {
            mesh->uCoords[s.uv] = x;
            mesh->vCoords[s.uv] = y;
        }
        s.uv++;
    }
    else if ((mesh->flags & MESH_HAS_NORMALS) && std::sscanf(line, "vn %e %e %e", &x, &y, &z) == 3)
    {
        if (s.normal < long(mesh->normalCount))
            mesh->normals[s.normal] = Vec3{x, y, z};
        s.normal++;
    }
    else if ((mesh->flags & MESH_HAS_GROUPS) && std::sscanf(line, "g %s", token) == 1)
    {
        char name[64];
        GroupName(line, name);
        s.group = Find(groupNames, name);
    }
    else if ((mesh->flags & MESH_HAS_MATERIALS) && std::sscanf(line, "usemtl %s", token) == 1)
    {
        token[63] = '\0';
        s.material = Find(materialNames, token);
    }
    else
        LoadFace(line, mesh, s);
}

Mesh* Fail(Mesh* mesh, FILE* file)
{
    if (file)
        std::fclose(file);
    ShowProgress("", 0, 100, 0, 100, false);
    FreeMesh(mesh);
    return nullptr;
}

bool BuildLists(Mesh* mesh)
{
    for (uint32_t g = 0; g < mesh->groupCount; ++g)
        if (mesh->groups[g].facetListCount > 0 &&
            !(mesh->groups[g].facetList =
                  AllocateArrayOf<uint32_t>(mesh->groups[g].facetListCount)))
            return false;
    for (uint32_t m = 0; m < mesh->materialCount; ++m)
        if (mesh->materials[m].facetListCount > 0 &&
            !(mesh->materials[m].facetList =
                  AllocateArrayOf<uint32_t>(mesh->materials[m].facetListCount)))
            return false;
    uint32_t step = mesh->facetCount / 100;
    for (uint32_t i = 0; i < mesh->facetCount; ++i)
    {
        Group& g = mesh->groups[mesh->facets[i].groupIndex];
        g.facetList[g.facetListFill++] = i;
        Group& m = mesh->materials[mesh->facets[i].materialIndex];
        m.facetList[m.facetListFill++] = i;
        if (step == 0 || i % step == 0)
            SetProgressPos(i);
    }
    return true;
}

} // namespace

Mesh* ReadObjMeshLiteral(const char* path)
{
    FILE* file = std::fopen(path, "r");
    if (!file)
        return nullptr;
    Mesh* mesh = AllocateArrayOf<Mesh>(1);
    if (!mesh)
        return Fail(nullptr, file);
    Cut(mesh->filePath, path, 256);
    mesh->scale = Vec3{1, 1, 1};
    groupNames.count = materialNames.count = 0;
    Counts c = {0, 0, 0, 0, 0, Register(groupNames, "Default"), Register(materialNames, "Default")};
    ShowProgress("Scanning file...", 0, 100, 0, 100, true);
    char line[256];
    while (std::fgets(line, 256, file))
    {
        c.lines++;
        CountLine(line, mesh, c);
    }
    if (!Allocate(mesh, c))
        return Fail(mesh, file);
    std::rewind(file);
    ShowProgress("Loading Facets...", 0, 100, 0, int32_t(mesh->facetCount), false);
    ShowProgress("Loading Mesh...", 0, int32_t(c.lines), 0, int32_t(mesh->vertexCount), true);
    mesh->boundsMin = Vec3{3000, 3000, 3000};
    mesh->boundsMax = Vec3{-3000, -3000, -3000};
    Slots s = {0, 0, 0, 0, 0, 0};
    long n = 0;
    while (std::fgets(line, 256, file))
    {
        n++;
        if (c.lines / 100 == 0 || n % (c.lines / 100) == 0)
            SetProgressPos(uint32_t(n));
        LoadLine(line, mesh, s);
    }
    std::fclose(file);
    mesh->facetCount = uint32_t(s.facet);
    if (mesh->facetCount == 0)
    {
        ReleaseArray(mesh->facets);
        mesh->facets = nullptr;
        mesh->flags &= ~uint32_t(MESH_HAS_FACETS);
    }
    ShowProgress("Counting Facets...", 0, 100, 0, int32_t(mesh->facetCount), false);
    ShowProgress("Initializing Groups and Materials...", 0, int32_t(mesh->facetCount), 0,
                 int32_t(mesh->facetCount), true);
    if (!BuildLists(mesh))
        return Fail(mesh, nullptr);
    ShowProgress("Done", 0, 100, 0, int32_t(mesh->facetCount), false);
    AnalyzeMeshNormalsLiteral(mesh);
    return mesh;
}

void AnalyzeMeshNormalsLiteral(Mesh* mesh)
{
    if (!(mesh->flags & MESH_HAS_NORMALS) || mesh->normalCount == 0)
        return;
    uint32_t n = mesh->normalCount;
    ShowProgress("Analyzing Mesh Normals...", 0, int32_t(n), 0, int32_t(n), true);
    for (uint32_t i = 0; i < n; ++i)
    {
        if (n / 100 == 0 || i % (n / 100) == 0)
            SetProgressPos(i);
        for (uint32_t j = i + 1; j < n; ++j)
        {
            const Vec3& a = mesh->normals[i];
            const Vec3& b = mesh->normals[j];
            if (a.x == b.x && a.y == b.y && a.z == b.z)
            {
                mesh->flags |= MESH_DUPLICATE_NORMALS;
                SetProgressPos(n);
                ShowProgress("Done", 0, int32_t(n), 0, int32_t(n), false);
                return;
            }
        }
    }
    ShowProgress("Done", 0, int32_t(n), 0, int32_t(n), false);
}
