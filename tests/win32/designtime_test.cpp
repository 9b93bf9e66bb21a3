// The design-time surface under Wine: the About box, the property page in a frame of the
// test's own (Wine's frame never calls Apply) and in the system's frame, and the folder
// picker, on real controls.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <olectl.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "control/QuorComDlg.h"
#include "control/class_table.h"
#include "designtime/open_save_page.h"
#include "dialog_driver.h"
#include "fake_host.h"
#include "platform/com_ptr.h"
#include "resources/resource_ids.h"

namespace qcd::test {
namespace {

using win::com_ptr;

constexpr wchar_t kAboutCaption[] = L"Quor Common Dialog Control";

struct ThreadWindows {
    std::vector<HWND> found;
    const wchar_t* className;
};
BOOL CALLBACK CollectAll(HWND w, LPARAM lp) {
    auto* windows = reinterpret_cast<ThreadWindows*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (lstrcmpW(cls, windows->className) == 0) windows->found.push_back(w);
    return TRUE;
}
BOOL CALLBACK CollectVisible(HWND w, LPARAM lp) { return IsWindowVisible(w) ? CollectAll(w, lp) : TRUE; }
// The visible dialog boxes the thread shows.
HWND DialogOfThread(DWORD thread) {
    ThreadWindows windows{{}, L"#32770"};
    EnumThreadWindows(thread, CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows.found.empty() ? nullptr : windows.found.front();
}

BOOL CALLBACK FindPageChild(HWND w, LPARAM lp) {
    if (GetDlgItem(w, IDC_DIALOG_TITLE_EDIT)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}
HWND PageWindowIn(HWND top) {
    HWND page = nullptr;
    EnumChildWindows(top, FindPageChild, reinterpret_cast<LPARAM>(&page));
    return page;
}

class RecordingPageSite final : public StackObject<IPropertyPageSite> {
public:
    std::vector<DWORD> statusChanges;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = static_cast<IPropertyPageSite*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        statusChanges.push_back(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        *lcid = GetUserDefaultLCID();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** c) override {
        *c = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

std::wstring Text(BSTR b) {
    std::wstring s(b ? b : L"");
    SysFreeString(b);
    return s;
}

class DesignTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
        frame_ = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 300,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame_, nullptr);
        for (auto& c : controls_)
            ASSERT_HRESULT_SUCCEEDED(CreateQuorComDlg(nullptr, IID__QuorComDlg, c.put_void()));
    }
    void TearDown() override {
        if (page_) {
            page_->Deactivate();
            page_->SetObjects(0, nullptr);
            page_->SetPageSite(nullptr);
        }
        page_.reset();
        for (auto& c : controls_) c.reset();
        DestroyWindow(frame_);
        OleUninitialize();
    }

    QuorComDlg& Object(int i) { return *static_cast<QuorComDlg*>(controls_[i].get()); }

    // A page on `count` controls, shown in the test's frame.
    void OpenPage(ULONG count) {
        ASSERT_HRESULT_SUCCEEDED(designtime::CreateOpenSavePage(nullptr, IID_IPropertyPage, page_.put_void()));
        ASSERT_HRESULT_SUCCEEDED(page_->SetPageSite(&site_));
        IUnknown* objects[] = {controls_[0].get(), controls_[1].get()};
        ASSERT_HRESULT_SUCCEEDED(page_->SetObjects(count, objects));
        PROPPAGEINFO info{};
        ASSERT_HRESULT_SUCCEEDED(page_->GetPageInfo(&info));
        EXPECT_STREQ(info.pszTitle, L"開く/保存");
        CoTaskMemFree(info.pszTitle);
        RECT rect{0, 0, info.size.cx, info.size.cy};
        ASSERT_HRESULT_SUCCEEDED(page_->Activate(frame_, &rect, FALSE));
        ASSERT_HRESULT_SUCCEEDED(page_->Show(SW_SHOW));
        page_window_ = PageWindowIn(frame_);
        ASSERT_NE(page_window_, nullptr);
    }
    HWND Item(int id) const { return GetDlgItem(page_window_, id); }
    std::wstring ItemText(int id) const { return WindowText(Item(id)); }
    void Type(int id, const wchar_t* text) { SetWindowTextW(Item(id), text); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Locked(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & ES_READONLY) != 0; }
    // The back colour the page gives a field when it paints.
    COLORREF FieldColour(int id) const {
        HDC dc = CreateCompatibleDC(nullptr);
        const UINT msg = Locked(id) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
        SendMessageW(page_window_, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Item(id)));
        const COLORREF c = GetBkColor(dc);
        DeleteDC(dc);
        return c;
    }
    size_t DirtyCount() const {
        size_t n = 0;
        for (DWORD f : site_.statusChanges) n += (f & PROPPAGESTATUS_DIRTY) ? 1 : 0;
        return n;
    }

    void SetFirstControl() {
        auto& c = controls_[0];
        BSTR s = SysAllocString(L"一つ目の題");
        c->put_DialogTitle(s);
        SysFreeString(s);
        s = SysAllocString(L"C:\\slides");
        c->put_SlideFolder(s);
        SysFreeString(s);
        c->put_FilterIndex(3);
        c->put_MaxFileSize(300);
        c->put_CancelError(VARIANT_TRUE);
        c->put_DialogLeft(11);
        c->put_DialogTop(-22);
        c->put_Position(0);
        c->put_BackGroundSlide(1);
        Object(0).MutableProps().FileTitle = u"kept.txt";
        Object(1).MutableProps().FileTitle = u"kept.txt";
        BSTR other = SysAllocString(L"二つ目");
        controls_[1]->put_DialogTitle(other);
        SysFreeString(other);
        controls_[1]->put_BackGroundSlide(2);
    }

    HWND frame_ = nullptr;
    com_ptr<_QuorComDlg> controls_[2];
    RecordingPageSite site_;
    com_ptr<IPropertyPage> page_;
    HWND page_window_ = nullptr;
};

TEST_F(DesignTimeTest, PageShowsTheFirstControlAndFillingIsNoChange) {
    SetFirstControl();
    OpenPage(2);
    EXPECT_EQ(ItemText(IDC_DIALOG_TITLE_EDIT), L"一つ目の題");
    EXPECT_EQ(ItemText(IDC_SLIDE_FOLDER_EDIT), L"C:\\slides");
    EXPECT_EQ(ItemText(IDC_FILTER_INDEX_EDIT), L"3");
    EXPECT_EQ(ItemText(IDC_MAX_FILE_SIZE_EDIT), L"300");
    EXPECT_EQ(ItemText(IDC_LEFT_EDIT), L"11");
    EXPECT_EQ(ItemText(IDC_TOP_EDIT), L"-22");
    EXPECT_EQ(ItemText(IDC_FILTER_EDIT), L"すべてのﾌｧｲﾙ(*.*)|*.*");
    EXPECT_TRUE(Checked(IDC_CANCEL_ERROR_CHECK));
    EXPECT_TRUE(Checked(IDC_SLIDE_BUILTIN));
    EXPECT_FALSE(Checked(IDC_SLIDE_FOLDER));
    EXPECT_TRUE(Checked(IDC_POSITION_MANUAL));
    EXPECT_FALSE(Checked(IDC_POSITION_CENTRE));
    EXPECT_EQ(ItemText(IDC_FILE_NAME_LABEL), L"ﾌｧｲﾙ名(&I):");
    EXPECT_EQ(ItemText(IDC_SLIDE_FOLDER_LABEL), L"ﾌｫﾙﾀﾞ(&B): ");
    EXPECT_EQ(ItemText(IDC_CANCEL_ERROR_CHECK), L"ｷｬﾝｾﾙ時にｴﾗｰ(&E):");
    EXPECT_EQ(DirtyCount(), 0u);
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);

