#include <algorithm>
#include <optional>

#include "base/decimal.h"
#include "preview/media_steps.h"
#include "preview/play_time.h"

namespace qcd {

namespace {

using Kind = PreviewKind;
using enum PanelButton;
constexpr std::u16string_view kAlias = MciSoundAlias;

std::u16string Trimmed(std::u16string_view text) {
    const size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) return {};
    return std::u16string(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

std::u16string AsciiUpper(std::u16string text) {
    for (char16_t& ch : text)
        if (ch >= u'a' && ch <= u'z') ch = ch - u'a' + u'A';
    return text;
}

double Seconds(const std::u16string& reply) {
    return LeadingNumber(reply) / 1000.0;
}

bool IsCdTrack(const MediaContext& c) {
    return ExtensionKey(c.fileTitle) == u".cda";
}

// The disc positioned at the start of the file's track, and the track the device then names.
void PositionOnTrack(const MediaContext& c) {
    c.mci.MciPlayTrack(TrackOfFileName(c.fileName), kAlias);
    c.state.cdTrackMode = -1;
    c.mci.MciStop(kAlias);
}

// Milliseconds from here on; the format read back is set again, as the device names it.
void MillisecondFormat(const MediaContext& c) {
    c.mci.MciSetTimeFormat(kAlias, u"milliseconds");
    c.mci.MciSetTimeFormat(kAlias, c.mci.MciStatusTimeFormat(kAlias));
}

// --- Steps of the rows: each returns false when the press ended early and the kind stays.

bool PlaySound(const MediaContext& c) {
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Stop);
    c.panel.Enable(Pause, true);
    c.mci.MciPlay(kAlias, u"", u"");
    c.panel.StartTimer(TimerId::MciProgress);
    c.state.kind = Kind::MciPlaying;
    if (c.background) c.background->Start(SoundSource::Mci);
    return true;
}

bool ResumeSound(const MediaContext& c) {
    c.panel.SetPlayCaption(PlayCaption::Stop);
    c.panel.Enable(Pause, true);
    c.mci.MciResume(kAlias);
    c.mci.MciPlay(kAlias, u"", u"");
    c.panel.StartTimer(TimerId::MciProgress);
    if (c.background) c.background->Resume(SoundSource::Mci);
    return true;
}

bool PauseSound(const MediaContext& c) {
    c.panel.SetPlayCaption(PlayCaption::Play);
    c.panel.Enable(Pause, true);
    c.mci.MciPause(kAlias);
    if (c.background) c.background->Snapshot(SoundSource::Mci);
    return true;
}

// Stops the sound and opens the file again at its start.
bool StopAndRewind(const MediaContext& c) {
    const uint32_t generation = c.generation();
    const PreviewKind kind = c.state.kind;
    // A selection handled meanwhile owns the panel and "ATYPE": reopening here would put this
    // file back under the alias in place of the new one.
    if (c.mci.PumpTwice(c.pump) != PumpResult::Continue || c.generation() != generation ||
        c.state.kind != kind)
        return false;
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Play);
    c.panel.Enable(Pause, false);
    c.mci.MciStop(kAlias);
    c.mci.MciClose(kAlias);
    if (c.mci.MciOpen(c.fileName, kAlias) != 0) return false;
    if (IsCdTrack(c))
        PositionOnTrack(c);
    else
        c.state.cdTrackMode = 0;
    MillisecondFormat(c);
    c.panel.SetText(PanelLabel::Index, MciPlayTimeText(c));
    c.panel.ClearCopy();
    c.panel.Repaint();
    return true;
}

using Row = PressRow<MediaContext>;

constexpr Row kMciSoundRows[] = {
    {Kind::MciSound, Play, PlaySound, Kind::MciPlaying},
    {Kind::MciPlaying, Play, StopAndRewind, Kind::MciSound},
    {Kind::MciPaused, Play, ResumeSound, Kind::MciPlaying},
    {Kind::MciPlaying, Pause, PauseSound, Kind::MciPaused},
    {Kind::MciPaused, Pause, ResumeSound, Kind::MciPlaying},
};

}  // namespace

