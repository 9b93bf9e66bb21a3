' The control as a VBScript program sees it: the defaults, every settable property read
' back, and the run-time errors of assignments that must fail.
' Arguments: a UTF-16 file holding a sample Filter, and a UTF-16 file to write the default
' Filter and the sample read back into (the driver compares them byte for byte).
' Echoes ASCII only (Wine's cscript crashes on other text) and ends with END.
Option Explicit
On Error Resume Next

Const ProgId = "QuorCommonDialogControl.QuorComDlg"
Dim o, o2, fso, inFile, outFile, sample, defaultFilter, n, d

' What is not printable ASCII becomes "?", so a wrong value can still be shown.
Function Shown(v)
    Dim s, i, c, a
    s = ""
    For i = 1 To Len(CStr(v))
        c = Mid(CStr(v), i, 1)
        a = Asc(c)
        If a >= 32 And a < 127 Then s = s & c Else s = s & "?"
    Next
    Shown = s
End Function

' An error raised while the arguments were read skips the call; it is then reported by
' the next check, which also fails on any error left pending.
Sub Expect(what, actual, expected)
    If Err.Number <> 0 Then
        WScript.Echo "FAIL " & what & ": error " & Err.Number & " (here or just before)"
        Err.Clear
    ElseIf actual <> expected Then
        WScript.Echo "FAIL " & what & ": got " & Shown(actual) & ", expected " & Shown(expected)
    End If
End Sub

' Runs after a failing assignment: `expected` is the run-time error number.
Sub ExpectError(what, expected)
    n = Err.Number
    d = Err.Description
    Err.Clear
    If n <> expected Then WScript.Echo "FAIL " & what & ": error " & n & ", expected " & expected
End Sub

Set o = CreateObject(ProgId)
If Err.Number <> 0 Then
    WScript.Echo "FAIL CreateObject: error " & Err.Number
    WScript.Quit 1
End If

' --- A fresh control ------------------------------------------------------------------
defaultFilter = o.Filter
Expect "default CancelError", o.CancelError, False
Expect "default DefaultExt", o.DefaultExt, ""
Expect "default FilterIndex", o.FilterIndex, 0
Expect "default FileName", o.FileName, ""
Expect "default FileTitle", o.FileTitle, ""
Expect "default InitDir", o.InitDir, ""
Expect "default MaxFileSize", o.MaxFileSize, 260
Expect "default DialogTitle", o.DialogTitle, ""
Expect "default DialogLeft", o.DialogLeft, 0
Expect "default DialogTop", o.DialogTop, 0
Expect "default SlideFolder", o.SlideFolder, ""
Expect "default Position", o.Position, 0
Expect "default BackGroundSlide", o.BackGroundSlide, 1

' The automation types of the interface: 11 Boolean, 8 String, 2 Integer, 3 Long.
Expect "VarType CancelError", VarType(o.CancelError), 11
Expect "VarType DefaultExt", VarType(o.DefaultExt), 8
Expect "VarType Filter", VarType(o.Filter), 8
Expect "VarType FilterIndex", VarType(o.FilterIndex), 3
Expect "VarType FileName", VarType(o.FileName), 8
Expect "VarType FileTitle", VarType(o.FileTitle), 8
Expect "VarType InitDir", VarType(o.InitDir), 8
Expect "VarType MaxFileSize", VarType(o.MaxFileSize), 2
Expect "VarType DialogTitle", VarType(o.DialogTitle), 8
Expect "VarType DialogLeft", VarType(o.DialogLeft), 3
Expect "VarType DialogTop", VarType(o.DialogTop), 3
Expect "VarType SlideFolder", VarType(o.SlideFolder), 8
Expect "VarType Position", VarType(o.Position), 3
Expect "VarType BackGroundSlide", VarType(o.BackGroundSlide), 3

