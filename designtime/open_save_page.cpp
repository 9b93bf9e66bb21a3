#include "designtime/open_save_page.h"

#include <commctrl.h>
#include <olectl.h>

#include <atomic>
#include <string>
#include <vector>

#include "designtime/folder_picker.h"
#include "designtime/page_model.h"
#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"
#include "platform/module.h"
#include "platform/pump.h"
#include "platform/text.h"
#include "resources/resource_ids.h"

namespace qcd::designtime {

namespace {

using win::com_ptr;

constexpr wchar_t kTitle[] = L"開く/保存";
constexpr char16_t kInitDirPrompt[] = u"初期ディレクトリの選択";
constexpr char16_t kSlideFolderPrompt[] = u"スライド表示する画像のあるディレクトリの選択";
constexpr wchar_t kBgsTip[] = L"Wave,Mp3ﾌｧｲﾙをﾌﾟﾚﾋﾞｭｰする場合のｽﾗｲﾄﾞｼｮｳについて設定します。";
constexpr wchar_t kPositionTip[] = L"ﾀﾞｲｱﾛｸﾞﾎﾞｯｸｽの表示位置について設定します。";

constexpr int kEdits[] = {IDC_FILE_NAME_EDIT,   IDC_INIT_DIR_EDIT, IDC_DIALOG_TITLE_EDIT, IDC_DEFAULT_EXT_EDIT,
                          IDC_MAX_FILE_SIZE_EDIT, IDC_FILTER_EDIT,  IDC_FILTER_INDEX_EDIT, IDC_SLIDE_FOLDER_EDIT,
                          IDC_LEFT_EDIT,  IDC_TOP_EDIT};
constexpr int kBgsOptions[] = {IDC_SLIDE_NONE, IDC_SLIDE_BUILTIN, IDC_SLIDE_FOLDER};
constexpr int kPositionOptions[] = {IDC_POSITION_MANUAL, IDC_POSITION_CENTRE};

template <size_t N>
int IndexOf(const int (&ids)[N], int id) {
    for (size_t i = 0; i < N; ++i)
        if (ids[i] == id) return static_cast<int>(i);
    return -1;
}

// A selected control reached by name through its IDispatch, as any automation object.
class DispatchTarget final : public PropertyTarget {
public:
    explicit DispatchTarget(IDispatch* object) : object_(object) {}

    Status Get(PageProperty p, Value& out) override {
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = IdOf(p, id);
        if (FAILED(hr)) return hr;
        DISPPARAMS none{};
        VARIANT v;
        VariantInit(&v);
        hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
        if (FAILED(hr)) return hr;
        if (V_VT(&v) == VT_BSTR) {
            out = win::FromBstr(V_BSTR(&v));
        } else if (V_VT(&v) == VT_BOOL) {
            out = V_BOOL(&v) != VARIANT_FALSE;
        } else {
            hr = VariantChangeType(&v, &v, 0, VT_I4);
            if (SUCCEEDED(hr)) out = static_cast<int32_t>(V_I4(&v));
        }
        VariantClear(&v);
        return hr;
    }

    Status Put(PageProperty p, const Value& value) override {
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = IdOf(p, id);
        if (FAILED(hr)) return hr;
        VARIANT v;
        VariantInit(&v);
        if (auto s = std::get_if<std::u16string>(&value)) {
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = win::ToBstr(*s);
            if (!V_BSTR(&v)) return E_OUTOFMEMORY;
        } else if (auto b = std::get_if<bool>(&value)) {
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = *b ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            V_VT(&v) = VT_I4;
            V_I4(&v) = std::get<int32_t>(value);
        }
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&v, &named, 1, 1};
        EXCEPINFO excep{};
        UINT argErr = 0;
        hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, &excep,
                             &argErr);
        VariantClear(&v);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        if (hr == DISP_E_EXCEPTION) hr = excep.scode ? excep.scode : E_FAIL;
        return hr;
    }

private:
    HRESULT IdOf(PageProperty p, DISPID& id) {
        std::wstring name(win::Wide(std::u16string(NameOf(p))));
        LPOLESTR names[] = {name.data()};
        return object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }
    IDispatch* object_;
};

