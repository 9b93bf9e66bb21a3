// Icon, cursor, animated-cursor and program-icon previews: every image is rendered once into
// the strip picIcon, one 32-pixel cell each; showing an image is then one cell copy.
#include "preview/preview_engine.h"

#include <windows.h>

#include <shellapi.h>

#include "control/checked.h"
#include "dialoghost/fit_geometry.h"
#include "platform/text.h"
#include "preview/ani_file.h"
#include "preview/icon_file.h"

namespace qcd {

namespace {

constexpr int kCell = 32;
// Program icons are taken as 32 x 32 at 4 bits, whatever they really are.
constexpr StripImage kProgramIcon{32, 32, 4};

// Drawing confined to cell n of the strip, on the strip's back colour: a bigger image must not
// spill into its neighbour.
class CellScope {
  public:
    CellScope(const Surface& strip, int32_t n)
        : dc_(strip.Dc()), saved_(SaveDC(dc_)), x_((n - 1) * kCell) {
        IntersectClipRect(dc_, x_, 0, x_ + kCell, kCell);
        const RECT cell{x_, 0, x_ + kCell, kCell};
        win::unique_hbrush brush(CreateSolidBrush(strip.BackColor()));
        FillRect(dc_, &cell, brush.get());
    }
    ~CellScope() { RestoreDC(dc_, saved_); }
    CellScope(const CellScope&) = delete;
    CellScope& operator=(const CellScope&) = delete;
    HDC Dc() const { return dc_; }
    int X() const { return x_; }

