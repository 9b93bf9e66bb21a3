// The control as outside hosts use it: the Open dialog and the About box from VBScript under
// the script host of this program's bitness (cscript started from a 64-bit process is the
// 64-bit one), and the demo host's buttons. This program runs each host as a process of its
// own and works its windows as a user would; Wine answers the window texts across processes.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "resources/resource_ids.h"

namespace {

constexpr wchar_t kAboutCaption[] = L"Quor Common Dialog Control";

std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

// WM_GETTEXT itself: GetWindowText of another process's window gives its caption only,
// not an edit box's contents.
std::wstring Text(HWND hwnd) {
    wchar_t buf[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &copied);
    return buf;
}

bool WaitFor(const std::function<bool()>& condition, int ms = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        Sleep(50);
    }
    return condition();
}

struct Search {
    DWORD process;
    const wchar_t* className;
    const wchar_t* caption;  // null: any
    HWND found;
};
BOOL CALLBACK FindOfProcess(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (pid != s->process || !IsWindowVisible(w) || lstrcmpW(cls, s->className) != 0) return TRUE;
    if (s->caption && Text(w) != s->caption) return TRUE;
    s->found = w;
    return FALSE;
}
HWND TopWindowOf(DWORD process, const wchar_t* className, const wchar_t* caption = nullptr) {
    Search s{process, className, caption, nullptr};
    EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// A process with its output gathered; killed if a test leaves it running.
class Child {
public:
    explicit Child(std::wstring commandLine) {
        SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
        HANDLE write = nullptr;
        CreatePipe(&read_, &write, &sa, 0);
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write;
        si.hStdError = write;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi_);
        CloseHandle(write);
    }
    ~Child() {
        if (started_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 9);
        if (started_) {
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
        }
        CloseHandle(read_);
    }
    bool Started() const { return started_; }
    DWORD Id() const { return pi_.dwProcessId; }
    // Waits for the end and returns what it wrote.
    std::string Finish(DWORD ms = 30000) {
        std::string out;
        const auto end = GetTickCount() + ms;
        auto drain = [&] {
            DWORD avail = 0;
            while (PeekNamedPipe(read_, nullptr, 0, nullptr, &avail, nullptr) && avail) {
                char buf[512];
                DWORD n = 0;
                if (!ReadFile(read_, buf, sizeof(buf), &n, nullptr) || !n) break;
                out.append(buf, n);
            }
        };
        for (;;) {
            drain();
            // What it wrote just before it ended is read after the end.
            if (WaitForSingleObject(pi_.hProcess, 50) == WAIT_OBJECT_0) break;
            if (GetTickCount() > end) break;
        }
        drain();
        return out;
    }

private:
    HANDLE read_ = nullptr;
    PROCESS_INFORMATION pi_{};
    BOOL started_ = FALSE;
};

struct AboutSeen {
    HWND box = nullptr;
    std::wstring label1, label2, label3;
};

// Waits for the process's About box, reads it and presses OK.
AboutSeen CloseAboutBox(DWORD process) {
    AboutSeen seen;
    if (!WaitFor([&] { return (seen.box = TopWindowOf(process, L"#32770", kAboutCaption)) != nullptr; }))
        return seen;
    seen.label1 = Text(GetDlgItem(seen.box, IDC_ABOUT_PRODUCT));
    seen.label2 = Text(GetDlgItem(seen.box, IDC_ABOUT_AUTHOR));
    seen.label3 = Text(GetDlgItem(seen.box, IDC_ABOUT_LINK));
    PostMessageW(seen.box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(seen.box, IDOK)));
    WaitFor([&] { return !IsWindow(seen.box); });
    return seen;
}

void ExpectAboutTexts(const AboutSeen& seen) {
    ASSERT_NE(seen.box, nullptr) << "no About box came up";
    EXPECT_EQ(seen.label1, L"Quor Common Dialog Custom ActiveX Control - Version 2.01");
    EXPECT_FALSE(seen.label2.empty());
    EXPECT_NE(seen.label3.find(L"@example.org"), std::wstring::npos);
    EXPECT_FALSE(IsWindow(seen.box));
}

