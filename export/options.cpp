// The export option word and the decisions of the export options dialog.
#include "export/export.h"

#include "mesh/mesh.h"
#include "res/resource.h"

uint32_t exportOptions = EXPORT_OPTIONS_AT_START;

static const int controlIds[EXPORT_DIALOG_CONTROL_COUNT] = {
    IDC_EXPORT_VERTICES,  IDC_EXPORT_UV_COORDS, IDC_FLIP_UV_HORIZONTALLY, IDC_FLIP_UV_VERTICALLY,
    IDC_EXPORT_NORMALS,   IDC_EXPORT_FACES,     IDC_REVERSE_FACES,        IDC_EXPORT_GROUP_NAMES,
    IDC_EXPORT_MATERIALS, IDC_SORT_AS_LOADED,   IDC_SORT_BY_MATERIAL,     IDC_SORT_BY_GROUP,
    IDC_FACE_SORTING,
};

// The check boxes and the option bit each one stands for.
struct CheckBoxBit
{
    ExportDialogControl control;
    uint32_t bit;
};
static const CheckBoxBit checkBoxBits[] = {
    {CTL_EXPORT_VERTICES, OPT_EXPORT_VERTICES},
    {CTL_EXPORT_UV_COORDS, OPT_EXPORT_UV_COORDS},
    {CTL_FLIP_UV_HORIZONTALLY, OPT_FLIP_UV_HORIZONTALLY},
    {CTL_FLIP_UV_VERTICALLY, OPT_FLIP_UV_VERTICALLY},
    {CTL_EXPORT_NORMALS, OPT_EXPORT_NORMALS},
    {CTL_EXPORT_FACES, OPT_EXPORT_FACES},
    {CTL_REVERSE_FACES, OPT_REVERSE_FACES},
    {CTL_EXPORT_GROUP_NAMES, OPT_EXPORT_GROUP_NAMES},
    {CTL_EXPORT_MATERIALS, OPT_EXPORT_MATERIALS},
};

int ExportDialogControlId(ExportDialogControl control)
{
    if (control < 0 || control >= EXPORT_DIALOG_CONTROL_COUNT)
        return -1;
    return controlIds[control];
}

ExportDialogControl ExportDialogControlFromId(int id)
{
    for (int i = 0; i < EXPORT_DIALOG_CONTROL_COUNT; i++)
    {
        if (controlIds[i] == id)
            return static_cast<ExportDialogControl>(i);
    }
    return EXPORT_DIALOG_CONTROL_COUNT;
}

static bool IsRadioButton(ExportDialogControl control)
{
    return control == CTL_SORT_AS_LOADED || control == CTL_SORT_BY_MATERIAL ||
           control == CTL_SORT_BY_GROUP;
}

// Enables the controls that depend on "Export Faces", each only where the mesh has its data.
static void EnableFacetControls(ExportDialogState* state)
{
    bool hasGroups = (state->meshFlags & MESH_HAS_GROUPS) != 0;
    bool hasMaterials = (state->meshFlags & MESH_HAS_MATERIALS) != 0;
    if (hasGroups)
        state->enabled[CTL_EXPORT_GROUP_NAMES] = true;
    if (hasMaterials)
        state->enabled[CTL_EXPORT_MATERIALS] = true;
    state->enabled[CTL_REVERSE_FACES] = true;
    state->enabled[CTL_FACE_SORTING] = true;
    state->enabled[CTL_SORT_AS_LOADED] = true;
    if (hasMaterials)
        state->enabled[CTL_SORT_BY_MATERIAL] = true;
    if (hasGroups)
        state->enabled[CTL_SORT_BY_GROUP] = true;
}

static void DisableFacetControls(ExportDialogState* state)
{
    static const ExportDialogControl facetControls[] = {
        CTL_EXPORT_GROUP_NAMES, CTL_EXPORT_MATERIALS, CTL_REVERSE_FACES, CTL_FACE_SORTING,
        CTL_SORT_AS_LOADED,     CTL_SORT_BY_MATERIAL, CTL_SORT_BY_GROUP,
    };
    for (ExportDialogControl control : facetControls)
        state->enabled[control] = false;
}

