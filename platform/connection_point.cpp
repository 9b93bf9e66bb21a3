#include "platform/connection_point.h"

#include <algorithm>

namespace qcd::win {

namespace {

// Enumerator over a snapshot of items that are AddRef'ed while held.
template <typename Enum, typename Item, const IID& EnumIid>
class SnapshotEnum final : public Enum {
public:
    SnapshotEnum(IUnknown* owner, std::vector<Item> items, size_t pos = 0)
        : owner_(owner), items_(std::move(items)), pos_(pos) {
        for (Item& i : items_) AddRefItem(i);
    }
    ~SnapshotEnum() {
        for (Item& i : items_) ReleaseItem(i);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == EnumIid) {
            *ppv = static_cast<Enum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && pos_ < items_.size()) {
            out[n] = items_[pos_++];
            AddRefItem(out[n]);
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Enum** out) override {
        if (!out) return E_POINTER;
        return Guarded("connection enumerator clone", [&] {
            *out = new SnapshotEnum(owner_.get(), items_, pos_);
            return S_OK;
        });
    }

private:
    static void AddRefItem(IConnectionPoint* p) { p->AddRef(); }
    static void ReleaseItem(IConnectionPoint* p) { p->Release(); }
    static void AddRefItem(CONNECTDATA& c) { c.pUnk->AddRef(); }
    static void ReleaseItem(CONNECTDATA& c) { c.pUnk->Release(); }

    com_ptr<IUnknown> owner_;
    std::vector<Item> items_;
    size_t pos_;
    std::atomic<ULONG> refs_{1};
    ModuleRef moduleRef_;
};

using ConnectionsEnum = SnapshotEnum<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;
using PointsEnum = SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;

}  // namespace

void ConnectionPoint::UnadviseAll() {
    auto sinks = std::move(sinks_);
    sinks_.clear();
    for (CONNECTDATA& c : sinks) c.pUnk->Release();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** cpc) {
    if (!cpc) return E_POINTER;
    *cpc = container_;
    container_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    return Guarded("Advise", [&] {
        IUnknown* typed = nullptr;
        if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed))))
            return CONNECT_E_CANNOTCONNECT;
        sinks_.reserve(sinks_.size() + 1);
        sinks_.push_back({typed, nextCookie_});
        *cookie = nextCookie_++;
        return S_OK;
    });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const CONNECTDATA& c) { return c.dwCookie == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    IUnknown* sink = it->pUnk;
    sinks_.erase(it);
    sink->Release();
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** e) {
    if (!e) return E_POINTER;
    return Guarded("EnumConnections", [&] {
        *e = new ConnectionsEnum(this, sinks_);
        return S_OK;
    });
}

HRESULT CreateConnectionPointEnum(IUnknown* owner, std::vector<IConnectionPoint*> points,
                                  IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    return Guarded("connection enumerator", [&] {
        *out = new PointsEnum(owner, std::move(points));
        return S_OK;
    });
}

}  // namespace qcd::win
