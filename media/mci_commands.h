// The MCI command-string layer of the preview panel: every media operation becomes one
// command string, sent on one of three paths, with its reply handed back as text.
// Portable code: the platform supplies the MCI calls through MciPlatform.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/decimal.h"
#include "base/message_pump.h"

namespace qcd {

// The MIDI and CD-audio preview always works on this alias.
inline constexpr std::u16string_view MciSoundAlias = u"ATYPE";

// Reply of MciSend when it was given no command ("the MCI command string has not been set").
inline constexpr std::u16string_view kMciNoCommandText = u"MCIコマンド文字列が設定されていません";
// Reply of MciSend when the system has no text for the error code.
inline constexpr std::u16string_view kMciUnknownErrorText = u"原因不明のエラーが発生しました";

// MCIERR_FILE_NOT_FOUND.
inline constexpr int32_t kMciFileNotFound = 275;

inline constexpr size_t kMciReplyBufferSize = 512;
inline constexpr size_t kMciErrorBufferSize = 256;
inline constexpr size_t kMciSendBufSize = 1024;
// The platform's path length: a 256-character buffer cuts the deepest short paths.
inline constexpr size_t kShortPathBufferSize = 260;

// What the layer needs from the system. Each call maps to one platform function; the
// spans are the caller's fixed buffers and their sizes are the length arguments.
class MciPlatform {
  public:
    virtual ~MciPlatform() = default;

    // mciSendStringW with no callback window; returns the MCI error code.
    virtual uint32_t SendString(const std::u16string& command, std::span<char16_t> reply) = 0;
    // mciGetErrorStringW; false when the system has no text for the code.
    virtual bool GetErrorString(uint32_t code, std::span<char16_t> text) = 0;

    // waveOutGetVolume / waveOutSetVolume of device 0. False (and `volume` as it was) when the
    // system could not read the volume.
    virtual bool GetWaveVolume(uint32_t& volume) = 0;
    virtual void SetWaveVolume(uint32_t volume) = 0;
    // GetShortPathNameW; returns its result (0 on failure).
    virtual uint32_t ShortPathName(const std::u16string& path, std::span<char16_t> shortPath) = 0;
    // Shows or hides the video window of the device opened as `alias` (the "window ... state"
    // command, sent as a command structure); false when the device refused.
    virtual bool ShowDeviceWindow(const std::u16string& alias, bool shown) = 0;
};

// The text up to its first NUL; the whole text when it has none.
std::u16string CutAtNul(std::u16string_view text);

// The n-th field (1-based) of `text` split at `delimiter`; empty when the text has fewer
// than n - 1 delimiters. An empty delimiter never splits.
std::u16string FieldOf(std::u16string_view text, int32_t n, std::u16string_view delimiter);

// Strict int32 reading of a device reply: optional surrounding spaces, an optional sign and
// decimal digits, nothing else. Empty when the reply is not such a number or overflows.
std::optional<int32_t> ParseInt32(std::u16string_view text);

// Lenient reading of a reply: the number at its start (after spaces, with an optional sign),
// 0 when there is none, as for an "Error:" reply. Beyond 32 bits it stops at the limit.
int32_t LeadingNumber(std::u16string_view text);

// The file argument of the video open command: the short path (the long one when it has
// none), quoted when it holds a blank.
std::u16string VideoPathArgument(std::u16string_view shortPath);


// Command strings of the video open sequence.
std::u16string VideoOpenCommand(std::u16string_view shortPath, std::u16string_view a,
                                int32_t parentWindow);
std::u16string VideoWhereCommand(std::u16string_view a);
std::u16string VideoUpdateCommand(std::u16string_view a, int32_t dc);

// Where the video window goes inside the preview area of areaWidth × areaHeight pixels:
// natural size and centred when it fits, else scaled to the full width or height.
struct VideoWindowRect {
    int16_t x, y, width, height;
    bool operator==(const VideoWindowRect&) const = default;
};
// The video's size is taken by magnitude (Wine gives a bottom-up video a negative height);
// the products are 64-bit and each number is clamped to 16 bits.
VideoWindowRect PlaceVideoWindow(int32_t videoWidth, int32_t videoHeight, int32_t areaWidth,
                                 int32_t areaHeight);
std::u16string VideoPutCommand(std::u16string_view a, const VideoWindowRect& r);

// The picture box the first video frame is drawn into.
class VideoPicture {
  public:
    virtual ~VideoPicture() = default;
    // Sized to width × height and cleared; its device context as the update command names it.
    virtual int32_t PrepareDc(int32_t width, int32_t height) = 0;
    // Bits per pixel of its image.
    virtual int16_t BitsPerPixel() = 0;
};

// The process-wide command layer. Routines return MCI error codes (-1: no command) or
// reply texts; `a` is the alias the command works on.
enum class VideoOpenResult { Opened, Failed, Overtaken };

class MciLayer {
  public:
    explicit MciLayer(MciPlatform& platform) : platform_(platform) {}
    MciLayer(const MciLayer&) = delete;
    MciLayer& operator=(const MciLayer&) = delete;

