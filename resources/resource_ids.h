// Resource ids of the control library (shared by the .rc file and the code).
#pragma once

#define IDB_TOOLBOX 1  // named by the ToolboxBitmap32 registry value
#define IDB_FACE 101

// The preview panel, template "QRCOMDLG", a child of the Open dialog.
// Where the common dialog puts its own controls (stc32).
#define IDC_DIALOG_CONTROLS 1119
#define IDC_PREVIEW_AREA 1000
#define IDC_TITLE_LABEL 1001
#define IDC_SIZE_LABEL 1002
#define IDC_INDEX_LABEL 1003
#define IDC_STATUS_LABEL 1004
#define IDC_PLAY_BUTTON 1005
#define IDC_FORWARD_BUTTON 1006
#define IDC_BACK_BUTTON 1007
#define IDC_PAUSE_BUTTON 1008
// The common dialog's own file-name box.
#define IDC_FILE_NAME_BOX 1152
