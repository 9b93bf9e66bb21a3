// Resource ids of the control library (shared by the .rc file and the code).
#pragma once

#define IDB_TOOLBOX 1  // named by the ToolboxBitmap32 registry value
#define IDB_FACE 101
// The seven pictures behind a MIDI or CD sound, in their order of showing.
#define IDB_BACKGROUND0 111
#define IDB_BACKGROUND1 112
#define IDB_BACKGROUND2 113
#define IDB_BACKGROUND3 114
#define IDB_BACKGROUND4 115
#define IDB_BACKGROUND5 116
#define IDB_BACKGROUND6 117

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

// The About box, template "ABOUTBOX".
#define IDC_ABOUT_PICTURE 3001
#define IDC_ABOUT_PRODUCT 3002
#define IDC_ABOUT_AUTHOR 3003
#define IDC_ABOUT_LINK 3004

// The property page "開く/保存", template "OPENSAVEPAGE". The places of its controls are in
// twips in the page's layout table (designtime/page_model.cpp), converted at the screen's DPI.
#define IDC_FILE_NAME_LABEL 2001
#define IDC_FILE_NAME_EDIT 2002
#define IDC_INIT_DIR_LABEL 2003
#define IDC_INIT_DIR_EDIT 2004
#define IDC_INIT_DIR_BROWSE 2005
#define IDC_DIALOG_TITLE_LABEL 2006
#define IDC_DIALOG_TITLE_EDIT 2007
#define IDC_DEFAULT_EXT_LABEL 2008
#define IDC_DEFAULT_EXT_EDIT 2009
#define IDC_MAX_FILE_SIZE_LABEL 2010
#define IDC_MAX_FILE_SIZE_EDIT 2011
#define IDC_CANCEL_ERROR_CHECK 2012
#define IDC_FILTER_LABEL 2013
#define IDC_FILTER_EDIT 2014
#define IDC_FILTER_INDEX_LABEL 2015
#define IDC_FILTER_INDEX_EDIT 2016
#define IDC_SLIDE_GROUP 2017
#define IDC_SLIDE_NONE 2018
#define IDC_SLIDE_BUILTIN 2019
#define IDC_SLIDE_FOLDER 2020
#define IDC_SLIDE_FOLDER_LABEL 2021
#define IDC_SLIDE_FOLDER_EDIT 2022
#define IDC_SLIDE_FOLDER_BROWSE 2023
#define IDC_POSITION_GROUP 2024
#define IDC_POSITION_CENTRE 2025
#define IDC_POSITION_MANUAL 2026
#define IDC_LEFT_LABEL 2027
#define IDC_LEFT_EDIT 2028
#define IDC_TOP_LABEL 2029
#define IDC_TOP_EDIT 2030