    // Sending paths.
    int32_t MciSend(std::u16string_view command, std::u16string& reply);
    // Leaves `reply` as passed when the reply buffer comes back without a NUL.
    int32_t MciSendBuf(std::u16string_view command, std::u16string& reply);
    // The reply, or "Error:" + code when the command failed.
    std::u16string MciQuery(std::u16string_view command);

    // Action commands (MciSend path, reply in LastMciReply).
    int32_t MciOpen(std::u16string_view file, std::u16string_view a);
    int32_t MciClose(std::u16string_view a);
    int32_t MciPlay(std::u16string_view a, std::u16string_view from, std::u16string_view to);
    int32_t MciPause(std::u16string_view a);
    int32_t MciResume(std::u16string_view a);
    int32_t MciStop(std::u16string_view a);
    int32_t MciSetTimeFormat(std::u16string_view a, std::u16string_view format);
    // Plays from the track's start, in whatever time format is set now.
    int32_t MciPlayTrack(int32_t track, std::u16string_view a);

    // Status queries (MciQuery path).
    std::u16string MciStatusLength(std::u16string_view a);
    std::u16string MciStatusMode(std::u16string_view a);
    std::u16string MciStatusPosition(std::u16string_view a);
    std::u16string MciStatusTimeFormat(std::u16string_view a);
    std::u16string MciStatusCurrentTrack(std::u16string_view a);
    std::u16string MciStatusTrackPosition(std::u16string_view a, std::u16string_view track);
    std::u16string MciStatusTrackLength(std::u16string_view a, std::u16string_view track);

    // True when an open device's alias begins with `a` (a prefix test). Letter case does not
    // count: Wine names open devices in lower case. An empty alias matches nothing.
    bool MciIsOpen(std::u16string_view a);

    // Video sequences. Those that change what the window shows pump messages twice at the
    // end so that the video window repaints before the caller goes on.
    // Opens `file` as a child window of `parentWindow`, draws its first frame into `picture`,
    // reads its size and length and fits the window into the area of areaWidth × areaHeight.
    // False, the alias closed, when the open or the first frame fails. Closes a video still
    // open under `a` first (the caller does that itself when it must see the pump). A device
    // other than the AVI player may draw only into its window and count no frames (Wine's
    // player of other videos): its first frame is not required, and VideoLength is 0.
    // The sequences send every command through the silent path: a preview never brings up
    // the system's message box, which would hold the dialog in a modal loop of its own.
    // Overtaken when one of its pumps said anything but Continue: nothing more was sent.
    VideoOpenResult VideoOpen(std::u16string_view file, int32_t parentWindow, int32_t areaWidth,
                              int32_t areaHeight, VideoPicture& picture, std::u16string_view a,
                              MessagePump& pump);
    PumpResult VideoClose(std::u16string_view a, MessagePump& pump);
    // The open video's window fitted again into an area of a new size.
    void VideoFit(std::u16string_view a, int32_t areaWidth, int32_t areaHeight);
    // The position in frames; 0 when the reply starts with no number.
    int32_t VideoFrame(std::u16string_view a);
    PumpResult VideoSeekShow(std::u16string_view a, int32_t frame, MessagePump& pump);
    PumpResult VideoPlayNotify(std::u16string_view a, int32_t frame, MessagePump& pump);
    PumpResult VideoRewind(std::u16string_view a, MessagePump& pump);

    // The 8.3 form of a path; empty when the system cannot give one.
    std::u16string ShortPath(std::u16string_view path);
    // true saves the wave-out volume, false puts the saved one back. Nothing is put back when
    // no volume could be read: writing a value never read would silence the device.
    void WaveVolume(bool save);
    // Lets pending window messages run twice, as the video sequences end; the second time
    // only when the first said Continue.
    PumpResult PumpTwice(MessagePump& pump);

    std::u16string LastMciReply;
    int32_t VideoLength = 0;
    int32_t VideoWidth = 0;
    int32_t VideoHeight = 0;
    int16_t VideoBits = 0;
    uint32_t SavedWaveVolume = 0;

  private:
    void StopVideo(std::u16string_view a);
    void SendQuietly(std::u16string_view command);
    // The device under `a` is the AVI player, which draws any frame into a device context.
    bool IsAviPlayer(std::u16string_view a);
    bool waveVolumeSaved_ = false;

    MciPlatform& platform_;
    // Fixed buffers kept from call to call, as the system is handed them.
    std::array<char16_t, kMciReplyBufferSize> MciReplyBuffer{};
    std::array<char16_t, kMciErrorBufferSize> MciErrorBuffer{};
};

}  // namespace qcd
