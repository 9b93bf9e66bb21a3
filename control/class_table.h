// The COM classes of the library: what the class factory makes and what registration writes,
// one row per class.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <span>

namespace qcd {

struct ClassRow {
    const CLSID& clsid;
    HRESULT (*create)(IUnknown* outer, REFIID riid, void** ppv);
    const wchar_t* userTypeName;
    // Version-independent and versioned ProgIDs; none for a class that hosts never create
    // by name.
    const wchar_t* progId;
    const wchar_t* versionedProgId;
    // A control: the Control key, MiscStatus, the toolbox picture, the type library, the
    // version and the "Controls" category are registered too.
    bool control;
};

std::span<const ClassRow> ClassTable();
const ClassRow* FindClass(REFCLSID clsid);

}  // namespace qcd
