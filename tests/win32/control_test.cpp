// The control as containers use it: ambient mode, change notifications, persistence,
// in-place size and the timers, driven through its COM interfaces.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/QuorComDlg.h"
#include "fake_host.h"
#include "platform/com_ptr.h"

namespace qcd::test {
namespace {

using win::com_ptr;

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
        parent_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        site_ = std::make_unique<FakeSite>(parent_);
        control_ = Create();
    }
    void TearDown() override {
        if (control_) control_.query<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
        control_.reset();
        DestroyWindow(parent_);
        CoUninitialize();
    }

    static com_ptr<_QuorComDlg> Create() {
        com_ptr<_QuorComDlg> c;
        EXPECT_HRESULT_SUCCEEDED(CreateQuorComDlg(nullptr, IID__QuorComDlg, c.put_void()));
        return c;
    }
    QuorComDlg& Object() { return *static_cast<QuorComDlg*>(control_.get()); }
    void Site() { ASSERT_HRESULT_SUCCEEDED(control_.query<IOleObject>(IID_IOleObject)->SetClientSite(site_.get())); }
    DWORD AdviseNotify() {
        auto cpc = control_.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
        com_ptr<IConnectionPoint> cp;
        EXPECT_HRESULT_SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, cp.put()));
        DWORD cookie = 0;
        EXPECT_HRESULT_SUCCEEDED(cp->Advise(static_cast<IPropertyNotifySink*>(site_.get()), &cookie));
        return cookie;
    }
    DISPID IdOf(const wchar_t* name) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_HRESULT_SUCCEEDED(control_->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) << name;
        return id;
    }
    HRESULT PutByName(const wchar_t* name, VARIANT value, EXCEPINFO* excep = nullptr) {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &put, 1, 1};
        EXCEPINFO local{};
        UINT argErr = 0;
        HRESULT hr = control_->Invoke(IdOf(name), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                                      excep ? excep : &local, &argErr);
        if (!excep) {
            SysFreeString(local.bstrSource);
            SysFreeString(local.bstrDescription);
            SysFreeString(local.bstrHelpFile);
        }
        return hr;
    }

    HWND parent_ = nullptr;
    std::unique_ptr<FakeSite> site_;
    com_ptr<_QuorComDlg> control_;
};

