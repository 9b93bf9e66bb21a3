#include "media/mci_platform.h"

#include <windows.h>

#include <mmsystem.h>

#include <digitalv.h>

#include "platform/text.h"

namespace qcd {

namespace {

wchar_t* Out(std::span<char16_t> buffer) { return reinterpret_cast<wchar_t*>(buffer.data()); }

class WinMciPlatform final : public MciPlatform {
public:
    uint32_t SendString(const std::u16string& command, std::span<char16_t> reply) override {
        return mciSendStringW(win::Wide(command), Out(reply), static_cast<UINT>(reply.size()), nullptr);
    }
    bool GetErrorString(uint32_t code, std::span<char16_t> text) override {
        return mciGetErrorStringW(code, Out(text), static_cast<UINT>(text.size())) != FALSE;
    }
    bool GetWaveVolume(uint32_t& volume) override {
        DWORD v = 0;
        if (waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &v) != MMSYSERR_NOERROR) return false;
        volume = v;
        return true;
    }
    void SetWaveVolume(uint32_t volume) override { waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), volume); }
    uint32_t ShortPathName(const std::u16string& path, std::span<char16_t> shortPath) override {
        return GetShortPathNameW(win::Wide(path), Out(shortPath), static_cast<DWORD>(shortPath.size()));
    }
    // Not the string "window A state show": in a 64-bit process Wine 8 answers it with success
    // and leaves the video window hidden (its string parser does not fill the structure's
    // state); the structure sent as it is works in both builds.
    bool ShowDeviceWindow(const std::u16string& alias, bool shown) override {
        const MCIDEVICEID device = mciGetDeviceIDW(win::Wide(alias));
        if (device == 0) return false;
        MCI_DGV_WINDOW_PARMSW window{};
        window.nCmdShow = shown ? SW_SHOW : SW_HIDE;
        return mciSendCommandW(device, MCI_WINDOW, MCI_DGV_WINDOW_STATE, reinterpret_cast<DWORD_PTR>(&window)) == 0;
    }
};

}  // namespace

MciLayer& ProcessMci() {
    static WinMciPlatform platform;
    static MciLayer layer(platform);
    return layer;
}

}  // namespace qcd
