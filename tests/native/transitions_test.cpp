#include "preview/transitions.h"

#include <gtest/gtest.h>

#include <vector>

namespace qcd {
namespace {

constexpr auto Old = BlitSource::Old;
constexpr auto New = BlitSource::New;
constexpr auto Blank = BlitSource::Blank;

std::vector<int32_t> Field(const std::vector<Blit>& blits, int32_t Blit::*field) {
    std::vector<int32_t> out;
    for (const Blit& b : blits) out.push_back(b.*field);
    return out;
}

TEST(Transitions, RowStripsFoldWithTheirInsets) {
    // H = 100: strips k = 0 .. 4, H div 48 = 2, so at s = 2 they start 4 rows down.
    const auto strips = RowStrips(Old, 2, 102, 100);
    ASSERT_EQ(strips.size(), 5u);
    EXPECT_EQ(Field(strips, &Blit::y), (std::vector<int32_t>{4, 26, 48, 70, 92}));
    EXPECT_EQ(Field(strips, &Blit::height), (std::vector<int32_t>(5, 22)));
    EXPECT_EQ(Field(strips, &Blit::width), (std::vector<int32_t>{102, 102, 100, 100, 98}));
    EXPECT_EQ(Field(strips, &Blit::x), (std::vector<int32_t>{0, 0, 1, 1, 2}));
    // The last strip reads source rows 96..119, partly outside the picture.
    EXPECT_EQ(strips[4], (Blit{Old, 2, 92, 98, 22, 0, 96, 102, 24}));
}

TEST(Transitions, UnfoldingNarrowsTheUpperStripsAndTruncatesTowardZero) {
    // s = 26: o = 22, m = 3 .. -1, inset = 22m div 4; (-22) div 4 is -5, not -6.
    const auto strips = RowStrips(New, 26, 102, 100);
    ASSERT_EQ(strips.size(), 5u);
    EXPECT_EQ(Field(strips, &Blit::x), (std::vector<int32_t>{16, 11, 5, 0, -5}));
    EXPECT_EQ(Field(strips, &Blit::width), (std::vector<int32_t>{70, 80, 92, 102, 112}));
    EXPECT_EQ(Field(strips, &Blit::height), (std::vector<int32_t>(5, 2)));
    EXPECT_EQ(Field(strips, &Blit::y), (std::vector<int32_t>{44, 46, 48, 50, 52}));
    // s = 48: every strip whole and in place.
    const auto last = RowStrips(New, 48, 102, 100);
    EXPECT_EQ(Field(last, &Blit::y), (std::vector<int32_t>{0, 24, 48, 72, 96}));
    EXPECT_EQ(Field(last, &Blit::x), (std::vector<int32_t>(5, 0)));
}

TEST(Transitions, ColumnStripsAreRowStripsTurned) {
    for (int32_t s : {2, 14, 26, 40}) {
        const auto rows = RowStrips(Old, s, 80, 119);
        const auto columns = ColumnStrips(Old, s, 119, 80);
        ASSERT_EQ(rows.size(), columns.size()) << s;
        for (size_t i = 0; i < rows.size(); ++i) {
            const Blit& r = rows[i];
            EXPECT_EQ(columns[i], (Blit{Old, r.y, r.x, r.height, r.width, r.sy, r.sx, r.sh, r.sw}));
        }
    }
}

TEST(Transitions, RowFlipErasesEveryFrameAndDrawsOnlyTheEraseAtTheTurnAndTheEnd) {
    const EffectPlan plan = PlanEffect(Effect::RowFlip, 119, 138);
    ASSERT_EQ(plan.frames.size(), 25u);
    EXPECT_FALSE(plan.stepEndFirst);
    const Blit erase{Blank, 0, 0, 119, 138, 0, 0, 119, 138};
    for (const auto& frame : plan.frames) EXPECT_EQ(frame.front(), erase);
    // s = 24 (frame 12) has zero-height strips; s = 50 is the last pass.
    EXPECT_EQ(plan.frames[11], std::vector<Blit>{erase});
    EXPECT_EQ(plan.frames[24], std::vector<Blit>{erase});
    // Folding shows the old slide, unfolding the new one; 138 div 24 + 1 = 6 strips.
    EXPECT_EQ(plan.frames[0].size(), 7u);
    EXPECT_EQ(plan.frames[0][1].source, Old);
    EXPECT_EQ(plan.frames[12][1].source, New);
    EXPECT_EQ(plan.ending, (Blit{New, 0, 0, 119, 138, 0, 0, 119, 138}));
}

TEST(Transitions, CrossFlipWeavesColumnsUnderRows) {
    const EffectPlan plan = PlanEffect(Effect::CrossFlip, 119, 138);
    ASSERT_EQ(plan.frames.size(), 25u);
    // s = 2: the erase, 119 div 24 + 1 = 5 columns of the new slide, then 6 rows of the old.
    const auto& first = plan.frames[0];
    ASSERT_EQ(first.size(), 12u);
    for (size_t i = 1; i <= 5; ++i) EXPECT_EQ(first[i].source, New);
    for (size_t i = 6; i < 12; ++i) EXPECT_EQ(first[i].source, Old);
    EXPECT_EQ(first[1].width, 22);
    // After the turn the old slide's columns lie under the new slide's rows.
    const auto& after = plan.frames[12];
    ASSERT_EQ(after.size(), 12u);
    EXPECT_EQ(after[1].source, Old);
    EXPECT_EQ(after[11].source, New);
    EXPECT_EQ(plan.frames[11].size(), 1u);
}

TEST(Transitions, CornerZoomGrowsFromNothingToNinetySixPercent) {
    const EffectPlan plan = PlanEffect(Effect::CornerZoom, 102, 119);
    ASSERT_EQ(plan.frames.size(), 25u);
    const Blit old{Old, 0, 0, 102, 119, 0, 0, 102, 119};
    // p = 50: the new slide has no size yet, only the old one is drawn.
    EXPECT_EQ(plan.frames[0], std::vector<Blit>{old});
    // p = 26 is frame 13, p = 2 the last.
    EXPECT_EQ(plan.frames[12], (std::vector<Blit>{old, {New, 8, 13, 48, 57, 0, 0, 102, 119}}));
    EXPECT_EQ(plan.frames[24], (std::vector<Blit>{old, {New, 1, 1, 97, 114, 0, 0, 102, 119}}));
}

TEST(Transitions, ShrinkGrowAsksBeforeEachFrame) {
    const EffectPlan plan = PlanEffect(Effect::ShrinkGrow, 101, 119);
    EXPECT_TRUE(plan.stepEndFirst);
    ASSERT_EQ(plan.frames.size(), 31u + 21u);
    EXPECT_EQ(plan.frames[0], (std::vector<Blit>{{Old, 0, 0, 101, 119, 0, 0, 101, 119}}));
    EXPECT_EQ(plan.frames[30], (std::vector<Blit>{{Old, 30, 30, 41, 59, 0, 0, 101, 119}}));
    // The new slide starts at the centre, 1 × 1, and grows 2 pixels a side a frame.
    EXPECT_EQ(plan.frames[31], (std::vector<Blit>{{New, 50, 59, 1, 1, 0, 0, 101, 119}}));
    EXPECT_EQ(plan.frames[51], (std::vector<Blit>{{New, 10, 19, 81, 81, 0, 0, 101, 119}}));
}

TEST(Transitions, SplitWipeHalvesOverlapAndCountRows) {
    for (int32_t h : {100, 101}) {
        const EffectPlan plan = PlanEffect(Effect::SplitWipe, 101, h);
        ASSERT_EQ(plan.frames.size(), 51u) << h;
        // d = 0 draws nothing.
        EXPECT_TRUE(plan.frames[0].empty());
        EXPECT_EQ(plan.frames[1], (std::vector<Blit>{{New, 0, 0, 52, 2, 0, 0, 52, 2},
                                                    {New, 50, h - 2, 52, 2, 50, h - 2, 52, 2}}));
        EXPECT_EQ(plan.frames[50][0].height, 100);
    }
    // An even width: round(51) = 51 left, the right part from 50.
    EXPECT_EQ(PlanEffect(Effect::SplitWipe, 100, 10).frames[1][1].x, 50);
    EXPECT_EQ(PlanEffect(Effect::SplitWipe, 100, 10).frames[1][0].width, 51);
}

TEST(Transitions, NoBlitHasAnEmptyOrMirroredRectangle) {
    for (int e = 1; e <= 5; ++e)
        for (auto [w, h] : {std::pair{119, 138}, {1, 1}, {23, 24}, {0, 138}, {300, 47}})
            for (const auto& frame : PlanEffect(static_cast<Effect>(e), w, h).frames)
                for (const Blit& b : frame)
                    EXPECT_TRUE(b.width > 0 && b.height > 0 && b.sw > 0 && b.sh > 0)
                        << e << " " << w << "x" << h;
}

TEST(Transitions, DrawPicksEachEffectEvenly) {
    EXPECT_EQ(EffectForDraw(0.0), Effect::RowFlip);
    EXPECT_EQ(EffectForDraw(0.1999), Effect::RowFlip);
    EXPECT_EQ(EffectForDraw(0.2), Effect::CornerZoom);
    EXPECT_EQ(EffectForDraw(0.5), Effect::ShrinkGrow);
    EXPECT_EQ(EffectForDraw(0.7), Effect::SplitWipe);
    EXPECT_EQ(EffectForDraw(0.9999999), Effect::CrossFlip);
}

// Records what a run drew and answers each step end from a script.
class ScriptedSteps final : public EffectSteps {
  public:
    explicit ScriptedSteps(std::vector<StepEnd> answers, bool afterEnding = true)
        : answers_(std::move(answers)), afterEnding_(afterEnding) {}
    void Draw(const Blit& b) override {
        last = b;
        ++draws;
    }
    StepEnd EndStep() override {
        ++stepEnds;
        return stepEnds <= answers_.size() ? answers_[stepEnds - 1] : StepEnd::Go;
    }
    bool AfterEnding() override {
        ++endings;
        return afterEnding_;
    }
    Blit last{};
    size_t draws = 0, stepEnds = 0, endings = 0;

