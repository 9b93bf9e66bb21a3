#include "demo/text_bag.h"

#include <cwchar>

#include "platform/handles.h"

namespace demo {

namespace {

constexpr wchar_t kBom = 0xFEFF;
constexpr wchar_t kHeader[] = L"; QuorDemo property bag: Name=Type:Value, one a line";

std::wstring Escape(const std::wstring& s) {
    std::wstring out;
    out.reserve(s.size());
    for (wchar_t c : s) {
        switch (c) {
            case L'\\': out += L"\\\\"; break;
            case L'\r': out += L"\\r"; break;
            case L'\n': out += L"\\n"; break;
            case L'\0': out += L"\\0"; break;
            default: out += c;
        }
    }
    return out;
}

std::optional<std::wstring> Unescape(const std::wstring& s) {
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != L'\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return std::nullopt;
        switch (s[i]) {
            case L'\\': out += L'\\'; break;
            case L'r': out += L'\r'; break;
            case L'n': out += L'\n'; break;
            case L'0': out += L'\0'; break;
            default: return std::nullopt;
        }
    }
    return out;
}

// Whole decimal numbers in [lo, hi]; nothing else, not even surrounding blanks.
std::optional<long long> ParseInteger(const std::wstring& s, long long lo, long long hi) {
    if (s.empty() || s.size() > 12) return std::nullopt;
    size_t i = s[0] == L'-' ? 1 : 0;
    if (i == s.size()) return std::nullopt;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < L'0' || s[i] > L'9') return std::nullopt;
        v = v * 10 + (s[i] - L'0');
    }
    if (s[0] == L'-') v = -v;
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

// The variant a control reads back, in the type it wrote.
HRESULT ToVariant(const BagValue& value, VARIANT* out) {
    VariantInit(out);
    if (auto b = std::get_if<bool>(&value)) {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = *b ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (auto i2 = std::get_if<int16_t>(&value)) {
        V_VT(out) = VT_I2;
        V_I2(out) = *i2;
    } else if (auto i4 = std::get_if<int32_t>(&value)) {
        V_VT(out) = VT_I4;
        V_I4(out) = *i4;
    } else {
        const auto& s = std::get<std::wstring>(value);
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        if (!V_BSTR(out)) return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Booleans and the two integer widths keep their type; anything else is kept as text.
HRESULT FromVariant(const VARIANT* in, BagValue& out) {
    switch (V_VT(in)) {
        case VT_BOOL: out = V_BOOL(in) != VARIANT_FALSE; return S_OK;
        case VT_I2: out = static_cast<int16_t>(V_I2(in)); return S_OK;
        case VT_I4: out = static_cast<int32_t>(V_I4(in)); return S_OK;
        case VT_BSTR: out = std::wstring(V_BSTR(in) ? V_BSTR(in) : L"", SysStringLen(V_BSTR(in))); return S_OK;
        default: break;
    }
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(in), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    out = std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    VariantClear(&text);
    return S_OK;
}

}  // namespace

std::wstring FormatBagLine(const BagEntry& entry) {
    std::wstring line = entry.name + L'=';
    if (auto b = std::get_if<bool>(&entry.value))
        line += *b ? L"Bool:True" : L"Bool:False";
    else if (auto i2 = std::get_if<int16_t>(&entry.value))
        line += L"I2:" + std::to_wstring(*i2);
    else if (auto i4 = std::get_if<int32_t>(&entry.value))
        line += L"I4:" + std::to_wstring(*i4);
    else
        line += L"Str:" + Escape(std::get<std::wstring>(entry.value));
    return line;
}

std::optional<BagEntry> ParseBagLine(const std::wstring& line) {
    if (line.empty() || line[0] == L';') return std::nullopt;
    const size_t eq = line.find(L'=');
    if (eq == 0 || eq == std::wstring::npos) return std::nullopt;
    const size_t colon = line.find(L':', eq + 1);
    if (colon == std::wstring::npos) return std::nullopt;
    const std::wstring type = line.substr(eq + 1, colon - eq - 1);
    const std::wstring text = line.substr(colon + 1);
    BagEntry entry{line.substr(0, eq), {}};
    if (type == L"Bool") {
        if (text != L"True" && text != L"False") return std::nullopt;
        entry.value = text == L"True";
    } else if (type == L"I2") {
        auto v = ParseInteger(text, INT16_MIN, INT16_MAX);
        if (!v) return std::nullopt;
        entry.value = static_cast<int16_t>(*v);
    } else if (type == L"I4") {
        auto v = ParseInteger(text, INT32_MIN, INT32_MAX);
        if (!v) return std::nullopt;
        entry.value = static_cast<int32_t>(*v);
    } else if (type == L"Str") {
        auto s = Unescape(text);
        if (!s) return std::nullopt;
        entry.value = std::move(*s);
    } else {
        return std::nullopt;
    }
    return entry;
}

HRESULT TextPropertyBag::LoadFile(const std::wstring& path, int* badLine) {
    if (badLine) *badLine = 0;
    qcd::win::unique_file file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return HRESULT_FROM_WIN32(GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return HRESULT_FROM_WIN32(GetLastError());
    if (size.QuadPart > 1 << 20 || size.QuadPart % 2 != 0) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    std::wstring text(static_cast<size_t>(size.QuadPart / 2), L'\0');
    DWORD read = 0;
    if (size.QuadPart > 0 &&
        !ReadFile(file.get(), text.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr))
        return HRESULT_FROM_WIN32(GetLastError());
    if (read != size.QuadPart) return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    if (!text.empty() && text[0] == kBom) text.erase(0, 1);

    std::vector<BagEntry> entries;
    int lineNo = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty() || line[0] == L';') continue;
        auto entry = ParseBagLine(line);
        if (!entry) {
            if (badLine) *badLine = lineNo;
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        entries.push_back(std::move(*entry));
    }
    entries_ = std::move(entries);
    return S_OK;
}

HRESULT TextPropertyBag::SaveFile(const std::wstring& path) const {
    std::wstring text(1, kBom);
    text += kHeader;
    text += L"\r\n";
    for (const BagEntry& e : entries_) text += FormatBagLine(e) + L"\r\n";

    // Written beside the target and moved over it, so a failed write keeps the old file.
    const std::wstring temp = path + L".new";
    {
        qcd::win::unique_file file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return HRESULT_FROM_WIN32(GetLastError());
        const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), bytes, &written, nullptr) || written != bytes) {
            const DWORD error = GetLastError();
            file.reset();
            DeleteFileW(temp.c_str());
            return HRESULT_FROM_WIN32(error ? error : ERROR_WRITE_FAULT);
        }
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        return HRESULT_FROM_WIN32(error);
    }
    return S_OK;
}