    // Placed from twips at the screen's DPI.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT r;
    GetWindowRect(Item(IDC_FILE_NAME_EDIT), &r);
    MapWindowPoints(nullptr, page_window_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, MulDiv(1440, dpi, 1440));
    EXPECT_EQ(r.right - r.left, MulDiv(6195, dpi, 1440));

    // The two frames carry their tips.
    HWND tips = nullptr;
    ThreadWindows windows{{}, TOOLTIPS_CLASSW};
    EnumThreadWindows(GetCurrentThreadId(), CollectAll, reinterpret_cast<LPARAM>(&windows));
    for (HWND w : windows.found)
        if (GetWindow(w, GW_OWNER) == GetAncestor(page_window_, GA_ROOT)) tips = w;
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    wchar_t text[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = page_window_;
    tool.uId = IDC_POSITION_GROUP;
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, L"ﾀﾞｲｱﾛｸﾞﾎﾞｯｸｽの表示位置について設定します。");
}

TEST_F(DesignTimeTest, TypingOrClickingAnOptionMarksThePageOnce) {
    OpenPage(1);
    Type(IDC_FILTER_EDIT, L"A|*.a");
    EXPECT_EQ(DirtyCount(), 1u);
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    Type(IDC_FILTER_EDIT, L"B|*.b");
    EXPECT_EQ(DirtyCount(), 1u);

    page_->Deactivate();
    site_.statusChanges.clear();
    page_.reset();
    OpenPage(1);
    EXPECT_EQ(DirtyCount(), 0u);
    Click(IDC_POSITION_CENTRE);
    EXPECT_EQ(DirtyCount(), 1u);
}

TEST_F(DesignTimeTest, FolderFieldGreyedUnlessSlideFolderIsChosen) {
    SetFirstControl();  // BackGroundSlide 1, Position 0
    OpenPage(1);
    EXPECT_TRUE(Locked(IDC_SLIDE_FOLDER_EDIT));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SLIDE_FOLDER_BROWSE)));
    EXPECT_EQ(FieldColour(IDC_SLIDE_FOLDER_EDIT), GetSysColor(COLOR_BTNFACE));
    EXPECT_FALSE(Locked(IDC_LEFT_EDIT));
    EXPECT_EQ(FieldColour(IDC_LEFT_EDIT), RGB(255, 255, 255));

    Click(IDC_SLIDE_FOLDER);
    EXPECT_FALSE(Locked(IDC_SLIDE_FOLDER_EDIT));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SLIDE_FOLDER_BROWSE)));
    EXPECT_EQ(FieldColour(IDC_SLIDE_FOLDER_EDIT), RGB(255, 255, 255));
    Click(IDC_POSITION_CENTRE);
    EXPECT_TRUE(Locked(IDC_LEFT_EDIT));
    EXPECT_TRUE(Locked(IDC_TOP_EDIT));
    EXPECT_EQ(FieldColour(IDC_TOP_EDIT), GetSysColor(COLOR_BTNFACE));

    // Filled with 2, the folder is editable at once: no click is needed for the greying.
    page_->Deactivate();
    page_.reset();
    controls_[0]->put_BackGroundSlide(2);
    OpenPage(1);
    EXPECT_FALSE(Locked(IDC_SLIDE_FOLDER_EDIT));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SLIDE_FOLDER_BROWSE)));
}

