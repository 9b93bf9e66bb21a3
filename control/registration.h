// What registering the control writes; used by the entry points and the tests.
#pragma once

#include <windows.h>

#include <ole2.h>

namespace qcd {

// Run-time invisible, in-place active while visible, site set before loading.
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME;

enum class RegistrationScope { Machine, User };

HRESULT RegisterServer(RegistrationScope scope);
HRESULT UnregisterServer(RegistrationScope scope);

}  // namespace qcd
