// The library's one player: the open file, the device, the worker thread that decodes into
// the device's buffers, and the samples kept for the spectrum. The contract is in vbmp3.h.
#include <windows.h>
// The lean headers leave the multimedia ones out.
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

#include "vbmp3/sound_file.h"
#include "vbmp3/frequency_bands.h"
#include "vbmp3/vbmp3.h"

namespace vbmp3 {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// The open file, read at offsets from any thread.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(HANDLE file) : file_(file) {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
            size_ = static_cast<uint64_t>(size.QuadPart);
    }
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
        if (offset >= size_) return 0;
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>({out.size(), size_ - offset, 1u << 30}));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(file_.get(), out.data(), want, &got, &at)) return 0;
        return got;
    }

  private:
    UniqueHandle file_;
    uint64_t size_ = 0;
};

// Decoded 16-bit samples, interleaved, `channels` to a frame.
class Decoder {
  public:
    virtual ~Decoder() = default;
    // Up to `frames` frames into `out`; 0 at the end of the sound (or on a decoding error).
    virtual size_t Read(int16_t* out, size_t frames) = 0;
};

class PcmDecoder final : public Decoder {
  public:
    PcmDecoder(ByteSource& source, const SoundInfo& info, uint64_t firstSample)
        : source_(source), info_(info) {
        const uint64_t skip = std::min(firstSample * info.blockAlign, info.dataSize);
        at_ = info.dataOffset + skip;
        end_ = info.dataOffset + info.dataSize / info.blockAlign * info.blockAlign;
    }
    size_t Read(int16_t* out, size_t frames) override {
        const size_t align = info_.blockAlign;
        const size_t want = at_ < end_ ? std::min<uint64_t>(frames * align, end_ - at_) : 0;
        bytes_.resize(want);
        const size_t got = source_.ReadAt(at_, bytes_) / align * align;
        at_ += got;
        const size_t samples = got / (info_.bitsPerSample / 8);
        if (info_.bitsPerSample == 8) {
            for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>((bytes_[i] - 128) << 8);
        } else {
            for (size_t i = 0; i < samples; ++i)
                out[i] = static_cast<int16_t>(bytes_[2 * i] | bytes_[2 * i + 1] << 8);
        }
        return got / align;
    }

  private:
    ByteSource& source_;
    const SoundInfo& info_;
    uint64_t at_ = 0, end_ = 0;
    std::vector<uint8_t> bytes_;
};

// What the platform's converters take for an MP3 stream: every field from a frame header the
// reader parsed (a known bit rate and sampling rate, one or two channels).
std::vector<uint8_t> Mp3Format(const SoundInfo& info) {
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.wfx.nChannels = static_cast<WORD>(info.mp3.channels);
    f.wfx.nSamplesPerSec = static_cast<DWORD>(info.mp3.rate);
    f.wfx.nAvgBytesPerSec = static_cast<DWORD>(info.mp3.bitrateKbps) * 1000 / 8;
    f.wfx.nBlockAlign = 1;
    f.wfx.wBitsPerSample = 0;
    f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    f.wID = MPEGLAYER3_ID_MPEG;
    f.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    f.nBlockSize = static_cast<WORD>(info.mp3.frameBytes - (info.mp3.padding ? 1 : 0));
    f.nFramesPerBlock = 1;
    f.nCodecDelay = 1393;
    std::vector<uint8_t> bytes(sizeof f);
    std::memcpy(bytes.data(), &f, sizeof f);
    return bytes;
}

// The source's format as a record the converters read: a made one for MP3; for WAVE the
// file's own, which the reader checked by its tag and cut to the WAVEFORMATEX and the extra
// bytes it declares (ReadWaveInfo gives no other compressed record).
std::vector<uint8_t> SourceFormat(const SoundInfo& info) {
    if (info.format == SoundFormat::Mp3) return Mp3Format(info);
    return info.formatRecord;
}

