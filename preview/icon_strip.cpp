#include "preview/icon_strip.h"

#include <algorithm>

#include "base/checked.h"
#include "platform/handles.h"
#include "preview/canvas.h"
#include "preview/fit_geometry.h"
#include "preview/picture_loader.h"

namespace qcd {

bool IconStrip::Prepare(std::vector<StripImage> images, Render render) {
    images_.clear();
    cellImages_.clear();
    const auto cells = std::min(static_cast<int32_t>(images.size()), kMaxCells);
    Surface& strip = canvas_.IconStrip();
    if (cells < 1 || !strip.Resize(cells * kCell, kCell)) return false;
    strip.Clear();
    images_ = std::move(images);
    render_ = std::move(render);
    cellImages_.assign(static_cast<size_t>(cells), 0);
    shown_ = 0;
    return true;
}

void IconStrip::RenderCell(int32_t n, size_t cell) {
    const Surface& strip = canvas_.IconStrip();
    const HDC dc = strip.Dc();
    const int x = static_cast<int>(cell) * kCell;
    // Drawing confined to the cell, on the strip's back colour: a bigger image must not spill
    // into its neighbour.
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, x, 0, x + kCell, kCell);
    const RECT area{x, 0, x + kCell, kCell};
    win::unique_hbrush brush(CreateSolidBrush(strip.BackColor()));
    FillRect(dc, &area, brush.get());
    cellImages_[cell] = n;
    if (render_) render_(n, dc, x);
    RestoreDC(dc, saved);
}

StripImage IconStrip::DrawImage(int32_t n) {
    if (n < 1 || n > Count() || cellImages_.empty()) return {};
    const StripImage image = images_[static_cast<size_t>(n - 1)];
    shown_ = n;
    PreviewState& state = canvas_.State();
    state.pictureWidth = image.width;
    state.pictureHeight = image.height;
    state.pictureBits = image.bits;
    const size_t cell = static_cast<size_t>(n - 1) % cellImages_.size();
    if (cellImages_[cell] != n) RenderCell(n, cell);
    Surface& copy = canvas_.Copy();
    // The placement as for cell n of a full strip, taken from this cell instead.
    const auto place = IconCell(1, image.width, copy.Width(), copy.Height());
    if (place)
        BitBlt(copy.Dc(), place->x, place->y, place->size, place->size, canvas_.IconStrip().Dc(),
               static_cast<int>(cell) * kCell, 0, SRCCOPY);
    return image;
}

bool IconStrip::DrawAgain() {
    if (shown_ < 1) return false;
    DrawImage(shown_);
    return true;
}

void IconStrip::ShowFirstImage(PreviewKind kind) {
    PreviewState& state = canvas_.State();
    state.kind = kind;
    state.imageCount = Count();
    state.imageIndex = 1;
    DrawImage(1);
    canvas_.SetText(PanelLabel::Size,
                    SizeCaption(state.pictureWidth, state.pictureHeight, state.pictureBits));
    canvas_.SetText(PanelLabel::Index, ImageLine(state.imageIndex, state.imageCount));
}

void IconStrip::ShowImageSet() {
    const bool several = Count() > 1;
    ShowFirstImage(several ? PreviewKind::IconSet : PreviewKind::Icon);
    if (several) {
        canvas_.Enable(PanelButton::Forward, true);
        canvas_.Enable(PanelButton::Back, true);
    }
}

void DrawIconImage(std::span<const uint8_t> file, const IconFileInfo& info, int32_t n, HDC dc,
                   int x) {
    const auto bytes = SingleImageIcon(file, info, n);
    const auto single = bytes ? FileBytes::Copy(*bytes) : std::nullopt;
    if (!single) return;
    if (const auto picture = LoadedPicture::FromBytes(*single))
        picture->Draw(dc, x, 0, picture->Width(), picture->Height());
}

}  // namespace qcd