TEST(AboutFromScript, VBScriptShowsAFreshBoxPerCallAndGoesOnWhenItCloses) {
    Child script(L"cscript //nologo " + WindowsPath(QCD_ABOUT_SCRIPT));
    ASSERT_TRUE(script.Started());
    const AboutSeen first = CloseAboutBox(script.Id());
    ExpectAboutTexts(first);
    const AboutSeen second = CloseAboutBox(script.Id());
    ExpectAboutTexts(second);
    EXPECT_NE(first.box, second.box);
    const std::string out = script.Finish();
    EXPECT_NE(out.find("RETURNED 1"), std::string::npos) << out;
    EXPECT_NE(out.find("RETURNED 2"), std::string::npos) << out;
    EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
    EXPECT_NE(out.find("END"), std::string::npos) << out;
}

struct OpenDialogSeen {
    std::wstring pictureSize, textShown, videoSize, videoFrame, soundPlaying;
    bool pictureDrawn = false, spectrumDrawn = false;
};

// The area's pixels as the screen shows them, in screen coordinates.
std::vector<COLORREF> ScreenOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    std::vector<COLORREF> pixels;
    const qcd::win::window_dc screen(nullptr);
    for (int y = r.top + 2; y < r.bottom - 2; y += 4)
        for (int x = r.left + 2; x < r.right - 2; x += 4) pixels.push_back(GetPixel(screen.get(), x, y));
    return pixels;
}

BOOL CALLBACK FindShownEdit(HWND w, LPARAM lp) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (lstrcmpiW(cls, L"Edit") != 0 || !IsWindowVisible(w)) return TRUE;
    *reinterpret_cast<HWND*>(lp) = w;
    return FALSE;
}

// The script's Open dialog: the files are picked with the list's keys, each preview is read
// off the panel's labels and the screen, the MP3 is played, and the picture is opened.
OpenDialogSeen WorkOpenDialog(DWORD process, const wchar_t* title) {
    OpenDialogSeen seen;
    HWND dialog = nullptr, panel = nullptr, list = nullptr;
    if (!WaitFor([&] {
            dialog = TopWindowOf(process, L"#32770", title);
            panel = nullptr;
            for (HWND c = dialog ? GetWindow(dialog, GW_CHILD) : nullptr; c && !panel; c = GetWindow(c, GW_HWNDNEXT))
                if (GetDlgItem(c, IDC_PREVIEW_AREA)) panel = c;
            HWND view = dialog ? FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr) : nullptr;
            list = view ? FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
            return panel && list;
        }))
        return seen;
    HWND area = GetDlgItem(panel, IDC_PREVIEW_AREA);
    auto label = [&](int id) { return Text(GetDlgItem(panel, id)); };
    // Sorted by name: picture.jpg, sound.mp3, text.txt, video.avi.
    auto pick = [&](UINT key, const wchar_t* name) {
        PostMessageW(list, WM_KEYDOWN, key, 1);
        PostMessageW(list, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        return WaitFor([&] { return label(IDC_TITLE_LABEL) == name && label(IDC_STATUS_LABEL) != L"Loading..."; });
    };
    if (pick(VK_HOME, L"picture.jpg")) {
        seen.pictureSize = label(IDC_SIZE_LABEL);
        seen.pictureDrawn = WaitFor([&] {
            const std::vector<COLORREF> pixels = ScreenOf(area);
            const COLORREF c = pixels[pixels.size() / 2];
            return GetRValue(c) < 64 && GetGValue(c) > 128 && GetBValue(c) < 64;
        });
    }
    if (pick(VK_DOWN, L"sound.mp3")) {
        const std::vector<COLORREF> before = ScreenOf(area);
        PostMessageW(GetDlgItem(panel, IDC_PLAY_BUTTON), BM_CLICK, 0, 0);
        WaitFor([&] { return label(IDC_INDEX_LABEL) >= L"00:02/00:06"; });
        seen.soundPlaying = label(IDC_INDEX_LABEL);
        seen.spectrumDrawn = WaitFor([&] { return ScreenOf(area) != before; });
    }
    if (pick(VK_DOWN, L"text.txt")) {
        WaitFor([&] {
            HWND edit = nullptr;
            EnumChildWindows(panel, FindShownEdit, reinterpret_cast<LPARAM>(&edit));
            seen.textShown = edit ? Text(edit) : L"";
            return !seen.textShown.empty();
        });
    }
    if (pick(VK_DOWN, L"video.avi")) {
        seen.videoSize = label(IDC_SIZE_LABEL);
        seen.videoFrame = label(IDC_INDEX_LABEL);
    }
    pick(VK_HOME, L"picture.jpg");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return !IsWindow(dialog); });
    return seen;
}