// The PCM the converters make of `source`: 16 bits, its rate; none when they cannot.
std::optional<WAVEFORMATEX> PcmFormatFor(std::vector<uint8_t>& source) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, reinterpret_cast<WAVEFORMATEX*>(source.data()), &pcm, sizeof pcm,
                         ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
        return std::nullopt;
    if (pcm.nChannels < 1 || pcm.nChannels > 2) return std::nullopt;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(pcm.nChannels * 2);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    pcm.cbSize = 0;
    return pcm;
}

class AcmDecoder final : public Decoder {
  public:
    static std::unique_ptr<AcmDecoder> Make(ByteSource& source, const SoundInfo& info,
                                            const WAVEFORMATEX& pcm, uint64_t firstSample) {
        std::unique_ptr<AcmDecoder> d(new AcmDecoder(source, info, pcm));
        std::vector<uint8_t> from = SourceFormat(info);
        WAVEFORMATEX to = pcm;
        if (acmStreamOpen(&d->stream_, nullptr, reinterpret_cast<WAVEFORMATEX*>(from.data()), &to,
                          nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
            d->stream_ = nullptr;
            return nullptr;
        }
        DWORD out = 0;
        if (acmStreamSize(d->stream_, kChunk, &out, ACM_STREAMSIZEF_SOURCE) != 0 || out == 0)
            return nullptr;
        d->out_.resize(out);
        d->Seek(firstSample);
        return d;
    }
    ~AcmDecoder() override {
        if (stream_) acmStreamClose(stream_, 0);
    }

    // Whole frames only: the converters work in bytes, and a file cut inside a frame leaves
    // them part of one at its end, which is dropped.
    size_t Read(int16_t* out, size_t frames) override {
        const size_t channels = pcm_.nChannels;
        size_t done = 0;
        while (done < frames) {
            const size_t whole = (pending_.size() - pendingAt_) / channels;
            if (whole == 0) {
                if (Convert()) continue;  // more samples: at most `channels` rounds to a frame
                pending_.clear();
                pendingAt_ = 0;
                break;
            }
            if (skip_) {
                const size_t s = static_cast<size_t>(std::min<uint64_t>(skip_, whole));
                skip_ -= s;
                pendingAt_ += s * channels;
                continue;
            }
            const size_t n = std::min(frames - done, whole);
            std::memcpy(out + done * channels, pending_.data() + pendingAt_, n * channels * 2);
            pendingAt_ += n * channels;
            done += n;
        }
        return done;
    }

  private:
    static constexpr DWORD kChunk = 16 * 1024;

    AcmDecoder(ByteSource& source, const SoundInfo& info, const WAVEFORMATEX& pcm)
        : source_(source), info_(info), pcm_(pcm) {}

    void Seek(uint64_t firstSample) {
        const uint64_t end = info_.dataOffset + info_.dataSize;
        if (info_.format == SoundFormat::Mp3) {
            const Mp3Place p = FindMp3Frame(source_, info_, firstSample);
            at_ = p.offset;
            skip_ = firstSample - p.firstSample;
        } else {
            // Whole blocks; the byte rate says where a second starts.
            const uint64_t bytes = info_.rate ? firstSample * info_.avgBytesPerSec / info_.rate : 0;
            at_ = info_.dataOffset + std::min(bytes, info_.dataSize) / info_.blockAlign * info_.blockAlign;
            skip_ = 0;
        }
        end_ = end;
    }

    // Converts more of the file and adds what the converter made to the samples not yet read
    // (less than a frame of them may be left); false when it made nothing: the end of the
    // file, or a converter that takes no more of it.
    bool Convert() {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
        pendingAt_ = 0;
        for (int tries = 0; tries < 64; ++tries) {
            const size_t room = kChunk - in_.size();
            const size_t want = static_cast<size_t>(std::min<uint64_t>(room, end_ - at_));
            const size_t old = in_.size();
            in_.resize(old + want);
            const size_t got = source_.ReadAt(at_, std::span<uint8_t>(in_.data() + old, want));
            in_.resize(old + got);
            at_ += got;
            const bool last = at_ >= end_ || got == 0;
            if (in_.empty()) return false;

            ACMSTREAMHEADER h{};
            h.cbStruct = sizeof h;
            h.pbSrc = in_.data();
            h.cbSrcLength = static_cast<DWORD>(in_.size());
            h.pbDst = out_.data();
            h.cbDstLength = static_cast<DWORD>(out_.size());
            if (acmStreamPrepareHeader(stream_, &h, 0) != 0) return false;
            DWORD flags = info_.format == SoundFormat::Mp3 ? 0 : ACM_STREAMCONVERTF_BLOCKALIGN;
            if (last) flags |= ACM_STREAMCONVERTF_END;
            const MMRESULT r = acmStreamConvert(stream_, &h, flags);
            h.cbSrcLength = static_cast<DWORD>(in_.size());
            h.cbDstLength = static_cast<DWORD>(out_.size());
            acmStreamUnprepareHeader(stream_, &h, 0);
            if (r != 0) return false;
            const size_t used = std::min<size_t>(h.cbSrcLengthUsed, in_.size());
            in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(used));
            const size_t made = std::min<size_t>(h.cbDstLengthUsed, out_.size()) / 2;
            if (made) {
                const size_t kept = pending_.size();
                pending_.resize(kept + made);
                std::memcpy(pending_.data() + kept, out_.data(), made * 2);
                return true;
            }
            if (last) return false;
            // Nothing used and nothing made: the converter wants no more of this.
            if (used == 0 && in_.size() >= kChunk) return false;
        }
        return false;
    }

