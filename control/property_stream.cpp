#include "control/property_stream.h"

#include <cstring>

#include "base/errors.h"

namespace qcd {

namespace {

constexpr uint8_t kMagic[4] = {'Q', 'C', 'D', 'P'};
constexpr uint16_t kVersion = 1;

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, static_cast<uint16_t>(v));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}

void PutText(std::vector<uint8_t>& out, std::u16string_view s) {
    for (char16_t c : s) PutU16(out, c);
}

// Reads little-endian values and never past the end; any short read fails the cursor.
class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool AtEnd() const { return pos_ == bytes_.size(); }
    bool U8(uint8_t& v) {
        if (!Has(1)) return false;
        v = bytes_[pos_++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (!Has(2)) return false;
        v = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        uint16_t lo = 0, hi = 0;
        if (!U16(lo) || !U16(hi)) return false;
        v = lo | static_cast<uint32_t>(hi) << 16;
        return true;
    }
    bool Text(size_t units, std::u16string& s) {
        if (units > (bytes_.size() - pos_) / 2) return false;
        s.resize(units);
        for (char16_t& c : s) {
            uint16_t v = 0;
            U16(v);
            c = v;
        }
        return true;
    }

private:
    bool Has(size_t n) const { return bytes_.size() - pos_ >= n; }
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

}  // namespace

int32_t PropertyStreamWriter::Write(const PropertyInfo& info, const PropertyValue& value) {
    PutU16(payload_, static_cast<uint16_t>(info.name.size()));
    PutText(payload_, info.name);
    payload_.push_back(static_cast<uint8_t>(info.kind));
    if (const auto* s = std::get_if<std::u16string>(&value)) {
        PutU32(payload_, static_cast<uint32_t>(s->size()));
        PutText(payload_, *s);
    } else if (const auto* i32 = std::get_if<int32_t>(&value)) {
        PutU32(payload_, static_cast<uint32_t>(*i32));
    } else {
        PutU16(payload_, static_cast<uint16_t>(std::get<int16_t>(value)));
    }
    return 0;
}

std::vector<uint8_t> PropertyStreamWriter::Finish() const {
    std::vector<uint8_t> out(std::begin(kMagic), std::end(kMagic));
    PutU16(out, kVersion);
    PutU32(out, static_cast<uint32_t>(payload_.size()));
    out.insert(out.end(), payload_.begin(), payload_.end());
    return out;
}

int64_t PropertyStreamReader::PayloadSize(std::span<const uint8_t> header) {
    if (header.size() < kStreamHeaderSize || std::memcmp(header.data(), kMagic, 4) != 0)
        return -1;
    Cursor c(header.subspan(4));
    uint16_t version = 0;
    uint32_t size = 0;
    c.U16(version);
    c.U32(size);
    if (version != kVersion || size > kMaxStreamPayload) return -1;
    return size;
}

bool PropertyStreamReader::Parse(std::span<const uint8_t> payload) {
    entries_.clear();
    Cursor c(payload);
    while (!c.AtEnd()) {
        uint16_t nameLength = 0;
        std::u16string name;
        uint8_t kind = 0;
        if (!c.U16(nameLength) || !c.Text(nameLength, name) || !c.U8(kind)) return false;
        PropertyValue value;
        switch (static_cast<ValueKind>(kind)) {
            case ValueKind::String: {
                uint32_t length = 0;
                std::u16string s;
                if (!c.U32(length) || !c.Text(length, s)) return false;
                value = std::move(s);
                break;
            }
            case ValueKind::Int32: {
                uint32_t v = 0;
                if (!c.U32(v)) return false;
                value = static_cast<int32_t>(v);
                break;
            }
            case ValueKind::Int16:
            case ValueKind::Boolean: {
                uint16_t v = 0;
                if (!c.U16(v)) return false;
                value = static_cast<int16_t>(v);
                break;
            }
            default: return false;
        }
        entries_.insert_or_assign(std::move(name), std::move(value));
    }
    return true;
}

int32_t PropertyStreamReader::Read(const PropertyInfo& info, std::optional<PropertyValue>& value) {
    auto it = entries_.find(info.name);
    if (it == entries_.end()) return 0;
    if (it->second.index() != DefaultValue(info.id).index())
        return VbErrorHResult(VbError::TypeMismatch);
    value = it->second;
    return 0;
}

}  // namespace qcd