TEST_F(DesignTimeTest, ApplyWritesTheThirteenValuesToBothControls) {
    SetFirstControl();
    OpenPage(2);
    Type(IDC_FILE_NAME_EDIT, L"C:\\a\\b.txt");
    Type(IDC_INIT_DIR_EDIT, L"C:\\a");
    Type(IDC_DIALOG_TITLE_EDIT, L"新しい題");
    Type(IDC_DEFAULT_EXT_EDIT, L"txt");
    Type(IDC_MAX_FILE_SIZE_EDIT, L"512");
    Click(IDC_CANCEL_ERROR_CHECK);  // off
    Type(IDC_FILTER_EDIT, L"テキスト|*.txt");
    Type(IDC_FILTER_INDEX_EDIT, L"2");
    Click(IDC_SLIDE_FOLDER);
    Type(IDC_SLIDE_FOLDER_EDIT, L"D:\\pics");
    Type(IDC_LEFT_EDIT, L"40");
    Type(IDC_TOP_EDIT, L"50");
    Click(IDC_POSITION_CENTRE);
    ASSERT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);

    for (auto& c : controls_) {
        BSTR b = nullptr;
        c->get_FileName(&b);
        EXPECT_EQ(Text(b), L"C:\\a\\b.txt");
        c->get_InitDir(&b);
        EXPECT_EQ(Text(b), L"C:\\a");
        c->get_DialogTitle(&b);
        EXPECT_EQ(Text(b), L"新しい題");
        c->get_DefaultExt(&b);
        EXPECT_EQ(Text(b), L"txt");
        c->get_Filter(&b);
        EXPECT_EQ(Text(b), L"テキスト|*.txt");
        c->get_SlideFolder(&b);
        EXPECT_EQ(Text(b), L"D:\\pics");
        c->get_FileTitle(&b);
        EXPECT_EQ(Text(b), L"kept.txt");
        short max = 0;
        c->get_MaxFileSize(&max);
        EXPECT_EQ(max, 512);
        VARIANT_BOOL cancel = VARIANT_TRUE;
        c->get_CancelError(&cancel);
        EXPECT_EQ(cancel, VARIANT_FALSE);
        LONG n = 0;
        c->get_FilterIndex(&n);
        EXPECT_EQ(n, 2);
        c->get_DialogLeft(&n);
        EXPECT_EQ(n, 40);
        c->get_DialogTop(&n);
        EXPECT_EQ(n, 50);
        c->get_Position(&n);
        EXPECT_EQ(n, 1);
        c->get_BackGroundSlide(&n);
        EXPECT_EQ(n, 2);
    }
}