    ByteSource& source_;
    const SoundInfo& info_;
    WAVEFORMATEX pcm_;
    HACMSTREAM stream_ = nullptr;
    uint64_t at_ = 0, end_ = 0, skip_ = 0;
    std::vector<uint8_t> in_, out_;
    std::vector<int16_t> pending_;
    size_t pendingAt_ = 0;
};

// The last samples given to the device, by their index since playing started, for the
// spectrum of what is being heard.
class History {
  public:
    static constexpr size_t kFrames = 1 << 17;  // about 3 s: more than the device queues
    void Reset(int channels) {
        channels_ = static_cast<size_t>(channels);
        samples_.assign(kFrames * channels_, 0);
        written_ = 0;
    }
    void Append(const int16_t* data, size_t frames) {
        for (size_t f = 0; f < frames; ++f, ++written_)
            std::memcpy(&samples_[(written_ % kFrames) * channels_], data + f * channels_, channels_ * 2);
    }
    // kFftSize frames from `played` on, or the last ones written.
    std::vector<int16_t> Window(uint64_t played) const {
        std::vector<int16_t> w(kFftSize * channels_);
        if (written_ < kFftSize) return w;
        const uint64_t from = std::min<uint64_t>(played, written_ - kFftSize);
        for (size_t f = 0; f < kFftSize; ++f)
            std::memcpy(&w[f * channels_], &samples_[((from + f) % kFrames) * channels_], channels_ * 2);
        return w;
    }
    int Channels() const { return static_cast<int>(channels_); }

  private:
    size_t channels_ = 1;
    std::vector<int16_t> samples_;
    uint64_t written_ = 0;
};

// The wave output and its buffers, owned together: reset, every buffer unprepared and the
// device closed when it goes, before the buffers' memory is freed.
class WaveDevice {
  public:
    struct Buffer {
        std::vector<int16_t> samples;
        WAVEHDR header{};
    };
    static constexpr int kBuffers = 4;