VARIANT Bstr(const wchar_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}
VARIANT I4(LONG n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

std::wstring Get(BSTR b) {
    std::wstring s(b ? b : L"");
    SysFreeString(b);
    return s;
}

TEST_F(ControlTest, FileTitleRaises387AtDesignTimeAnd382AtRunTimeAndStaysUnchanged) {
    BSTR title = SysAllocString(L"x.txt");
    // No container: run mode.
    EXPECT_EQ(static_cast<uint32_t>(control_->put_FileTitle(title)), 0x800A017Eu);

    Site();
    site_->userMode = false;
    EXPECT_EQ(static_cast<uint32_t>(control_->put_FileTitle(title)), 0x800A0183u);
    com_ptr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    BSTR description = nullptr;
    info->GetDescription(&description);
    EXPECT_EQ(Get(description), L"Set not permitted");

    site_->userMode = true;
    EXPECT_EQ(static_cast<uint32_t>(control_->put_FileTitle(title)), 0x800A017Eu);
    // A container that cannot answer counts as run mode.
    site_->answersAmbient = false;
    EXPECT_EQ(static_cast<uint32_t>(control_->put_FileTitle(title)), 0x800A017Eu);
    SysFreeString(title);

    BSTR value = nullptr;
    ASSERT_HRESULT_SUCCEEDED(control_->get_FileTitle(&value));
    EXPECT_EQ(Get(value), L"");
    EXPECT_TRUE(site_->changed.empty());

    // Through IDispatch the caller gets the error number in the exception.
    EXCEPINFO excep{};
    site_->answersAmbient = true;
    site_->userMode = false;
    VARIANT v = Bstr(L"y");
    EXPECT_EQ(PutByName(L"FileTitle", v, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<uint32_t>(excep.scode), 0x800A0183u);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    VariantClear(&v);
}

TEST_F(ControlTest, EverySetterNotifiesOnceWithItsOwnDispid) {
    AdviseNotify();
    const struct {
        const wchar_t* name;
        VARIANT value;
    } puts[] = {
        {L"DefaultExt", Bstr(L"txt")},  {L"FileName", Bstr(L"C:\\a.txt")}, {L"InitDir", Bstr(L"C:\\")},
        {L"MaxFileSize", I4(-1)},       {L"DialogTitle", Bstr(L"開く")},   {L"FilterIndex", I4(2)},
        {L"Filter", Bstr(L"A|*.a")},    {L"CancelError", I4(-1)},          {L"SlideFolder", Bstr(L"D:\\")},
        {L"DialogLeft", I4(-5)},        {L"DialogTop", I4(7)},             {L"Position", I4(5)},
        {L"BackGroundSlide", I4(2)},
    };
    for (auto p : puts) {
        site_->changed.clear();
        EXPECT_HRESULT_SUCCEEDED(PutByName(p.name, p.value)) << p.name;
        EXPECT_EQ(site_->changed, std::vector<DISPID>{IdOf(p.name)}) << p.name;
        VariantClear(&p.value);
    }
    const Properties& props = Object().Props();
    EXPECT_EQ(props.MaxFileSize, -1);
    EXPECT_EQ(props.Position, 5);
    EXPECT_EQ(props.CancelError, -1);
    EXPECT_EQ(props.DialogTitle, u"開く");
    EXPECT_EQ(props.DialogLeft, -5);
}

TEST_F(ControlTest, ANotificationFailureIsReturnedAfterTheValueIsStored) {
    AdviseNotify();
    site_->onChangedResult = E_ACCESSDENIED;
    EXPECT_EQ(control_->put_DialogLeft(42), E_ACCESSDENIED);
    EXPECT_EQ(Object().Props().DialogLeft, 42);
}

TEST_F(ControlTest, TypeLibraryConversionsGiveTypeMismatchAndOverflow) {
    VARIANT abc = Bstr(L"abc");
    EXPECT_EQ(PutByName(L"FilterIndex", abc), DISP_E_TYPEMISMATCH);
    VariantClear(&abc);
    EXPECT_EQ(PutByName(L"MaxFileSize", I4(70000)), DISP_E_OVERFLOW);
    EXPECT_EQ(Object().Props().MaxFileSize, 260);
    EXPECT_EQ(Object().Props().FilterIndex, 0);
}

TEST_F(ControlTest, InitNewRestoresDefaultsWithoutNotifications) {
    AdviseNotify();
    control_->put_MaxFileSize(5);
    site_->changed.clear();
    auto persist = control_.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
    EXPECT_TRUE(site_->changed.empty());
    EXPECT_EQ(Object().Props(), Properties{});
}

TEST_F(ControlTest, PropertyBagSkipsDefaultsAndKeepsTheKeyOrder) {
    auto persist = control_.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    FakeBag empty;
    ASSERT_HRESULT_SUCCEEDED(persist->Save(&empty, TRUE, FALSE));
    EXPECT_TRUE(empty.writes.empty());

    control_->put_BackGroundSlide(0);
    control_->put_CancelError(VARIANT_TRUE);
    BSTR dir = SysAllocString(L"C:\\写真");
    control_->put_InitDir(dir);
    SysFreeString(dir);
    control_->put_MaxFileSize(0);
    FakeBag bag;
    ASSERT_HRESULT_SUCCEEDED(persist->Save(&bag, TRUE, FALSE));
    EXPECT_EQ(bag.writes, (std::vector<std::wstring>{L"CancelError", L"InitDir", L"MaxFileSize", L"BackGroundSlide"}));
    EXPECT_EQ(V_VT(bag.Find(L"CancelError")), VT_BOOL);
    EXPECT_EQ(V_VT(bag.Find(L"MaxFileSize")), VT_I2);

    auto fresh = Create();
    auto freshPersist = fresh.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_HRESULT_SUCCEEDED(freshPersist->Load(&bag, nullptr));
    EXPECT_EQ(static_cast<QuorComDlg*>(fresh.get())->Props(), Object().Props());
    ASSERT_EQ(bag.reads.size(), kPropertyCount);
    for (size_t i = 0; i < kPropertyCount; ++i)
        EXPECT_EQ(bag.reads[i], std::wstring(kPropertyTable[i].name.begin(), kPropertyTable[i].name.end()));

    FakeBag none;
    ASSERT_HRESULT_SUCCEEDED(freshPersist->Load(&none, nullptr));
    EXPECT_EQ(static_cast<QuorComDlg*>(fresh.get())->Props().MaxFileSize, 260);
    EXPECT_EQ(static_cast<QuorComDlg*>(fresh.get())->Props().BackGroundSlide, 1);
}

TEST_F(ControlTest, ABagValueThatCannotBeConvertedFailsTheLoad) {
    FakeBag bag;
    VARIANT v = Bstr(L"abc");
    bag.Write(L"FilterIndex", &v);
    VariantClear(&v);
    auto persist = control_.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    EXPECT_EQ(persist->Load(&bag, nullptr), DISP_E_TYPEMISMATCH);
}

TEST_F(ControlTest, StreamAndStorageRoundTrips) {
    BSTR filter = SysAllocString(L"画像|*.jpg|すべて|*.*");
    control_->put_Filter(filter);
    SysFreeString(filter);
    control_->put_DialogTop(-300);
    control_->put_Position(1);

    auto stream = control_.query<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(stream->IsDirty(), S_OK);
    com_ptr<IStream> mem;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, mem.put()));
    ULARGE_INTEGER sizeMax{};
    ASSERT_HRESULT_SUCCEEDED(stream->GetSizeMax(&sizeMax));
    ASSERT_HRESULT_SUCCEEDED(stream->Save(mem.get(), TRUE));
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    // Something after our data must stay unread.
    const DWORD trailer = 0xABCD1234;
    mem->Write(&trailer, sizeof trailer, nullptr);
    STATSTG stat{};
    mem->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, sizeMax.QuadPart + sizeof trailer);

    auto fresh = Create();
    LARGE_INTEGER zero{};
    mem->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_HRESULT_SUCCEEDED(fresh.query<IPersistStreamInit>(IID_IPersistStreamInit)->Load(mem.get()));
    EXPECT_EQ(static_cast<QuorComDlg*>(fresh.get())->Props(), Object().Props());
    DWORD after = 0;
    mem->Read(&after, sizeof after, nullptr);
    EXPECT_EQ(after, trailer);

    com_ptr<ILockBytes> bytes;
    ASSERT_HRESULT_SUCCEEDED(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()));
    com_ptr<IStorage> storage;
    ASSERT_HRESULT_SUCCEEDED(StgCreateDocfileOnILockBytes(
        bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.put()));
    ASSERT_HRESULT_SUCCEEDED(control_.query<IPersistStorage>(IID_IPersistStorage)->Save(storage.get(), TRUE));
    auto third = Create();
    ASSERT_HRESULT_SUCCEEDED(third.query<IPersistStorage>(IID_IPersistStorage)->Load(storage.get()));
    EXPECT_EQ(static_cast<QuorComDlg*>(third.get())->Props(), Object().Props());
}

