// Stepping through the images of an icon strip with the panel's buttons, and the animated
// cursor's play, pause and step timer: the button rows of the icon-set and animated-cursor
// kinds. Portable code.
#pragma once

#include <cstdint>
#include <span>

#include "preview/button_rows.h"
#include "preview/preview_kind.h"

namespace qcd {

// Size and depth of one image of the icon strip, as its bitmap header gave them.
struct StripImage {
    int32_t width = 0, height = 0;
    int16_t bits = 0;
};

// The strip of images a kind has rendered.
class ImageStrip {
  public:
    virtual ~ImageStrip() = default;
    // Draws image `image` (1-based, within the strip) centred into the off-screen copy.
    virtual StripImage DrawImage(int32_t image) = 0;
};

// An animated cursor's steps: element s - 1 belongs to step s. A step past a table's end
// (an empty table: the file had no such chunk) takes `displayRate` and the plain sequence
// 0, 1, ..., images - 1, 0, ...
struct AnimationSteps {
    std::span<const int32_t> rates;   // display time in the file's unit (10 ms each)
    std::span<const int32_t> images;  // 0-based image shown
    int32_t displayRate = 0;
};

// What a press or a tick reads and moves. Built by the caller for each call, so the spans
// always see the tables of the preview now shown.
struct ImageSetContext {
    PanelActions& panel;
    ImageStrip& strip;
    PreviewState& state;
    AnimationSteps animation;
};

// The rows of an icon or program file with several images (IconSet).
void PressIconSet(const ImageSetContext& context, PanelButton button);
// The rows of an animated cursor of two or more images (AnimatedCursor and its states).
void PressAnimatedCursor(const ImageSetContext& context, PanelButton button);

// One tick of Timer1: shows the animated cursor's next step and times the one after.
// Does nothing unless the animation is running.
void AniStepTick(const ImageSetContext& context);

}  // namespace qcd
