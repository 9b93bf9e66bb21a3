#include "base/properties.h"

#include "base/errors.h"

namespace qcd {

const std::array<PropertyInfo, kPropertyCount> kPropertyTable = {{
    {PropertyId::CancelError, u"CancelError", ValueKind::Boolean},
    {PropertyId::DefaultExt, u"DefaultExt", ValueKind::String},
    {PropertyId::Filter, u"Filter", ValueKind::String},
    {PropertyId::FilterIndex, u"FilterIndex", ValueKind::Int32},
    {PropertyId::FileName, u"FileName", ValueKind::String},
    {PropertyId::FileTitle, u"FileTitle", ValueKind::String},
    {PropertyId::InitDir, u"InitDir", ValueKind::String},
    {PropertyId::MaxFileSize, u"MaxFileSize", ValueKind::Int16},
    {PropertyId::DialogTitle, u"DialogTitle", ValueKind::String},
    {PropertyId::DialogLeft, u"DialogLeft", ValueKind::Int32},
    {PropertyId::DialogTop, u"DialogTop", ValueKind::Int32},
    {PropertyId::SlideFolder, u"SlideFolder", ValueKind::String},
    {PropertyId::Position, u"Position", ValueKind::Int32},
    {PropertyId::BackGroundSlide, u"BackGroundSlide", ValueKind::Int32},
}};

const PropertyInfo& InfoOf(PropertyId id) { return kPropertyTable[static_cast<size_t>(id)]; }

namespace {

// One place that knows which field belongs to which id.
template <typename Props, typename Visit>
decltype(auto) WithField(Props& p, PropertyId id, Visit&& visit) {
    switch (id) {
        case PropertyId::CancelError: return visit(p.CancelError);
        case PropertyId::DefaultExt: return visit(p.DefaultExt);
        case PropertyId::Filter: return visit(p.Filter);
        case PropertyId::FilterIndex: return visit(p.FilterIndex);
        case PropertyId::FileName: return visit(p.FileName);
        case PropertyId::FileTitle: return visit(p.FileTitle);
        case PropertyId::InitDir: return visit(p.InitDir);
        case PropertyId::MaxFileSize: return visit(p.MaxFileSize);
        case PropertyId::DialogTitle: return visit(p.DialogTitle);
        case PropertyId::DialogLeft: return visit(p.DialogLeft);
        case PropertyId::DialogTop: return visit(p.DialogTop);
        case PropertyId::SlideFolder: return visit(p.SlideFolder);
        case PropertyId::Position: return visit(p.Position);
        case PropertyId::BackGroundSlide: return visit(p.BackGroundSlide);
    }
    return visit(p.BackGroundSlide);  // unreachable: every id is listed above
}

}  // namespace

PropertyValue Properties::Get(PropertyId id) const {
    return WithField(*this, id, [](const auto& field) { return PropertyValue{field}; });
}

bool Properties::Set(PropertyId id, const PropertyValue& value) {
    return WithField(*this, id, [&](auto& field) {
        using T = std::decay_t<decltype(field)>;
        const T* v = std::get_if<T>(&value);
        if (!v) return false;
        field = *v;
        return true;
    });
}

PropertyValue DefaultValue(PropertyId id) { return Properties{}.Get(id); }

std::u16string ConvertFilter(std::u16string_view filter) {
    std::u16string out;
    out.reserve(filter.size() + 1);
    for (char16_t c : filter) out.push_back(c == u'|' ? u'\0' : c);
    out.push_back(u'\0');
    return out;
}

int32_t WriteProperties(const Properties& props, PropertySink& sink) {
    const Properties defaults;
    for (const PropertyInfo& info : kPropertyTable) {
        PropertyValue value = props.Get(info.id);
        if (value == defaults.Get(info.id)) continue;
        if (int32_t status = sink.Write(info, value); status < 0) return status;
    }
    return 0;
}

int32_t ReadProperties(Properties& props, PropertySource& source) {
    for (const PropertyInfo& info : kPropertyTable) {
        std::optional<PropertyValue> value;
        if (int32_t status = source.Read(info, value); status < 0) return status;
        if (!props.Set(info.id, value ? *value : DefaultValue(info.id)))
            return VbErrorHResult(VbError::TypeMismatch);
    }
    return 0;
}

}  // namespace qcd
