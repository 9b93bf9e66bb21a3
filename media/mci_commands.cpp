#include "media/mci_commands.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace qcd {

namespace {

std::u16string_view CutAtNul(std::span<const char16_t> buffer) {
    std::u16string_view text(buffer.data(), buffer.size());
    return text.substr(0, text.find(u'\0'));
}

std::u16string Concat(std::initializer_list<std::u16string_view> parts) {
    std::u16string out;
    for (std::u16string_view p : parts) out += p;
    return out;
}

int16_t ClampInt16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    return true;
}

// A size as a magnitude that fits 32 bits (-2^31 has none).
int64_t Magnitude(int32_t v) { return v < 0 ? -int64_t{v} : v; }

// Field n of the reply to "where … source max", read leniently, as a magnitude.
int32_t SizeField(std::u16string_view reply, int32_t n) {
    return static_cast<int32_t>(std::min<int64_t>(Magnitude(LeadingNumber(FieldOf(reply, n, u" "))),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::u16string CutAtNul(std::u16string_view text) {
    return std::u16string(text.substr(0, text.find(u'\0')));
}

std::u16string FieldOf(std::u16string_view text, int32_t n, std::u16string_view delimiter) {
    if (delimiter.empty()) return n <= 1 ? std::u16string(text) : std::u16string();
    size_t start = 0;
    for (int32_t i = 1; i < n; ++i) {
        size_t at = text.find(delimiter, start);
        if (at == std::u16string_view::npos) return {};
        start = at + delimiter.size();
    }
    size_t end = text.find(delimiter, start);
    return std::u16string(text.substr(start, end == std::u16string_view::npos ? end : end - start));
}

std::optional<int32_t> ParseInt32(std::u16string_view text) {
    size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
    bool negative = false;
    if (text.front() == u'+' || text.front() == u'-') {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t LeadingNumber(std::u16string_view text) {
    size_t i = text.find_first_not_of(u' ');
    if (i == std::u16string_view::npos) return 0;
    bool negative = false;
    if (text[i] == u'+' || text[i] == u'-') negative = text[i++] == u'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t{1} << 32);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::u16string VideoPathArgument(std::u16string_view shortPath) {
    if (shortPath.find(u' ') == std::u16string_view::npos) return std::u16string(shortPath);
    return Concat({u"\"", shortPath, u"\""});
}

std::u16string VideoOpenCommand(std::u16string_view shortPath, std::u16string_view a,
                                int32_t parentWindow) {
    return Concat(
        {u"open ", shortPath, u" alias ", a, u" style child parent ", Decimal(parentWindow)});
}

std::u16string VideoWhereCommand(std::u16string_view a) {
    return Concat({u"where ", a, u" source max"});
}

std::u16string VideoUpdateCommand(std::u16string_view a, int32_t dc) {
    return Concat({u"update ", a, u" hdc ", Decimal(dc)});
}

VideoWindowRect PlaceVideoWindow(int32_t videoWidth, int32_t videoHeight, int32_t areaWidth,
                                 int32_t areaHeight) {
    const int64_t w = Magnitude(videoWidth), h = Magnitude(videoHeight);
    const int64_t b = areaWidth, c = areaHeight;
    int64_t x, y, width, height;
    if (w <= b && h <= c) {
        x = (b - w) / 2, y = (c - h) / 2, width = w, height = h;
    } else if (w >= h) {
        const int64_t q = h * c / w;  // w > 0: it does not fit
        x = 0, y = (c - q) / 2, width = b, height = q;
    } else {
        const int64_t q = w * b / h;
        x = (b - q) / 2, y = 0, width = q, height = c;
    }
    return {ClampInt16(x), ClampInt16(y), ClampInt16(width), ClampInt16(height)};
}

std::u16string VideoPutCommand(std::u16string_view a, const VideoWindowRect& r) {
    return Concat({u"put ", a, u" window at ", Decimal(r.x), u" ", Decimal(r.y), u" ",
                   Decimal(r.width), u" ", Decimal(r.height)});
}

// --- sending paths ---

int32_t MciLayer::MciSend(std::u16string_view command, std::u16string& reply) {
    if (command.empty()) {
        reply = kMciNoCommandText;
        return -1;
    }
    const uint32_t code = platform_.SendString(std::u16string(command), MciReplyBuffer);
    if (code == 0) {
        reply = CutAtNul(std::span<const char16_t>(MciReplyBuffer));
        return 0;
    }
    if (platform_.GetErrorString(code, MciErrorBuffer)) {
        reply = CutAtNul(std::span<const char16_t>(MciErrorBuffer));
    } else {
        reply = kMciUnknownErrorText;
    }
    return static_cast<int32_t>(code);
}

int32_t MciLayer::MciSendBuf(std::u16string_view command, std::u16string& reply) {
    // Zero-filled, so a call that writes nothing reads back as an empty reply.
    std::array<char16_t, kMciSendBufSize> buffer{};
    const uint32_t code = platform_.SendString(std::u16string(command), buffer);
    if (code != 0) platform_.GetErrorString(code, buffer);
    std::u16string_view text(buffer.data(), buffer.size());
    if (size_t nul = text.find(u'\0'); nul != std::u16string_view::npos) {
        reply = text.substr(0, nul);
    }
    return static_cast<int32_t>(code);
}

std::u16string MciLayer::MciQuery(std::u16string_view command) {
    const int32_t code = MciSend(command, LastMciReply);
    if (code != 0) return u"Error:" + Decimal(code);
    return LastMciReply;
}

void MciLayer::SendQuietly(std::u16string_view command) {
    std::u16string ignored;
    MciSendBuf(command, ignored);
}

PumpResult MciLayer::PumpTwice(MessagePump& pump) {
    const PumpResult first = pump.LetMessagesRun();
    return first == PumpResult::Continue ? pump.LetMessagesRun() : first;
}

// --- action commands ---

int32_t MciLayer::MciOpen(std::u16string_view file, std::u16string_view a) {
    // The quotes keep spaces inside the path.
    const int32_t code = MciSend(Concat({u"open \"", file, u"\" alias ", a}), LastMciReply);
    if (code != kMciFileNotFound) return code;
    // Some devices open their file through the ANSI code page (Wine's MIDI sequencer does):
    // a name beyond it is found by its short form.
    const std::u16string shortPath = ShortPath(file);
    if (shortPath.empty() || shortPath == file) return code;
    return MciSend(Concat({u"open \"", shortPath, u"\" alias ", a}), LastMciReply);
}

int32_t MciLayer::MciClose(std::u16string_view a) {
    return MciSend(Concat({u"close ", a}), LastMciReply);
}

int32_t MciLayer::MciPlay(std::u16string_view a, std::u16string_view from, std::u16string_view to) {
    std::u16string command = Concat({u"play ", a});
    if (!from.empty()) command += Concat({u" from ", from});
    if (!to.empty()) command += Concat({u" to ", to});
    return MciSend(command, LastMciReply);
}

int32_t MciLayer::MciPause(std::u16string_view a) {
    return MciSend(Concat({u"pause ", a}), LastMciReply);
}

int32_t MciLayer::MciResume(std::u16string_view a) {
    return MciSend(Concat({u"resume ", a}), LastMciReply);
}

int32_t MciLayer::MciStop(std::u16string_view a) {
    return MciSend(Concat({u"stop ", a}), LastMciReply);
}

int32_t MciLayer::MciSetTimeFormat(std::u16string_view a, std::u16string_view format) {
    return MciSend(Concat({u"set ", a, u" time format ", format}), LastMciReply);
}

int32_t MciLayer::MciPlayTrack(int32_t track, std::u16string_view a) {
    // The reply is used as given, so position and play agree on the time format.
    const std::u16string start = MciStatusTrackPosition(a, Decimal(track));
    return MciPlay(a, start, u"");
}

// --- status queries ---

std::u16string MciLayer::MciStatusLength(std::u16string_view a) {
    return MciQuery(Concat({u"status ", a, u" length"}));
}

std::u16string MciLayer::MciStatusMode(std::u16string_view a) {
    return MciQuery(Concat({u"status ", a, u" mode"}));
}

std::u16string MciLayer::MciStatusPosition(std::u16string_view a) {
    return MciQuery(Concat({u"status ", a, u" position"}));
}

std::u16string MciLayer::MciStatusTimeFormat(std::u16string_view a) {
    return MciQuery(Concat({u"status ", a, u" time format"}));
}

std::u16string MciLayer::MciStatusCurrentTrack(std::u16string_view a) {
    return MciQuery(Concat({u"status ", a, u" current track"}));
}

std::u16string MciLayer::MciStatusTrackPosition(std::u16string_view a, std::u16string_view track) {
    return MciQuery(Concat({u"status ", a, u" position track ", track}));
}

std::u16string MciLayer::MciStatusTrackLength(std::u16string_view a, std::u16string_view track) {
    return MciQuery(Concat({u"status ", a, u" length track ", track}));
}

bool MciLayer::MciIsOpen(std::u16string_view a) {
    std::u16string reply;
    MciSendBuf(u"sysinfo all quantity open", reply);
    if (a.empty()) return false;
    const int64_t count = ParseInt32(reply).value_or(0);
    for (int64_t i = 1; i <= count; ++i) {
        MciSendBuf(u"sysinfo all name " + Decimal(i) + u" open", reply);
        if (StartsWithIgnoringCase(reply, a)) return true;
    }
    return false;
}

// --- video ---

// Wine's video player answers the stop of a playing or paused video with error 5 when it has
// no wave-out device to reset (a silent video, a machine without a sound card), though the
// video stops: the reply is no failure of the preview's.
void MciLayer::StopVideo(std::u16string_view a) {
    std::u16string ignored;
    MciSendBuf(Concat({u"stop ", a}), ignored);
}

VideoOpenResult MciLayer::VideoOpen(std::u16string_view file, int32_t parentWindow,
                                    int32_t areaWidth, int32_t areaHeight, VideoPicture& picture,
                                    std::u16string_view a, MessagePump& pump) {
    // A close that lets a newer selection in leaves the alias to it.
    const auto closed = [&] {
        return VideoClose(a, pump) == PumpResult::Continue ? VideoOpenResult::Failed
                                                           : VideoOpenResult::Overtaken;
    };
    if (MciIsOpen(a) && closed() == VideoOpenResult::Overtaken) return VideoOpenResult::Overtaken;
    // A name the system gives no short form (a failure, a volume that keeps none) opens as it is.
    std::u16string name = ShortPath(file);
    if (name.empty()) name = file;
    std::u16string reply;
    if (MciSendBuf(VideoOpenCommand(VideoPathArgument(name), a, parentWindow), reply) != 0) {
        return closed();
    }
    reply.clear();
    MciSendBuf(VideoWhereCommand(a), reply);
    // Wine answers "0 0 160 -120" for a bottom-up video: the size is the magnitude.
    VideoWidth = SizeField(reply, 3);
    VideoHeight = SizeField(reply, 4);
    const int32_t dc = picture.PrepareDc(VideoWidth, VideoHeight);
    if (MciSendBuf(VideoUpdateCommand(a, dc), reply) != 0 && IsAviPlayer(a)) {
        return closed();
    }
    VideoBits = picture.BitsPerPixel();
    MciSendBuf(Concat({u"set ", a, u" time format frames"}), reply);
    reply.clear();
    MciSendBuf(Concat({u"status ", a, u" length"}), reply);
    VideoLength = LeadingNumber(reply);
    VideoFit(a, areaWidth, areaHeight);
    platform_.ShowDeviceWindow(std::u16string(a), true);
    return PumpTwice(pump) == PumpResult::Continue ? VideoOpenResult::Opened
                                                   : VideoOpenResult::Overtaken;
}

void MciLayer::VideoFit(std::u16string_view a, int32_t areaWidth, int32_t areaHeight) {
    std::u16string reply;
    MciSendBuf(VideoPutCommand(a, PlaceVideoWindow(VideoWidth, VideoHeight, areaWidth, areaHeight)),
               reply);
}

bool MciLayer::IsAviPlayer(std::u16string_view a) {
    std::u16string type;
    MciSendBuf(Concat({u"capability ", a, u" device type"}), type);
    return StartsWithIgnoringCase(type, u"avivideo");
}

PumpResult MciLayer::VideoClose(std::u16string_view a, MessagePump& pump) {
    if (!MciIsOpen(a)) return PumpResult::Continue;
    std::u16string ignored;
    StopVideo(a);
    MciSendBuf(Concat({u"break ", a}), ignored);
    platform_.ShowDeviceWindow(std::u16string(a), false);
    SendQuietly(Concat({u"close ", a}));
    return PumpTwice(pump);
}

int32_t MciLayer::VideoFrame(std::u16string_view a) {
    std::u16string reply;
    MciSendBuf(Concat({u"set ", a, u" time format frames"}), reply);
    reply.clear();
    MciSendBuf(Concat({u"status ", a, u" position"}), reply);
    return LeadingNumber(reply);
}

PumpResult MciLayer::VideoSeekShow(std::u16string_view a, int32_t frame, MessagePump& pump) {
    StopVideo(a);
    if (frame >= VideoLength) {
        SendQuietly(Concat({u"seek ", a, u" to end"}));
    } else if (frame > 1) {
        SendQuietly(Concat({u"seek ", a, u" to ", Decimal(frame)}));
    } else {
        SendQuietly(Concat({u"seek ", a, u" to start"}));
    }
    platform_.ShowDeviceWindow(std::u16string(a), true);
    return PumpTwice(pump);
}

PumpResult MciLayer::VideoPlayNotify(std::u16string_view a, int32_t frame, MessagePump& pump) {
    // A device that counts no frames plays on from where it stands.
    if (frame >= VideoLength && VideoLength > 0) return PumpResult::Continue;
    std::u16string reply;
    MciSendBuf(Concat({u"play ", a, u" notify"}), reply);
    return PumpTwice(pump);
}

PumpResult MciLayer::VideoRewind(std::u16string_view a, MessagePump& pump) {
    StopVideo(a);
    SendQuietly(Concat({u"seek ", a, u" to start"}));
    platform_.ShowDeviceWindow(std::u16string(a), true);
    return PumpTwice(pump);
}

// --- platform helpers ---

std::u16string MciLayer::ShortPath(std::u16string_view path) {
    std::array<char16_t, kShortPathBufferSize> buffer{};
    if (platform_.ShortPathName(std::u16string(path), buffer) == 0) return {};
    return std::u16string(CutAtNul(std::span<const char16_t>(buffer)));
}

void MciLayer::WaveVolume(bool save) {
    if (save) {
        if (platform_.GetWaveVolume(SavedWaveVolume)) waveVolumeSaved_ = true;
    } else if (waveVolumeSaved_) {
        platform_.SetWaveVolume(SavedWaveVolume);
    }
}

}  // namespace qcd
