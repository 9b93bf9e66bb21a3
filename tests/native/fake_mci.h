// A recording MCI platform for the native tests: every command is recorded with the path it
// took, replies and error texts are scripted per command, and a pump can run what the test
// wants to happen while messages run.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "media/mci_commands.h"

namespace qcd {

using Calls = std::vector<std::string>;

// Commands are recorded and scripted in UTF-8.
inline std::string Utf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
        char16_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : (b & 0x0F);
        for (size_t k = 1; k < len; ++k) c = (c << 6) | (text[i + k] & 0x3F);
        out += c;
        i += len;
    }
    return out;
}

// Records every call with the path it took; replies and error texts are scripted per command.
struct FakeMci : MciPlatform, MessagePump {
    struct Reply {
        uint32_t code = 0;
        std::string text;
        bool noNul = false;  // fills the whole buffer, leaving no NUL in it
    };
    std::map<std::string, Reply> replies;
    std::map<uint32_t, std::string> errorTexts;
    Calls calls;
    std::vector<size_t> errorBufferSizes;
    int pumps = 0;
    uint32_t volume = 0x12345678;
    std::map<std::string, std::string> shortPaths;

    uint32_t SendString(const std::u16string& wide, std::span<char16_t> reply) override {
        const std::string command = Utf8(wide);
        // The buffer size tells the two sending paths apart.
        calls.push_back((reply.size() == kMciReplyBufferSize ? "MciSend " : "MciSendBuf ") +
                        command);
        if (onSend) onSend(command);
        const Reply& r = replies[command];
        if (r.noNul) {
            std::fill(reply.begin(), reply.end(), u'x');
        } else if (r.code == 0) {
            Put(r.text, reply);
        }
        return r.code;
    }
    bool GetErrorString(uint32_t code, std::span<char16_t> text) override {
        errorBufferSizes.push_back(text.size());
        auto it = errorTexts.find(code);
        if (it == errorTexts.end()) return false;
        Put(it->second, text);
        return true;
    }
    bool ShowDeviceWindow(const std::u16string& alias, bool shown) override {
        calls.push_back("ShowDeviceWindow " + Utf8(alias) + (shown ? " show" : " hide"));
        return true;
    }
    // Lists `alias` as the one open device, or none.
    void ListOpen(const std::string& alias) {
        replies["sysinfo all quantity open"].text = alias.empty() ? "0" : "1";
        replies["sysinfo all name 1 open"].text = alias;
    }
    // The pump the layer's video sequences are given in these tests.
    PumpResult LetMessagesRun() override {
        ++pumps;
        if (onPump) onPump();
        return dialogHidden ? PumpResult::DialogGone : PumpResult::Continue;
    }
    // What the pump reports: the dialog hidden by a message it ran (Cancel).
    bool dialogHidden = false;
    // Runs as a command arrives, before its reply is read: a device opening or ending.
    std::function<void(const std::string&)> onSend;
    // What runs while messages are let run: a test's selection or press comes in here.
    std::function<void()> onPump;
    bool GetWaveVolume(uint32_t& v) override {
        if (!volumeReadable) return false;
        v = volume;
        return true;
    }
    void SetWaveVolume(uint32_t v) override {
        volume = v;
        ++volumeWrites;
    }
    bool volumeReadable = true;
    int volumeWrites = 0;
    uint32_t ShortPathName(const std::u16string& path, std::span<char16_t> out) override {
        auto it = shortPaths.find(Utf8(path));
        if (it == shortPaths.end()) return 0;
        return static_cast<uint32_t>(Put(it->second, out));
    }
    // Writes `text` and a NUL into `out`; the length written.
    static size_t Put(std::string_view text, std::span<char16_t> out) {
        const std::u16string wide = FromUtf8(text);
        std::copy(wide.begin(), wide.end(), out.begin());
        out[wide.size()] = u'\0';
        return wide.size();
    }
};

}  // namespace qcd