    // None when there is no wave output for `format` (or it refuses the buffers).
    static std::unique_ptr<WaveDevice> Open(const WAVEFORMATEX& format, HANDLE doneEvent,
                                            size_t framesPerBuffer) {
        std::unique_ptr<WaveDevice> d(new WaveDevice);
        WAVEFORMATEX f = format;
        if (waveOutOpen(&d->wave_, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(doneEvent), 0,
                        CALLBACK_EVENT) != MMSYSERR_NOERROR) {
            d->wave_ = nullptr;
            return nullptr;
        }
        for (Buffer& b : d->buffers_) {
            b.samples.assign(framesPerBuffer * format.nChannels, 0);
            b.header.lpData = reinterpret_cast<LPSTR>(b.samples.data());
            b.header.dwBufferLength = static_cast<DWORD>(b.samples.size() * 2);
            if (waveOutPrepareHeader(d->wave_, &b.header, sizeof b.header) != 0) return nullptr;
            b.header.dwFlags |= WHDR_DONE;  // free to fill
            ++d->prepared_;
        }
        return d;
    }
    ~WaveDevice() {
        if (!wave_) return;
        waveOutReset(wave_);
        for (int i = 0; i < prepared_; ++i)
            waveOutUnprepareHeader(wave_, &buffers_[i].header, sizeof buffers_[i].header);
        waveOutClose(wave_);
    }
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    HWAVEOUT get() const { return wave_; }
    Buffer* begin() { return buffers_; }
    Buffer* end() { return buffers_ + kBuffers; }

  private:
    WaveDevice() = default;
    HWAVEOUT wave_ = nullptr;
    Buffer buffers_[kBuffers];
    int prepared_ = 0;
};

// Two locks. `calls_` lets one entry point run at a time; the worker never takes it, so an
// entry point may call the device and wait for the worker under it. `m_` guards what the
// worker shares with the entry points (the volume, the samples kept for the spectrum) and is
// held only to copy them: never across a converter, device or wait call, so neither side can
// keep the other waiting on it.
class Player {
  public:
    void Init() {
        std::lock_guard calls(calls_);
        std::lock_guard lock(m_);
        volume_[0] = volume_[1] = 100;
    }

    void Free() {
        std::lock_guard calls(calls_);
        StopPlaying();
        CloseFile();
    }