int32_t TrackOfFileName(std::u16string_view fileName) {
    const std::u16string_view tail = fileName.substr(fileName.size() > 6 ? fileName.size() - 6 : 0);
    return LeadingNumber(tail.substr(0, 2));
}

std::u16string MciPlayTimeText(const MediaContext& c) {
    MciLayer& mci = c.mci;
    if (c.state.cdTrackMode) {
        // Each part is its own reading, the track start named by the track playing now.
        const double pos1 = Seconds(mci.MciStatusPosition(kAlias));
        const double start1 =
            Seconds(mci.MciStatusTrackPosition(kAlias, Trimmed(mci.MciStatusCurrentTrack(kAlias))));
        const double pos2 = Seconds(mci.MciStatusPosition(kAlias));
        const double start2 =
            Seconds(mci.MciStatusTrackPosition(kAlias, Trimmed(mci.MciStatusCurrentTrack(kAlias))));
        const std::u16string track = Decimal(TrackOfFileName(c.fileName));
        const double len1 = Seconds(mci.MciStatusTrackLength(kAlias, track));
        const double len2 = Seconds(mci.MciStatusTrackLength(kAlias, track));
        return TimeText(pos1 - start1, pos2 - start2) + u"/" + TimeText(len1, len2);
    }
    const double pos1 = Seconds(mci.MciStatusPosition(kAlias));
    const double pos2 = Seconds(mci.MciStatusPosition(kAlias));
    const double len1 = Seconds(mci.MciStatusLength(kAlias));
    const double len2 = Seconds(mci.MciStatusLength(kAlias));
    return TimeText(pos1, pos2) + u"/" + TimeText(len1, len2);
}

MediaStart StartMciSound(const MediaContext& c) {
    c.mci.MciStop(kAlias);
    c.mci.MciClose(kAlias);
    c.panel.SetText(PanelLabel::Status, u"");
    if (c.mci.MciOpen(c.fileName, kAlias) != 0) return MediaStart::Failed;
    c.panel.SetText(PanelLabel::Size, u"");
    if (IsCdTrack(c)) {
        PositionOnTrack(c);
        c.state.cdTrack = Trimmed(c.mci.MciStatusCurrentTrack(kAlias));
    } else {
        c.state.cdTrackMode = 0;
    }
    c.mci.MciSetTimeFormat(kAlias, u"milliseconds");
    c.panel.SetText(PanelLabel::Index, MciPlayTimeText(c));
    c.panel.Enable(Play, true);
    c.state.kind = Kind::MciSound;
    return MediaStart::Shown;
}

void PressMciSound(const MediaContext& c, PanelButton button) {
    RunPressRow<MediaContext>(kMciSoundRows, c, c.state.kind, button);
}

void MciProgressTick(const MediaContext& c) {
    // A tick queued before the sound was stopped belongs to no sound.
    if (c.state.kind != Kind::MciPlaying) return;
    MciLayer& mci = c.mci;
    if (c.state.cdTrackMode) {
        // The disc played on into the next track: the previewed one starts again.
        if (Trimmed(mci.MciStatusCurrentTrack(kAlias)) != c.state.cdTrack) {
            mci.MciStop(kAlias);
            mci.MciPlayTrack(LeadingNumber(c.state.cdTrack), kAlias);
            mci.MciPlay(kAlias, u"", u"");
        }
    } else if (AsciiUpper(mci.MciStatusMode(kAlias)) == u"STOPPED") {
        // The end of the file: it plays again from its start.
        mci.MciStop(kAlias);
        mci.MciClose(kAlias);
        if (mci.MciOpen(c.fileName, kAlias) == 0) mci.MciPlay(kAlias, u"", u"");
    }
    MillisecondFormat(c);
    c.panel.SetText(PanelLabel::Index, MciPlayTimeText(c));
}

}  // namespace qcd
