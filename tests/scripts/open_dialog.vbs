' The Open dialog from VBScript: the test program that runs this script selects files in it,
' watches the previews and presses Open. Arguments: the folder to start in, the dialog's title.
' Echoes ASCII only and ends with END (cscript reports no script errors itself).
Option Explicit
On Error Resume Next

Dim o
Set o = CreateObject("QuorCommonDialogControl.QuorComDlg")
If Err.Number <> 0 Then WScript.Echo "FAIL create: error " & Err.Number
Err.Clear
o.InitDir = WScript.Arguments(0)
o.DialogTitle = WScript.Arguments(1)
o.Filter = "All files|*.*"
o.CancelError = True
If Err.Number <> 0 Then WScript.Echo "FAIL properties: error " & Err.Number
Err.Clear
o.ShowOpen
If Err.Number <> 0 Then WScript.Echo "FAIL ShowOpen: error " & Err.Number
WScript.Echo "FILENAME " & o.FileName
WScript.Echo "FILETITLE " & o.FileTitle
Set o = Nothing
WScript.Echo "END"