    // `path` is the ANSI or the UTF-16 name, as the entry point took it.
    template <typename Char>
    bool Open(const Char* path, Vbmp3Info* out) {
        std::lock_guard calls(calls_);
        StopPlaying();
        CloseFile();
        if (!path || !out) return false;
        constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE h = INVALID_HANDLE_VALUE;
        if constexpr (std::is_same_v<Char, wchar_t>)
            h = CreateFileW(path, GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        else
            h = CreateFileA(path, GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        auto source = std::make_unique<FileSource>(h);
        std::optional<SoundInfo> info = ReadSoundInfo(*source);
        if (!info) return false;
        WAVEFORMATEX pcm{};
        // PCM and MP3 decode to 16-bit samples of their own rate and channels; asking the
        // converters would load every codec on each open, tens of milliseconds under Wine.
        if (info->format != SoundFormat::Compressed) {
            pcm.wFormatTag = WAVE_FORMAT_PCM;
            pcm.nChannels = info->channels;
            pcm.nSamplesPerSec = info->rate;
            pcm.wBitsPerSample = 16;
            pcm.nBlockAlign = static_cast<WORD>(info->channels * 2);
            pcm.nAvgBytesPerSec = info->rate * pcm.nBlockAlign;
        } else {
            // A format the converters cannot turn into PCM is refused now, not at play.
            std::vector<uint8_t> from = SourceFormat(*info);
            const std::optional<WAVEFORMATEX> suggested = PcmFormatFor(from);
            if (!suggested) return false;
            pcm = *suggested;
        }

        Vbmp3Info record{};
        const char* name = info->format == SoundFormat::Pcm ? "WAVE PCM"
                           : info->format == SoundFormat::Compressed ? "WAVE"
                           : info->mp3.version == 1                 ? "MPEG-1 Layer III"
                           : info->mp3.version == 2                 ? "MPEG-2 Layer III"
                                                                    : "MPEG-2.5 Layer III";
        std::strncpy(record.format, name, sizeof record.format - 1);
        record.rate = static_cast<int32_t>(info->rate);
        record.channels = info->channels;
        if (info->format != SoundFormat::Mp3)
            record.kbps = static_cast<int32_t>(info->avgBytesPerSec / 125);
        else if (!info->vbr)
            record.kbps = info->mp3.bitrateKbps;
        else  // the average: bits of the sound over its samples' duration
            record.kbps = static_cast<int32_t>(info->dataSize * 8 * info->rate / info->samples / 1000);
        record.lengthSeconds = info->lengthSeconds;
        std::memcpy(out, &record, sizeof record);

        source_ = std::move(source);
        info_ = std::move(*info);
        pcm_ = pcm;
        return true;
    }

    bool Play() {
        std::lock_guard calls(calls_);
        StopPlaying();
        return source_ && Start(0);
    }

    void Stop() {
        std::lock_guard calls(calls_);
        StopPlaying();
    }

    bool Pause() {
        std::lock_guard calls(calls_);
        if (state_ != 1 || Ended()) return false;
        waveOutPause(wave_->get());
        state_ = 2;
        return true;
    }

    bool Restart() {
        std::lock_guard calls(calls_);
        if (state_ != 2) return false;
        if (!sought_) {
            waveOutRestart(wave_->get());
            state_ = 1;
            return true;
        }
        const int32_t from = *sought_;
        StopPlaying();
        return source_ && Start(from);
    }

    bool Seek(int32_t seconds) {
        std::lock_guard calls(calls_);
        if (!source_ || state_ == 0) return false;
        const int32_t to = std::clamp(seconds, 0, info_.lengthSeconds);
        if (state_ == 2) {
            sought_ = to;
            return true;
        }
        StopPlaying();
        return source_ && Start(to);
    }

    void SetVolume(int32_t left, int32_t right) {
        std::lock_guard calls(calls_);
        std::lock_guard lock(m_);
        volume_[0] = std::clamp(left, 0, 100);
        volume_[1] = std::clamp(right, 0, 100);
    }

    int32_t State(int32_t* position) {
        std::lock_guard calls(calls_);
        int32_t p = 0;
        int32_t s = state_;
        if (s != 0 && Ended()) s = 0;
        if (s == 2 && sought_) {
            p = *sought_;
        } else if (s != 0) {
            p = WholeSeconds(startSample_ + Played(), info_.rate);
            p = std::min(p, info_.lengthSeconds);
        }
        if (position) *position = p;
        return s;
    }

    void GetSpectrum(int32_t* left, int32_t* right) {
        Bins l{}, r{};
        {
            std::lock_guard calls(calls_);
            if (state_ != 0 && !Ended()) {
                const uint64_t played = Played();
                std::vector<int16_t> window;
                int channels = 1;
                {
                    std::lock_guard lock(m_);
                    window = history_.Window(played);
                    channels = history_.Channels();
                }
                Spectrum(window, channels, l, r);
            }
        }
        if (left) std::memcpy(left, l.data(), sizeof l);
        if (right) std::memcpy(right, r.data(), sizeof r);
    }

  private:
    static constexpr int kBufferMs = 200;

    bool Ended() const { return ended_.load(); }

    // The frames the device has played since it opened. Under `calls_`, which keeps the
    // device open meanwhile.
    uint64_t Played() const {
        MMTIME t{};
        t.wType = TIME_SAMPLES;
        if (!wave_ || waveOutGetPosition(wave_->get(), &t, sizeof t) != 0) return 0;
        if (t.wType == TIME_SAMPLES) return t.u.sample;
        if (t.wType == TIME_BYTES && pcm_.nBlockAlign) return t.u.cb / pcm_.nBlockAlign;
        return 0;
    }

    void CloseFile() {
        source_.reset();
        info_ = SoundInfo{};
    }

    // Opens the device and starts the worker from second `from`; the state stays 0 when the
    // device, the decoder or the thread cannot be had. No worker runs when it is called.
    bool Start(int32_t from) {
        state_ = 0;
        sought_.reset();
        ended_ = false;
        startSample_ = static_cast<uint64_t>(from) * info_.rate;
        if (info_.format == SoundFormat::Pcm) {
            decoder_ = std::make_unique<PcmDecoder>(*source_, info_, startSample_);
        } else {
            decoder_ = AcmDecoder::Make(*source_, info_, pcm_, startSample_);
        }
        if (!decoder_) return false;
        event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        quit_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (event_ && quit_)
            wave_ = WaveDevice::Open(pcm_, event_.get(),
                                     static_cast<size_t>(pcm_.nSamplesPerSec) * kBufferMs / 1000);
        if (!wave_) return CloseDevice(), false;
        {
            std::lock_guard lock(m_);
            history_.Reset(pcm_.nChannels);
        }
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (...) {
            CloseDevice();
            return false;
        }
        state_ = 1;
        return true;
    }

    // The worker: fills every buffer the device has finished with, until the sound ends or a
    // stop asks it to leave. The decoder and the buffers are its own while it runs; it takes
    // only `m_`, and only to copy the volume and keep the samples. The device signals an
    // event, never calls back, so nothing runs on the device's thread.
    void Work() noexcept {
        try {
            WorkUntilDone();
        } catch (...) {
        }
        ended_ = true;
    }

    void WorkUntilDone() {
        bool draining = false;
        for (;;) {
            bool allDone = true;
            for (WaveDevice::Buffer& b : *wave_) {
                if (!Done(b.header)) {
                    allDone = false;
                    continue;
                }
                if (draining) continue;
                // A stop waits for no more decoding than the buffer under way.
                if (WaitForSingleObject(quit_.get(), 0) == WAIT_OBJECT_0) return;
                const size_t frames = b.samples.size() / pcm_.nChannels;
                const size_t got = decoder_->Read(b.samples.data(), frames);
                if (got == 0) {
                    draining = true;
                    continue;
                }
                Keep(b.samples.data(), got);
                b.header.dwBufferLength = static_cast<DWORD>(got * pcm_.nChannels * 2);
                b.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
                if (waveOutWrite(wave_->get(), &b.header, sizeof b.header) != 0) {
                    b.header.dwFlags |= WHDR_DONE;
                    draining = true;
                } else {
                    allDone = false;
                }
            }
            if (draining && allDone) return;
            HANDLE wait[2] = {quit_.get(), event_.get()};
            if (WaitForMultipleObjects(2, wait, FALSE, 500) == WAIT_OBJECT_0) return;
        }
    }

    // The device's thread sets WHDR_DONE: read it afresh each time.
    static bool Done(const WAVEHDR& h) {
        return (*static_cast<const volatile DWORD*>(&h.dwFlags) & WHDR_DONE) != 0;
    }

    // The volume applied to `frames` decoded frames, which are then kept for the spectrum.
    void Keep(int16_t* s, size_t frames) {
        int32_t volume[2];
        {
            std::lock_guard lock(m_);
            volume[0] = volume_[0];
            volume[1] = volume_[1];
        }
        const int channels = pcm_.nChannels;
        if (volume[0] != 100 || volume[1] != 100)
            for (size_t f = 0; f < frames; ++f)
                for (int c = 0; c < channels; ++c) {
                    const int v = volume[channels == 1 ? 0 : c];
                    int16_t& x = s[f * static_cast<size_t>(channels) + static_cast<size_t>(c)];
                    x = static_cast<int16_t>(x * v / 100);
                }
        std::lock_guard lock(m_);
        history_.Append(s, frames);
    }

    // Ends the worker and the device: the worker is told to leave and waited for (holding
    // no lock it takes), then the device is reset, gives every buffer back and closes, and
    // only then are the buffers freed. Nothing resets the device while the worker may be
    // writing to it.
    void StopPlaying() {
        if (quit_) SetEvent(quit_.get());
        if (worker_.joinable()) worker_.join();
        CloseDevice();
        state_ = 0;
        sought_.reset();
        ended_ = false;
    }

    void CloseDevice() {
        wave_.reset();
        decoder_.reset();
        event_.reset();
        quit_.reset();
    }

    std::mutex calls_;
    // The entry points' own, under `calls_`: the open file, the device, the state.
    std::unique_ptr<FileSource> source_;
    SoundInfo info_;
    WAVEFORMATEX pcm_{};
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<WaveDevice> wave_;
    UniqueHandle event_, quit_;
    std::thread worker_;
    int32_t state_ = 0;
    std::optional<int32_t> sought_;
    uint64_t startSample_ = 0;
    // Set by the worker when it leaves on its own: the sound has ended.
    std::atomic<bool> ended_{false};
    // Shared with the worker, under `m_`.
    std::mutex m_;
    int32_t volume_[2] = {100, 100};
    History history_;
};

// Never destroyed: at process exit its worker is gone already and joining it under the
// loader's lock could hang. vbmp3_free is the caller's way to end the playing.
Player& ThePlayer() {
    static Player* player = new Player;
    return *player;
}

// No C++ exception leaves an entry point: a failure is a refusal.
template <typename F>
int32_t Guard(F f) noexcept {
    try {
        return f();
    } catch (...) {
        return 0;
    }
}

}  // namespace

}  // namespace vbmp3