ExportDialogState InitExportDialogState(uint32_t options, uint32_t meshFlags)
{
    // Every control starts unchecked; the template creates the option-dependent ones disabled.
    ExportDialogState state = {};
    state.meshFlags = meshFlags;
    state.enabled[CTL_EXPORT_UV_COORDS] = true;
    state.enabled[CTL_EXPORT_NORMALS] = true;
    state.enabled[CTL_EXPORT_FACES] = true;

    // "Export Vertices" only shows whether vertices will be written; it is never enabled.
    if (meshFlags & MESH_HAS_VERTICES)
        state.checked[CTL_EXPORT_VERTICES] = (options & OPT_EXPORT_VERTICES) != 0;

    if (!(meshFlags & MESH_HAS_UVS))
        state.enabled[CTL_EXPORT_UV_COORDS] = false;
    else if (options & OPT_EXPORT_UV_COORDS)
    {
        state.checked[CTL_EXPORT_UV_COORDS] = true;
        state.enabled[CTL_FLIP_UV_HORIZONTALLY] = true;
        state.enabled[CTL_FLIP_UV_VERTICALLY] = true;
    }
    state.checked[CTL_FLIP_UV_HORIZONTALLY] = (options & OPT_FLIP_UV_HORIZONTALLY) != 0;
    state.checked[CTL_FLIP_UV_VERTICALLY] = (options & OPT_FLIP_UV_VERTICALLY) != 0;

    if (!(meshFlags & MESH_HAS_NORMALS))
        state.enabled[CTL_EXPORT_NORMALS] = false;
    else
        state.checked[CTL_EXPORT_NORMALS] = (options & OPT_EXPORT_NORMALS) != 0;

    if (!(meshFlags & MESH_HAS_FACETS))
        state.enabled[CTL_EXPORT_FACES] = false;
    else if (options & OPT_EXPORT_FACES)
    {
        state.checked[CTL_EXPORT_FACES] = true;
        EnableFacetControls(&state);
    }
    state.checked[CTL_EXPORT_GROUP_NAMES] = (options & OPT_EXPORT_GROUP_NAMES) != 0;
    state.checked[CTL_EXPORT_MATERIALS] = (options & OPT_EXPORT_MATERIALS) != 0;

    // "Reverse Faces" is never set from the word, so it starts unchecked every time.
    if (options & OPT_SORT_BY_MATERIAL)
        state.checked[CTL_SORT_BY_MATERIAL] = true;
    else if (options & OPT_SORT_BY_GROUP)
        state.checked[CTL_SORT_BY_GROUP] = true;
    else
        state.checked[CTL_SORT_AS_LOADED] = true;
    return state;
}

void ApplyExportDialogClick(ExportDialogState* state, ExportDialogControl control)
{
    if (control == CTL_EXPORT_UV_COORDS)
    {
        bool on = state->checked[CTL_EXPORT_UV_COORDS];
        state->enabled[CTL_FLIP_UV_HORIZONTALLY] = on;
        state->enabled[CTL_FLIP_UV_VERTICALLY] = on;
    }
    else if (control == CTL_EXPORT_FACES)
    {
        if (state->checked[CTL_EXPORT_FACES])
            EnableFacetControls(state);
        else
            DisableFacetControls(state);
    }
}

void ClickExportDialogControl(ExportDialogState* state, ExportDialogControl control)
{
    if (control < 0 || control >= EXPORT_DIALOG_CONTROL_COUNT || !state->enabled[control] ||
        control == CTL_FACE_SORTING)
        return;
    if (IsRadioButton(control))
    {
        state->checked[CTL_SORT_AS_LOADED] = false;
        state->checked[CTL_SORT_BY_MATERIAL] = false;
        state->checked[CTL_SORT_BY_GROUP] = false;
        state->checked[control] = true;
    }
    else
        state->checked[control] = !state->checked[control];
    ApplyExportDialogClick(state, control);
}

uint32_t BuildExportOptions(const ExportDialogState* state, uint32_t oldOptions)
{
    uint32_t options = 0;
    for (const CheckBoxBit& box : checkBoxBits)
    {
        if (box.control != CTL_EXPORT_VERTICES && state->checked[box.control])
            options |= box.bit;
    }
    // "Export Vertices" cannot be changed by the user: keep the bit, so a mesh without
    // vertices does not turn off the vertices of every later export.
    options |= oldOptions & OPT_EXPORT_VERTICES;

    if (state->checked[CTL_SORT_BY_MATERIAL])
        options |= OPT_SORT_BY_MATERIAL;
    else if (state->checked[CTL_SORT_BY_GROUP])
        options |= OPT_SORT_BY_GROUP;
    else
        options |= OPT_SORT_AS_LOADED;
    return options;
}