TEST_F(DesignTimeTest, ATextThePropertyCannotTakeStopsApply) {
    SetFirstControl();
    OpenPage(2);
    Type(IDC_TOP_EDIT, L"7");
    Type(IDC_SLIDE_FOLDER_EDIT, L"E:\\new");
    Type(IDC_FILTER_INDEX_EDIT, L"abc");
    Type(IDC_DIALOG_TITLE_EDIT, L"書かれない");
    EXPECT_EQ(page_->Apply(), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    // Assigned before the failure: DialogTop, DialogLeft, SlideFolder, CancelError.
    EXPECT_EQ(Object(0).Props().DialogTop, 7);
    EXPECT_EQ(Object(0).Props().SlideFolder, u"E:\\new");
    // Not assigned: FilterIndex itself and what follows, and the second control.
    EXPECT_EQ(Object(0).Props().FilterIndex, 3);
    EXPECT_EQ(Object(0).Props().DialogTitle, u"一つ目の題");
    EXPECT_EQ(Object(1).Props().DialogTop, 0);
    EXPECT_EQ(Object(1).Props().DialogTitle, u"二つ目");

    Type(IDC_FILTER_INDEX_EDIT, L"1");
    Type(IDC_MAX_FILE_SIZE_EDIT, L"70000");
    EXPECT_EQ(page_->Apply(), DISP_E_OVERFLOW);
    EXPECT_EQ(Object(0).Props().DialogTitle, u"書かれない");
    EXPECT_EQ(Object(0).Props().MaxFileSize, 300);
    Type(IDC_MAX_FILE_SIZE_EDIT, L"");
    EXPECT_EQ(page_->Apply(), DISP_E_TYPEMISMATCH);
}

TEST_F(DesignTimeTest, AValueWithoutAnOptionStillFillsAndEditsCount) {
    SetFirstControl();
    controls_[0]->put_BackGroundSlide(5);
    controls_[0]->put_Position(-1);
    OpenPage(1);
    EXPECT_FALSE(Checked(IDC_SLIDE_NONE) || Checked(IDC_SLIDE_BUILTIN) || Checked(IDC_SLIDE_FOLDER));
    EXPECT_FALSE(Checked(IDC_POSITION_MANUAL) || Checked(IDC_POSITION_CENTRE));
    EXPECT_EQ(ItemText(IDC_FILTER_EDIT), L"すべてのﾌｧｲﾙ(*.*)|*.*");
    EXPECT_TRUE(Locked(IDC_SLIDE_FOLDER_EDIT));
    EXPECT_TRUE(Locked(IDC_LEFT_EDIT));
    Type(IDC_DIALOG_TITLE_EDIT, L"x");
    EXPECT_EQ(DirtyCount(), 1u);
    ASSERT_EQ(page_->Apply(), S_OK);
    // Untouched options write the value back as it was.
    EXPECT_EQ(Object(0).Props().BackGroundSlide, 5);
    EXPECT_EQ(Object(0).Props().Position, -1);
    EXPECT_EQ(Object(0).Props().DialogTitle, u"x");
}

TEST_F(DesignTimeTest, CancellingTheFolderPickerLeavesTheField) {
    SetFirstControl();
    OpenPage(1);
    const DWORD thread = GetCurrentThreadId();
    std::wstring prompt;
    bool sawBrowser = false;
    {
        DialogDriver driver([&] {
            HWND browser = nullptr;
            if (!WaitFor([&] { return (browser = DialogOfThread(thread)) != nullptr; })) return;
            sawBrowser = true;
            for (HWND c = GetWindow(browser, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (WindowText(c).find(L"ディレクトリの選択") != std::wstring::npos) prompt = WindowText(c);
            PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
        });
        Click(IDC_INIT_DIR_BROWSE);
    }
    EXPECT_TRUE(sawBrowser);
    EXPECT_EQ(prompt, L"初期ディレクトリの選択");
    EXPECT_EQ(ItemText(IDC_INIT_DIR_EDIT), L"");
    EXPECT_EQ(DirtyCount(), 0u);
}

// The picker's choice comes back whole, though its name leaves the ANSI code page. (Wine's
// browser does not go to a path holding a character beyond the Basic Multilingual Plane when
// told to: no emoji here.)
TEST_F(DesignTimeTest, AFolderChosenInThePickerFillsTheFieldWithItsUnicodePath) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"qcd-Ελλάδα café " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    SetFirstControl();
    OpenPage(1);
    const DWORD thread = GetCurrentThreadId();
    {
        DialogDriver driver([&] {
            HWND browser = nullptr;
            if (!WaitFor([&] { return (browser = DialogOfThread(thread)) != nullptr; })) return;
            HWND tree = FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
            // Asked again until the tree shows it chosen: a request before the browser has
            // filled its tree is lost.
            const std::wstring leaf = folder.substr(folder.rfind(L'\\') + 1);
            WaitFor([&] {
                SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
                wchar_t text[MAX_PATH] = {};
                TVITEMW item{};
                item.mask = TVIF_TEXT;
                item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
                item.pszText = text;
                item.cchTextMax = MAX_PATH;
                return item.hItem && SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && leaf == text;
            });
            PostMessageW(browser, WM_COMMAND, IDOK, 0);
        });
        Click(IDC_INIT_DIR_BROWSE);
    }
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(ItemText(IDC_INIT_DIR_EDIT), folder);
    EXPECT_EQ(DirtyCount(), 1u);
}

// A class object for the page, as the registry would give the system's frame.
class PageFactory final : public StackObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        return FindClass(CLSID_OpenSavePage)->create(outer, riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TEST_F(DesignTimeTest, TheSystemFrameShowsThePageFilled) {
    SetFirstControl();
    PageFactory factory;
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(CLSID_OpenSavePage, &factory, CLSCTX_INPROC_SERVER,
                                                   REGCLS_MULTIPLEUSE, &cookie));
    auto specify = controls_[0].query<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    ASSERT_TRUE(specify);
    CAUUID pages{};
    ASSERT_HRESULT_SUCCEEDED(specify->GetPages(&pages));
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], CLSID_OpenSavePage));

    const DWORD thread = GetCurrentThreadId();
    std::wstring tab, title;
    {
        DialogDriver driver([&] {
            HWND sheet = nullptr, page = nullptr;
            if (!WaitFor([&] {
                    sheet = DialogOfThread(thread);
                    page = sheet ? PageWindowIn(sheet) : nullptr;
                    return page && !WindowText(GetDlgItem(page, IDC_DIALOG_TITLE_EDIT)).empty();
                }))
                return;
            HWND tabs = FindWindowExW(sheet, nullptr, WC_TABCONTROLW, nullptr);
            wchar_t text[64] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            if (tabs) SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            tab = text;
            title = WindowText(GetDlgItem(page, IDC_DIALOG_TITLE_EDIT));
            PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
        });
        IUnknown* objects[] = {controls_[0].get()};
        EXPECT_HRESULT_SUCCEEDED(OleCreatePropertyFrame(frame_, 10, 10, L"QuorComDlg1", 1, objects, pages.cElems,
                                                        pages.pElems, GetUserDefaultLCID(), 0, nullptr));
    }
    CoTaskMemFree(pages.pElems);
    CoRevokeClassObject(cookie);
    EXPECT_EQ(tab, L"開く/保存");
    EXPECT_EQ(title, L"一つ目の題");
}

