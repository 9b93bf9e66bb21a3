// A property bag kept in a UTF-16 text file of "Name=Type:Value" lines, the way a form
// file keeps its controls' properties between sessions.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <atomic>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace demo {

// One typed value: the bag keeps the type the control wrote, so a 16-bit MaxFileSize comes
// back as VT_I2 and a boolean as VT_BOOL.
using BagValue = std::variant<bool, int16_t, int32_t, std::wstring>;

struct BagEntry {
    std::wstring name;
    BagValue value;
};

// "Filter=Str:a|*.a", "MaxFileSize=I2:100", "CancelError=Bool:True"; string values escape
// backslash, CR, LF and NUL so every entry stays on one line.
std::wstring FormatBagLine(const BagEntry& entry);
// Empty for a comment, a blank or a malformed line.
std::optional<BagEntry> ParseBagLine(const std::wstring& line);

class TextPropertyBag final : public IPropertyBag {
public:
    static TextPropertyBag* Create() { return new TextPropertyBag(); }

    // Entries in the order they were first written.
    const std::vector<BagEntry>& Entries() const { return entries_; }

    // Whole-file operations; a missing file is ERROR_FILE_NOT_FOUND. `badLine` receives the
    // first line that could not be read (1-based), 0 when all were read.
    HRESULT LoadFile(const std::wstring& path, int* badLine = nullptr);
    HRESULT SaveFile(const std::wstring& path) const;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;

    // IPropertyBag
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

private:
    TextPropertyBag() = default;
    BagEntry* Find(const wchar_t* name);

    std::atomic<ULONG> refs_{1};
    std::vector<BagEntry> entries_;
};

}  // namespace demo