TEST_F(ControlTest, AForeignStreamIsRefused) {
    com_ptr<IStream> mem;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, mem.put()));
    const char junk[] = "not a property set at all";
    mem->Write(junk, sizeof junk, nullptr);
    LARGE_INTEGER zero{};
    mem->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_HRESULT_FAILED(control_.query<IPersistStreamInit>(IID_IPersistStreamInit)->Load(mem.get()));
    EXPECT_EQ(Object().Props(), Properties{});
}

TEST_F(ControlTest, InPlaceTheControlSnapsTo32By32Pixels) {
    Site();
    auto ole = control_.query<IOleObject>(IID_IOleObject);
    ASSERT_HRESULT_SUCCEEDED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, parent_, &site_->position));
    auto inplace = control_.query<IOleInPlaceObject>(IID_IOleInPlaceObject);
    HWND hwnd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(inplace->GetWindow(&hwnd));
    EXPECT_EQ(GetParent(hwnd), parent_);
    RECT rc;
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 32);
    EXPECT_EQ(rc.bottom - rc.top, 32);
    ASSERT_EQ(site_->posRectChanges.size(), 1u);
    EXPECT_EQ(site_->posRectChanges[0].right - site_->posRectChanges[0].left, 32);

    RECT big{5, 6, 305, 206};
    ASSERT_HRESULT_SUCCEEDED(inplace->SetObjectRects(&big, &big));
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.top, 6);
    EXPECT_EQ(rc.right - rc.left, 32);
    EXPECT_EQ(rc.bottom - rc.top, 32);
    EXPECT_EQ(site_->posRectChanges.size(), 2u);

    SIZEL himetric{5000, 5000};
    ole->SetExtent(DVASPECT_CONTENT, &himetric);
    ASSERT_HRESULT_SUCCEEDED(ole->GetExtent(DVASPECT_CONTENT, &himetric));
    win::window_dc screen(nullptr);
    EXPECT_EQ(himetric.cx, MulDiv(32, 2540, GetDeviceCaps(screen.get(), LOGPIXELSX)));
    EXPECT_EQ(himetric.cy, himetric.cx);

    ASSERT_HRESULT_SUCCEEDED(inplace->InPlaceDeactivate());
    EXPECT_EQ(site_->calls.back(), "OnInPlaceDeactivate");
    EXPECT_EQ(GetParent(hwnd), nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(ControlTest, TimersAreRealWindowTimersDisabledOnCreateAndHide) {
    TimerOwner& timers = Object().Timers();
    const auto timer = [](int n) { return static_cast<TimerId>(n); };
    for (int n = 1; n <= 8; ++n) {
        EXPECT_FALSE(timers.Enabled(timer(n))) << n;
        EXPECT_EQ(timers.Interval(timer(n)), TimerOwner::kIntervals[n - 1]);
    }
    EXPECT_TRUE(Object().AbortEffects());

    // An enabled timer really ticks on the control's window.
    timers.SetInterval(TimerId::VideoPosition, 10);
    timers.SetEnabled(TimerId::VideoPosition, true);
    MSG msg;
    bool ticked = false;
    const DWORD start = GetTickCount();
    while (!ticked && GetTickCount() - start < 2000) {
        if (PeekMessageW(&msg, Object().Window(), WM_TIMER, WM_TIMER, PM_REMOVE)) ticked = msg.wParam == 2;
        else Sleep(1);
    }
    EXPECT_TRUE(ticked);

    Site();
    for (int n = 1; n <= 8; ++n) timers.SetEnabled(timer(n), true);
    ASSERT_HRESULT_SUCCEEDED(control_.query<IOleObject>(IID_IOleObject)->DoVerb(OLEIVERB_HIDE, nullptr, site_.get(), 0, parent_, nullptr));
    for (int n = 1; n <= 8; ++n) EXPECT_FALSE(timers.Enabled(timer(n))) << n;
    // Killed for real: no tick arrives any more.
    while (PeekMessageW(&msg, Object().Window(), WM_TIMER, WM_TIMER, PM_REMOVE)) {}
    Sleep(50);
    EXPECT_FALSE(PeekMessageW(&msg, Object().Window(), WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(ControlTest, ContainerPlumbing) {
    auto cpc = control_.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    com_ptr<IEnumConnectionPoints> points;
    ASSERT_HRESULT_SUCCEEDED(cpc->EnumConnectionPoints(points.put()));
    std::vector<IID> iids;
    IConnectionPoint* cp = nullptr;
    while (points->Next(1, &cp, nullptr) == S_OK) {
        IID iid;
        cp->GetConnectionInterface(&iid);
        iids.push_back(iid);
        cp->Release();
    }
    ASSERT_EQ(iids.size(), 2u);
    EXPECT_EQ(iids[0], IID_IPropertyNotifySink);
    EXPECT_EQ(iids[1], DIID___QuorComDlg);

    // Advise and unadvise balance, and a stale cookie is refused.
    DWORD cookie = AdviseNotify();
    com_ptr<IConnectionPoint> notify;
    cpc->FindConnectionPoint(IID_IPropertyNotifySink, notify.put());
    EXPECT_HRESULT_SUCCEEDED(notify->Unadvise(cookie));
    EXPECT_EQ(notify->Unadvise(cookie), CONNECT_E_NOCONNECTION);

    auto info = control_.query<IProvideClassInfo2>(IID_IProvideClassInfo2);
    GUID source{};
    ASSERT_HRESULT_SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
    EXPECT_EQ(source, DIID___QuorComDlg);
    EXPECT_EQ(control_.query<ISupportErrorInfo>(IID_ISupportErrorInfo)->InterfaceSupportsErrorInfo(IID__QuorComDlg), S_OK);

    DWORD misc = 0;
    control_.query<IOleObject>(IID_IOleObject)->GetMiscStatus(DVASPECT_CONTENT, &misc);
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    EXPECT_TRUE(misc & OLEMISC_ACTIVATEWHENVISIBLE);
}

TEST_F(ControlTest, TheViewDrawsTheFace) {
    win::window_dc screen(nullptr);
    win::unique_mem_dc dc(CreateCompatibleDC(screen.get()));
    win::unique_hbitmap bmp(CreateCompatibleBitmap(screen.get(), 64, 64));
    win::select_object select(dc.get(), bmp.get());
    RECT all{0, 0, 64, 64};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECTL bounds{0, 0, 32, 32};
    auto view = control_.query<IViewObject2>(IID_IViewObject2);
    ASSERT_HRESULT_SUCCEEDED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, nullptr, nullptr, 0));
    // The face has a black frame and a navy title bar; outside the bounds stays white.
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc.get(), 10, 1), RGB(0, 0, 128));
    EXPECT_EQ(GetPixel(dc.get(), 40, 40), RGB(255, 255, 255));
}

}  // namespace
}  // namespace qcd::test