class OpenSavePage final : public IPropertyPage {
public:
    OpenSavePage() = default;
    ~OpenSavePage() { Deactivate(); }
    OpenSavePage(const OpenSavePage&) = delete;
    OpenSavePage& operator=(const OpenSavePage&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyPage) {
            *ppv = static_cast<IPropertyPage*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }

    // IPropertyPage
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override {
        site_ = com_ptr<IPropertyPageSite>(site);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL) override {
        return win::Guarded("property page activate", [&]() -> HRESULT {
            if (!rect) return E_POINTER;
            if (hwnd_) return E_UNEXPECTED;
            INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
            InitCommonControlsEx(&icc);
            HWND page = CreateDialogParamW(ThisModule(), L"OPENSAVEPAGE", parent, PageProc,
                                           reinterpret_cast<LPARAM>(this));
            if (!page) {
                const DWORD error = GetLastError();
                return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
            }
            hwnd_.reset(page);
            MoveWindow(page, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
            SelectionChanged();
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE Deactivate() override {
        tooltips_.reset();
        hwnd_.reset();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) return E_POINTER;
        const size_t bytes = sizeof(kTitle);
        auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!title) return E_OUTOFMEMORY;
        memcpy(title, kTitle, bytes);
        const Rect size = PageSizeInPixels(ScreenDpi());
        info->cb = sizeof(PROPPAGEINFO);
        info->pszTitle = title;
        info->size = {size.width, size.height};
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override {
        return win::Guarded("property page objects", [&]() -> HRESULT {
            if (count && !objects) return E_POINTER;
            std::vector<com_ptr<IDispatch>> dispatches;
            for (ULONG i = 0; i < count; ++i) {
                com_ptr<IDispatch> d;
                if (!objects[i] || FAILED(objects[i]->QueryInterface(IID_IDispatch, d.put_void())))
                    return E_NOINTERFACE;
                dispatches.push_back(std::move(d));
            }
            objects_ = std::move(dispatches);
            if (hwnd_) SelectionChanged();
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE Show(UINT cmd) override {
        if (!hwnd_) return E_UNEXPECTED;
        ShowWindow(hwnd_.get(), static_cast<int>(cmd));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        if (!hwnd_) return E_UNEXPECTED;
        MoveWindow(hwnd_.get(), rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }

    HRESULT STDMETHODCALLTYPE Apply() override {
        return win::Guarded("property page apply", [&]() -> HRESULT {
            if (!dirty_) return S_OK;
            if (!hwnd_) return E_UNEXPECTED;
            HRESULT hr = ApplyChanges();
            if (SUCCEEDED(hr)) dirty_ = false;
            return hr;
        });
    }

    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override {
        if (!msg) return E_POINTER;
        if (!hwnd_) return S_FALSE;
        return IsDialogMessageW(hwnd_.get(), msg) ? S_OK : S_FALSE;
    }

private:
    // Clears the loading flag however the filling ends.
    class Loading {
    public:
        explicit Loading(bool& flag) : flag_(flag) { flag_ = true; }
        ~Loading() { flag_ = false; }
        Loading(const Loading&) = delete;
        Loading& operator=(const Loading&) = delete;

    private:
        bool& flag_;
    };

    static int ScreenDpi() {
        win::window_dc screen(nullptr);
        const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
        return dpi > 0 ? dpi : 96;
    }

    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        auto* self = reinterpret_cast<OpenSavePage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        INT_PTR result = FALSE;
        if (self) win::GuardedVoid("property page window", [&] { result = self->HandleMessage(hwnd, msg, wp, lp); });
        return result;
    }

    INT_PTR HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
            case WM_INITDIALOG:
                PlaceControls(hwnd);
                AddTooltips(hwnd);
                return FALSE;  // the frame sets the focus
            case WM_COMMAND:
                OnCommand(LOWORD(wp), HIWORD(wp));
                return TRUE;
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORSTATIC:
                return FieldColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
            case WM_DESTROY:
                SetWindowLongPtrW(hwnd, DWLP_USER, 0);
                return FALSE;
        }
        return FALSE;
    }

    // The template holds the controls; their places come from the twips of the layout.
    static void PlaceControls(HWND page) {
        const int dpi = ScreenDpi();
        for (const PageControl& c : PageControls()) {
            const std::optional<Rect> r = PlaceInPixels(c.id, dpi);
            if (r) MoveWindow(GetDlgItem(page, c.id), r->left, r->top, r->width, r->height, FALSE);
        }
    }

    // The frames' tips; a group box takes no mouse messages, so the tool is the frame's
    // rectangle on the page.
    void AddTooltips(HWND page) {
        tooltips_.reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr,
                                        ThisModule(), nullptr));
        if (!tooltips_) return;
        const struct {
            int frame;
            const wchar_t* text;
        } tips[] = {{IDC_SLIDE_GROUP, kBgsTip}, {IDC_POSITION_GROUP, kPositionTip}};
        for (const auto& tip : tips) {
            TTTOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = page;
            tool.uId = static_cast<UINT_PTR>(tip.frame);
            GetWindowRect(GetDlgItem(page, tip.frame), &tool.rect);
            MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&tool.rect), 2);
            tool.lpszText = const_cast<wchar_t*>(tip.text);
            SendMessageW(tooltips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    void OnCommand(int id, int code) {
        if (IndexOf(kEdits, id) >= 0) {
            if (code == EN_CHANGE) Changed();
        } else if (id == IDC_CANCEL_ERROR_CHECK) {
            if (code == BN_CLICKED) Changed();
        } else if (const int n = IndexOf(kBgsOptions, id); n >= 0) {
            if (code != BN_CLICKED) return;
            fields_.backGroundSlide = n;
            ApplyGreying();
            Changed();
        } else if (const int p = IndexOf(kPositionOptions, id); p >= 0) {
            if (code != BN_CLICKED) return;
            fields_.position = p;
            ApplyGreying();
            Changed();
        } else if (id == IDC_INIT_DIR_BROWSE && code == BN_CLICKED) {
            ChooseFolder(IDC_INIT_DIR_EDIT, kInitDirPrompt);
        } else if (id == IDC_SLIDE_FOLDER_BROWSE && code == BN_CLICKED) {
            ChooseFolder(IDC_SLIDE_FOLDER_EDIT, kSlideFolderPrompt);
        }
    }

    // One browse per press; a chosen folder goes into the field, whose change marks the page.
    void ChooseFolder(int field, const char16_t* prompt) {
        const std::u16string path = BrowseFolder(hwnd_.get(), prompt);
        if (!path.empty()) SetDlgItemTextW(hwnd_.get(), field, win::Wide(path));
        win::LetPendingMessagesRun();
    }

    INT_PTR FieldColour(HDC dc, HWND control) {
        wchar_t cls[16] = {};
        if (!GetClassNameW(control, cls, 16) || lstrcmpiW(cls, L"Edit") != 0) return FALSE;
        const bool locked = (GetWindowLongW(control, GWL_STYLE) & ES_READONLY) != 0;
        const COLORREF colour = locked ? GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255);
        SetBkColor(dc, colour);
        return reinterpret_cast<INT_PTR>(locked ? GetSysColorBrush(COLOR_BTNFACE)
                                                : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }

    void Changed() {
        if (loading_ || dirty_) return;
        dirty_ = true;
        if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }

    void ApplyGreying() {
        const Greying g = GreyingFor(fields_.backGroundSlide, fields_.position);
        HWND page = hwnd_.get();
        SendDlgItemMessageW(page, IDC_SLIDE_FOLDER_EDIT, EM_SETREADONLY, !g.slideFolderEditable, 0);
        EnableWindow(GetDlgItem(page, IDC_SLIDE_FOLDER_BROWSE), g.browseSlideEnabled);
        SendDlgItemMessageW(page, IDC_LEFT_EDIT, EM_SETREADONLY, !g.positionEditable, 0);
        SendDlgItemMessageW(page, IDC_TOP_EDIT, EM_SETREADONLY, !g.positionEditable, 0);
        for (int id : {IDC_SLIDE_FOLDER_EDIT, IDC_LEFT_EDIT, IDC_TOP_EDIT})
            InvalidateRect(GetDlgItem(page, id), nullptr, TRUE);
    }

    // Fills the fields from the first selected control. Setting an option raises no click, so
    // the greying is applied here too.
    void SelectionChanged() {
        if (!hwnd_ || objects_.empty()) return;
        Loading loading(loading_);
        PageFields read;
        DispatchTarget first(objects_[0].get());
        ReadFields(first, read);
        fields_ = read;
        HWND page = hwnd_.get();
        const auto set = [&](int id, const std::u16string& text) { SetDlgItemTextW(page, id, win::Wide(text)); };
        set(IDC_TOP_EDIT, read.dialogTop);
        set(IDC_LEFT_EDIT, read.dialogLeft);
        set(IDC_SLIDE_FOLDER_EDIT, read.slideFolder);
        CheckDlgButton(page, IDC_CANCEL_ERROR_CHECK, read.cancelError ? BST_CHECKED : BST_UNCHECKED);
        set(IDC_FILTER_INDEX_EDIT, read.filterIndex);
        set(IDC_DIALOG_TITLE_EDIT, read.dialogTitle);
        set(IDC_MAX_FILE_SIZE_EDIT, read.maxFileSize);
        set(IDC_INIT_DIR_EDIT, read.initDir);
        set(IDC_FILE_NAME_EDIT, read.fileName);
        set(IDC_DEFAULT_EXT_EDIT, read.defaultExt);
        set(IDC_FILTER_EDIT, read.filter);
        // A value without an option selects none.
        const std::optional<int> bgs = OptionFor(read.backGroundSlide, 3);
        for (int i = 0; i < 3; ++i)
            CheckDlgButton(page, kBgsOptions[i], bgs == i ? BST_CHECKED : BST_UNCHECKED);
        const std::optional<int> position = OptionFor(read.position, 2);
        for (int i = 0; i < 2; ++i)
            CheckDlgButton(page, kPositionOptions[i], position == i ? BST_CHECKED : BST_UNCHECKED);
        ApplyGreying();
    }

    std::u16string FieldText(int id) const {
        HWND field = GetDlgItem(hwnd_.get(), id);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
        return std::u16string(win::View(text.data(), text.size()));
    }

    HRESULT ApplyChanges() {
        fields_.dialogTop = FieldText(IDC_TOP_EDIT);
        fields_.dialogLeft = FieldText(IDC_LEFT_EDIT);
        fields_.slideFolder = FieldText(IDC_SLIDE_FOLDER_EDIT);
        fields_.cancelError = IsDlgButtonChecked(hwnd_.get(), IDC_CANCEL_ERROR_CHECK) == BST_CHECKED;
        fields_.filterIndex = FieldText(IDC_FILTER_INDEX_EDIT);
        fields_.dialogTitle = FieldText(IDC_DIALOG_TITLE_EDIT);
        fields_.maxFileSize = FieldText(IDC_MAX_FILE_SIZE_EDIT);
        fields_.initDir = FieldText(IDC_INIT_DIR_EDIT);
        fields_.fileName = FieldText(IDC_FILE_NAME_EDIT);
        fields_.defaultExt = FieldText(IDC_DEFAULT_EXT_EDIT);
        fields_.filter = FieldText(IDC_FILTER_EDIT);
        std::vector<DispatchTarget> targets;
        targets.reserve(objects_.size());
        for (const auto& o : objects_) targets.emplace_back(o.get());
        std::vector<PropertyTarget*> pointers;
        for (auto& t : targets) pointers.push_back(&t);
        const std::optional<ApplyFailure> failure = ApplyFields(fields_, pointers);
        return failure ? failure->status : S_OK;
    }

    std::atomic<ULONG> refs_{1};
    win::ModuleRef moduleRef_;
    com_ptr<IPropertyPageSite> site_;
    std::vector<com_ptr<IDispatch>> objects_;
    // The tips window, declared after the page, goes first.
    win::unique_hwnd hwnd_;
    win::unique_hwnd tooltips_;
    PageFields fields_;
    bool loading_ = false;
    bool dirty_ = false;
};

}  // namespace

HRESULT CreateOpenSavePage(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return win::Guarded("property page factory", [&] {
        com_ptr<IPropertyPage> page = com_ptr<IPropertyPage>::attach(new OpenSavePage());
        return page->QueryInterface(riid, ppv);
    });
}

}  // namespace qcd::designtime