  private:
    std::vector<StepEnd> answers_;
    bool afterEnding_;
};

TEST(Transitions, AnAbortInTheFirstFrameEndsOnTheWholeNewSlide) {
    const EffectPlan plan = PlanEffect(Effect::CornerZoom, 119, 138);
    ScriptedSteps steps({StepEnd::Abort});
    EXPECT_EQ(RunEffect(plan, steps), EffectEnd::Aborted);
    EXPECT_EQ(steps.stepEnds, 1u);
    // The first frame (the old slide only), then the ending.
    EXPECT_EQ(steps.draws, 2u);
    EXPECT_EQ(steps.last, plan.ending);
    EXPECT_EQ(steps.endings, 1u);
}

TEST(Transitions, ShrinkGrowAbortedBeforeItDrawsStillEndsOnTheNewSlide) {
    const EffectPlan plan = PlanEffect(Effect::ShrinkGrow, 119, 138);
    ScriptedSteps steps({StepEnd::Go, StepEnd::Abort});
    EXPECT_EQ(RunEffect(plan, steps), EffectEnd::Aborted);
    EXPECT_EQ(steps.draws, 2u);  // frame e = 0, then the ending
    EXPECT_EQ(steps.last, plan.ending);
}

TEST(Transitions, ARunToItsEndEndsEveryFrameThenDrawsTheEnding) {
    const EffectPlan plan = PlanEffect(Effect::SplitWipe, 119, 138);
    ScriptedSteps steps({});
    EXPECT_EQ(RunEffect(plan, steps), EffectEnd::Finished);
    EXPECT_EQ(steps.stepEnds, plan.frames.size());
    EXPECT_EQ(steps.last, plan.ending);
}

TEST(Transitions, ASelectionMeanwhileLeavesThePanelUntouched) {
    const EffectPlan plan = PlanEffect(Effect::RowFlip, 119, 138);
    ScriptedSteps steps({StepEnd::Go, StepEnd::Overtaken});
    EXPECT_EQ(RunEffect(plan, steps), EffectEnd::Overtaken);
    // Two frames, no ending.
    EXPECT_EQ(steps.endings, 0u);
    EXPECT_NE(steps.last, plan.ending);
    // A selection during the ending's own pump is reported too.
    ScriptedSteps late({}, false);
    EXPECT_EQ(RunEffect(plan, late), EffectEnd::Overtaken);
}

}  // namespace
}  // namespace qcd
