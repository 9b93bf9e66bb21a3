// The control as a JScript program sees it: the defaults, every settable property read
// back, and the failed assignments, whose errors JScript shows as raw HRESULTs.
// Arguments: a UTF-16 file holding a sample Filter, and a UTF-16 file to write the default
// Filter and the sample read back into (the driver compares them byte for byte).
// Echoes ASCII only (Wine's cscript crashes on other text) and ends with END.
var PROGID = "QuorCommonDialogControl.QuorComDlg";
// "All files (*.*)" in Japanese, spelt in code points: cscript reads this file in the
// ANSI code page, so it stays ASCII.
var DEFAULT_FILTER = String.fromCharCode(0x3059, 0x3079, 0x3066, 0x306E, 0xFF8C, 0xFF67, 0xFF72, 0xFF99) +
    "(*.*)|*.*";
var CANNOT_SET_AT_RUN_TIME = 0x800A017E;  // run-time error 382
var DISP_E_TYPEMISMATCH = 0x80020005;
var DISP_E_OVERFLOW = 0x8002000A;

// Non-ASCII characters as \uXXXX escapes.
function shown(v) {
    return typeof v + " " + String(v).replace(/[^\x20-\x7e]/g, function (c) {
        return "\\u" + ("000" + c.charCodeAt(0).toString(16)).slice(-4);
    });
}

function hex(n) {
    return "0x" + (n >>> 0).toString(16).toUpperCase();
}

function expect(what, actual, expected) {
    if (actual !== expected)
        WScript.Echo("FAIL " + what + ": got " + shown(actual) + ", expected " + shown(expected));
}

// Runs `action`; any exception is a failure of `what`.
function step(what, action) {
    try {
        action();
    } catch (e) {
        WScript.Echo("FAIL " + what + ": error " + hex(e.number));
    }
}

function expectError(what, hresult, action) {
    try {
        action();
        WScript.Echo("FAIL " + what + ": no error");
        return null;
    } catch (e) {
        if ((e.number >>> 0) !== hresult)
            WScript.Echo("FAIL " + what + ": error " + hex(e.number) + ", expected " + hex(hresult));
        return e;
    }
}

var o = null;
var defaultFilter = null;
step("new ActiveXObject", function () { o = new ActiveXObject(PROGID); });
if (o === null) {
    WScript.Echo("FAIL no control");
    WScript.Quit(1);
}

step("a fresh control", function () {
    defaultFilter = o.Filter;
    expect("default Filter", defaultFilter, DEFAULT_FILTER);
    expect("default CancelError", o.CancelError, false);
    expect("default DefaultExt", o.DefaultExt, "");
    expect("default FilterIndex", o.FilterIndex, 0);
    expect("default FileName", o.FileName, "");
    expect("default FileTitle", o.FileTitle, "");
    expect("default InitDir", o.InitDir, "");
    expect("default MaxFileSize", o.MaxFileSize, 260);
    expect("default DialogTitle", o.DialogTitle, "");
    expect("default DialogLeft", o.DialogLeft, 0);
    expect("default DialogTop", o.DialogTop, 0);
    expect("default SlideFolder", o.SlideFolder, "");
    expect("default Position", o.Position, 0);
    expect("default BackGroundSlide", o.BackGroundSlide, 1);
});

// All at once, then read back: a setter that writes another property's field shows up here.
step("every settable property", function () {
    o.CancelError = true;
    o.DefaultExt = "txt";
    o.Filter = "Text (*.txt)|*.txt|All|*.*";
    o.FilterIndex = 2;
    o.FileName = "C:\\data\\photo.jpg";
    o.InitDir = "C:\\data";
    o.MaxFileSize = 1024;
    o.DialogTitle = "Pick a picture";
    o.DialogLeft = 70000;
    o.DialogTop = -120;
    o.SlideFolder = "C:\\slides";
    o.Position = 5;
    o.BackGroundSlide = 2;
    expect("CancelError", o.CancelError, true);
    expect("DefaultExt", o.DefaultExt, "txt");
    expect("Filter", o.Filter, "Text (*.txt)|*.txt|All|*.*");
    expect("FilterIndex", o.FilterIndex, 2);
    expect("FileName", o.FileName, "C:\\data\\photo.jpg");
    expect("InitDir", o.InitDir, "C:\\data");
    expect("MaxFileSize", o.MaxFileSize, 1024);
    expect("DialogTitle", o.DialogTitle, "Pick a picture");
    expect("DialogLeft beyond 16 bits", o.DialogLeft, 70000);
    expect("DialogTop", o.DialogTop, -120);
    expect("SlideFolder", o.SlideFolder, "C:\\slides");
    expect("Position 5 stored as is", o.Position, 5);
    expect("BackGroundSlide", o.BackGroundSlide, 2);
    expect("FileTitle untouched by the others", o.FileTitle, "");
});

step("values stored unchanged", function () {
    o.CancelError = false;
    expect("CancelError back to false", o.CancelError, false);
    o.MaxFileSize = -1;
    expect("MaxFileSize -1", o.MaxFileSize, -1);
    o.MaxFileSize = 0;
    expect("MaxFileSize 0", o.MaxFileSize, 0);
    o.MaxFileSize = -32768;
    expect("MaxFileSize -32768", o.MaxFileSize, -32768);
    o.FilterIndex = 2147483647;
    expect("FilterIndex 2147483647", o.FilterIndex, 2147483647);
    o.BackGroundSlide = -3;
    expect("BackGroundSlide -3", o.BackGroundSlide, -3);
    o.Filter = "x||y|";
    expect("Filter with empty elements", o.Filter, "x||y|");
});

var e = expectError("FileTitle = \"x\" (no container: run mode)", CANNOT_SET_AT_RUN_TIME,
                    function () { o.FileTitle = "x"; });
if (e) expect("the 382 error has a description", e.description.length > 0, true);
step("FileTitle after the failed assignment", function () { expect("FileTitle", o.FileTitle, ""); });

step("FilterIndex = 4", function () { o.FilterIndex = 4; });
expectError("FilterIndex = \"abc\"", DISP_E_TYPEMISMATCH, function () { o.FilterIndex = "abc"; });
expectError("FilterIndex = 2147483648", DISP_E_OVERFLOW, function () { o.FilterIndex = 2147483648; });
step("FilterIndex after the failed assignments", function () { expect("FilterIndex", o.FilterIndex, 4); });

step("MaxFileSize = 300", function () { o.MaxFileSize = 300; });
expectError("MaxFileSize = 70000", DISP_E_OVERFLOW, function () { o.MaxFileSize = 70000; });
expectError("MaxFileSize = 32768", DISP_E_OVERFLOW, function () { o.MaxFileSize = 32768; });
step("MaxFileSize after the failed assignments", function () { expect("MaxFileSize", o.MaxFileSize, 300); });

step("a second control", function () {
    var o2 = new ActiveXObject(PROGID);
    expect("second control's Filter", o2.Filter, DEFAULT_FILTER);
    expect("second control's MaxFileSize", o2.MaxFileSize, 260);
    expect("first control keeps its MaxFileSize", o.MaxFileSize, 300);
});

step("non-ASCII text through the files", function () {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var input = fso.OpenTextFile(WScript.Arguments(0), 1, false, -1);
    var sample = input.ReadAll();
    input.Close();
    o.Filter = sample;
    expect("sample Filter read back", o.Filter === sample, true);
    var output = fso.CreateTextFile(WScript.Arguments(1), true, true);
    output.Write(defaultFilter + "\r\n" + o.Filter);
    output.Close();
});

WScript.Echo("END");