TEST(OpenFromScript, VBScriptPreviewsEachKindAndGetsTheChosenFile) {
    namespace fs = std::filesystem;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path folder = fs::path(temp) / (L"qcd-script-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path fixtures = WindowsPath(QCD_FIXTURE_DIR), sounds = WindowsPath(QCD_SOUND_DIR);
    fs::copy_file(fixtures / "green.jpg", folder / "picture.jpg");
    fs::copy_file(fixtures / "clip.avi", folder / "video.avi");
    fs::copy_file(sounds / "tone1k_44k_stereo_cbr.mp3", folder / "sound.mp3");
    std::ofstream(folder / "text.txt") << "from a script";

    const std::wstring title = L"QuorComDlg script " + std::to_wstring(GetCurrentProcessId());
    Child script(L"cscript //nologo " + WindowsPath(QCD_OPEN_SCRIPT) + L" \"" + folder.wstring() + L"\" \"" + title + L"\"");
    ASSERT_TRUE(script.Started());
    const OpenDialogSeen seen = WorkOpenDialog(script.Id(), title.c_str());
    const std::string out = script.Finish();
    fs::remove_all(folder);

    EXPECT_EQ(seen.pictureSize, L"240x240xFull");
    EXPECT_TRUE(seen.pictureDrawn);
    EXPECT_GE(seen.soundPlaying, L"00:02/00:06");
    EXPECT_TRUE(seen.spectrumDrawn);
    EXPECT_EQ(seen.textShown, L"from a script");
    EXPECT_EQ(seen.videoSize.substr(0, 8), L"160x120x");
    EXPECT_EQ(seen.videoFrame, L"1/250  Frame");
    std::string expected = "FILENAME ";
    for (wchar_t c : (folder / "picture.jpg").wstring()) expected += static_cast<char>(c);
    EXPECT_NE(out.find(expected + "\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("FILETITLE picture.jpg\r\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
    EXPECT_NE(out.find("END"), std::string::npos) << out;
}

HWND ButtonWithText(HWND parent, const wchar_t* text) {
    for (HWND c = FindWindowExW(parent, nullptr, L"Button", nullptr); c;
         c = FindWindowExW(parent, c, L"Button", nullptr))
        if (Text(c) == text) return c;
    return nullptr;
}

BOOL CALLBACK FindPage(HWND w, LPARAM lp) {
    if (GetDlgItem(w, IDC_FILTER_EDIT)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}

class DemoHost : public ::testing::Test {
protected:
    void SetUp() override {
        demo_ = std::make_unique<Child>(L"\"" + WindowsPath(QCD_DEMO_EXE) + L"\" --quit-after 60000");
        ASSERT_TRUE(demo_->Started());
        ASSERT_TRUE(WaitFor([&] {
            for (HWND w = TopWindowOf(demo_->Id(), L"QuorDemoMain"); w;) {
                main_ = w;
                return true;
            }
            return false;
        })) << "the demo's window did not come up";
    }
    void TearDown() override {
        if (main_) PostMessageW(main_, WM_CLOSE, 0, 0);
        demo_->Finish(10000);
    }
    std::unique_ptr<Child> demo_;
    HWND main_ = nullptr;
};

TEST_F(DemoHost, AboutButtonShowsTheBoxModalToTheForm) {
    HWND about = ButtonWithText(main_, L"バージョン情報...");
    ASSERT_NE(about, nullptr);
    std::vector<HWND> boxes;
    for (int i = 0; i < 2; ++i) {
        PostMessageW(about, BM_CLICK, 0, 0);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = TopWindowOf(demo_->Id(), L"#32770", kAboutCaption)) != nullptr; }));
        EXPECT_FALSE(IsWindowEnabled(main_)) << "the form stays usable behind the box";
        const AboutSeen seen = CloseAboutBox(demo_->Id());
        ExpectAboutTexts(seen);
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(main_) != FALSE; }));
        boxes.push_back(seen.box);
    }
    EXPECT_NE(boxes[0], boxes[1]);
}

TEST_F(DemoHost, PropertiesButtonOpensTheSystemFrameOnTheControl) {
    HWND pages = ButtonWithText(main_, L"プロパティ...");
    ASSERT_NE(pages, nullptr);
    PostMessageW(pages, BM_CLICK, 0, 0);
    HWND sheet = nullptr, page = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (HWND w = TopWindowOf(demo_->Id(), L"#32770"); w;) {
            sheet = w;
            page = nullptr;
            EnumChildWindows(sheet, FindPage, reinterpret_cast<LPARAM>(&page));
            return page != nullptr && !Text(GetDlgItem(page, IDC_FILTER_EDIT)).empty();
        }
        return false;
    })) << "no property frame with the page";
    EXPECT_EQ(Text(GetDlgItem(page, IDC_FILTER_EDIT)), L"すべてのﾌｧｲﾙ(*.*)|*.*");
    EXPECT_EQ(Text(GetDlgItem(page, IDC_MAX_FILE_SIZE_EDIT)), L"260");
    PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
}

