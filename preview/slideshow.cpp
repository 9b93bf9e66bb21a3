#include "preview/slideshow.h"

#include <windows.h>

#include <optional>

#include "platform/handles.h"
#include "platform/module.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "preview/canvas.h"
#include "preview/picture_kind.h"
#include "resources/resource_ids.h"

namespace qcd {

using win::NowMs;

namespace {

bool FolderExists(const std::u16string& folder) {
    const DWORD attributes = GetFileAttributesW(win::Wide(folder));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Copies (or stretches) one rectangle; StretchBlt's default mode would AND the rows it drops.
void Execute(HDC target, const Blit& b, HDC source) {
    if (b.width == b.sw && b.height == b.sh) {
        BitBlt(target, b.x, b.y, b.width, b.height, source, b.sx, b.sy, SRCCOPY);
        return;
    }
    const int mode = SetStretchBltMode(target, COLORONCOLOR);
    StretchBlt(target, b.x, b.y, b.width, b.height, source, b.sx, b.sy, b.sw, b.sh, SRCCOPY);
    if (mode) SetStretchBltMode(target, mode);
}

}  // namespace

std::vector<std::u16string> ListSlides(const std::u16string& folder) {
    std::vector<std::u16string> names;
    const std::u16string pattern = WithBackslash(folder) + u'*';
    WIN32_FIND_DATAW found{};
    // The long names alone: a short name such as PHOTO~1.JPG would let a .jpeg in.
    const win::unique_find find(FindFirstFileExW(win::Wide(pattern), FindExInfoBasic, &found,
                                                 FindExSearchNameMatch, nullptr, 0));
    if (!find) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(found.cFileName, found.cFileName + wcslen(found.cFileName));
    } while (FindNextFileW(find.get(), &found));
    return SlideNames(std::move(names));
}

// One transition drawn onto the preview area: a DC for each frame, released before messages
// run, and frames paced with a wait that lets messages run.
class Slideshow::Steps final : public EffectSteps {
  public:
    Steps(Slideshow& show, Canvas& canvas) : show_(show), canvas_(canvas), next_(NowMs()) {}

    void Draw(const Blit& b) override {
        if (!dc_) {
            dc_.emplace(canvas_.Area());
            frameStart_ = NowMs();
        }
        const Surface& source = b.source == BlitSource::Old   ? canvas_.Copy()
                                : b.source == BlitSource::New ? canvas_.IconStrip()
                                                              : show_.blank_;
        Execute(dc_->get(), b, source.Dc());
    }

    StepEnd EndStep() override {
        EndFrame();
        const double period = show_.framePeriodMs_;
        next_ += period;
        // The rest of the frame's time waiting for messages, which run as they come.
        for (double now = NowMs(); now < next_ && !canvas_.Timers().AbortRequested(); now = NowMs()) {
            MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(next_ - now) + 1,
                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (!LetMessagesRunOn()) return StepEnd::Overtaken;
        }
        if (NowMs() > next_ + period) next_ = NowMs();  // no catching up after a stall
        for (int i = 0; i < 2; ++i)
            if (!LetMessagesRunOn()) return StepEnd::Overtaken;
        return canvas_.Timers().AbortRequested() ? StepEnd::Abort : StepEnd::Go;
    }

    bool AfterEnding() override {
        EndFrame();
        return LetMessagesRunOn();
    }

  private:
    // A newer selection, the dialog's end or a hidden dialog ends the effect as overtaken.
    bool LetMessagesRunOn() { return canvas_.LetMessagesRun() == PumpResult::Continue; }

    void EndFrame() {
        if (!dc_) return;
        GdiFlush();
        show_.drawMs_ += NowMs() - frameStart_;
        ++show_.drawnFrames_;
        dc_.reset();
    }

