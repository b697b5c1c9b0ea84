// The OBJ writer, the export option word, and the decisions of the export options dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct Mesh;
struct Facet;

// Bits of the export option word. Bit 0x0001 is never used.
enum : uint32_t
{
    OPT_EXPORT_VERTICES = 0x0002,
    OPT_EXPORT_UV_COORDS = 0x0004,
    OPT_FLIP_UV_HORIZONTALLY = 0x0008,
    OPT_FLIP_UV_VERTICALLY = 0x0010,
    OPT_EXPORT_NORMALS = 0x0020,
    OPT_EXPORT_FACES = 0x0040,
    OPT_REVERSE_FACES = 0x0080,
    OPT_EXPORT_GROUP_NAMES = 0x0100,
    OPT_EXPORT_MATERIALS = 0x0200,
    OPT_SORT_BY_MATERIAL = 0x0400,
    OPT_SORT_BY_GROUP = 0x0800,
    OPT_SORT_AS_LOADED = 0x1000,
};

enum : uint32_t
{
    EXPORT_OPTIONS_AT_START = 0x1366,
};

// The option word the export dialog shows and the writer reads; 0x1366 at start-up, replaced as
// a whole by each OK of the dialog, never saved.
extern uint32_t exportOptions;

// ---- Writer -------------------------------------------------------------------------------

// Writes the mesh as an OBJ file with the given options. Appends ".obj" by the rule of
// AppendDefaultExtension, then writes as a plain open for writing would allow, without ever
// leaving a file half-written:
// - an existing target the user could not open for writing (no write permission; on Windows
//   the read-only attribute) is refused and left untouched;
// - a symbolic link is followed to the file it ends at (which need not exist yet); the link
//   stays a link;
// - a file is written through a temporary file in its folder, renamed over it only after
//   everything was written and closed; the replacement keeps the old file's permission bits,
//   and its owner and group where the user may set them; a new file gets the umask's mode;
// - a device or pipe (no file of its own) is written in place.
// Returns true when the file was written; only then clears MESH_SMOOTHED. On failure (refused,
// cut short by a full disk, a file-size limit or an I/O error) an existing target is left as
// it was and the temporary file is removed. A null mesh or null path returns false.
bool WriteObjMeshFile(Mesh* mesh, const char* path, uint32_t options);

// Writes the mesh to an open stream (standard output, say), in the same bytes as a file, and
// flushes it. The stream should be in binary mode. True when every write and the flush
// succeeded; only then clears MESH_SMOOTHED.
bool WriteObjMeshStream(Mesh* mesh, FILE* stream, uint32_t options);

// Test hook: when > 0, the writer's file write with this 1-based number (counted over all
// exports since it was set) fails as on a full disk, and the hook is cleared.
extern int writerWriteFailAt;

// Gives path a default extension in place: steps back from the end one character at a time
// (ANSI code page characters on Windows, bytes elsewhere); a "." met before a folder separator
// means the path keeps its own extension; otherwise extension is appended. Folder separators
// are "\\" and, outside Windows, also "/". Returns false and leaves path unchanged when the
// result would not fit in pathSize bytes (terminator included).
bool AppendDefaultExtension(char* path, size_t pathSize, const char* extension);

// The corner form (1 to 16) chosen from the mesh's flags and the options: the even form of the
// data written, less 1 when OPT_REVERSE_FACES is set.
int ChooseCornerForm(uint32_t meshFlags, uint32_t options);

// Longest facet line: "f", four corners of " %ld/%ld/%ld" and "\r\n".
enum
{
    FACET_LINE_MAX = 1 + 4 * 36 + 2,
};

// Writes one facet line for facet in the given corner form (1 to 16) at cursor: "f", each
// corner in the form's format (forward for even forms, reversed for odd forms), a line end
// ("\r\n" on Windows, "\n" elsewhere). Needs room for FACET_LINE_MAX bytes; returns the
// advanced cursor.
char* WriteFacetLine(char* cursor, const Facet* facet, int form);

// Formats value as printf("%.08f") does with glibc (including "inf", "-inf", "nan", "-nan")
// into buffer, without a terminator; returns the number of characters. buffer needs room for
// FORMAT_FIXED8_MAX characters.
enum
{
    FORMAT_FIXED8_MAX = 330,
};
size_t FormatFixed8(double value, char* buffer);

// Formats value as printf("%ld") with a 32-bit long; returns the number of characters (at most
// 11), without a terminator.
size_t FormatLong(int32_t value, char* buffer);

// ---- Export options dialog ----------------------------------------------------------------

// The controls of the export options dialog whose state the rules decide, in template order.
// Each CTL_X stands for the dialog's control IDC_X; ExportDialogControlId gives its number.
enum ExportDialogControl
{
    CTL_EXPORT_VERTICES,
    CTL_EXPORT_UV_COORDS,
    CTL_FLIP_UV_HORIZONTALLY,
    CTL_FLIP_UV_VERTICALLY,
    CTL_EXPORT_NORMALS,
    CTL_EXPORT_FACES,
    CTL_REVERSE_FACES,
    CTL_EXPORT_GROUP_NAMES,
    CTL_EXPORT_MATERIALS,
    CTL_SORT_AS_LOADED,
    CTL_SORT_BY_MATERIAL,
    CTL_SORT_BY_GROUP,
    CTL_FACE_SORTING,
    EXPORT_DIALOG_CONTROL_COUNT
};

// The dialog control number of control (1000 for CTL_EXPORT_VERTICES ... 1012), or -1 when
// out of range.
int ExportDialogControlId(ExportDialogControl control);
// The control with the given dialog control number, or EXPORT_DIALOG_CONTROL_COUNT when none.
ExportDialogControl ExportDialogControlFromId(int id);

// Check mark and enabled state of every control (the group box is never checked).
struct ExportDialogState
{
    bool checked[EXPORT_DIALOG_CONTROL_COUNT];
    bool enabled[EXPORT_DIALOG_CONTROL_COUNT];
    uint32_t meshFlags;
};

// The state the dialog opens in, from the option word and the mesh's MESH_* flags.
ExportDialogState InitExportDialogState(uint32_t options, uint32_t meshFlags);

// The command of a clicked control, after its check mark has changed (automatic boxes toggle
// themselves): "Export UV Coords" enables or disables the flip boxes, "Export Faces" the facet
// controls, by their check marks; any other control changes nothing.
void ApplyExportDialogClick(ExportDialogState* state, ExportDialogControl control);

// A whole user click as the system and the dialog together handle it: nothing when control is
// disabled; otherwise a check box toggles or a radio button becomes the one checked of the
// three, then ApplyExportDialogClick.
void ClickExportDialogControl(ExportDialogState* state, ExportDialogControl control);

// The option word OK stores: a bit per checked box and one sort bit. OPT_EXPORT_VERTICES is
// taken from oldOptions, since "Export Vertices" only shows what will be written.
uint32_t BuildExportOptions(const ExportDialogState* state, uint32_t oldOptions);
