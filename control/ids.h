// The control library's identifiers in the platform's types, from the automation table, and the
// dual interface's vtable.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <olectl.h>

#include "base/automation.h"

namespace qcd {

constexpr GUID ToGuid(const automation::Guid& g) {
    return {g.data1, g.data2, g.data3,
            {g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
             g.data4[7]}};
}

inline constexpr GUID LIBID_QuorCommonDialogControl = ToGuid(automation::kLibraryId);
inline constexpr GUID IID__QuorComDlg = ToGuid(automation::kInterfaceId);
inline constexpr GUID DIID___QuorComDlg = ToGuid(automation::kEventsId);
inline constexpr GUID CLSID_QuorComDlg = ToGuid(automation::kControlClassId);
inline constexpr GUID CLSID_OpenSavePage = ToGuid(automation::kPropertyPageClassId);

inline constexpr WORD kLibMajor = automation::kLibraryMajor;
inline constexpr WORD kLibMinor = automation::kLibraryMinor;
inline constexpr wchar_t kProgId[] = L"QuorCommonDialogControl.QuorComDlg";
inline constexpr wchar_t kProgIdVersioned[] = L"QuorCommonDialogControl.QuorComDlg.1";
static_assert(automation::SameText(kProgId, automation::kProgId) &&
              automation::SameText(kProgIdVersioned, automation::kProgIdVersioned));

// Dispatch ids, one per property (getter and setter share it).
enum Dispid : DISPID {
    DISPID_Show_AboutBox = automation::kAboutBoxId,
    DISPID_DefaultExt = automation::DispidOf(u"DefaultExt"),
    DISPID_FileName = automation::DispidOf(u"FileName"),
    DISPID_InitDir = automation::DispidOf(u"InitDir"),
    DISPID_MaxFileSize = automation::DispidOf(u"MaxFileSize"),
    DISPID_DialogTitle = automation::DispidOf(u"DialogTitle"),
    DISPID_FilterIndex = automation::DispidOf(u"FilterIndex"),
    DISPID_Filter = automation::DispidOf(u"Filter"),
    DISPID_ShowOpen = automation::DispidOf(u"ShowOpen"),
    DISPID_ShowSave = automation::DispidOf(u"ShowSave"),
    DISPID_CancelError = automation::DispidOf(u"CancelError"),
    DISPID_SlideFolder = automation::DispidOf(u"SlideFolder"),
    DISPID_FileTitle = automation::DispidOf(u"FileTitle"),
    DISPID_DialogLeft = automation::DispidOf(u"DialogLeft"),
    DISPID_DialogTop = automation::DispidOf(u"DialogTop"),
    DISPID_Position = automation::DispidOf(u"Position"),
    DISPID_BackGroundSlide = automation::DispidOf(u"BackGroundSlide"),
};
static_assert(DISPID_Show_AboutBox == DISPID_ABOUTBOX);

}  // namespace qcd

// The dual interface in type-library order; the vtable must match the library's layout.
struct _QuorComDlg : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Show_AboutBox() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DefaultExt(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DefaultExt(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FileName(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_InitDir(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_InitDir(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MaxFileSize(short* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MaxFileSize(short value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DialogTitle(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DialogTitle(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FilterIndex(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FilterIndex(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Filter(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Filter(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ShowOpen() = 0;
    virtual HRESULT STDMETHODCALLTYPE ShowSave() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CancelError(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CancelError(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SlideFolder(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SlideFolder(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FileTitle(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FileTitle(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DialogLeft(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DialogLeft(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DialogTop(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DialogTop(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Position(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Position(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BackGroundSlide(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BackGroundSlide(LONG value) = 0;
};
