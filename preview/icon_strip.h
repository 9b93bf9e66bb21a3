// The strip picIcon of the icon kinds: every image rendered once into a 32-pixel cell of its
// own; showing an image is then one cell copy into picCopy.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "preview/image_steps.h"
#include "preview/preview_kind.h"

namespace qcd {

class Canvas;
class Surface;

class IconStrip final : public ImageStrip {
  public:
    static constexpr int kCell = 32;

    explicit IconStrip(Canvas& canvas) : canvas_(canvas) {}

    // picIcon as a blank strip of `count` cells, for the images described; false when the
    // strip cannot be made that large.
    bool Prepare(std::vector<StripImage> images);
    int32_t Count() const { return static_cast<int32_t>(images_.size()); }
    // The DC drawing of image n goes to, confined to its cell on the strip's back colour (a
    // bigger image must not spill into its neighbour), and the cell's left edge.
    class Cell {
      public:
        Cell(const Surface& strip, int32_t n);
        ~Cell() { RestoreDC(dc_, saved_); }
        Cell(const Cell&) = delete;
        Cell& operator=(const Cell&) = delete;
        HDC Dc() const { return dc_; }
        int X() const { return x_; }

      private:
        HDC dc_;
        int saved_;
        int x_;
    };
    Cell CellOf(int32_t n) const;

    // Image n's cell centred into picCopy; the shown size and depth become image n's.
    StripImage DrawImage(int32_t n) override;

    // Image 1 of the strip shown as `kind`, with its size caption and image line.
    void ShowFirstImage(PreviewKind kind);
    // An icon or program file's images: several can be stepped through.
    void ShowImageSet();

  private:
    Canvas& canvas_;
    std::vector<StripImage> images_;
};

}  // namespace qcd
