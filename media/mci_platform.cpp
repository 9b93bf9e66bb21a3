#include "media/mci_platform.h"

#include <windows.h>

#include <mmsystem.h>

#include "platform/text.h"

namespace qcd {

namespace {

class WinMciPlatform final : public MciPlatform {
public:
    std::string ToAnsi(std::u16string_view text) override { return win::ToAnsi(text); }
    std::u16string FromAnsi(std::string_view text) override { return win::FromAnsi(text); }

    uint32_t SendString(const std::string& command, std::span<char> reply) override {
        return mciSendStringA(command.c_str(), reply.data(), static_cast<UINT>(reply.size()), nullptr);
    }
    bool GetErrorString(uint32_t code, std::span<char> text) override {
        return mciGetErrorStringA(code, text.data(), static_cast<UINT>(text.size())) != FALSE;
    }
    bool GetWaveVolume(uint32_t& volume) override {
        DWORD v = 0;
        if (waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &v) != MMSYSERR_NOERROR) return false;
        volume = v;
        return true;
    }
    void SetWaveVolume(uint32_t volume) override { waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), volume); }
    uint32_t ShortPathName(const std::string& path, std::span<char> shortPath) override {
        return GetShortPathNameA(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    }
};

}  // namespace

MciLayer& ProcessMci() {
    static WinMciPlatform platform;
    static MciLayer layer(platform);
    return layer;
}

}  // namespace qcd
