// A connection point holding advised sinks of one outgoing interface, and the
// enumerators a container uses to find them.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "platform/com_ptr.h"
#include "platform/com_object.h"

namespace qcd::win {

class ConnectionPoint final : public IConnectionPoint {
public:
    // `container` is not owned: it owns this point and outlives it (AddRef is forwarded).
    ConnectionPoint(IConnectionPointContainer* container, const IID& iid)
        : container_(container), iid_(iid) {}

    // The advised sinks, queried for the outgoing interface when they were advised.
    const std::vector<CONNECTDATA>& Sinks() const { return sinks_; }
    const IID& Iid() const { return iid_; }
    void UnadviseAll();

    // IUnknown: the point lives inside the container and shares its lifetime.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return container_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return container_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** cpc) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override;

private:
    IConnectionPointContainer* container_;
    IID iid_;
    std::vector<CONNECTDATA> sinks_;
    DWORD nextCookie_ = 1;
};

HRESULT CreateConnectionPointEnum(IUnknown* owner, std::vector<IConnectionPoint*> points,
                                  IEnumConnectionPoints** out);

}  // namespace qcd::win
