// The five transitions of the folder slideshow as plain geometry: each frame is a list of
// blits (which picture, which source rectangle, which rectangle of the preview area), and
// one routine runs a plan against whatever draws and waits. Portable code.
#pragma once

#include <cstdint>
#include <vector>

namespace qcd {

enum class Effect : uint8_t { RowFlip = 1, CornerZoom, ShrinkGrow, SplitWipe, CrossFlip };

// The effect for a uniform u in [0, 1): floor(u × 5 + 1).
Effect EffectForDraw(double u);

// Old: the copy, the slide shown so far. New: the icon strip, the next slide. Blank: the area's
// colour, the erase of the strip effects.
enum class BlitSource : uint8_t { Old, New, Blank };

// The source rectangle stretched into the destination rectangle.
struct Blit {
    BlitSource source;
    int32_t x, y, width, height;
    int32_t sx, sy, sw, sh;
    bool operator==(const Blit&) const = default;
};

struct EffectPlan {
    // Shrink/grow asks about the abort before each frame, the others after it.
    bool stepEndFirst = false;
    // Blits with no area are left out: a negative size would mirror the picture instead.
    std::vector<std::vector<Blit>> frames;
    // The whole new slide, drawn last even after an abort.
    Blit ending{};
};

// The frames of `effect` over a w × h preview area.
EffectPlan PlanEffect(Effect effect, int32_t w, int32_t h);

// The 24-row strips of a picture, k = 0 .. h div 24, at step s (2 .. 48): folding up to 24,
// unfolding after. Columns are the same with the axes swapped.
std::vector<Blit> RowStrips(BlitSource source, int32_t s, int32_t w, int32_t h);
std::vector<Blit> ColumnStrips(BlitSource source, int32_t s, int32_t w, int32_t h);

enum class StepEnd : uint8_t { Go, Abort, Overtaken };
enum class EffectEnd : uint8_t { Finished, Aborted, Overtaken };

class EffectSteps {
  public:
    virtual ~EffectSteps() = default;
    virtual void Draw(const Blit& blit) = 0;
    // After each frame (before it for shrink/grow): messages run; whether to go on.
    virtual StepEnd EndStep() = 0;
    // After the ending: messages run once; false when a selection took the panel meanwhile.
    virtual bool AfterEnding() = 0;
};

// Runs the plan to its end or its abort, then draws the ending. A selection handled
// meanwhile owns the panel: then nothing more is drawn, not even the ending.
EffectEnd RunEffect(const EffectPlan& plan, EffectSteps& steps);

}  // namespace qcd
