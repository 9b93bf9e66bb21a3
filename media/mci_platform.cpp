#include "media/mci_platform.h"

#include <windows.h>

#include <mmsystem.h>

#include <digitalv.h>

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
    // Not the string "window A state show": in a 64-bit process Wine 8 answers it with success
    // and leaves the video window hidden (its string parser does not fill the structure's
    // state); the structure sent as it is works in both builds.
    bool ShowDeviceWindow(const std::string& alias, bool shown) override {
        const MCIDEVICEID device = mciGetDeviceIDA(alias.c_str());
        if (device == 0) return false;
        MCI_DGV_WINDOW_PARMSA window{};
        window.nCmdShow = shown ? SW_SHOW : SW_HIDE;
        return mciSendCommandA(device, MCI_WINDOW, MCI_DGV_WINDOW_STATE, reinterpret_cast<DWORD_PTR>(&window)) == 0;
    }
};

}  // namespace

MciLayer& ProcessMci() {
    static WinMciPlatform platform;
    static MciLayer layer(platform);
    return layer;
}

}  // namespace qcd