  private:
    HDC dc_;
    int saved_;
    int x_;
};

// A size from the file, for drawing into a 32-pixel cell: nonsense sizes draw at the cell's.
int DrawingSize(int32_t size) {
    return size >= 1 && size <= 256 ? size : kCell;
}

StripImage ToStrip(const IconImageInfo& image) {
    return {image.width, image.height, image.bits};
}

}  // namespace

bool PreviewEngine::PrepareStrip(int32_t count) {
    const auto width = CheckedMul<int32_t>(count, kCell);
    if (count < 1 || !width || !picIcon_.Resize(*width, kCell)) return false;
    picIcon_.Cls();
    return true;
}

StripImage PreviewEngine::DrawIconFrame(int32_t n) {
    if (n < 1 || static_cast<size_t>(n) > images_.size()) return {};
    const StripImage image = images_[static_cast<size_t>(n - 1)];
    state_.pictureWidth = image.width;
    state_.pictureHeight = image.height;
    state_.pictureBits = image.bits;
    const auto cell = IconCell(n, image.width, picCopy_.Width(), picCopy_.Height());
    if (cell)
        BitBlt(picCopy_.Dc(), cell->x, cell->y, cell->size, cell->size, picIcon_.Dc(),
               cell->sourceX, 0, SRCCOPY);
    return image;
}

int32_t PreviewEngine::LoadIconFile(const FileBytes& file) {
    const IconFileInfo info = ReadIconFile(file.Bytes());
    if (info.count < 1) return info.count;
    if (!PrepareStrip(info.count)) return kIconInvalid;
    images_.clear();
    for (const IconImageInfo& image : info.images) images_.push_back(ToStrip(image));
    for (int32_t n = 1; n <= info.count; ++n) {
        // The loader draws the first 32-pixel entry of a many-image file whatever is asked, and
        // wants the header's reserved field 0: each image goes to it as a clean file of its own.
        const auto bytes = SingleImageIcon(file.Bytes(), info, n);
        const auto single = bytes ? FileBytes::Copy(*bytes) : std::nullopt;
        if (!single) continue;
        const auto picture = LoadedPicture::FromBytes(*single);
        // An image the platform cannot draw leaves its cell blank; the others still show.
        if (!picture) continue;
        CellScope cell(picIcon_, n);
        picture->Draw(cell.Dc(), cell.X(), 0, picture->Width(), picture->Height());
    }
    return info.count;
}

int32_t PreviewEngine::LoadAnimatedCursor(const FileBytes& file) {
    const AniFileInfo info = ReadAniFile(file.Bytes());
    if (info.count < 1) return info.count;
    if (!PrepareStrip(info.count)) return kIconInvalid;
    win::unique_hcursor cursor(LoadCursorFromFileW(win::Wide(props_.FileName)));
    if (!cursor) return kIconInvalid;
    images_.clear();
    for (const IconImageInfo& image : info.images) images_.push_back(ToStrip(image));
    stepRates_ = info.rates;
    stepImages_ = info.sequence;
    displayRate_ = info.displayRate;
    state_.frameCount = info.stepCount;
    for (int32_t n = 1; n <= info.count; ++n) {
        const StripImage& image = images_[static_cast<size_t>(n - 1)];
        CellScope cell(picIcon_, n);
        // The platform indexes an animated cursor's pictures by step, in sequence order: an
        // image no step shows cannot be drawn and keeps a blank cell.
        const int32_t step = info.FirstStepShowing(n);
        if (step < 1) continue;
        DrawIconEx(cell.Dc(), cell.X(), 0, cursor.get(), DrawingSize(image.width),
                   DrawingSize(image.height), static_cast<UINT>(step - 1), nullptr, DI_NORMAL);
    }
    return info.count;
}

int32_t PreviewEngine::LoadProgramIcons() {
    const std::u16string& path = props_.FileName;
    const auto count =
        static_cast<int32_t>(ExtractIconExW(win::Wide(path), -1, nullptr, nullptr, 0));
    if (count < 1) return count;
    if (!PrepareStrip(count)) return -1;
    // One call extracts them all: the file is opened once, not once per icon.
    // Owners ready before the icons exist: nothing can fail between their making and owning.
    std::vector<HICON> handles(static_cast<size_t>(count), nullptr);
    std::vector<win::unique_hicon> icons;
    icons.reserve(handles.size());
    const UINT extracted =
        ExtractIconExW(win::Wide(path), 0, handles.data(), nullptr, static_cast<UINT>(count));
    for (HICON h : handles) icons.emplace_back(h);
    if (extracted == 0 || extracted == UINT_MAX) return -1;
    images_.assign(static_cast<size_t>(count), kProgramIcon);
    for (int32_t n = 1; n <= count; ++n) {
        const HICON icon = icons[static_cast<size_t>(n - 1)].get();
        if (!icon) continue;
        CellScope cell(picIcon_, n);
        DrawIcon(cell.Dc(), cell.X(), 0, icon);
    }
    return count;
}

void PreviewEngine::ShowFirstImage(const PanelView& panel, int32_t count, PreviewKind kind) {
    state_.kind = kind;
    state_.imageCount = count;
    state_.imageIndex = 1;
    DrawIconFrame(1);
    panel.SetText(kSizeLabel,
                  SizeCaption(state_.pictureWidth, state_.pictureHeight, state_.pictureBits));
    panel.SetText(kIndexLabel, ImageLine(state_.imageIndex, state_.imageCount));
}

void PreviewEngine::ShowImageSet(const PanelView& panel, int32_t count) {
    ShowFirstImage(panel, count, count > 1 ? PreviewKind::IconSet : PreviewKind::Icon);
    if (count > 1) {
        panel.Enable(kForwardButton, true);
        panel.Enable(kBackButton, true);
    }
}

bool PreviewEngine::ShowIconFile(const PanelView& panel, int panelW, int panelH) {
    const auto file = FileBytes::Read(props_.FileName);
    if (!file) return true;
    const int32_t n = LoadIconFile(*file);
    if (n == kIconNotThisFormat)
        return ShowPicture(*file, PictureHeaderKind::Bitmap, panelW, panelH);
    if (n >= 1) ShowImageSet(panel, n);
    return true;
}

bool PreviewEngine::ShowAnimatedCursor(const PanelView& panel, int panelW, int panelH,
                                       bool& keepStatus) {
    const auto file = FileBytes::Read(props_.FileName);
    if (!file) return true;
    const int32_t n = LoadAnimatedCursor(*file);
    if (n == kIconNotThisFormat)
        return ShowPicture(*file, PictureHeaderKind::Bitmap, panelW, panelH);
    if (n < 1) return true;
    state_.frameIndex = 1;
    ShowFirstImage(panel, n, n > 1 ? PreviewKind::AnimatedCursor : PreviewKind::Icon);
    panel.SetText(kStatusLabel, FrameLine(state_.frameIndex, state_.frameCount));
    keepStatus = true;
    if (n > 1)
        for (int id : {kPlayButton, kForwardButton, kBackButton}) panel.Enable(id, true);
    return true;
}

void PreviewEngine::ShowProgramIcons(const PanelView& panel) {
    const int32_t n = LoadProgramIcons();
    if (n < 1)
        panel.SetText(kIndexLabel, kNoImageText);
    else
        ShowImageSet(panel, n);
}

}  // namespace qcd
