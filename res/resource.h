// Resource identifiers of Korvella.exe, grouped by the code that uses them.
#pragma once

// Application shell: strings, icons, menu and accelerators, commands.
#define IDS_APP_TITLE 103
#define IDS_APP_VERSION 106
#define IDS_APP_CLASS 109
#define IDI_KORVELLA 107
#define IDI_SMALL 108
#define IDR_KORVELLA 109 // menu 109 and accelerator table 109

#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_IMPORT 32771
#define IDM_EXPORT 32772
#define IDM_SMOOTH_ALL 32773
#define IDM_QUADS_TO_TRIANGLES 32774

// Command buttons of the main window (their child identifiers are their commands).
#define IDC_SMOOTH_SEAMS 1011
#define IDC_COMPACT_NORMALS 1012
#define IDC_QUADS_TO_TRIANGLES 1013
#define IDC_SCALE_VERTICES 1014

// Progress window bitmaps.
#define IDB_PROGRESS_FILL 130
#define IDB_PROGRESS_FRAME 131
#define IDB_PROGRESS_STRIP 133

// Skin: backgrounds and the button faces (normal, pressed, disabled).
#define IDB_BACKGROUND 129
#define IDB_STATISTICS 132
#define IDB_MESH_NAME 187
#define IDB_IMPORT 136
#define IDB_EXPORT 137
#define IDB_SMOOTH_SEAMS 138
#define IDB_COMPACT_NORMALS 139
#define IDB_QUADS_TO_TRIANGLES 140
#define IDB_SCALE_VERTICES 142
#define IDB_TITLE_PLATE 143
#define IDB_IMPORT_PRESSED 153
#define IDB_EXPORT_PRESSED 154
#define IDB_SMOOTH_SEAMS_PRESSED 155
#define IDB_COMPACT_NORMALS_PRESSED 156
#define IDB_QUADS_TO_TRIANGLES_PRESSED 157
#define IDB_SCALE_VERTICES_PRESSED 159
#define IDB_TITLE_PLATE_PRESSED 160
#define IDB_IMPORT_DISABLED 170
#define IDB_EXPORT_DISABLED 171
#define IDB_SMOOTH_SEAMS_DISABLED 172
#define IDB_COMPACT_NORMALS_DISABLED 173
#define IDB_QUADS_TO_TRIANGLES_DISABLED 174
#define IDB_SCALE_VERTICES_DISABLED 176
#define IDB_TITLE_PLATE_DISABLED 177

// About box.
#define IDD_ABOUT 103
#define IDB_ABOUT 135

// Export options and scale dialogs (res/dialogs.rc). Each dialog numbers its own
// controls, so some numbers repeat those of the main window's buttons.
#define IDC_EXPORT_VERTICES 1000
#define IDC_EXPORT_UV_COORDS 1001
#define IDC_EXPORT_NORMALS 1002
#define IDC_EXPORT_GROUP_NAMES 1003
#define IDC_EXPORT_MATERIALS 1004
#define IDC_EXPORT_FACES 1005
#define IDC_FLIP_UV_VERTICALLY 1006
#define IDC_SORT_AS_LOADED 1007
#define IDC_SORT_BY_MATERIAL 1008
#define IDC_SORT_BY_GROUP 1009
#define IDC_FACE_SORTING 1010
#define IDC_FLIP_UV_HORIZONTALLY 1011
#define IDC_REVERSE_FACES 1012
#define IDC_SCALE_X 1015
#define IDC_SCALE_Y 1016
#define IDC_SCALE_Z 1017
#define IDC_LOCK_XYZ 1020
#define IDC_SCALE_SLIDER 1022
#define IDC_SCALE_X_SPIN 1024
#define IDC_SCALE_Y_SPIN 1025
#define IDC_SCALE_Z_SPIN 1026
