// OpenSavePage, the control's property page "開く/保存": thirteen properties of every
// selected control, edited at once and written on Apply through automation.
#pragma once

#include <windows.h>

#include <ocidl.h>

namespace qcd::designtime {

// The class factory's creation function; the caller receives the object's first reference.
HRESULT CreateOpenSavePage(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace qcd::designtime
