// The in-process server: module handle, class factory and unload test.
#include <windows.h>

#include <vector>

#include "control/QuorComDlg.h"
#include "control/class_table.h"
#include "control/registration.h"

namespace qcd {

namespace {

// One factory object per class for the process; they live in static storage, so
// AddRef/Release only count server references.
class ClassFactory final : public IClassFactory {
public:
    using Create = HRESULT (*)(IUnknown*, REFIID, void**);
    explicit ClassFactory(Create create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++win::ModuleRefs()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--win::ModuleRefs()); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        return create_(outer, riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++win::ModuleRefs() : --win::ModuleRefs();
        return S_OK;
    }

private:
    Create create_;
};

// The factory of a row of the class table, made once.
ClassFactory& FactoryOf(const ClassRow& row) {
    static std::vector<ClassFactory> factories = [] {
        std::vector<ClassFactory> made;
        for (const ClassRow& r : ClassTable()) made.emplace_back(r.create);
        return made;
    }();
    return factories.at(static_cast<size_t>(&row - ClassTable().data()));
}

}  // namespace

}  // namespace qcd

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        qcd::SetThisModule(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // FreeLibrary, not process exit: the process goes on and may load us again.
        qcd::UnregisterControlWindowClass();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const qcd::ClassRow* row = qcd::FindClass(clsid);
    if (!row) return CLASS_E_CLASSNOTAVAILABLE;
    return qcd::FactoryOf(*row).QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return qcd::win::ModuleRefs() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return qcd::win::Guarded("DllRegisterServer", [] { return qcd::RegisterServer(qcd::RegistrationScope::Machine); });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return qcd::win::Guarded("DllUnregisterServer", [] { return qcd::UnregisterServer(qcd::RegistrationScope::Machine); });
}

// regsvr32 /n /i:user registers for the current user only; an empty or "machine" command
// line means the whole machine.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR cmdLine) {
    return qcd::win::Guarded("DllInstall", [&] {
        qcd::RegistrationScope scope = qcd::RegistrationScope::Machine;
        if (cmdLine && *cmdLine) {
            if (_wcsicmp(cmdLine, L"user") == 0)
                scope = qcd::RegistrationScope::User;
            else if (_wcsicmp(cmdLine, L"machine") != 0)
                return E_INVALIDARG;
        }
        return install ? qcd::RegisterServer(scope) : qcd::UnregisterServer(scope);
    });
}
