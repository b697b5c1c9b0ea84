// Which commands a mesh offers: the one rule behind the window's buttons and the batch tool.
#include "ui/ui.h"

#include "mesh/mesh.h"
#include "res/resource.h"

// The flag a mesh needs for a command; 0 when a mesh alone suffices.
static bool RequiredFlag(int commandId, uint32_t* flag)
{
    switch (commandId)
    {
    case IDM_EXPORT:
    case IDC_SMOOTH_SEAMS:
        *flag = 0;
        return true;
    case IDC_COMPACT_NORMALS:
        *flag = MESH_DUPLICATE_NORMALS;
        return true;
    case IDC_QUADS_TO_TRIANGLES:
        *flag = MESH_HAS_QUADS;
        return true;
    case IDC_SCALE_VERTICES:
        *flag = MESH_HAS_VERTICES;
        return true;
    }
    return false;
}

bool IsCommandOffered(const Mesh* mesh, int commandId)
{
    if (commandId == IDM_ABOUT || commandId == IDM_IMPORT)
        return true;
    uint32_t flag = 0;
    if (!mesh || !RequiredFlag(commandId, &flag))
        return false;
    return flag == 0 || (mesh->flags & flag) != 0;
}
