#include "readers/metafile_check.h"

#include <array>
#include <bit>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <queue>
#include <vector>

#include "readers/metafile_rules.h"

namespace qcd {

using namespace metafile;

namespace {

// ---------------------------------------------------------------------------------------------
// Enhanced metafiles: records of (type, size in bytes, fields), sizes a multiple of 4.

constexpr size_t kEmfHeaderSize = 88;
constexpr uint32_t kEmfSignature = 0x464D4520;
constexpr uint32_t kStockObject = 0x80000000;
constexpr uint32_t kLastStockObject = 19;  // DC_PEN

namespace emr {
enum Type : uint32_t {
    kHeader = 1,
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetViewportExtEx = 11,
    kEof = 14,
    kSetMapMode = 17,
    kMoveToEx = 27,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kAngleArc = 41,
    kEllipse = 42,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kSelectPalette = 48,
    kCreatePalette = 49,
    kSetPaletteEntries = 50,
    kResizePalette = 51,
    kLineTo = 54,
    kArcTo = 55,
    kPolyDraw = 56,
    kGdiComment = 70,
    kFillRgn = 71,
    kFrameRgn = 72,
    kInvertRgn = 73,
    kPaintRgn = 74,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kMaskBlt = 78,
    kPlgBlt = 79,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kExtCreateFontIndirectW = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kPolyDraw16 = 92,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
    kPolyTextOutA = 96,
    kPolyTextOutW = 97,
    kCreateColorSpace = 99,
    kSetColorSpace = 100,
    kDeleteColorSpace = 101,
    kGlsRecord = 102,
    kGlsBoundedRecord = 103,
    kDrawEscape = 105,
    kExtEscape = 106,
    kSmallTextOut = 108,
    kNamedEscape = 110,
    kColorCorrectPalette = 111,
    kSetIcmProfileA = 112,
    kSetIcmProfileW = 113,
    kAlphaBlend = 114,
    kTransparentBlt = 116,
    kGradientFill = 118,
    kSetLinkedUfis = 119,
    kColorMatchToTargetW = 121,
    kCreateColorSpaceW = 122,
};
}  // namespace emr

// The fixed part of each record type the player knows; 8 for the rest.
uint32_t EmfFixedSize(uint32_t type) {
    static constexpr uint16_t kSizes[] = {
        8,  88, 28,  28, 28,  28, 28,  32,  32,  16,   // 0..9
        16, 16, 16,  16, 20,  20, 12,  12,  12,  12,   // 10..19
        12, 12, 12,  32, 12,  12, 16,  16,  8,   24,   // 20..29
        24, 24, 24,  8,  12,  32, 36,  12,  28,  24,   // 30..39
        12, 28, 24,  24, 32,  40, 40,  40,  12,  16,   // 40..49
        20, 16, 8,   24, 16,  40, 28,  12,  12,  8,    // 50..59
        8,  8,  24,  24, 24,  8,  8,   12,  8,   8,    // 60..69
        12, 32, 40,  28, 28,  16, 100, 108, 128, 140,  // 70..79
        76, 80, 104, 76, 76,  28, 28,  28,  28,  28,   // 80..89
        32, 32, 28,  32, 32,  52, 40,  40,  12,  340,  // 90..99
        12, 12, 12,  28, 48,  16, 16,  8,   36,  16,   // 100..109
        20, 24, 20,  20, 108, 12, 108, 8,   36,  12,   // 110..119
        16, 24, 608,                                   // 120..122
    };
    return type < std::size(kSizes) ? kSizes[type] : 8;
}

class EmfRecord {
  public:
    EmfRecord(Bytes bytes, uint16_t handles) : b_(bytes), handles_(handles) {}

    uint32_t Size() const { return static_cast<uint32_t>(b_.size()); }
    uint32_t U(size_t at) const { return U32(b_, at); }
    int32_t S(size_t at) const { return S32(b_, at); }
    int16_t S16(size_t at) const { return qcd::S16(b_, at); }
    Bytes At(size_t at, size_t n) const { return b_.subspan(at, n); }
    bool Holds(uint64_t offset, uint64_t count, uint64_t unit) const {
        return Fits(b_.size(), offset, count, unit);
    }

