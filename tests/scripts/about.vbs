' Show_AboutBox from VBScript, twice; the test program that runs this script closes each box.
' Echoes ASCII only and ends with END (cscript reports no script errors itself).
Option Explicit
On Error Resume Next

Dim o
Set o = CreateObject("QuorCommonDialogControl.QuorComDlg")
If Err.Number <> 0 Then WScript.Echo "FAIL create: error " & Err.Number
Err.Clear
o.Show_AboutBox
If Err.Number <> 0 Then WScript.Echo "FAIL first Show_AboutBox: error " & Err.Number
WScript.Echo "RETURNED 1"
Err.Clear
o.Show_AboutBox
If Err.Number <> 0 Then WScript.Echo "FAIL second Show_AboutBox: error " & Err.Number
WScript.Echo "RETURNED 2"
Set o = Nothing
WScript.Echo "END"
