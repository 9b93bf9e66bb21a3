// The registered control hosted by Wine's own ATL container: the "AtlAxWin" window class
// of atl.dll, which creates a control from the ProgID in its window text.
#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "control/ids.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace {

using qcd::win::com_ptr;

constexpr int kControlPixels = 32;
constexpr RECT kParentRect{0, 0, 300, 200};
constexpr RECT kHostRect{20, 30, 220, 130};  // 200 x 100 inside the parent

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

// An export of a DLL by name, typed (through void (*)() to keep the cast well defined).
template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

SIZE WindowSize(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// Position of `hwnd` in the client coordinates of `ancestor`.
POINT OffsetIn(HWND hwnd, HWND ancestor) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    POINT p{r.left, r.top};
    ScreenToClient(ancestor, &p);
    return p;
}

ATOM RegisterParentClass() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QcdAtlHostParent";
        return RegisterClassW(&wc);
    }();
    return atom;
}

class AtlAxWinHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Wine's own atl.dll, not one shipped with the test.
        atl_ = LoadLibraryW(L"atl.dll");
        if (!atl_) return;
        auto init = Export<AtlAxWinInitFn>(atl_, "AtlAxWinInit");
        getControl_ = Export<AtlAxGetControlFn>(atl_, "AtlAxGetControl");
        // Registers the window class, so only once a process: a second call fails.
        initialized_ = init && init();
        // One visible form for all tests: hiding a top-level window costs Wine about 2 s on
        // a display without a window manager.
        if (RegisterParentClass())
            parent_ = CreateWindowExW(0, L"QcdAtlHostParent", L"", WS_POPUP | WS_VISIBLE, kParentRect.left,
                                      kParentRect.top, kParentRect.right - kParentRect.left,
                                      kParentRect.bottom - kParentRect.top, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    }

    static void TearDownTestSuite() {
        if (parent_) DestroyWindow(parent_);
        parent_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(atl_, nullptr) << "atl.dll did not load";
        ASSERT_TRUE(initialized_) << "AtlAxWinInit failed";
        ASSERT_NE(getControl_, nullptr);
        ASSERT_NE(parent_, nullptr);
        host_.reset(CreateWindowExW(0, L"AtlAxWin", qcd::kProgId, WS_CHILD | WS_VISIBLE, kHostRect.left,
                                    kHostRect.top, kHostRect.right - kHostRect.left,
                                    kHostRect.bottom - kHostRect.top, parent_, nullptr, GetModuleHandleW(nullptr),
                                    nullptr));
        ASSERT_TRUE(host_) << "AtlAxWin window not created, error " << GetLastError();
        PumpMessages();
        ASSERT_EQ(getControl_(host_.get(), control_.put()), S_OK) << "AtlAxWin holds no control";
        ASSERT_TRUE(control_);
    }

    void TearDown() override {
        control_.reset();
        host_.reset();
        PumpMessages();
    }

    // The control's own window, as the in-place object reports it.
    HWND ControlWindow() const {
        auto inPlace = control_.query<IOleInPlaceObject>(IID_IOleInPlaceObject);
        HWND hwnd = nullptr;
        if (!inPlace || FAILED(inPlace->GetWindow(&hwnd))) return nullptr;
        return hwnd;
    }

    static inline HMODULE atl_ = nullptr;
    static inline bool initialized_ = false;
    static inline AtlAxGetControlFn getControl_ = nullptr;
    static inline HWND parent_ = nullptr;  // 300 x 200, the host's form

    qcd::win::unique_hwnd host_;  // the AtlAxWin window, 200 x 100
    com_ptr<IUnknown> control_;
};

TEST_F(AtlAxWinHost, HostsOurControlByProgId) {
    auto dual = control_.query<_QuorComDlg>(qcd::IID__QuorComDlg);
    ASSERT_TRUE(dual) << "the hosted object does not answer _QuorComDlg";
    // A call through the vtable: the container's object is a fresh control (InitNew ran).
    short maxFileSize = 0;
    ASSERT_EQ(dual->get_MaxFileSize(&maxFileSize), S_OK);
    EXPECT_EQ(maxFileSize, 260);
    LONG slide = 0;
    ASSERT_EQ(dual->get_BackGroundSlide(&slide), S_OK);
    EXPECT_EQ(slide, 1);
}

