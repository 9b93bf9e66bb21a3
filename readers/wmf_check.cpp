#include "readers/metafile_check.h"

#include <array>
#include <functional>
#include <queue>
#include <vector>

#include "readers/metafile_rules.h"
#include "readers/picture_headers.h"

namespace qcd {

using namespace metafile;

namespace {

// ---------------------------------------------------------------------------------------------
// Plain metafiles: 16-bit words, records of (size in words, function, parameters).

constexpr size_t kWmfHeaderSize = 18;
constexpr size_t kWmfRecordHeader = 6;

namespace wmf {
enum Function : uint16_t {
    kEof = 0x0000,
    kSaveDc = 0x001E,
    kRealizePalette = 0x0035,
    kSetPalEntries = 0x0037,
    kCreatePalette = 0x00F7,
    kCreateBrush = 0x00F8,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetRelAbs = 0x0105,
    kSetPolyFillMode = 0x0106,
    kSetStretchBltMode = 0x0107,
    kSetTextCharExtra = 0x0108,
    kRestoreDc = 0x0127,
    kInvertRegion = 0x012A,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kResizePalette = 0x0139,
    kDibCreatePatternBrush = 0x0142,
    kSetLayout = 0x0149,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetTextJustification = 0x020A,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228,
    kSetMapperFlags = 0x0231,
    kSelectPalette = 0x0234,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kCreateBitmapIndirect = 0x02FD,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kFloodFill = 0x0419,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kFrameRegion = 0x0429,
    kAnimatePalette = 0x0436,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kExtFloodFill = 0x0548,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kEscape = 0x0626,
    kDrawText = 0x062F,
    kCreateBitmap = 0x06FE,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kBitBlt = 0x0922,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kStretchBlt = 0x0B23,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};
}  // namespace wmf

// Parameter words the player reads from records of a fixed layout; 0 for others.
uint32_t WmfFixedWords(uint16_t function) {
    using namespace wmf;
    switch (function) {
        case kSetBkMode:
        case kSetMapMode:
        case kSetRop2:
        case kSetRelAbs:
        case kSetPolyFillMode:
        case kSetStretchBltMode:
        case kSetTextCharExtra:
        case kRestoreDc:
        case kInvertRegion:
        case kPaintRegion:
        case kSelectClipRegion:
        case kSelectObject:
        case kSetTextAlign:
        case kResizePalette:
        case kDeleteObject:
        case kSelectPalette:
            return 1;
        case kSetLayout:
        case kSetBkColor:
        case kSetTextColor:
        case kSetTextJustification:
        case kSetWindowOrg:
        case kSetWindowExt:
        case kSetViewportOrg:
        case kSetViewportExt:
        case kOffsetWindowOrg:
        case kOffsetViewportOrg:
        case kLineTo:
        case kMoveTo:
        case kOffsetClipRgn:
        case kFillRegion:
        case kSetMapperFlags:
            return 2;
        case kScaleWindowExt:
        case kScaleViewportExt:
        case kExcludeClipRect:
        case kIntersectClipRect:
        case kEllipse:
        case kFloodFill:
        case kRectangle:
        case kSetPixel:
        case kFrameRegion:
        case kCreateBrushIndirect:
            return 4;
        case kExtFloodFill:
        case kCreatePenIndirect:
            return 5;
        case kRoundRect:
        case kPatBlt:
            return 6;
        case kArc:
        case kPie:
        case kChord:
            return 8;
        case kCreateFontIndirect:
            return 9;
        default:
            return 0;
    }
}

class WmfObjects {
  public:
    explicit WmfObjects(uint16_t size) : used_(size, false) {}

    // The player puts a new object in the lowest free slot.
    bool Create() {
        size_t slot = next_;
        if (!freed_.empty()) {
            slot = freed_.top();
            freed_.pop();
        } else if (next_ < used_.size()) {
            ++next_;
        } else {
            return false;
        }
        used_[slot] = true;
        return true;
    }
    bool Has(uint16_t index) const { return index < used_.size() && used_[index]; }
    bool Delete(uint16_t index) {
        if (!Has(index)) return false;
        used_[index] = false;
        freed_.push(index);
        return true;
    }

