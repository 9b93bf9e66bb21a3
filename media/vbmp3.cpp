#include "media/vbmp3.h"

#include <cstring>
#include <optional>

#include "platform/module.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace qcd {

void Vbmp3::Load() {
    if (tried_) return;
    tried_ = true;
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring full(path, n);
    full.resize(full.find_last_of(L"\\/") + 1);
    full += L"VBMP3.dll";
    module_.reset(LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module_) {
        win::TraceFailure("sound preview", "LoadLibraryExW(VBMP3.dll)", GetLastError());
        return;
    }
    HMODULE m = module_.get();
    api_.Bind([m](const char* name) { return reinterpret_cast<void*>(GetProcAddress(m, name)); });
}

bool Vbmp3::Loaded() {
    Load();
    return module_ && api_.open;
}

template <typename Call>
bool Vbmp3::Outermost(Call&& call) {
    if (inCall_) {
        win::Trace("sound preview", "a library call came in during another one; put off");
        return false;
    }
    inCall_ = true;
    call();
    while (stopPending_) {
        stopPending_ = false;
        if (api_.stop) api_.stop();
    }
    inCall_ = false;
    return true;
}

void Vbmp3::Init() {
    if (Loaded() && api_.init) Outermost([&] { api_.init(); });
}
void Vbmp3::Free() {
    if (Loaded() && api_.free) Outermost([&] { api_.free(); });
}
bool Vbmp3::Open(const std::u16string& path, Vbmp3Info& info) {
    std::memset(&info, 0, sizeof info);
    if (!Loaded()) return false;
    int32_t opened = 0;
    // Only the low 16 bits of open's result count: a library may leave the rest undefined.
    if (api_.openWide) {
        Outermost([&] { opened = static_cast<int16_t>(api_.openWide(win::Wide(path), &info)); });
        return opened != 0;
    }
    // A library with only the ANSI open takes the name when the code page holds it, else
    // the short name (ASCII on volumes that keep short names).
    std::optional<std::string> name = win::ToAnsiExactly(path);
    if (!name) {
        const std::u16string shortPath = win::ShortPathName(path);
        if (!shortPath.empty()) name = win::ToAnsiExactly(shortPath);
    }
    if (!name) {
        win::Trace("sound preview", "the name has no form the library's ANSI open can take");
        return false;
    }
    Outermost([&] { opened = static_cast<int16_t>(api_.open(name->c_str(), &info)); });
    return opened != 0;
}
void Vbmp3::Play() {
    if (Loaded() && api_.play) Outermost([&] { api_.play(); });
}
void Vbmp3::Stop() {
    if (!Loaded() || !api_.stop) return;
    if (inCall_) {
        stopPending_ = true;
        return;
    }
    Outermost([&] { api_.stop(); });
}
void Vbmp3::Pause() {
    if (Loaded() && api_.pause) Outermost([&] { api_.pause(); });
}
void Vbmp3::Restart() {
    if (Loaded() && api_.restart) Outermost([&] { api_.restart(); });
}
void Vbmp3::Seek(int32_t seconds) {
    if (Loaded() && api_.seek) Outermost([&] { api_.seek(seconds); });
}
void Vbmp3::SetVolume(int32_t left, int32_t right) {
    if (Loaded() && api_.setVolume) Outermost([&] { api_.setVolume(left, right); });
}
int32_t Vbmp3::GetState(int32_t& positionSeconds) {
    if (!Loaded() || !api_.getState) return -1;
    int32_t state = 0;
    positionSeconds = 0;
    Outermost([&] { state = api_.getState(&positionSeconds); });
    return state;
}
void Vbmp3::GetSpectrum(std::array<int32_t, 256>& left, std::array<int32_t, 256>& right) {
    if (Loaded() && api_.getSpectrum)
        Outermost([&] { api_.getSpectrum(left.data(), right.data()); });
}

Vbmp3& ProcessVbmp3() {
    // Never destroyed: its destructor would run FreeLibrary while the control library
    // itself is being unloaded, which the loader does not allow.
    static Vbmp3* library = new Vbmp3;
    return *library;
}

}  // namespace qcd