// The system DPI that programs started from now on read (Wine reads it once, when a process
// starts), put back as it was when the scope ends.
class SystemDpi {
  public:
    explicit SystemDpi(DWORD dpi) {
        for (auto& [root, path, saved] : keys_) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr))
                continue;
            DWORD value = 0, size = sizeof value;
            if (RegQueryValueExW(key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == 0)
                saved = value;
            RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
            RegCloseKey(key);
        }
    }
    ~SystemDpi() {
        for (auto& [root, path, saved] : keys_) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key)) continue;
            if (saved)
                RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*saved), sizeof(DWORD));
            else
                RegDeleteValueW(key, L"LogPixels");
            RegCloseKey(key);
        }
    }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

  private:
    struct Key {
        HKEY root;
        const wchar_t* path;
        std::optional<DWORD> saved;
    };
    Key keys_[2] = {{HKEY_CURRENT_USER, L"Control Panel\\Desktop", {}},
                    {HKEY_CURRENT_CONFIG, L"Software\\Fonts", {}}};
};

struct CutLabel {
    std::wstring text;
    int width, inkRight;
};
BOOL CALLBACK CollectStatic(HWND w, LPARAM out) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    // Labels that clip their text at the edge (the ellipsis kinds shorten it on purpose).
    if (lstrcmpiW(cls, L"Static") == 0 && IsWindowVisible(w) && (style & SS_TYPEMASK) == SS_LEFTNOWORDWRAP &&
        !(style & SS_ELLIPSISMASK) && !Text(w).empty())
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
    return TRUE;
}
// The labels of the demo whose text runs to their right edge: cut. A whole text ends short of
// it. Only labels wholly on the screen are looked at.
std::vector<CutLabel> CutLabels(HWND main) {
    std::vector<HWND> labels;
    EnumChildWindows(main, CollectStatic, reinterpret_cast<LPARAM>(&labels));
    std::vector<CutLabel> cut;
    qcd::win::window_dc screen(nullptr);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (HWND label : labels) {
        RECT r{};
        GetWindowRect(label, &r);
        if (r.left < 0 || r.top < 0 || r.right > GetSystemMetrics(SM_CXSCREEN) || r.bottom > GetSystemMetrics(SM_CYSCREEN))
            continue;
        int inkRight = -1;
        for (int x = r.left; x < r.right; ++x)
            for (int y = r.top; y < r.bottom; ++y)
                if (GetPixel(screen.get(), x, y) != face) inkRight = x - r.left;
        if (inkRight >= r.right - r.left - 2) cut.push_back({Text(label), r.right - r.left, inkRight});
    }
    return cut;
}

// The demo is laid out for the screen's DPI: at 144 its labels hold their texts as at 96.
TEST(DemoAtHighDpi, NoLabelIsCut) {
    for (DWORD dpi : {96u, 144u}) {
        SCOPED_TRACE(dpi);
        std::unique_ptr<Child> demo;
        {
            const SystemDpi scope(dpi);
            demo = std::make_unique<Child>(L"\"" + WindowsPath(QCD_DEMO_EXE) + L"\" --quit-after 60000");
            ASSERT_TRUE(demo->Started());
            HWND found = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (found = TopWindowOf(demo->Id(), L"QuorDemoMain")) != nullptr; }));
        }
        HWND main = TopWindowOf(demo->Id(), L"QuorDemoMain");
        // At 144 DPI the window is larger than this screen: its left part is what is checked.
        SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(500);
        std::vector<CutLabel> cut = CutLabels(main);
        std::vector<HWND> all;
        EnumChildWindows(main, CollectStatic, reinterpret_cast<LPARAM>(&all));
        EXPECT_GE(all.size(), 10u) << "the labels were not found";
        for (const CutLabel& c : cut)
            ADD_FAILURE() << "cut: " << testing::PrintToString(c.text) << " width " << c.width
                          << ", ink to " << c.inkRight;
        PostMessageW(main, WM_CLOSE, 0, 0);
        demo->Finish(10000);
    }
}

}  // namespace
