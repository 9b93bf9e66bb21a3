// The icon strip of the icon kinds: an image is rendered into a 32-pixel cell of its own
// the first time it is shown, and showing it again is one cell blit into the copy. The strip
// holds a few cells, however many images the file has: a file of 32767 icons costs what the
// shown ones cost.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "readers/icon_file.h"
#include "preview/image_steps.h"
#include "preview/preview_kind.h"

namespace qcd {

class Canvas;
class Surface;

class IconStrip final : public ImageStrip {
  public:
    static constexpr int kCell = 32;
    // Cells kept rendered: an animation's frames, or the images stepped through lately.
    static constexpr int32_t kMaxCells = 64;

    // Draws image n (1-based) at (x, 0) of `dc`, clipped to its 32-pixel cell.
    using Render = std::function<void(int32_t n, HDC dc, int x)>;

    explicit IconStrip(Canvas& canvas) : canvas_(canvas) {}

    // The images of the file now shown and how each is drawn; the icon strip becomes a blank strip
    // of up to kMaxCells cells. False when the strip cannot be made.
    bool Prepare(std::vector<StripImage> images, Render render);
    int32_t Count() const { return static_cast<int32_t>(images_.size()); }

    // Image n's cell centred into the copy, rendered first if the cell holds another image;
    // the shown size and depth become image n's.
    StripImage DrawImage(int32_t n) override;
    // The image drawn last, drawn again into the copy (which has a new size); false when none
    // was drawn since Prepare.
    bool DrawAgain();

    // Image 1 of the strip shown as `kind`, with its size caption and image line.
    void ShowFirstImage(PreviewKind kind);
    // An icon or program file's images: several can be stepped through.
    void ShowImageSet();

  private:
    void RenderCell(int32_t n, size_t cell);

    Canvas& canvas_;
    std::vector<StripImage> images_;
    Render render_;
    // The image each cell holds, 0 for none.
    std::vector<int32_t> cellImages_;
    int32_t shown_ = 0;
};

// Image n of an icon or cursor file drawn at its own size at (x, 0) of `dc` by the platform's
// picture loader, given the one image as a file of its own: it draws the first 32-pixel entry
// of a many-image file whatever is asked, and wants the header's reserved field 0. An image
// it cannot draw leaves nothing.
void DrawIconImage(std::span<const uint8_t> file, const IconFileInfo& info, int32_t n, HDC dc,
                   int x);

}  // namespace qcd
