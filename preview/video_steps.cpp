#include <algorithm>
#include <limits>
#include <optional>

#include "preview/media_steps.h"

namespace qcd {

namespace {

using Kind = PreviewKind;
using enum PanelButton;

// What a routine that lets messages run started from.
struct Mark {
    uint32_t generation;
    PreviewKind kind;
};

Mark Here(const MediaContext& c) {
    return {c.generation(), c.state.kind};
}

// No selection and no press took the panel while messages ran.
bool Still(const MediaContext& c, const Mark& m) {
    return c.generation() == m.generation && c.state.kind == m.kind;
}

int32_t Plus(int32_t frame, int32_t delta) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{frame} + delta,
                                                    std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool VideoIsOpen(const MediaContext& c) {
    return c.mci.MciIsOpen(c.videoAlias);
}

// Seeks to `target`, shows and pauses the video and reads the frame reached. Empty when the
// panel was taken while the seek let messages run: nothing more is sent.
std::optional<int32_t> SeekAndPause(const MediaContext& c, const Mark& m, int32_t target) {
    if (c.mci.VideoSeekShow(c.videoAlias, target, c.pump) != PumpResult::Continue || !Still(c, m))
        return std::nullopt;
    std::u16string reply;
    c.mci.MciSendBuf(u"pause " + std::u16string(c.videoAlias), reply);
    return c.mci.VideoFrame(c.videoAlias);
}

// Plays on from where the video stands; false when the panel was taken meanwhile.
bool PlayOn(const MediaContext& c, const Mark& m) {
    return c.mci.VideoPlayNotify(c.videoAlias, c.state.frameIndex, c.pump) ==
               PumpResult::Continue &&
           Still(c, m);
}

// Wine plays videos other than AVI through a device that counts no frames and seeks nowhere
// but to the start: such a video plays, pauses and stops, without a frame line or steps.
bool CountsFrames(const MediaContext& c) {
    return c.state.frameCount > 0;
}

void ShowCounter(const MediaContext& c) {
    c.panel.SetText(PanelLabel::Index, CountsFrames(c)
                                           ? FrameLine(c.state.frameIndex, c.state.frameCount)
                                           : std::u16string());
}

void EnableAll(const MediaContext& c) {
    for (PanelButton b : {Forward, Back}) c.panel.Enable(b, CountsFrames(c));
    c.panel.Enable(Pause, true);
}

// --- Steps of the rows: each returns false when the press ended early and the kind stays.

bool PlayVideo(const MediaContext& c) {
    if (!VideoIsOpen(c)) return false;
    const Mark m = Here(c);
    c.mci.WaveVolume(false);
    c.panel.SetPlayCaption(PlayCaption::Stop);
    EnableAll(c);
    if (!PlayOn(c, m)) return false;
    c.panel.StartTimer(TimerId::VideoPosition);
    return true;
}

bool StopAndRewind(const MediaContext& c) {
    if (!VideoIsOpen(c)) return false;
    const Mark m = Here(c);
    c.panel.SetPlayCaption(PlayCaption::Play);
    c.panel.Enable(Forward, true);
    c.panel.Enable(Back, true);
    c.panel.Enable(Pause, false);
    if (c.mci.VideoRewind(c.videoAlias, c.pump) != PumpResult::Continue || !Still(c, m))
        return false;
    c.state.frameIndex = 1;
    ShowCounter(c);
    return true;
}

// Under Wine a seek to the end lands on length - 1: a seek that went to the end is the end,
// whatever frame it reports.
bool AtEnd(const MediaContext& c, int32_t target, int32_t reached) {
    return reached >= c.state.frameCount || target >= c.mci.VideoLength;
}

bool StepForward(const MediaContext& c) {
    if (!CountsFrames(c) || !VideoIsOpen(c)) return false;
    const int32_t target = Plus(c.state.frameIndex, 1);
    const std::optional<int32_t> frame = SeekAndPause(c, Here(c), target);
    if (!frame) return false;
    c.state.frameIndex = *frame;
    if (!AtEnd(c, target, *frame)) {
        c.panel.Enable(Forward, true);
    } else {
        c.state.frameIndex = c.state.frameCount;
        c.panel.Enable(Forward, false);
    }
    c.panel.Enable(Back, true);
    ShowCounter(c);
    return true;
}

bool StepBack(const MediaContext& c) {
    if (!CountsFrames(c) || !VideoIsOpen(c)) return false;
    const std::optional<int32_t> frame = SeekAndPause(c, Here(c), Plus(c.state.frameIndex, -1));
    if (!frame) return false;
    c.state.frameIndex = *frame;
    if (c.state.frameIndex > 1) {
        c.panel.Enable(Back, true);
    } else {
        c.state.frameIndex = 1;
        c.panel.Enable(Back, false);
    }
    c.panel.Enable(Forward, true);
    ShowCounter(c);
    return true;
}

// Fast forward or rewind: Timer2 moves the video while it stays paused.
bool Scan(const MediaContext& c) {
    if (!CountsFrames(c) || !VideoIsOpen(c)) return false;
    c.panel.SetPlayCaption(PlayCaption::Play);
    c.panel.Enable(Forward, false);
    c.panel.Enable(Back, false);
    c.panel.Enable(Pause, true);
    c.panel.StartTimer(TimerId::VideoPosition);
    return true;
}

bool PauseVideo(const MediaContext& c) {
    if (!VideoIsOpen(c)) return false;
    if (!CountsFrames(c)) {  // paused where it stands
        std::u16string reply;
        c.mci.MciSendBuf(u"pause " + std::u16string(c.videoAlias), reply);
        c.panel.SetPlayCaption(PlayCaption::Play);
        EnableAll(c);
        return true;
    }
    const std::optional<int32_t> frame = SeekAndPause(c, Here(c), c.state.frameIndex);
    if (!frame) return false;
    c.state.frameIndex = *frame;
    ShowCounter(c);
    c.panel.SetPlayCaption(PlayCaption::Play);
    EnableAll(c);
    return true;
}

using Row = PressRow<MediaContext>;
constexpr std::optional<PreviewKind> kSame;

constexpr Row kVideoRows[] = {
    {Kind::Video, Play, PlayVideo, Kind::VideoPlaying},
    {Kind::VideoPaused, Play, PlayVideo, Kind::VideoPlaying},
    {Kind::VideoForward, Play, PlayVideo, Kind::VideoPlaying},
    {Kind::VideoBackward, Play, PlayVideo, Kind::VideoPlaying},
    {Kind::VideoPlaying, Play, StopAndRewind, Kind::Video},

    {Kind::Video, Forward, StepForward, kSame},
    {Kind::VideoPaused, Forward, StepForward, kSame},
    {Kind::VideoPlaying, Forward, Scan, Kind::VideoForward},

    {Kind::Video, Back, StepBack, kSame},
    {Kind::VideoPaused, Back, StepBack, kSame},
    {Kind::VideoPlaying, Back, Scan, Kind::VideoBackward},

    {Kind::VideoPlaying, Pause, PauseVideo, Kind::VideoPaused},
    {Kind::VideoForward, Pause, PauseVideo, Kind::VideoPaused},
    {Kind::VideoBackward, Pause, PauseVideo, Kind::VideoPaused},
    {Kind::VideoPaused, Pause, PlayVideo, Kind::VideoPlaying},
};

// Under Wine frames count from 0 and a playing video's last frame reads length - 1, so the
// frame alone never tells the end: a device that no longer plays has ended too.
bool HasEnded(const MediaContext& c, int32_t frame) {
    if (CountsFrames(c) && frame >= c.state.frameCount) return true;
    std::u16string mode;
    c.mci.MciSendBuf(u"status " + std::u16string(c.videoAlias) + u" mode", mode);
    for (char16_t& ch : mode)
        if (ch >= u'A' && ch <= u'Z') ch = ch - u'A' + u'a';
    return mode.rfind(u"playing", 0) != 0;
}

}  // namespace

MediaStart StartVideo(const MediaContext& c, int32_t areaWindow, int32_t areaWidth,
                      int32_t areaHeight, VideoPicture& picture) {
    const uint32_t generation = c.generation();
    // The close of a video left open lets messages run: a newer selection may come in there.
    if (c.mci.VideoClose(c.videoAlias, c.pump) != PumpResult::Continue ||
        c.generation() != generation)
        return MediaStart::Overtaken;
    const VideoOpenResult opened = c.mci.VideoOpen(c.fileName, areaWindow, areaWidth, areaHeight,
                                                   picture, c.videoAlias, c.pump);
    if (opened == VideoOpenResult::Overtaken || c.generation() != generation)
        return MediaStart::Overtaken;
    c.panel.SetText(PanelLabel::Status, u"");
    if (opened == VideoOpenResult::Failed) return MediaStart::Failed;
    PreviewState& s = c.state;
    s.pictureWidth = c.mci.VideoWidth;
    s.pictureHeight = c.mci.VideoHeight;
    s.pictureBits = c.mci.VideoBits;
    s.frameCount = c.mci.VideoLength;
    s.frameIndex = 1;
    c.panel.SetText(PanelLabel::Size, SizeCaption(s.pictureWidth, s.pictureHeight, s.pictureBits));
    ShowCounter(c);
    for (PanelButton b : {Play, Forward, Back}) c.panel.Enable(b, b == Play || CountsFrames(c));
    s.kind = Kind::Video;
    return MediaStart::Shown;
}

void PressVideo(const MediaContext& c, PanelButton button) {
    RunPressRow<MediaContext>(kVideoRows, c, c.state.kind, button);
}

void VideoPositionTick(const MediaContext& c) {
    PreviewState& s = c.state;
    if (!IsVideo(s.kind) || !VideoIsOpen(c)) return;
    const Mark m = Here(c);
    // A press handled while a seek let messages run stopped this timer (and may have started
    // it again for its own state): the tick is over either way.
    auto still = [&] { return Still(c, m) && c.timers.Enabled(TimerId::VideoPosition); };
    switch (s.kind) {
        case Kind::VideoPlaying: {
            if (!CountsFrames(c)) {  // the end is all there is to see
                if (HasEnded(c, 0)) {
                    c.timers.SetEnabled(TimerId::VideoPosition, false);
                    c.panel.Enable(Pause, false);
                }
                return;
            }
            const int32_t frame = c.mci.VideoFrame(c.videoAlias);
            if (HasEnded(c, frame)) {
                const std::optional<int32_t> reached = SeekAndPause(c, m, s.frameCount);
                if (!reached || !still()) return;
                s.frameIndex = *reached;
                c.timers.SetEnabled(TimerId::VideoPosition, false);
                c.panel.Enable(Forward, false);
                c.panel.Enable(Pause, false);
            } else {
                s.frameIndex = std::max(frame, 1);
            }
            break;
        }
        case Kind::VideoForward: {
            const int32_t target = Plus(s.frameIndex, 100);
            const std::optional<int32_t> reached = SeekAndPause(c, m, target);
            if (!reached || !still()) return;
            s.frameIndex = *reached;
            if (AtEnd(c, target, *reached)) {
                c.timers.SetEnabled(TimerId::VideoPosition, false);
                c.panel.SetPlayCaption(PlayCaption::Stop);
                c.panel.Enable(Forward, false);
                c.panel.Enable(Pause, false);
                s.kind = Kind::VideoPlaying;
            }
            break;
        }
        case Kind::VideoBackward: {
            const std::optional<int32_t> reached = SeekAndPause(c, m, Plus(s.frameIndex, -100));
            if (!reached || !still()) return;
            s.frameIndex = *reached;
            if (s.frameIndex <= 1) {
                s.frameIndex = 1;
                c.mci.WaveVolume(false);
                c.panel.SetPlayCaption(PlayCaption::Stop);
                EnableAll(c);
                if (!PlayOn(c, m) || !still()) return;
                s.kind = Kind::VideoPlaying;
            }
            break;
        }
        default:
            break;
    }
    ShowCounter(c);
}

}  // namespace qcd