    // Table slot 0 is the metafile itself.
    bool Creates(size_t at) const { return U(at) >= 1 && U(at) < handles_; }
    bool Deletes(size_t at) const { return Creates(at); }
    bool Uses(size_t at) const {
        const uint32_t index = U(at);
        return (index & kStockObject) != 0 ? (index & ~kStockObject) <= kLastStockObject
                                           : Creates(at);
    }

  private:
    Bytes b_;
    uint16_t handles_;
};

// An EmrText at `at`: reference point, character count, string offset, options, rectangle,
// spacing offset. Offsets count from the record's start and must lie behind its fixed part.
MetafileFault CheckEmfText(const EmfRecord& r, size_t at, uint64_t charSize, uint32_t fixedEnd,
                           Budget& budget) {
    const uint32_t chars = r.U(at + 8);
    const uint32_t options = r.U(at + 16);
    // Without its rectangle the text's fields move: the player reads them where they were.
    if ((options & 0x0100) != 0) return MetafileFault::Text;  // ETO_NO_RECT
    if (chars == 0) return MetafileFault::None;
    const uint32_t text = r.U(at + 12);
    const uint32_t spacing = r.U(at + 36);
    const uint64_t spacingUnit = (options & 0x2000) != 0 ? 8 : 4;  // ETO_PDY: x and y
    if (text < fixedEnd || spacing < fixedEnd || !r.Holds(text, chars, charSize) ||
        !r.Holds(spacing, chars, spacingUnit))
        return MetafileFault::Text;
    return budget.AddPoints(kMetafileTextRecordPoints + chars) ? MetafileFault::None
                                                               : MetafileFault::Budget;
}

MetafileFault CheckEmfSmallText(const EmfRecord& r, Budget& budget) {
    const uint32_t chars = r.U(16);
    const uint32_t options = r.U(20);
    const uint64_t textAt = (options & 0x0100) != 0 ? 36 : 52;  // ETO_NO_RECT
    const uint64_t charSize = (options & 0x0200) != 0 ? 1 : 2;  // ETO_SMALL_CHARS
    if (!r.Holds(textAt, chars, charSize)) return MetafileFault::Text;
    return budget.AddPoints(kMetafileTextRecordPoints + chars) ? MetafileFault::None
                                                               : MetafileFault::Budget;
}

// Region data of `size` bytes at `at`: a 32-byte header (its own size, type 1 for rectangles,
// the rectangle count) and the rectangles.
MetafileFault CheckEmfRegion(const EmfRecord& r, size_t at, uint32_t size, Budget& budget,
                             bool painted = true) {
    if (!r.Holds(at, size, 1)) return MetafileFault::Parameters;
    if (size < 32 || r.U(at) != 32 || r.U(at + 4) != 1 || !Fits(size, 32, r.U(at + 8), 16))
        return MetafileFault::Parameters;
    // The player builds, transforms and paints a region for each record that paints one, some
    // 65 us however few its rectangles (measured under Wine): 5,000 held the dialog for 300 ms.
    const uint64_t cost = (painted ? kMetafileRegionRecordPoints : 0) + r.U(at + 8);
    return budget.AddPoints(cost) ? MetafileFault::None : MetafileFault::Budget;
}

// A bitmap whose offsets and sizes (info, then bits) are the four fields at `fields`. With
// `required` false, all four 0 means none.
MetafileFault CheckEmfBitmap(const EmfRecord& r, size_t fields, uint32_t fixed, uint32_t usage,
                             std::optional<uint64_t> lines, bool required, Budget& budget) {
    const uint32_t infoAt = r.U(fields);
    const uint32_t infoSize = r.U(fields + 4);
    const uint32_t bitsAt = r.U(fields + 8);
    const uint32_t bitsSize = r.U(fields + 12);
    if ((infoAt | infoSize | bitsAt | bitsSize) == 0)
        return required ? MetafileFault::Bitmap : MetafileFault::None;
    if (infoAt < fixed || bitsAt < fixed || !r.Holds(infoAt, infoSize, 1) ||
        !r.Holds(bitsAt, bitsSize, 1))
        return MetafileFault::Bitmap;
    const auto dib = ReadDibInfo(r.At(infoAt, infoSize), usage);
    if (!dib) return MetafileFault::Bitmap;
    const uint64_t rows = lines.value_or(dib->lines);
    if (rows > dib->lines) return MetafileFault::Bitmap;
    return CheckDibBits(*dib, bitsSize, rows, budget);
}

// Positions and extents of a blit, as offsets of their fields.
bool Coordinates(const EmfRecord& r, std::initializer_list<size_t> fields) {
    for (const size_t at : fields)
        if (!Within(r.S(at), kMaxMetafileCoordinate)) return false;
    return true;
}
bool Extents(const EmfRecord& r, std::initializer_list<size_t> fields) {
    for (const size_t at : fields)
        if (!Within(r.S(at), kMaxMetafileExtent)) return false;
    return true;
}

MetafileFault CheckEmfBlit(uint32_t type, const EmfRecord& r, Budget& budget) {
    using namespace emr;
    using F = MetafileFault;
    const uint32_t fixed = EmfFixedSize(type);
    switch (type) {
        case kBitBlt:  // destination x, y, cx, cy at 24; source x, y at 44; bitmap at 84
        case kStretchBlt:
        case kAlphaBlend:
        case kTransparentBlt: {
            const bool stretched = type != kBitBlt;
            if (!Coordinates(r, {24, 28}) || !Extents(r, {32, 36, 44, 48}) ||
                (stretched && !Extents(r, {100, 104})))
                return F::Extent;
            const bool required = type == kAlphaBlend || type == kTransparentBlt;
            return CheckEmfBitmap(r, 84, fixed, r.U(80), std::nullopt, required, budget);
        }
        case kMaskBlt: {
            if (!Coordinates(r, {24, 28}) || !Extents(r, {32, 36, 44, 48, 100, 104}))
                return F::Extent;
            if (const F f = CheckEmfBitmap(r, 84, fixed, r.U(80), std::nullopt, true, budget);
                f != F::None)
                return f;
            return CheckEmfBitmap(r, 112, fixed, r.U(108), std::nullopt, false, budget);
        }
        case kPlgBlt: {  // three destination points at 24, source x, y, cx, cy at 48
            if (!Coordinates(r, {24, 28, 32, 36, 40, 44}) ||
                !Extents(r, {48, 52, 56, 60, 112, 116}))
                return F::Extent;
            if (const F f = CheckEmfBitmap(r, 96, fixed, r.U(92), std::nullopt, true, budget);
                f != F::None)
                return f;
            return CheckEmfBitmap(r, 124, fixed, r.U(120), std::nullopt, false, budget);
        }
        case kSetDiBitsToDevice:  // destination x, y; source x, y, cx, cy; the bitmap's scans
            if (!Coordinates(r, {24, 28}) || !Extents(r, {32, 36, 40, 44})) return F::Extent;
            return CheckEmfBitmap(r, 48, fixed, r.U(64), r.U(72), true, budget);
        case kStretchDiBits:
            if (!Coordinates(r, {24, 28}) || !Extents(r, {32, 36, 40, 44, 72, 76}))
                return F::Extent;
            return CheckEmfBitmap(r, 48, fixed, r.U(64), std::nullopt, true, budget);
        default:
            return F::None;
    }
}

// Preview pixels per logical unit as the player will map them: the picture's frame stretched
// over the preview, the mapping mode (fixed modes in units of the reference device's
// millimetres, the free ones by window and viewport extents) and the world transform; saved
// and restored with the rest of the drawing state.
class EmfView {
  public:
    EmfView(double picture, double pixelsPerMm) : picture_(picture), pixelsPerMm_(pixelsPerMm) {}

