#include "preview/icon_strip.h"

#include "base/checked.h"
#include "platform/handles.h"
#include "preview/canvas.h"
#include "preview/fit_geometry.h"

namespace qcd {

IconStrip::Cell::Cell(const Surface& strip, int32_t n)
    : dc_(strip.Dc()), saved_(SaveDC(dc_)), x_((n - 1) * kCell) {
    IntersectClipRect(dc_, x_, 0, x_ + kCell, kCell);
    const RECT cell{x_, 0, x_ + kCell, kCell};
    win::unique_hbrush brush(CreateSolidBrush(strip.BackColor()));
    FillRect(dc_, &cell, brush.get());
}

IconStrip::Cell IconStrip::CellOf(int32_t n) const { return Cell(canvas_.IconStrip(), n); }

bool IconStrip::Prepare(std::vector<StripImage> images) {
    images_.clear();
    const auto count = static_cast<int32_t>(images.size());
    const auto width = CheckedMul<int32_t>(count, kCell);
    Surface& strip = canvas_.IconStrip();
    if (count < 1 || !width || !strip.Resize(*width, kCell)) return false;
    strip.Cls();
    images_ = std::move(images);
    return true;
}

StripImage IconStrip::DrawImage(int32_t n) {
    if (n < 1 || n > Count()) return {};
    const StripImage image = images_[static_cast<size_t>(n - 1)];
    PreviewState& state = canvas_.State();
    state.pictureWidth = image.width;
    state.pictureHeight = image.height;
    state.pictureBits = image.bits;
    Surface& copy = canvas_.Copy();
    const auto cell = IconCell(n, image.width, copy.Width(), copy.Height());
    if (cell)
        BitBlt(copy.Dc(), cell->x, cell->y, cell->size, cell->size, canvas_.IconStrip().Dc(),
               cell->sourceX, 0, SRCCOPY);
    return image;
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

}  // namespace qcd