using vbmp3::Guard;
using vbmp3::ThePlayer;

extern "C" int32_t VBMP3_CALL vbmp3_init() {
    return Guard([] { return ThePlayer().Init(), 1; });
}
extern "C" int32_t VBMP3_CALL vbmp3_free() {
    return Guard([] { return ThePlayer().Free(), 1; });
}
extern "C" int32_t VBMP3_CALL vbmp3_open(const char* path, Vbmp3Info* info) {
    return Guard([&] { return ThePlayer().Open(path, info) ? 1 : 0; });
}
extern "C" int32_t VBMP3_CALL vbmp3_openW(const wchar_t* path, Vbmp3Info* info) {
    return Guard([&] { return ThePlayer().Open(path, info) ? 1 : 0; });
}
extern "C" int32_t VBMP3_CALL vbmp3_play() {
    return Guard([] { return ThePlayer().Play() ? 1 : 0; });
}
extern "C" int32_t VBMP3_CALL vbmp3_stop() {
    return Guard([] { return ThePlayer().Stop(), 1; });
}
extern "C" int32_t VBMP3_CALL vbmp3_pause() {
    return Guard([] { return ThePlayer().Pause() ? 1 : 0; });
}
extern "C" int32_t VBMP3_CALL vbmp3_restart() {
    return Guard([] { return ThePlayer().Restart() ? 1 : 0; });
}
extern "C" int32_t VBMP3_CALL vbmp3_seek(int32_t seconds) {
    return Guard([&] { return ThePlayer().Seek(seconds) ? 1 : 0; });
}
extern "C" int32_t VBMP3_CALL vbmp3_setVolume(int32_t left, int32_t right) {
    return Guard([&] { return ThePlayer().SetVolume(left, right), 1; });
}
extern "C" int32_t VBMP3_CALL vbmp3_getState(int32_t* position) {
    return Guard([&] { return ThePlayer().State(position); });
}
extern "C" int32_t VBMP3_CALL vbmp3_getSpectrum(int32_t* left, int32_t* right) {
    return Guard([&] { return ThePlayer().GetSpectrum(left, right), 1; });
}