    double Scale() const { return picture_ * Page(now_) * World(now_); }
    // Where lines and "to" records continue from.
    double X() const { return now_.x; }
    double Y() const { return now_.y; }
    void MoveTo(double x, double y) {
        now_.x = x;
        now_.y = y;
    }

    // False for a transform that is not a number.
    bool Apply(uint32_t type, const EmfRecord& r) {
        switch (type) {
            case emr::kMoveToEx:
                MoveTo(r.S(8), r.S(12));
                break;
            case emr::kSetMapMode: {
                const uint32_t mode = r.U(8);
                if (mode < kText || mode > kAnisotropic) break;
                // The free modes start from the extents the previous mode had.
                if (mode >= kIsotropic && now_.mode < kIsotropic) {
                    now_.wx = now_.wy = 1;
                    now_.vx = now_.vy = Page(now_);
                }
                now_.mode = mode;
                break;
            }
            case emr::kSetWindowExtEx:
            case emr::kSetViewportExtEx:
                if (now_.mode >= kIsotropic && r.S(8) != 0 && r.S(12) != 0) {
                    const bool window = type == emr::kSetWindowExtEx;
                    (window ? now_.wx : now_.vx) = r.S(8);
                    (window ? now_.wy : now_.vy) = r.S(12);
                }
                break;
            case emr::kScaleViewportExtEx:
            case emr::kScaleWindowExtEx:
                if (now_.mode >= kIsotropic && r.S(8) != 0 && r.S(12) != 0 && r.S(16) != 0 &&
                    r.S(20) != 0) {
                    const bool window = type == emr::kScaleWindowExtEx;
                    (window ? now_.wx : now_.vx) *= static_cast<double>(r.S(8)) / r.S(12);
                    (window ? now_.wy : now_.vy) *= static_cast<double>(r.S(16)) / r.S(20);
                }
                break;
            case emr::kSetWorldTransform:
            case emr::kModifyWorldTransform: {
                Matrix m{};
                for (size_t i = 0; i < 4; ++i) {
                    m[i] = std::bit_cast<float>(r.U(8 + 4 * i));
                    if (!std::isfinite(m[i])) return false;
                }
                for (size_t at : {24, 28})
                    if (!std::isfinite(std::bit_cast<float>(r.U(at)))) return false;
                const uint32_t how = type == emr::kSetWorldTransform ? 4 : r.U(32);
                if (how == 1) now_.world = {1, 0, 0, 1};
                if (how == 2) now_.world = Product(m, now_.world);
                if (how == 3) now_.world = Product(now_.world, m);
                if (how == 4) now_.world = m;
                break;
            }
            case emr::kSaveDc:
                saved_.push_back(now_);
                break;
            case emr::kRestoreDc: {
                const int64_t level = r.S(8);
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
        return true;
    }

  private:
    using Matrix = std::array<double, 4>;  // eM11, eM12, eM21, eM22
    enum : uint32_t { kText = 1, kIsotropic = 7, kAnisotropic = 8 };
    struct State {
        Matrix world = {1, 0, 0, 1};
        uint32_t mode = kText;
        double wx = 1, wy = 1, vx = 1, vy = 1;
        double x = 0, y = 0;
    };

    static Matrix Product(const Matrix& a, const Matrix& b) {
        return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
                a[2] * b[1] + a[3] * b[3]};
    }
    // At least the longest a unit vector can become: the root of the largest row sum times
    // the largest column sum.
    static double World(const State& s) {
        const Matrix& m = s.world;
        const double rows =
            std::max(std::abs(m[0]) + std::abs(m[1]), std::abs(m[2]) + std::abs(m[3]));
        const double columns =
            std::max(std::abs(m[0]) + std::abs(m[2]), std::abs(m[1]) + std::abs(m[3]));
        return std::sqrt(rows * columns);
    }
    double Page(const State& s) const {
        // Millimetres per unit of the metric, English and twip modes.
        static constexpr double kUnitMm[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
        if (s.mode >= kIsotropic) return std::max(std::abs(s.vx / s.wx), std::abs(s.vy / s.wy));
        if (s.mode > kText) return kUnitMm[s.mode - 2] * pixelsPerMm_;
        return 1;
    }

    double picture_;
    double pixelsPerMm_;
    State now_;
    std::vector<State> saved_;
};

// `count` points from `at`, of two longs or (`small`) two shorts, and with `view`'s current
// position when `continues`, which the last point then becomes.
double EmfPointsSide(const EmfRecord& r, size_t at, uint64_t count, bool small, bool continues,
                     EmfView& view) {
    Span span;
    if (continues) span.Add(view.X(), view.Y());
    double x = 0, y = 0;
    for (uint64_t i = 0; i < count; ++i) {
        x = small ? r.S16(at + 4 * i) : r.S(at + 8 * i);
        y = small ? r.S16(at + 4 * i + 2) : r.S(at + 8 * i + 4);
        span.Add(x, y);
    }
    if (continues && count > 0) view.MoveTo(x, y);
    return span.Side();
}

// Points at 28 after a count at 24 (PolyDraw: and a type byte each after them).
MetafileFault CheckEmfPoints(const EmfRecord& r, bool small, bool typed, bool continues,
                             EmfView& view, Budget& budget) {
    const uint32_t count = r.U(24);
    if (!r.Holds(28, count, (small ? 4 : 8) + (typed ? 1 : 0))) return MetafileFault::Points;
    const double side = EmfPointsSide(r, 28, count, small, continues, view);
    return budget.AddPoints(count) && budget.AddDrawn(side * view.Scale()) ? MetafileFault::None
                                                                           : MetafileFault::Budget;
}

// Polygon count at 24, point count at 28, the polygons' counts at 32, then the points.
MetafileFault CheckEmfPolyPoints(const EmfRecord& r, bool small, EmfView& view, Budget& budget) {
    const uint32_t polygons = r.U(24);
    const uint32_t points = r.U(28);
    const uint64_t pointsAt = 32 + uint64_t{polygons} * 4;
    if (!r.Holds(32, polygons, 4) || !r.Holds(pointsAt, points, small ? 4 : 8))
        return MetafileFault::Points;
    uint64_t total = 0;
    for (uint64_t i = 0; i < polygons; ++i) total += r.U(32 + 4 * i);
    if (total != points) return MetafileFault::Points;
    if (!budget.AddPoints(points)) return MetafileFault::Budget;
    uint64_t at = pointsAt;
    for (uint64_t i = 0; i < polygons; ++i) {
        const uint32_t count = r.U(32 + 4 * i);
        const double side = EmfPointsSide(r, at, count, small, false, view);
        if (!budget.AddDrawn(side * view.Scale())) return MetafileFault::Budget;
        at += uint64_t{count} * (small ? 4 : 8);
    }
    return MetafileFault::None;
}

MetafileFault CheckEmfCurve(double side, const EmfView& view, Budget& budget) {
    if (!CurveFits(side, view.Scale())) return MetafileFault::Extent;
    return budget.AddDrawn(side * view.Scale()) ? MetafileFault::None : MetafileFault::Budget;
}

// The larger side of the rectangle of four longs at `at`.
double EmfRectSide(const EmfRecord& r, size_t at) {
    return static_cast<double>(std::max(std::abs(int64_t{r.S(at + 8)} - r.S(at)),
                                        std::abs(int64_t{r.S(at + 12)} - r.S(at + 4))));
}

MetafileFault CheckEmfRecord(uint32_t type, const EmfRecord& r, EmfView& view, Budget& budget) {
    const double scale = view.Scale();
    using namespace emr;
    using F = MetafileFault;
    switch (type) {
        case kEllipse:
        case kArc:
        case kChord:
        case kPie:
            return CheckEmfCurve(EmfRectSide(r, 8), view, budget);
        case kArcTo:  // ends on the arc, within its rectangle
            view.MoveTo(r.S(8), r.S(12));
            return CheckEmfCurve(EmfRectSide(r, 8), view, budget);
        case kRoundRect:  // the rectangle, then the corner's width and height
            return CheckEmfCurve(
                std::max({EmfRectSide(r, 8), std::abs(1.0 * r.S(24)), std::abs(1.0 * r.S(28))}),
                view, budget);
        case kAngleArc:  // centre, then the radius; ends on the circle
            view.MoveTo(r.S(8), r.S(12));
            return CheckEmfCurve(2.0 * r.U(16), view, budget);
        case kLineTo: {
            Span span;
            span.Add(view.X(), view.Y());
            span.Add(r.S(8), r.S(12));
            view.MoveTo(r.S(8), r.S(12));
            return budget.AddDrawn(span.Side() * scale) ? F::None : F::Budget;
        }

        case kPolyBezier:
        case kPolygon:
        case kPolyline:
            return CheckEmfPoints(r, false, false, false, view, budget);
        case kPolyBezierTo:
        case kPolylineTo:
            return CheckEmfPoints(r, false, false, true, view, budget);
        case kPolyBezier16:
        case kPolygon16:
        case kPolyline16:
            return CheckEmfPoints(r, true, false, false, view, budget);
        case kPolyBezierTo16:
        case kPolylineTo16:
            return CheckEmfPoints(r, true, false, true, view, budget);
        case kPolyDraw:
        case kPolyDraw16:
            return CheckEmfPoints(r, type == kPolyDraw16, true, true, view, budget);
        case kPolyPolyline:
        case kPolyPolygon:
            return CheckEmfPolyPoints(r, false, view, budget);
        case kPolyPolyline16:
        case kPolyPolygon16:
            return CheckEmfPolyPoints(r, true, view, budget);
        case kGradientFill: {
            const uint32_t vertices = r.U(24);
            const uint32_t shapes = r.U(28);
            const uint32_t mode = r.U(32);
            if (mode > 2) return F::Parameters;
            const uint64_t corners = mode == 2 ? 3 : 2;  // triangles, else rectangles
            const uint64_t shapesAt = 36 + uint64_t{vertices} * 16;
            if (!r.Holds(36, vertices, 16) || !r.Holds(shapesAt, shapes, corners * 4))
                return F::Points;
            for (uint64_t i = 0; i < uint64_t{shapes} * corners; ++i)
                if (r.U(shapesAt + 4 * i) >= vertices) return F::Points;
            return budget.AddPoints(uint64_t{vertices} + shapes) ? F::None : F::Budget;
        }

        case kExtTextOutA:
        case kExtTextOutW:
            return CheckEmfText(r, 36, type == kExtTextOutW ? 2 : 1, EmfFixedSize(type), budget);
        case kPolyTextOutA:
        case kPolyTextOutW: {
            const uint32_t strings = r.U(36);
            if (!r.Holds(40, strings, 40)) return F::Text;
            const auto fixedEnd = static_cast<uint32_t>(40 + uint64_t{strings} * 40);
            for (uint64_t i = 0; i < strings; ++i)
                if (const F f = CheckEmfText(r, 40 + 40 * i, type == kPolyTextOutW ? 2 : 1,
                                             fixedEnd, budget);
                    f != F::None)
                    return f;
            return F::None;
        }
        case kSmallTextOut:
            return CheckEmfSmallText(r, budget);

        case kSelectObject:
        case kSelectPalette:
        case kSetPaletteEntries:
        case kResizePalette:
        case kSetColorSpace:
        case kColorCorrectPalette:
            if (!r.Uses(8)) return F::ObjectIndex;
            if (type == kSetPaletteEntries && !r.Holds(20, r.U(16), 4)) return F::Parameters;
            if (type == kResizePalette && r.U(12) > 0xFFFF) return F::Parameters;
            return F::None;
        case kDeleteObject:
        case kDeleteColorSpace:
            return r.Deletes(8) ? F::None : F::ObjectIndex;

        case kCreatePen:  // style, then the width as a point
            if (!r.Creates(8)) return F::ObjectIndex;
            return CurveFits(std::abs(static_cast<double>(r.S(16))), scale) ? F::None : F::Extent;
        case kCreateColorSpace:
            return r.Creates(8) ? F::None : F::ObjectIndex;
        case kExtCreateFontIndirectW:
            if (!r.Creates(8)) return F::ObjectIndex;
            // Longer than a font with its full name, style and PANOSE (320 bytes), it carries
            // a design vector of at most 16 axes after the 348-byte font.
            if (r.Size() <= 12 + 320) return F::None;
            return r.Holds(12 + 348, 2, 4) && r.U(364) <= 16 && r.Holds(368, r.U(364), 4)
                       ? F::None
                       : F::Parameters;
        case kCreateBrushIndirect:
            if (!r.Creates(8)) return F::ObjectIndex;
            // Pattern styles take the hatch field as a handle or a pointer.
            return r.U(12) <= 2 ? F::None : F::Unsupported;
        case kCreatePalette:
            if (!r.Creates(8)) return F::ObjectIndex;
            return r.Holds(16, U16(r.At(14, 2), 0), 4) ? F::None : F::Parameters;
        case kCreateColorSpaceW:
            if (!r.Creates(8)) return F::ObjectIndex;
            return r.Holds(608, r.U(604), 1) ? F::None : F::Parameters;
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt:
            if (!r.Creates(8)) return F::ObjectIndex;
            return CheckEmfBitmap(r, 16, EmfFixedSize(type), r.U(12), std::nullopt, true, budget);
        case kExtCreatePen: {
            if (!r.Creates(8)) return F::ObjectIndex;
            // Pattern brush styles take the hatch field as a pointer; the others leave the
            // bitmap fields unread.
            if (r.U(36) > 2) return F::Unsupported;
            if (!r.Holds(52, r.U(48), 4)) return F::Parameters;
            // A geometric pen is as wide as its width in logical units.
            const bool geometric = (r.U(28) & 0x00010000) != 0;
            return !geometric || CurveFits(r.U(32), scale) ? F::None : F::Extent;
        }

        case kFillRgn:
        case kFrameRgn:
            if (!r.Uses(28)) return F::ObjectIndex;
            return CheckEmfRegion(r, type == kFillRgn ? 32 : 40, r.U(24), budget);
        case kInvertRgn:
        case kPaintRgn:
            return CheckEmfRegion(r, 28, r.U(24), budget);
        case kExtSelectClipRgn: {
            const uint32_t mode = r.U(12);
            if (mode < 1 || mode > 5) return F::Parameters;
            // No region only resets the clipping (RGN_COPY).
            if (r.U(8) == 0) return mode == 5 ? F::None : F::Parameters;
            return CheckEmfRegion(r, 16, r.U(8), budget, false);
        }

        case kBitBlt:
        case kStretchBlt:
        case kMaskBlt:
        case kPlgBlt:
        case kSetDiBitsToDevice:
        case kStretchDiBits:
        case kAlphaBlend:
        case kTransparentBlt:
            return CheckEmfBlit(type, r, budget);

        case kGdiComment:
            return r.Holds(12, r.U(8), 1) ? F::None : F::Parameters;
        case kSetIcmProfileA:
        case kSetIcmProfileW:
            return r.Holds(20, uint64_t{r.U(12)} + r.U(16), 1) ? F::None : F::Parameters;
        case kColorMatchToTargetW:
            return r.Holds(24, uint64_t{r.U(16)} + r.U(20), 1) ? F::None : F::Parameters;
        case kSetLinkedUfis:
            return r.Holds(12, r.U(8), 8) ? F::None : F::Parameters;
        // Driver escapes and OpenGL records reach code that trusts their contents.
        case kDrawEscape:
        case kExtEscape:
        case kNamedEscape:
        case kGlsRecord:
        case kGlsBoundedRecord:
            return F::Unsupported;

        case kSaveDc:
            return budget.Save() ? F::None : F::Budget;
        case kRestoreDc:
            budget.Restore(r.S(8));
            return F::None;
        case kEof: {
            const uint32_t entries = r.U(8);
            if (entries == 0) return F::None;
            const uint32_t at = r.U(12);
            return at >= 16 && r.Holds(at, uint64_t{entries} + 1, 4) ? F::None : F::Parameters;
        }
        default:
            return F::None;
    }
}

MetafileFault CheckEmfHeader(Bytes file) {
    using F = MetafileFault;
    if (file.size() < kEmfHeaderSize) return F::Header;
    const uint32_t size = U32(file, 4);
    if (U32(file, 0) != emr::kHeader || size < kEmfHeaderSize || size % 4 != 0 ||
        size > file.size() || U32(file, 40) != kEmfSignature || U16(file, 56) == 0)
        return F::Header;
    // The frame (in .01 mm) and the reference device's size in pixels and millimetres divide
    // when the player scales the picture.
    const int64_t frameWidth = int64_t{S32(file, 32)} - S32(file, 24);
    const int64_t frameHeight = int64_t{S32(file, 36)} - S32(file, 28);
    if (frameWidth <= 0 || frameHeight <= 0 || frameWidth > INT32_MAX || frameHeight > INT32_MAX ||
        S32(file, 72) <= 0 || S32(file, 76) <= 0 || S32(file, 80) <= 0 || S32(file, 84) <= 0)
        return F::Header;
    // The player stretches the frame, in pixels of the reference device, over the preview.
    if (frameWidth / 100.0 * S32(file, 72) / S32(file, 80) < 1 ||
        frameHeight / 100.0 * S32(file, 76) / S32(file, 84) < 1)
        return F::Header;
    const uint32_t descriptionChars = U32(file, 60);
    const uint32_t descriptionAt = U32(file, 64);
    if (descriptionChars != 0 &&
        (descriptionAt < kEmfHeaderSize || !Fits(size, descriptionAt, descriptionChars, 2)))
        return F::Header;
    // The pixel format fields follow when the description leaves room for them.
    const uint32_t fieldsEnd = descriptionChars != 0 ? std::min(size, descriptionAt) : size;
    if (fieldsEnd >= 100) {
        const uint32_t formatSize = U32(file, 88);
        const uint32_t formatAt = U32(file, 92);
        if (formatSize != 0 && (formatAt < kEmfHeaderSize || !Fits(size, formatAt, formatSize, 1)))
            return F::Header;
    }
    return F::None;
}


}  // namespace

MetafileFault CheckEmf(std::span<const uint8_t> file) {
    using F = MetafileFault;
    if (file.size() > kMaxMetafileSize) return F::TooLarge;
    if (const F f = CheckEmfHeader(file); f != F::None) return f;
    if (U32(file, 48) != file.size()) return F::End;
    const uint16_t handles = U16(file, 56);
    const uint32_t declaredRecords = U32(file, 52);
    const double pixelsPerMmX = static_cast<double>(S32(file, 72)) / S32(file, 80);
    const double pixelsPerMmY = static_cast<double>(S32(file, 76)) / S32(file, 84);
    const double frameSide =
        std::min((S32(file, 32) - static_cast<double>(S32(file, 24))) / 100 * pixelsPerMmX,
                 (S32(file, 36) - static_cast<double>(S32(file, 28))) / 100 * pixelsPerMmY);
    EmfView view(kMaxMetafileViewSide / frameSide, std::max(pixelsPerMmX, pixelsPerMmY));

    Budget budget;
    uint32_t records = 1;
    size_t at = U32(file, 4);
    while (file.size() - at >= 8) {
        const uint32_t type = U32(file, at);
        const uint32_t size = U32(file, at + 4);
        if (size < 8 || size % 4 != 0 || size > file.size() - at || size < EmfFixedSize(type))
            return F::RecordSize;
        if (type == emr::kHeader) return F::Header;
        if (++records > kMaxMetafileRecords) return F::TooLarge;
        const EmfRecord record(file.subspan(at, size), handles);
        if (!view.Apply(type, record)) return F::Parameters;
        if (const F f = CheckEmfRecord(type, record, view, budget); f != F::None) return f;
        at += size;
        if (type == emr::kEof) {
            if (at != file.size()) return F::End;
            return records == declaredRecords ? F::None : F::Header;
        }
    }
    return at == file.size() ? F::End : F::RecordSize;
}

}  // namespace qcd