' --- Every settable property at once, then read back: a setter that writes another
' property's field shows up here ---------------------------------------------------------
o.CancelError = True
o.DefaultExt = "txt"
o.Filter = "Text (*.txt)|*.txt|All|*.*"
o.FilterIndex = 2
o.FileName = "C:\data\photo.jpg"
o.InitDir = "C:\data"
o.MaxFileSize = 1024
o.DialogTitle = "Pick a picture"
o.DialogLeft = 70000
o.DialogTop = -120
o.SlideFolder = "C:\slides"
o.Position = 5
o.BackGroundSlide = 2
Expect "CancelError", o.CancelError, True
Expect "DefaultExt", o.DefaultExt, "txt"
Expect "Filter", o.Filter, "Text (*.txt)|*.txt|All|*.*"
Expect "FilterIndex", o.FilterIndex, 2
Expect "FileName", o.FileName, "C:\data\photo.jpg"
Expect "InitDir", o.InitDir, "C:\data"
Expect "MaxFileSize", o.MaxFileSize, 1024
Expect "DialogTitle", o.DialogTitle, "Pick a picture"
Expect "DialogLeft beyond 16 bits", o.DialogLeft, 70000
Expect "DialogTop", o.DialogTop, -120
Expect "SlideFolder", o.SlideFolder, "C:\slides"
Expect "Position 5 stored as is", o.Position, 5
Expect "BackGroundSlide", o.BackGroundSlide, 2
Expect "FileTitle untouched by the others", o.FileTitle, ""

' --- Values stored unchanged, without validation ----------------------------------------
o.CancelError = False
Expect "CancelError back to False", o.CancelError, False
o.MaxFileSize = -1
Expect "MaxFileSize -1", o.MaxFileSize, -1
o.MaxFileSize = 0
Expect "MaxFileSize 0", o.MaxFileSize, 0
o.MaxFileSize = 32767
Expect "MaxFileSize 32767", o.MaxFileSize, 32767
o.MaxFileSize = -32768
Expect "MaxFileSize -32768", o.MaxFileSize, -32768
o.FilterIndex = -7
Expect "FilterIndex -7", o.FilterIndex, -7
o.FilterIndex = 2147483647
Expect "FilterIndex 2147483647", o.FilterIndex, 2147483647
o.DialogTop = -2147483648
Expect "DialogTop -2147483648", o.DialogTop, -2147483648
o.Position = 1
Expect "Position 1", o.Position, 1
o.Position = 0
Expect "Position 0", o.Position, 0
o.BackGroundSlide = 0
Expect "BackGroundSlide 0", o.BackGroundSlide, 0
o.BackGroundSlide = -3
Expect "BackGroundSlide -3", o.BackGroundSlide, -3
o.Filter = "x||y|"
Expect "Filter with empty elements", o.Filter, "x||y|"
o.Filter = ""
Expect "empty Filter", o.Filter, ""
o.DefaultExt = ""
Expect "empty DefaultExt", o.DefaultExt, ""

' --- Assignments that fail ----------------------------------------------------------------
Err.Clear
o.FileTitle = "x"
ExpectError "FileTitle = ""x"" (no container: run mode)", 382
Expect "the 382 error has a description", Len(d) > 0, True
Expect "FileTitle after the failed assignment", o.FileTitle, ""

o.FilterIndex = 4
Err.Clear
o.FilterIndex = "abc"
ExpectError "FilterIndex = ""abc""", 13
Expect "FilterIndex after the type mismatch", o.FilterIndex, 4
o.FilterIndex = 2147483648
ExpectError "FilterIndex = 2147483648", 6
Expect "FilterIndex after the overflow", o.FilterIndex, 4

o.MaxFileSize = 300
Err.Clear
o.MaxFileSize = 70000
ExpectError "MaxFileSize = 70000", 6
Expect "MaxFileSize after the overflow", o.MaxFileSize, 300
o.MaxFileSize = 32768
ExpectError "MaxFileSize = 32768", 6
Expect "MaxFileSize after the second overflow", o.MaxFileSize, 300

' --- A second control keeps its own values --------------------------------------------------
Set o2 = CreateObject(ProgId)
Expect "second control's Filter is the default", o2.Filter = defaultFilter, True
Expect "second control's MaxFileSize", o2.MaxFileSize, 260
Expect "first control keeps its MaxFileSize", o.MaxFileSize, 300

' --- Non-ASCII text through the files -------------------------------------------------------
Set fso = CreateObject("Scripting.FileSystemObject")
Set inFile = fso.OpenTextFile(WScript.Arguments(0), 1, False, -1)
sample = inFile.ReadAll
inFile.Close
o.Filter = sample
Expect "sample Filter read back", o.Filter = sample, True
Set outFile = fso.CreateTextFile(WScript.Arguments(1), True, True)
outFile.Write defaultFilter & vbCrLf & o.Filter
outFile.Close

If Err.Number <> 0 Then WScript.Echo "FAIL error " & Err.Number & " at the end"
WScript.Echo "END"
