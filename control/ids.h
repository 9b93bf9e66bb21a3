// Identifiers of the control library: GUIDs, dispatch ids and the dual interface's vtable.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <olectl.h>

namespace qcd {

inline constexpr GUID LIBID_QuorCommonDialogControl = {
    0x386E3D79, 0xC8AB, 0x439A, {0xB8, 0x98, 0x49, 0xD8, 0x71, 0xD3, 0x25, 0x11}};
inline constexpr GUID IID__QuorComDlg = {
    0xA08700ED, 0x817C, 0x462A, {0x86, 0xAC, 0x90, 0xE5, 0x9F, 0x39, 0xE6, 0x12}};
inline constexpr GUID DIID___QuorComDlg = {
    0x101CD0F1, 0x0328, 0x4CC4, {0x8F, 0xAC, 0x67, 0xD9, 0x5F, 0xFC, 0xAB, 0xCA}};
inline constexpr GUID CLSID_QuorComDlg = {
    0x880854AE, 0x9432, 0x40C2, {0xA1, 0x7E, 0xDB, 0xD9, 0x02, 0x7A, 0xAD, 0x7F}};
inline constexpr GUID CLSID_OpenSavePage = {
    0xE3C9EFB4, 0xA81C, 0x4B5E, {0x83, 0x8A, 0x80, 0xD8, 0xEA, 0xDF, 0x09, 0x5D}};

inline constexpr WORD kLibMajor = 1;
inline constexpr WORD kLibMinor = 0;
inline constexpr wchar_t kProgId[] = L"QuorCommonDialogControl.QuorComDlg";
inline constexpr wchar_t kProgIdVersioned[] = L"QuorCommonDialogControl.QuorComDlg.1";

// Dispatch ids, one per property (getter and setter share it).
enum Dispid : DISPID {
    DISPID_Show_AboutBox = DISPID_ABOUTBOX,  // -552: hosts offer it as the About command
    DISPID_DefaultExt = 1,
    DISPID_FileName,
    DISPID_InitDir,
    DISPID_MaxFileSize,
    DISPID_DialogTitle,
    DISPID_FilterIndex,
    DISPID_Filter,
    DISPID_ShowOpen,
    DISPID_ShowSave,
    DISPID_CancelError,
    DISPID_SlideFolder,
    DISPID_FileTitle,
    DISPID_DialogLeft,
    DISPID_DialogTop,
    DISPID_Position,
    DISPID_BackGroundSlide,
};

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
