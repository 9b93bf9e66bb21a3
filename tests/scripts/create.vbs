' Creates the control by its ProgID and reads a property: "CREATED 260", or "ERROR n".
On Error Resume Next
Dim o
Set o = CreateObject("QuorCommonDialogControl.QuorComDlg")
If Err.Number <> 0 Then
  WScript.Echo "ERROR " & Err.Number
Else
  WScript.Echo "CREATED " & o.MaxFileSize
End If