  private:
    std::vector<bool> used_;
    size_t next_ = 0;  // no slot from here on was ever used
    std::priority_queue<size_t, std::vector<size_t>, std::greater<>> freed_;
};

// Region: 22 bytes of header (scan count at 10), then scans of (count, top, bottom,
// count x-coordinates, count again).
MetafileFault CheckWmfRegion(Bytes p, Budget& budget) {
    if (p.size() < 22) return MetafileFault::RecordSize;
    const uint16_t scans = U16(p, 10);
    size_t at = 22;
    for (uint16_t i = 0; i < scans; ++i) {
        if (!Fits(p.size(), at, 3, 2)) return MetafileFault::Parameters;
        const uint16_t count = U16(p, at);
        const size_t end = at + 6 + size_t{count} * 2;
        if (count % 2 != 0 || !Fits(p.size(), end, 1, 2) || U16(p, end) != count)
            return MetafileFault::Parameters;
        if (!budget.AddPoints(count)) return MetafileFault::Budget;
        at = end + 2;
    }
    return MetafileFault::None;
}

// Text at `at`: `length` bytes padded to a word, then, when anything follows, one spacing word
// per byte (two with ETO_PDY).
MetafileFault CheckWmfExtTextOut(Bytes p, Budget& budget) {
    if (p.size() < 8) return MetafileFault::RecordSize;
    const int16_t length = S16(p, 4);
    const uint16_t options = U16(p, 6);
    if (length < 0) return MetafileFault::Text;
    const size_t at = (options & 0x0006) != 0 ? 16 : 8;  // ETO_OPAQUE, ETO_CLIPPED: a rectangle
    const uint64_t text = (static_cast<uint64_t>(length) + 1) / 2 * 2;
    if (!Fits(p.size(), at, text, 1)) return MetafileFault::Text;
    const uint64_t rest = p.size() - at - text;
    const uint64_t spacing = static_cast<uint64_t>(length) * ((options & 0x2000) != 0 ? 4 : 2);
    if (rest != 0 && rest < spacing) return MetafileFault::Text;
    return budget.AddPoints(kMetafileTextRecordPoints + static_cast<uint64_t>(length))
               ? MetafileFault::None
               : MetafileFault::Budget;
}

// Escapes reach the device driver; only comments and line styles are passed on.
bool IsPlainEscape(uint16_t escape) {
    return escape == 15 ||                      // MFCOMMENT
           (escape >= 21 && escape <= 23) ||    // line cap, join, miter limit
           (escape >= 4096 && escape <= 4098);  // path begin, clip, end
}

// An old device-dependent pattern: width, height, bytes per row, planes, bits per pixel, then
// 18 reserved bytes before the rows.
MetafileFault CheckWmfPatternBitmap(Bytes p, Budget& budget) {
    if (p.size() < 32) return MetafileFault::RecordSize;
    const int16_t width = S16(p, 2);
    const int16_t height = S16(p, 4);
    const uint16_t rowBytes = U16(p, 6);
    const uint8_t planes = p[8];
    const uint8_t bits = p[9];
    if (width < 1 || height < 1 || planes != 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return MetafileFault::Bitmap;
    const uint64_t minRow = (static_cast<uint64_t>(width) * bits + 15) / 16 * 2;
    if (rowBytes < minRow || !Fits(p.size(), 32, static_cast<uint64_t>(height), rowBytes))
        return MetafileFault::Bitmap;
    return budget.AddBitmap(uint64_t{rowBytes} * static_cast<uint64_t>(height))
               ? MetafileFault::None
               : MetafileFault::Budget;
}

// The larger side of the rectangle of four words (bottom, right, top, left) at `at`.
double WmfRectSide(Bytes p, size_t at) {
    return std::max(std::abs(int32_t{S16(p, at)} - S16(p, at + 4)),
                    std::abs(int32_t{S16(p, at + 2)} - S16(p, at + 6)));
}

// Preview pixels per logical unit as the player will map them: the box (`boxSide` units) on
// a preview of at most kMaxMetafileViewSide, until the file sets a mapping mode or extents of
// its own; saved and restored with the rest of the drawing state, like where lines continue.
class WmfView {
  public:
    explicit WmfView(double boxSide) {
        now_.wx = now_.wy = boxSide;
        now_.vx = now_.vy = kMaxMetafileViewSide;
    }

    double Scale() const {
        // Millimetres per unit of the metric, English and twip modes, on a screen of at most
        // 16 pixels a millimetre.
        static constexpr double kUnitMm[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
        if (now_.mode >= kIsotropic)
            return std::max(std::abs(now_.vx / now_.wx), std::abs(now_.vy / now_.wy));
        return now_.mode > kText ? kUnitMm[now_.mode - 2] * 16 : 1;
    }
    double X() const { return now_.x; }
    double Y() const { return now_.y; }
    void MoveTo(double x, double y) {
        now_.x = x;
        now_.y = y;
    }

    // Words come last field first: y before x, denominators before numerators.
    void Apply(uint16_t function, Bytes p) {
        switch (function) {
            case wmf::kSetMapMode: {
                const uint16_t mode = U16(p, 0);
                if (mode < kText || mode > kAnisotropic) break;
                if (mode >= kIsotropic && now_.mode < kIsotropic) {
                    now_.wx = now_.wy = 1;
                    now_.vx = now_.vy = Scale();
                }
                now_.mode = mode;
                break;
            }
            case wmf::kSetWindowExt:
            case wmf::kSetViewportExt:
                if (now_.mode >= kIsotropic && S16(p, 0) != 0 && S16(p, 2) != 0) {
                    const bool window = function == wmf::kSetWindowExt;
                    (window ? now_.wx : now_.vx) = S16(p, 2);
                    (window ? now_.wy : now_.vy) = S16(p, 0);
                }
                break;
            case wmf::kScaleWindowExt:
            case wmf::kScaleViewportExt:
                if (now_.mode >= kIsotropic && S16(p, 0) != 0 && S16(p, 2) != 0 && S16(p, 4) != 0 &&
                    S16(p, 6) != 0) {
                    const bool window = function == wmf::kScaleWindowExt;
                    (window ? now_.wx : now_.vx) *= 1.0 * S16(p, 6) / S16(p, 4);
                    (window ? now_.wy : now_.vy) *= 1.0 * S16(p, 2) / S16(p, 0);
                }
                break;
            case wmf::kSaveDc:
                saved_.push_back(now_);
                break;
            case wmf::kRestoreDc: {
                const int64_t level = S16(p, 0);
                const int64_t depth = static_cast<int64_t>(saved_.size());
                const int64_t keep = level < 0 ? depth + level : level - 1;
                if (keep >= 0 && keep < depth) {
                    now_ = saved_[static_cast<size_t>(keep)];
                    saved_.resize(static_cast<size_t>(keep));
                }
                break;
            }
            default:
                break;
        }
    }

  private:
    enum : uint16_t { kText = 1, kIsotropic = 7, kAnisotropic = 8 };
    struct State {
        uint16_t mode = kAnisotropic;
        double wx = 1, wy = 1, vx = 1, vy = 1;
        double x = 0, y = 0;
    };
    State now_;
    std::vector<State> saved_;
};

MetafileFault CheckWmfCurve(double side, const WmfView& view, Budget& budget) {
    if (!CurveFits(side, view.Scale())) return MetafileFault::Extent;
    return budget.AddDrawn(side * view.Scale()) ? MetafileFault::None : MetafileFault::Budget;
}

// `count` points of two words from `at`.
double WmfPointsSide(Bytes p, size_t at, size_t count) {
    Span span;
    for (size_t i = 0; i < count; ++i) span.Add(S16(p, at + 4 * i), S16(p, at + 4 * i + 2));
    return span.Side();
}

MetafileFault CheckWmfRecord(uint16_t function, Bytes p, WmfView& view, WmfObjects& objects,
                             Budget& budget) {
    using namespace wmf;
    using F = MetafileFault;
    switch (function) {
        case kEllipse:
            return CheckWmfCurve(WmfRectSide(p, 0), view, budget);
        case kRoundRect:  // corner height and width, then the rectangle
            return CheckWmfCurve(
                std::max({WmfRectSide(p, 4), std::abs(S16(p, 0)) * 1.0, std::abs(S16(p, 2)) * 1.0}),
                view, budget);
        case kArc:
        case kPie:
        case kChord:  // end and start points, then the rectangle
            return CheckWmfCurve(WmfRectSide(p, 8), view, budget);
        case kMoveTo:
        case kLineTo: {  // y, then x
            Span span;
            span.Add(view.X(), view.Y());
            view.MoveTo(S16(p, 2), S16(p, 0));
            span.Add(view.X(), view.Y());
            if (function == kMoveTo) return F::None;
            return budget.AddDrawn(span.Side() * view.Scale()) ? F::None : F::Budget;
        }

        case kSelectObject:
        case kSelectPalette:
        case kSelectClipRegion:
        case kInvertRegion:
        case kPaintRegion:
            return objects.Has(U16(p, 0)) ? F::None : F::ObjectIndex;
        case kDeleteObject:
            return objects.Delete(U16(p, 0)) ? F::None : F::ObjectIndex;
        case kFillRegion:
            return objects.Has(U16(p, 0)) && objects.Has(U16(p, 2)) ? F::None : F::ObjectIndex;
        case kFrameRegion:  // width and height first, then the brush and the region
            return objects.Has(U16(p, 4)) && objects.Has(U16(p, 6)) ? F::None : F::ObjectIndex;

        case kCreatePenIndirect:
            if (!CurveFits(std::abs(S16(p, 2)), view.Scale())) return F::Extent;
            break;
        case kCreateBrushIndirect:
            // Pattern styles take the hatch field as a handle or a pointer.
            if (U16(p, 0) > 2) return F::Unsupported;
            break;
        case kCreateFontIndirect: {
            // The face name runs to its terminator or the full 32 bytes.
            const Bytes face = p.subspan(18);
            bool ended = face.size() >= 32;
            for (size_t i = 0; i < face.size() && !ended; ++i) ended = face[i] == 0;
            if (!ended) return F::Parameters;
            break;
        }
        case kCreatePalette:
            if (p.size() < 4) return F::RecordSize;
            if (!Fits(p.size(), 4, U16(p, 2), 4)) return F::Parameters;
            break;
        case kCreatePatternBrush:
            if (const F f = CheckWmfPatternBitmap(p, budget); f != F::None) return f;
            break;
        case kDibCreatePatternBrush: {
            if (p.size() < 4) return F::RecordSize;
            // A BS_PATTERN brush's bitmap always has RGB colours.
            const uint32_t usage = U16(p, 0) == 3 ? kDibRgbColours : U16(p, 2);
            if (const F f = CheckPackedDib(p.subspan(4), usage, std::nullopt, budget); f != F::None)
                return f;
            break;
        }
        case kCreateRegion:
            if (const F f = CheckWmfRegion(p, budget); f != F::None) return f;
            break;
        case kCreateBrush:
        case kCreateBitmapIndirect:
        case kCreateBitmap:
            return F::Unsupported;

        case kSetPalEntries:
        case kAnimatePalette:
            if (p.size() < 4) return F::RecordSize;
            return Fits(p.size(), 4, U16(p, 2), 4) ? F::None : F::Parameters;

        case kPolygon:
        case kPolyline: {
            if (p.size() < 2) return F::RecordSize;
            const int16_t count = S16(p, 0);
            if (count < 0 || !Fits(p.size(), 2, static_cast<uint64_t>(count), 4)) return F::Points;
            return budget.AddPoints(static_cast<uint64_t>(count)) &&
                           budget.AddDrawn(WmfPointsSide(p, 2, static_cast<size_t>(count)) *
                                           view.Scale())
                       ? F::None
                       : F::Budget;
        }
        case kPolyPolygon: {
            if (p.size() < 2) return F::RecordSize;
            const uint16_t polygons = U16(p, 0);
            if (!Fits(p.size(), 2, polygons, 2)) return F::Points;
            uint64_t total = 0;
            for (size_t i = 0; i < polygons; ++i) {
                const int16_t count = S16(p, 2 + 2 * i);
                if (count < 0) return F::Points;
                total += static_cast<uint64_t>(count);
            }
            if (!Fits(p.size(), 2 + 2 * uint64_t{polygons}, total, 4)) return F::Points;
            if (!budget.AddPoints(total)) return F::Budget;
            size_t at = 2 + 2 * size_t{polygons};
            for (size_t i = 0; i < polygons; ++i) {
                const auto count = static_cast<size_t>(S16(p, 2 + 2 * i));
                if (!budget.AddDrawn(WmfPointsSide(p, at, count) * view.Scale())) return F::Budget;
                at += 4 * count;
            }
            return F::None;
        }

        case kTextOut: {
            if (p.size() < 2) return F::RecordSize;
            const int16_t length = S16(p, 0);
            // The string padded to a word, then the position.
            if (length < 0 ||
                !Fits(p.size(), 2 + (static_cast<uint64_t>(length) + 1) / 2 * 2, 2, 2))
                return F::Text;
            return budget.AddPoints(kMetafileTextRecordPoints + static_cast<uint64_t>(length))
                       ? F::None
                       : F::Budget;
        }
        case kExtTextOut:
            return CheckWmfExtTextOut(p, budget);
        case kDrawText:
            return F::Unsupported;

        // Blits without a bitmap are as long as the function's high byte says.
        case kBitBlt:
        case kStretchBlt:
            return p.size() == 2u * (function >> 8) ? F::None : F::Unsupported;
        case kDibBitBlt:
        case kDibStretchBlt: {
            const size_t alone = 2u * (function >> 8);
            if (p.size() == alone) return F::None;
            const size_t dibAt = alone - 2;  // no reserved word when a bitmap follows
            if (p.size() < dibAt) return F::RecordSize;
            return CheckPackedDib(p.subspan(dibAt), kDibRgbColours, std::nullopt, budget);
        }
        case kStretchDib:
            if (p.size() < 22) return F::RecordSize;
            return CheckPackedDib(p.subspan(22), U16(p, 4), std::nullopt, budget);
        case kSetDibToDev:
            if (p.size() < 18) return F::RecordSize;
            return CheckPackedDib(p.subspan(18), U16(p, 0), U16(p, 2), budget);

        case kEscape:
            if (p.size() < 4) return F::RecordSize;
            if (!IsPlainEscape(U16(p, 0))) return F::Unsupported;
            return Fits(p.size(), 4, U16(p, 2), 1) ? F::None : F::Parameters;
        case kSaveDc:
            return budget.Save() ? F::None : F::Budget;
        case kRestoreDc:
            budget.Restore(S16(p, 0));
            return F::None;
        default:
            return F::None;
    }
    return objects.Create() ? F::None : F::ObjectIndex;
}

MetafileFault CheckPlainMetafile(Bytes meta, double boxSide) {
    using F = MetafileFault;
    if (meta.size() < kWmfHeaderSize) return F::Header;
    const uint16_t type = U16(meta, 0);
    const uint16_t version = U16(meta, 4);
    const uint32_t sizeWords = U32(meta, 6);
    const uint16_t objectCount = U16(meta, 10);
    const uint32_t maxRecord = U32(meta, 12);
    if ((type != 1 && type != 2) || U16(meta, 2) != kWmfHeaderSize / 2 ||
        (version != 0x100 && version != 0x300) || maxRecord < 3 || maxRecord > sizeWords)
        return F::Header;
    if (uint64_t{sizeWords} * 2 != meta.size()) return F::End;

    WmfObjects objects(objectCount);
    WmfView view(boxSide);
    Budget budget;
    uint32_t records = 0;
    size_t at = kWmfHeaderSize;
    while (meta.size() - at >= kWmfRecordHeader) {
        const uint32_t words = U32(meta, at);
        const uint16_t function = U16(meta, at + 4);
        if (words < 3 || !Fits(meta.size(), at, words, 2)) return F::RecordSize;
        if (words > maxRecord) return F::Header;
        if (++records > kMaxMetafileRecords) return F::TooLarge;
        const size_t bytes = size_t{words} * 2;
        if (function == wmf::kEof) {
            if (words != 3 || at + bytes != meta.size()) return F::End;
            return F::None;
        }
        const Bytes params = meta.subspan(at + kWmfRecordHeader, bytes - kWmfRecordHeader);
        if (params.size() / 2 < WmfFixedWords(function)) return F::RecordSize;
        view.Apply(function, params);
        if (const F f = CheckWmfRecord(function, params, view, objects, budget); f != F::None)
            return f;
        at += bytes;
    }
    return F::End;
}


}  // namespace

MetafileFault CheckWmf(std::span<const uint8_t> file) {
    if (file.size() > kMaxMetafileSize) return MetafileFault::TooLarge;
    // A plain metafile gets a box of the preview's own size.
    if (!IsPlaceableMetafile(file)) return CheckPlainMetafile(file, kMaxMetafileViewSide);
    if (file.size() < kPlaceableHeaderSize) return MetafileFault::Header;
    // The picture's size is the box over units per inch; the box fills the preview.
    const int32_t width = std::abs(int32_t{S16(file, 10)} - S16(file, 6));
    const int32_t height = std::abs(int32_t{S16(file, 12)} - S16(file, 8));
    if (width == 0 || height == 0 || U16(file, 14) == 0) return MetafileFault::Header;
    return CheckPlainMetafile(file.subspan(kPlaceableHeaderSize), std::min(width, height));
}

}  // namespace qcd