// The standard system menu of a window styled like `box`.
int StandardMenuItems(HWND box) {
    HWND plain = CreateWindowExW(static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE)), L"STATIC", L"plain",
                                 static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE)) & ~WS_VISIBLE, 0, 0, 100,
                                 100, nullptr, nullptr, nullptr, nullptr);
    const int n = GetMenuItemCount(GetSystemMenu(plain, FALSE));
    DestroyWindow(plain);
    return n;
}

TEST_F(DesignTimeTest, AboutBoxIsModalToTheHostAndFreshEachTime) {
    FakeSite site(frame_);
    auto ole = controls_[0].query<IOleObject>(IID_IOleObject);
    ASSERT_HRESULT_SUCCEEDED(ole->SetClientSite(&site));
    const DWORD thread = GetCurrentThreadId();
    std::vector<HWND> boxes;
    for (int call = 0; call < 2; ++call) {
        struct Seen {
            std::wstring caption, label1, label2, label3;
            int items = -1, standard = -1;
            bool closeCommand = true, ownerEnabled = true;
        } seen;
        HWND box = nullptr;
        {
            DialogDriver driver([&] {
                if (!WaitFor([&] { return (box = DialogOfThread(thread)) != nullptr; })) return;
                seen.caption = WindowText(box);
                seen.label1 = WindowText(GetDlgItem(box, IDC_ABOUT_PRODUCT));
                seen.label2 = WindowText(GetDlgItem(box, IDC_ABOUT_AUTHOR));
                seen.label3 = WindowText(GetDlgItem(box, IDC_ABOUT_LINK));
                HMENU menu = GetSystemMenu(box, FALSE);
                seen.items = GetMenuItemCount(menu);
                seen.closeCommand = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
                seen.standard = StandardMenuItems(box);
                seen.ownerEnabled = IsWindowEnabled(frame_);
                PostMessageW(box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            });
            EXPECT_EQ(controls_[0]->Show_AboutBox(), S_OK);
        }
        boxes.push_back(box);
        EXPECT_EQ(seen.caption, kAboutCaption);
        EXPECT_EQ(seen.label1, L"Quor Common Dialog Custom ActiveX Control - Version 2.01");
        EXPECT_FALSE(seen.label2.empty());
        EXPECT_NE(seen.label3.find(L"@example.org"), std::wstring::npos);
        EXPECT_GT(seen.standard, 2);
        EXPECT_EQ(seen.items, seen.standard - 2);
        EXPECT_FALSE(seen.closeCommand);
        EXPECT_FALSE(seen.ownerEnabled);
        EXPECT_TRUE(IsWindowEnabled(frame_));
        EXPECT_FALSE(IsWindow(box));
    }
    EXPECT_NE(boxes[0], boxes[1]);
    ole->SetClientSite(nullptr);
}

}  // namespace
}  // namespace qcd::test
