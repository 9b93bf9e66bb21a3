#include "preview/transitions.h"

#include <cmath>

namespace qcd {

namespace {

constexpr int32_t kStrip = 24;

// Halves to the even neighbour, as the default rounding mode does.
int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

void Add(std::vector<Blit>& frame, const Blit& b) {
    if (b.width > 0 && b.height > 0 && b.sw > 0 && b.sh > 0) frame.push_back(b);
}

// The strips stacked along `length`, each `breadth` long before its inset.
struct Strip {
    int32_t at, inset, thickness, along, sourceAt;
};

std::vector<Strip> Strips(int32_t s, int32_t length, int32_t breadth) {
    std::vector<Strip> strips;
    const int32_t n = length / kStrip;
    for (int32_t k = 0; k <= n; ++k) {
        if (s <= kStrip) {
            const int32_t inset = (s * k) / 4;
            strips.push_back({(kStrip - s) * k + s * (length / 48), inset, kStrip - s,
                              breadth - 2 * inset, kStrip * k});
        } else {
            const int32_t o = 48 - s, m = n - 1 - k;
            const int32_t inset = (o * m) / 4;  // m is -1 for the last strip: truncates to 0
            strips.push_back({o * (length / 48) + (s - kStrip) * k, inset, s - kStrip,
                              breadth - 2 * inset, kStrip * k});
        }
    }
    return strips;
}

}  // namespace

Effect EffectForDraw(double u) {
    const int r = static_cast<int>(std::floor(u * 5 + 1));
    return static_cast<Effect>(r < 1 ? 1 : r > 5 ? 5 : r);
}

std::vector<Blit> RowStrips(BlitSource source, int32_t s, int32_t w, int32_t h) {
    std::vector<Blit> out;
    for (const Strip& t : Strips(s, h, w))
        Add(out, {source, t.inset, t.at, t.along, t.thickness, 0, t.sourceAt, w, kStrip});
    return out;
}

std::vector<Blit> ColumnStrips(BlitSource source, int32_t s, int32_t w, int32_t h) {
    std::vector<Blit> out;
    for (const Strip& t : Strips(s, w, h))
        Add(out, {source, t.at, t.inset, t.thickness, t.along, t.sourceAt, 0, kStrip, h});
    return out;
}

EffectPlan PlanEffect(Effect effect, int32_t w, int32_t h) {
    EffectPlan plan;
    plan.ending = {BlitSource::New, 0, 0, w, h, 0, 0, w, h};
    const Blit whole{BlitSource::Old, 0, 0, w, h, 0, 0, w, h};
    switch (effect) {
        case Effect::RowFlip:
        case Effect::CrossFlip:
            // s = 2 .. 50; the last pass only erases.
            for (int32_t s = 2; s <= 50; s += 2) {
                std::vector<Blit> frame;
                Add(frame, {BlitSource::Blank, 0, 0, w, h, 0, 0, w, h});
                const bool fold = s <= kStrip;
                if (s <= 48) {
                    if (effect == Effect::CrossFlip)
                        for (const Blit& b :
                             ColumnStrips(fold ? BlitSource::New : BlitSource::Old, s, w, h))
                            frame.push_back(b);
                    for (const Blit& b : RowStrips(fold ? BlitSource::Old : BlitSource::New, s, w, h))
                        frame.push_back(b);
                }
                plan.frames.push_back(std::move(frame));
            }
            break;
        case Effect::CornerZoom:
            for (int32_t p = 50; p > 0; p -= 2) {
                std::vector<Blit> frame;
                Add(frame, whole);
                const double f = (100.0 - 2.0 * p) / 100.0;
                Add(frame, {BlitSource::New, Round(p * static_cast<double>(w) * 2 / 640),
                            Round(p * static_cast<double>(h) * 2 / 480),
                            static_cast<int32_t>(std::floor(f * w)),
                            static_cast<int32_t>(std::floor(f * h)), 0, 0, w, h});
                plan.frames.push_back(std::move(frame));
            }
            break;
        case Effect::ShrinkGrow: {
            plan.stepEndFirst = true;
            int32_t x = 0, y = 0;
            for (int e = 0; e <= 30; ++e) {
                std::vector<Blit> frame;
                Add(frame, {BlitSource::Old, x, y, w - 2 * x, h - 2 * y, 0, 0, w, h});
                plan.frames.push_back(std::move(frame));
                x += w / 60;
                y += h / 60;
            }
            x = w / 2;
            y = h / 2;
            for (int f = 0; f <= 20; ++f) {
                std::vector<Blit> frame;
                Add(frame, {BlitSource::New, x, y, w - 2 * x, h - 2 * y, 0, 0, w, h});
                plan.frames.push_back(std::move(frame));
                x -= w / 40;
                y -= h / 40;
            }
            break;
        }
        case Effect::SplitWipe: {
            // W/2 is a real number here: W = 101 gives a left width of 52 from x = 0 and a
            // right part from x = 50.
            const int32_t half = Round(w / 2.0), wide = Round(w / 2.0 + 1);
            for (int32_t i = 0;; ) {
                const int32_t d = 2 * i;
                std::vector<Blit> frame;
                Add(frame, {BlitSource::New, 0, 0, wide, d, 0, 0, wide, d});
                Add(frame, {BlitSource::New, half, h - d, wide, d, half, h - d, wide, d});
                plan.frames.push_back(std::move(frame));
                ++i;
                if (2 * i > h) break;
            }
            break;
        }
    }
    return plan;
}

EffectEnd RunEffect(const EffectPlan& plan, EffectSteps& steps) {
    EffectEnd end = EffectEnd::Finished;
    for (const std::vector<Blit>& frame : plan.frames) {
        if (plan.stepEndFirst) {
            const StepEnd step = steps.EndStep();
            if (step == StepEnd::Overtaken) return EffectEnd::Overtaken;
            if (step == StepEnd::Abort) {
                end = EffectEnd::Aborted;
                break;
            }
        }
        for (const Blit& b : frame) steps.Draw(b);
        if (!plan.stepEndFirst) {
            const StepEnd step = steps.EndStep();
            if (step == StepEnd::Overtaken) return EffectEnd::Overtaken;
            if (step == StepEnd::Abort) {
                end = EffectEnd::Aborted;
                break;
            }
        }
    }
    steps.Draw(plan.ending);
    if (!steps.AfterEnding()) return EffectEnd::Overtaken;
    return end;
}

}  // namespace qcd
