// Persistence: the property bag, a stream and a storage all carry the one property set,
// with the same keys, order and default-skipping.
#include <vector>

#include "control/QuorComDlg.h"
#include "control/property_stream.h"
#include "platform/text.h"

namespace qcd {

using win::com_ptr;

namespace {

constexpr wchar_t kStorageStream[] = L"Contents";

VARTYPE VarTypeOf(ValueKind kind) {
    switch (kind) {
        case ValueKind::Boolean: return VT_BOOL;
        case ValueKind::String: return VT_BSTR;
        case ValueKind::Int32: return VT_I4;
        case ValueKind::Int16: return VT_I2;
    }
    return VT_EMPTY;
}

// The host's property bag seen as a sink and a source of typed values.
class BagSink final : public PropertySink {
public:
    explicit BagSink(IPropertyBag* bag) : bag_(bag) {}
    int32_t Write(const PropertyInfo& info, const PropertyValue& value) override {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VarTypeOf(info.kind);
        switch (info.kind) {
            case ValueKind::Boolean: V_BOOL(&v) = std::get<int16_t>(value); break;
            case ValueKind::Int16: V_I2(&v) = std::get<int16_t>(value); break;
            case ValueKind::Int32: V_I4(&v) = std::get<int32_t>(value); break;
            case ValueKind::String:
                V_BSTR(&v) = win::ToBstr(std::get<std::u16string>(value));
                if (!V_BSTR(&v)) return E_OUTOFMEMORY;
                break;
        }
        const std::u16string name(info.name);
        HRESULT hr = bag_->Write(win::Wide(name), &v);
        VariantClear(&v);
        return hr;
    }

private:
    IPropertyBag* bag_;
};

class BagSource final : public PropertySource {
public:
    BagSource(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}
    int32_t Read(const PropertyInfo& info, std::optional<PropertyValue>& value) override {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VarTypeOf(info.kind);
        const std::u16string name(info.name);
        HRESULT hr = bag_->Read(win::Wide(name), &v, log_);
        // A bag answers E_INVALIDARG for a key it does not hold: the default applies.
        if (hr == E_INVALIDARG) return S_OK;
        if (FAILED(hr)) return hr;
        // Not every bag honours the requested type.
        hr = VariantChangeType(&v, &v, 0, VarTypeOf(info.kind));
        if (SUCCEEDED(hr)) {
            switch (info.kind) {
                case ValueKind::Boolean: value = static_cast<int16_t>(V_BOOL(&v)); break;
                case ValueKind::Int16: value = static_cast<int16_t>(V_I2(&v)); break;
                case ValueKind::Int32: value = static_cast<int32_t>(V_I4(&v)); break;
                case ValueKind::String: value = win::FromBstr(V_BSTR(&v)); break;
            }
        }
        VariantClear(&v);
        return hr;
    }

private:
    IPropertyBag* bag_;
    IErrorLog* log_;
};

HRESULT ReadExactly(IStream* stream, void* buffer, ULONG size) {
    ULONG read = 0;
    HRESULT hr = stream->Read(buffer, size, &read);
    if (FAILED(hr)) return hr;
    return read == size ? S_OK : STG_E_READFAULT;
}

}  // namespace

HRESULT QuorComDlg::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_QuorComDlg;
    return S_OK;
}

HRESULT QuorComDlg::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT QuorComDlg::InitNew() {
    return win::Guarded("InitNew", [&] {
        SetDefaultProperties();
        return S_OK;
    });
}

// --- Property bag -----------------------------------------------------------------------

HRESULT QuorComDlg::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    return win::Guarded("property bag load", [&] {
        BagSource source(bag, log);
        return static_cast<HRESULT>(ReadProperties(props_, source));
    });
}

HRESULT QuorComDlg::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    return win::Guarded("property bag save", [&] {
        BagSink sink(bag);
        HRESULT hr = WriteProperties(props_, sink);
        if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
        return hr;
    });
}

// --- Stream -----------------------------------------------------------------------------

HRESULT QuorComDlg::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    return win::Guarded("stream load", [&] {
        uint8_t header[kStreamHeaderSize];
        HRESULT hr = ReadExactly(stream, header, sizeof header);
        if (FAILED(hr)) return hr;
        const int64_t size = PropertyStreamReader::PayloadSize(header);
        if (size < 0) return STG_E_INVALIDHEADER;
        std::vector<uint8_t> payload(static_cast<size_t>(size));
        if (size > 0 && FAILED(hr = ReadExactly(stream, payload.data(), static_cast<ULONG>(size))))
            return hr;
        PropertyStreamReader reader;
        if (!reader.Parse(payload)) return STG_E_READFAULT;
        return static_cast<HRESULT>(ReadProperties(props_, reader));
    });
}

HRESULT QuorComDlg::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    return win::Guarded("stream save", [&] {
        PropertyStreamWriter writer;
        WriteProperties(props_, writer);
        const std::vector<uint8_t> bytes = writer.Finish();
        ULONG written = 0;
        HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        if (FAILED(hr)) return hr;
        if (written != bytes.size()) return STG_E_WRITEFAULT;
        if (clearDirty) dirty_ = false;
        return S_OK;
    });
}

HRESULT QuorComDlg::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    return win::Guarded("GetSizeMax", [&] {
        PropertyStreamWriter writer;
        WriteProperties(props_, writer);
        size->QuadPart = writer.Finish().size();
        return S_OK;
    });
}

// --- Storage: the same bytes in one stream ----------------------------------------------

HRESULT QuorComDlg::InitNew(IStorage* storage) {
    if (!storage) return E_POINTER;
    return InitNew();
}

HRESULT QuorComDlg::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    com_ptr<IStream> stream;
    HRESULT hr = storage->OpenStream(kStorageStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                     stream.put());
    if (FAILED(hr)) return hr;
    return Load(stream.get());
}

HRESULT QuorComDlg::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    com_ptr<IStream> stream;
    HRESULT hr = storage->CreateStream(kStorageStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                       0, 0, stream.put());
    if (FAILED(hr)) return hr;
    return Save(stream.get(), TRUE);
}

HRESULT QuorComDlg::SaveCompleted(IStorage*) { return S_OK; }
HRESULT QuorComDlg::HandsOffStorage() { return S_OK; }

}  // namespace qcd