HRESULT TextPropertyBag::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPropertyBag) {
        *ppv = static_cast<IPropertyBag*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TextPropertyBag::Release() {
    const ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
}

BagEntry* TextPropertyBag::Find(const wchar_t* name) {
    for (BagEntry& e : entries_)
        if (e.name == name) return &e;
    return nullptr;
}

HRESULT TextPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) {
    if (!name || !value) return E_POINTER;
    try {
        const BagEntry* entry = Find(name);
        // A key the bag does not hold: the reader uses its default.
        if (!entry) return E_INVALIDARG;
        const VARTYPE wanted = V_VT(value);
        VARIANT stored;
        HRESULT hr = ToVariant(entry->value, &stored);
        if (FAILED(hr)) return hr;
        VariantInit(value);
        hr = wanted == VT_EMPTY ? VariantCopy(value, &stored) : VariantChangeType(value, &stored, 0, wanted);
        VariantClear(&stored);
        if (FAILED(hr) && log) {
            EXCEPINFO info{};
            info.scode = hr;
            info.bstrSource = SysAllocString(L"QuorDemo");
            info.bstrDescription = SysAllocString(L"The stored value does not convert to the requested type");
            log->AddError(name, &info);
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TextPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    if (!name || !value) return E_POINTER;
    if (!*name || wcschr(name, L'=') || wcschr(name, L'\n') || wcschr(name, L'\r') || name[0] == L';')
        return E_INVALIDARG;
    try {
        BagValue v;
        HRESULT hr = FromVariant(value, v);
        if (FAILED(hr)) return hr;
        if (BagEntry* e = Find(name))
            e->value = std::move(v);
        else
            entries_.push_back({name, std::move(v)});
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace demo
