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
#define IDC_Image1 3001
#define IDC_Label1 3002
#define IDC_Label2 3003
#define IDC_Label3 3004

// The property page "開く/保存", template "OPENSAVEPAGE". The places of its controls are in
// twips in the page's layout table (designtime/page_model.cpp), converted at the screen's DPI.
#define IDC_lblFileName 2001
#define IDC_txtFileName 2002
#define IDC_lblInitDir 2003
#define IDC_txtInitDir 2004
#define IDC_cmdInitDir 2005
#define IDC_lblDialogTitle 2006
#define IDC_txtDialogTitle 2007
#define IDC_lblDefaultExt 2008
#define IDC_txtDefaultExt 2009
#define IDC_lblMaxFileSize 2010
#define IDC_txtMaxFileSize 2011
#define IDC_chkCancelError 2012
#define IDC_lblFilter 2013
#define IDC_txtFilter 2014
#define IDC_lblFilterIndex 2015
#define IDC_txtFilterIndex 2016
#define IDC_fraBGS 2017
#define IDC_optBGS0 2018
#define IDC_optBGS1 2019
#define IDC_optBGS2 2020
#define IDC_lblBGS 2021
#define IDC_txtSlideFolder 2022
#define IDC_cmdBGS 2023
#define IDC_fraPosition 2024
#define IDC_optPosition1 2025
#define IDC_optPosition0 2026
#define IDC_lblPosition0 2027
#define IDC_txtDialogLeft 2028
#define IDC_lblPosition1 2029
#define IDC_txtDialogTop 2030