    Slideshow& show_;
    Canvas& canvas_;
    std::optional<win::window_dc> dc_;
    double frameStart_ = 0;
    double next_;
};

Slideshow::Slideshow(Canvas& canvas, Properties& props)
    : canvas_(canvas), props_(props), blank_(GetSysColor(COLOR_BTNFACE)) {
    canvas.Timers().Register(TimerId::PictureSlides, [this] { PictureSlidesTick(); });
    canvas.Timers().Register(TimerId::FolderSlides, [this] { FolderSlidesTick(); });
    canvas.AttachBackground(this);
}

Slideshow::~Slideshow() {
    canvas_.AttachBackground(nullptr);
    canvas_.Timers().Register(TimerId::PictureSlides, nullptr);
    canvas_.Timers().Register(TimerId::FolderSlides, nullptr);
}

bool Slideshow::Builtin() const {
    return props_.BackGroundSlide == static_cast<int32_t>(BGSType::Builtin);
}
bool Slideshow::Folder() const {
    return props_.BackGroundSlide == static_cast<int32_t>(BGSType::Folder);
}

double Slideshow::TakeFrameDrawTime() {
    const double ms = drawnFrames_ ? drawMs_ / drawnFrames_ : 0;
    drawMs_ = 0;
    drawnFrames_ = 0;
    return ms;
}

void Slideshow::DrawBuiltin(int16_t index) {
    if (!canvas_.MeasureArea()) return;
    const int w = canvas_.AreaWidth(), h = canvas_.AreaHeight();
    Surface& copy = canvas_.Copy();
    copy.Resize(w, h);
    copy.Clear();
    shown_ = index;
    win::unique_hbitmap& picture = pictures_.at(static_cast<size_t>(index));
    if (!picture)
        picture.reset(static_cast<HBITMAP>(LoadImageW(ThisModule(),
                                                      MAKEINTRESOURCEW(IDB_BACKGROUND0 + index),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (picture && GetObjectW(picture.get(), sizeof info, &info)) {
        win::unique_mem_dc dc(CreateCompatibleDC(copy.Dc()));
        win::select_object selected(dc.get(), picture.get());
        // Stretched over the whole area: the proportions are not kept.
        Execute(copy.Dc(), {BlitSource::New, 0, 0, w, h, 0, 0, info.bmWidth, info.bmHeight},
                dc.get());
    }
    canvas_.ShowCopy();
}

void Slideshow::Start(SoundSource source) {
    ++starts_;
    if (Builtin() && source == SoundSource::Mci) {
        DrawBuiltin(cycle_.index);
        canvas_.StartTimer(TimerId::PictureSlides);
    } else if (Folder()) {
        StartFolder();
    }
}

void Slideshow::StartFolder() {
    // A folder emptied or renamed since the last sound must not bring its slides back.
    slideFiles_.clear();
    slideIndex_ = 0;
    const std::u16string folder = props_.SlideFolder;
    if (folder.empty() || !FolderExists(folder)) return;
    const std::vector<std::u16string> names = ListSlides(folder);
    props_.SlideFolder = WithBackslash(folder);
    if (names.empty()) return;
    slideFiles_.reserve(names.size());
    for (const std::u16string& name : names) slideFiles_.push_back(props_.SlideFolder + name);
    if (LoadPictureFit(canvas_, slideFiles_[0])) {
        canvas_.SetText(PanelLabel::Size, FileNameOf(slideFiles_[0]));
        CopyNextSlide();
        canvas_.ShowCopy();
    }
    canvas_.StartTimer(TimerId::FolderSlides);
}

void Slideshow::CopyNextSlide() {
    Surface& copy = canvas_.Copy();
    const int w = canvas_.AreaWidth(), h = canvas_.AreaHeight();
    if (copy.Width() != w || copy.Height() != h) copy.Resize(w, h);
    BitBlt(copy.Dc(), 0, 0, w, h, canvas_.IconStrip().Dc(), 0, 0, SRCCOPY);
}

void Slideshow::Snapshot(SoundSource source) {
    if (Builtin() && source == SoundSource::Mci) {
        // The picture on the area, not the one Timer3 would show next.
        DrawBuiltin(shown_);
    } else if (Folder() && !slideFiles_.empty() && canvas_.MeasureArea()) {
        canvas_.SetText(PanelLabel::Size, FileNameOf(slideFiles_.at(static_cast<size_t>(slideIndex_))));
        CopyNextSlide();
        canvas_.ShowCopy();
    }
}

void Slideshow::Refit(SoundSource source) {
    if (Builtin() && source == SoundSource::Mci) {
        DrawBuiltin(shown_);
    } else if (Folder() && !slideFiles_.empty() &&
               LoadPictureFit(canvas_, slideFiles_.at(static_cast<size_t>(slideIndex_)))) {
        CopyNextSlide();
    }
}

void Slideshow::Resume(SoundSource source) {
    if (Builtin() && source == SoundSource::Mci)
        canvas_.StartTimer(TimerId::PictureSlides);
    else if (Folder() && !slideFiles_.empty())
        canvas_.StartTimer(TimerId::FolderSlides);
}

void Slideshow::PictureSlidesTick() {
    if (!canvas_.Panel()) {
        canvas_.Timers().SetEnabled(TimerId::PictureSlides, false);
        return;
    }
    DrawBuiltin(cycle_.index);
    cycle_.Step();
}

void Slideshow::FolderSlidesTick() {
    TimerOwner& timers = canvas_.Timers();
    // Armed again only at the end: the pause between slides starts after the transition.
    timers.SetEnabled(TimerId::FolderSlides, false);
    if (!canvas_.Panel() || slideFiles_.empty() || !canvas_.MeasureArea()) return;
    const int w = canvas_.AreaWidth(), h = canvas_.AreaHeight();
    // The fold effects erase from it: without a bitmap of the area's size its DC is null and
    // every erase fails, leaving the strips' trails on the old slide.
    blank_.SetBackColor(canvas_.Copy().BackColor());
    if (blank_.Resize(w, h)) blank_.Clear();
    const uint32_t generation = canvas_.Generation();
    const uint32_t starts = starts_;
    slideIndex_ = NextSlide(slideIndex_, slideFiles_.size());
    // A copy: a stop and a new start while the effect lets messages run rebuild the list.
    const std::u16string path = slideFiles_[static_cast<size_t>(slideIndex_)];
    if (LoadPictureFit(canvas_, path)) {
        if (canvas_.Generation() != generation) return;
        timers.ClearAbort();
        const double u = std::generate_canonical<double, 32>(random_);
        Steps steps(*this, canvas_);
        // A selection handled meanwhile owns the panel, and a start meanwhile the slideshow:
        // nothing more of this slide may be drawn or named.
        if (RunEffect(PlanEffect(EffectForDraw(u), w, h), steps) == EffectEnd::Overtaken ||
            starts_ != starts)
            return;
        ++transitions_;
        canvas_.SetText(PanelLabel::Size, FileNameOf(path));
        CopyNextSlide();
    }
    if (timers.AbortRequested()) {
        if (!SlideStaysAfterAbort(canvas_.State().kind)) {
            canvas_.SetText(PanelLabel::Size, u"");
            canvas_.BlankArea();
            // The blank shows before the tick ends; nothing is done after it.
            static_cast<void>(canvas_.LetMessagesRun());
        }
        return;
    }
    timers.SetEnabled(TimerId::FolderSlides, true);
}

}  // namespace qcd