// An ATL host is a run-mode container: FileTitle refuses with 382, through the vtable too,
// and leaves the error's text for the caller.
TEST_F(AtlAxWinHost, RefusesFileTitleAsInRunMode) {
    auto dual = control_.query<_QuorComDlg>(qcd::IID__QuorComDlg);
    ASSERT_TRUE(dual);
    BSTR title = SysAllocString(L"x");
    const HRESULT hr = dual->put_FileTitle(title);
    SysFreeString(title);
    EXPECT_EQ(static_cast<uint32_t>(hr), 0x800A017Eu);

    com_ptr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK) << "no error info set";
    BSTR description = nullptr;
    ASSERT_EQ(info->GetDescription(&description), S_OK);
    EXPECT_GT(SysStringLen(description), 0u);
    SysFreeString(description);

    BSTR value = nullptr;
    ASSERT_EQ(dual->get_FileTitle(&value), S_OK);
    EXPECT_EQ(SysStringLen(value), 0u);
    SysFreeString(value);
}

TEST_F(AtlAxWinHost, ActivatesInPlaceAsA32PixelSquareInsideTheHost) {
    HWND hwnd = ControlWindow();
    ASSERT_NE(hwnd, nullptr) << "no in-place window: the container did not activate the control";
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(IsChild(host_.get(), hwnd)) << "the control's window is not inside the AtlAxWin window";
    const SIZE size = WindowSize(hwnd);
    EXPECT_EQ(size.cx, kControlPixels);
    EXPECT_EQ(size.cy, kControlPixels);
    // What the container does with a run-time-invisible control is its own affair: reported.
    const POINT at = OffsetIn(hwnd, host_.get());
    std::printf("note: control window at (%ld, %ld) in the host, %s\n", at.x, at.y,
                IsWindowVisible(hwnd) ? "visible" : "hidden");
}

// AtlAxWin passes its own size on (SetExtent, SetObjectRects): the control keeps 32 x 32.
TEST_F(AtlAxWinHost, StaysA32PixelSquareWhenTheHostIsResized) {
    HWND hwnd = ControlWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(SetWindowPos(host_.get(), nullptr, 0, 0, 250, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    PumpMessages();
    ASSERT_EQ(WindowSize(host_.get()).cx, 250) << "the host itself did not resize";
    const SIZE size = WindowSize(hwnd);
    EXPECT_EQ(size.cx, kControlPixels);
    EXPECT_EQ(size.cy, kControlPixels);

    auto object = control_.query<IOleObject>(IID_IOleObject);
    ASSERT_TRUE(object);
    SIZEL extent{};
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    qcd::win::window_dc screen(nullptr);
    const LONG himetric = MulDiv(kControlPixels, 2540, GetDeviceCaps(screen.get(), LOGPIXELSX));
    EXPECT_EQ(extent.cx, himetric);
    EXPECT_EQ(extent.cy, himetric);
}

// Destroying the AtlAxWin window closes the control and drops the container's references:
// the control must then go away with its window, and the library must agree to unload.
TEST_F(AtlAxWinHost, DestroyingTheHostReleasesTheControl) {
    HWND hwnd = ControlWindow();
    ASSERT_NE(hwnd, nullptr);
    control_.reset();
    host_.reset();
    PumpMessages();
    EXPECT_FALSE(IsWindow(hwnd)) << "the control outlived its container";

    HMODULE ocx = GetModuleHandleW(L"QuorCommonDialogControl.ocx");
    ASSERT_NE(ocx, nullptr);
    auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(ocx, "DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "objects or locks left in the server";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // In-place activation needs OLE on this, the user-interface, thread.
    if (FAILED(OleInitialize(nullptr))) return 2;
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
