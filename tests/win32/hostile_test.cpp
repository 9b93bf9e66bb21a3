// Every file of the damaged corpus selected in the real Open dialog of a fresh control, one
// after another, and played for a moment when it is media: each selection must end quickly
// without a fault, the dialog must never keep a message waiting long, and the host (this
// process) must live to cancel the dialog. A crash kills the
// process; the file it died on is the last "hostile: select" line written. A hang, a fault or
// a preview that never finishes ends the process too, after its "hostile: done" line.
//
//   QCD_HOSTILE_ONLY=a,b     only the files whose names contain one of these
//   QCD_HOSTILE_NAMES=path   only the files named in that file, one a line
//   QCD_HOSTILE_LIST=1       write and list the corpus, select nothing
//   QCD_HOSTILE_KEEP=folder  write the corpus there and leave it
//   QCD_HOSTILE_GIVEUP_MS=n  wait this long for a selection before taking the dialog as hung
//   QCD_HOSTILE_FAULTS=debugger  hold the dialog's thread at its first fault, for a backtrace
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hostile_corpus.h"
#include "preview_fixture.h"
#include "resources/resource_ids.h"

namespace qcd::test {
namespace {

constexpr int kSelectionMs = 2000;  // a selection ends within this
constexpr int kAnswerMs = 250;      // and the dialog answers within this afterwards
constexpr int kSlowMs = 250;        // listed as slow
constexpr int kBlockMs = 250;       // the longest the dialog may keep a sent message waiting
// Wine opens an MPEG file through its media framework, which builds its graph on the dialog's
// thread for 120-250 ms, more for a picture claimed larger: the platform's, held to its own.
constexpr int kMpegOpenBlockMs = 750;
constexpr int kPlayMs = 400;        // how long a media file plays before the next selection
// Not ended by then: the dialog's thread is taken as hung (QCD_HOSTILE_GIVEUP_MS to wait longer).
int GiveUpMs();

std::string Env(const char* name) {
    static char buf[32768];
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

int GiveUpMs() {
    static const int ms = [] {
        const std::string text = Env("QCD_HOSTILE_GIVEUP_MS");
        return text.empty() ? 15000 : std::max(kSelectionMs, std::atoi(text.c_str()));
    }();
    return ms;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// Written unbuffered and flushed: the last line must be out when the process dies.
void Say(const std::string& line) {
    std::fputs(("hostile: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

std::vector<HostileFile> Selected(std::vector<HostileFile> all) {
    std::vector<std::string> parts;
    const std::string only = Env("QCD_HOSTILE_ONLY");
    for (size_t at = 0; at <= only.size() && !only.empty();) {
        const size_t comma = std::min(only.find(',', at), only.size());
        if (comma > at) parts.push_back(only.substr(at, comma - at));
        at = comma + 1;
    }
    std::set<std::string> names;
    if (const std::string list = Env("QCD_HOSTILE_NAMES"); !list.empty()) {
        std::ifstream in(list);
        for (std::string line; std::getline(in, line);) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            if (!line.empty()) names.insert(line);
        }
    }
    // Files whose names hold one of these parts are left out (QCD_HOSTILE_SKIP).
    std::vector<std::string> skipped;
    const std::string skip = Env("QCD_HOSTILE_SKIP");
    for (size_t at = 0; at <= skip.size() && !skip.empty();) {
        const size_t comma = std::min(skip.find(',', at), skip.size());
        if (comma > at) skipped.push_back(skip.substr(at, comma - at));
        at = comma + 1;
    }
    const auto isSkipped = [&](const std::string& n) {
        for (const std::string& p : skipped)
            if (n.find(p) != std::string::npos) return true;
        return false;
    };
    if (parts.empty() && names.empty()) {
        std::erase_if(all, [&](const HostileFile& f) { return isSkipped(Narrow(f.name)); });
        return all;
    }
    std::vector<HostileFile> kept;
    for (HostileFile& f : all) {
        const std::string n = Narrow(f.name);
        if (isSkipped(n)) continue;
        bool take = names.count(n) > 0;
        for (const std::string& p : parts) take = take || n.find(p) != std::string::npos;
        if (take) kept.push_back(std::move(f));
    }
    return kept;
}

int MsSince(std::chrono::steady_clock::time_point t0) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - t0)
                                .count());
}

// Messages to the dialog's thread, each with a timeout: a hung thread must not hang the driver.
// What they point to is allocated for good, as a message that timed out may still be handled.
bool TextOf(HWND window, std::wstring& text, UINT ms = 200) {
    auto* buf = new wchar_t[1024]();
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, ms, &n))
        return false;  // buf is left to a late answer
    text.assign(buf, std::min<DWORD_PTR>(n, 1023));
    delete[] buf;
    return true;
}

int FindItem(HWND list, const std::wstring& name, UINT ms) {
    auto* text = new wchar_t[name.size() + 1];
    std::copy(name.c_str(), name.c_str() + name.size() + 1, text);
    auto* find = new LVFINDINFOW{};
    find->flags = LVFI_STRING;
    find->psz = text;
    DWORD_PTR index = static_cast<DWORD_PTR>(-1);
    if (!SendMessageTimeoutW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(find),
                             SMTO_NORMAL, ms, &index))
        return -2;
    delete find;
    delete[] text;
    return static_cast<int>(static_cast<LRESULT>(index));
}

// Selects item `index` as a click would; false when the dialog's thread did not finish with it
// (the preview runs inside the selection) within `ms`.
bool SelectItem(HWND list, int index, UINT ms) {
    auto* item = new LVITEMW{};
    item->stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item->state = LVIS_SELECTED | LVIS_FOCUSED;
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item),
                             SMTO_NORMAL, ms, &r))
        return false;
    delete item;
    return true;
}

// Faults raised in this process, seen first-hand: the platform catches some of those raised
// under a window procedure and carries on, so the process living does not say none happened.
struct Fault {
    DWORD code = 0;
    DWORD thread = 0;
    uintptr_t address = 0;
    uintptr_t target = 0;  // the address read or written, for an access violation
    uintptr_t callers[8] = {};
};
constexpr size_t kMaxFaults = 256;
Fault g_faults[kMaxFaults];
std::atomic<size_t> g_faultCount{0};
std::atomic<DWORD> g_dialogThread{0};
bool g_faultsToDebugger = false;

LONG CALLBACK NoteFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    // Errors only: not the debug-output, thread-naming or C++ notifications.
    if ((r->ExceptionCode & 0xC0000000) != 0xC0000000 || r->ExceptionCode == 0xE06D7363)
        return EXCEPTION_CONTINUE_SEARCH;
    // A ring: a file that faults over and over keeps only its latest.
    Fault& f = g_faults[g_faultCount.fetch_add(1) % kMaxFaults];
    f = Fault{};
    f.code = r->ExceptionCode;
    f.thread = GetCurrentThreadId();
    f.address = reinterpret_cast<uintptr_t>(r->ExceptionAddress);
    if (r->NumberParameters >= 2) f.target = r->ExceptionInformation[1];
    // The frame-pointer chain, inside the stack's committed pages above the fault. It ends at
    // the first frame without one: a hint, the debugger's backtrace is the whole story.
#ifdef _WIN64
    const uintptr_t low = info->ContextRecord->Rsp;
    uintptr_t frame = info->ContextRecord->Rbp;
#else
    const uintptr_t low = info->ContextRecord->Esp;
    uintptr_t frame = info->ContextRecord->Ebp;
#endif
    MEMORY_BASIC_INFORMATION m{};
    if (VirtualQuery(reinterpret_cast<void*>(low), &m, sizeof m)) {
        const uintptr_t high = reinterpret_cast<uintptr_t>(m.BaseAddress) + m.RegionSize;
        for (auto& caller : f.callers) {
            if (frame < low || frame + 2 * sizeof frame > high || frame % sizeof frame) break;
            caller = reinterpret_cast<const uintptr_t*>(frame)[1];
            const uintptr_t next = reinterpret_cast<const uintptr_t*>(frame)[0];
            if (next <= frame) break;
            frame = next;
        }
    }
    // Asked to: the thread stops here, on top of the faulting frames, and the driver takes it
    // for hung and has the debugger show its stack.
    if (g_faultsToDebugger && f.thread == g_dialogThread.load()) {
        std::fputs("hostile: fault, the dialog's thread held for the debugger\n", stderr);
        std::fflush(stderr);
        for (;;) Sleep(1000);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

std::string ReadUnixFile(const std::string& path) {
    std::ifstream in("Z:" + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// This process's id on the Unix side. The platform opens files for its processes elsewhere,
// so /proc/self is not this process: it is the one whose command line starts with this
// program (the wrapper that started it names the program too, but not first).
const std::string& UnixPid() {
    static const std::string pid = [] {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::string mine = fs::path(self).filename().string();
        std::string found;
        int matches = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("Z:\\proc", fs::directory_options::skip_permission_denied, ec)) {
            const std::string id = e.path().filename().string();
            if (id.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string command = ReadUnixFile("/proc/" + id + "/cmdline");
            const std::string program = command.substr(0, command.find('\0'));
            if (program.size() < mine.size() || program.compare(program.size() - mine.size(), mine.size(), mine)) continue;
            ++matches;
            found = id;
        }
        return matches == 1 ? found : std::string();
    }();
    return pid;
}

// The Unix side's count of this process's data memory (heap and private mappings): what a
// leak makes grow. The platform's own process counters do not follow it.
int64_t DataKb() {
    if (UnixPid().empty()) return 0;
    const std::string status = ReadUnixFile("/proc/" + UnixPid() + "/status");
    const size_t at = status.find("VmData:");
    return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + 7);
}

// Where an address outside the modules lies on the Unix side: library.so+offset.
std::string UnixPlace(uintptr_t address) {
    std::istringstream lines(UnixPid().empty() ? "" : ReadUnixFile("/proc/" + UnixPid() + "/maps"));
    for (std::string line; std::getline(lines, line);) {
        unsigned long long lo = 0, hi = 0, offset = 0;
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %*s %llx %*s %*s %n", &lo, &hi, &offset, &pathAt) < 3) continue;
        if (address < lo || address >= hi) continue;
        std::string path = pathAt > 0 ? line.substr(static_cast<size_t>(pathAt)) : "";
        if (const size_t slash = path.rfind('/'); slash != std::string::npos) path = path.substr(slash + 1);
        char at[24];
        std::snprintf(at, sizeof at, "+0x%llx", address - lo + offset);
        return (path.empty() ? "anonymous" : path) + at;
    }
    return {};
}

std::string HexText(uintptr_t v) {
    char s[16];
    std::snprintf(s, sizeof s, "%lx", static_cast<unsigned long>(v));
    return s;
}

// An address as module+offset (scripts/hostile.sh names the functions), or where it lies on
// the Unix side.
std::string Place(uintptr_t address) {
    MEMORY_BASIC_INFORMATION m{};
    if (!address || !VirtualQuery(reinterpret_cast<void*>(address), &m, sizeof m) || m.Type != MEM_IMAGE) {
        const std::string unix = UnixPlace(address);
        return "0x" + HexText(address) + (unix.empty() ? "" : " (" + unix + ")");
    }
    const auto* base = static_cast<const uint8_t*>(m.AllocationBase);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const uintptr_t offset = address - reinterpret_cast<uintptr_t>(base);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return "qcd_hostile_tests+0x" + HexText(offset);
    std::string module = reinterpret_cast<const char*>(base + reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress)->Name);
    if (const size_t dot = module.rfind('.'); dot != std::string::npos) module.resize(dot);
    return module + "+0x" + HexText(offset);
}

// The faults on `thread` since fault number `from`: how many, and the first few of those kept.
std::string FaultsSince(size_t from, DWORD thread, int& count) {
    std::string out;
    count = 0;
    const size_t to = g_faultCount.load();
    for (size_t i = std::max(from, to > kMaxFaults ? to - kMaxFaults : 0); i < to; ++i) {
        const Fault& f = g_faults[i % kMaxFaults];
        if (f.thread != thread || ++count > 3) continue;
        out += "  exception " + HexText(f.code) + " at " + Place(f.address);
        if (f.code == EXCEPTION_ACCESS_VIOLATION) out += " touching 0x" + HexText(f.target);
        out += "\n";
        for (uintptr_t c : f.callers)
            if (c) out += "    from " + Place(c) + "\n";
    }
    if (count > 3) out += "  and " + std::to_string(count - 3) + " more\n";
    return out;
}

// This process's threads as the debugger sees them: where a hung dialog thread is. The
// debugger writes to a file: while it walks this process, this process cannot read a pipe.
std::string Backtraces(const fs::path& folder) {
    const fs::path file = folder / L"backtrace.txt";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return {};
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    wchar_t command[] = L"winedbg --command \"bt all\"";
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    // The first thread of this process is the dialog's: its frames as module!function+offset.
    std::ifstream in(file);
    char mine[32];
    std::snprintf(mine, sizeof mine, "in process %04lx ", GetCurrentProcessId());
    std::string kept;
    int sections = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Backtracing for thread", 0) == 0 && line.find(mine) != std::string::npos) ++sections;
        if (sections != 1 || line.find(" 0x") == std::string::npos) continue;
        const size_t address = line.find(" 0x");
        const size_t after = line.find(' ', address + 1);
        if (after == std::string::npos) continue;
        const std::string rest = line.substr(after + 1);
        const size_t in = rest.rfind(" in ");
        std::string module = in == std::string::npos ? "" : rest.substr(in + 4, rest.find(' ', in + 4) - in - 4);
        std::string frame;
        if (rest.rfind("in ", 0) == 0) {
            const size_t plus = rest.find("(+");
            module = rest.substr(3, rest.find(' ', 3) - 3);
            frame = module + (plus == std::string::npos ? "" : rest.substr(plus + 1, rest.find(')', plus) - plus - 1));
        } else {
            frame = module + "!" + rest.substr(0, rest.find('('));
        }
        kept += "  " + frame + "\n";
        if (module == "qcd_hostile_tests" && !g_faultsToDebugger) break;  // below: the control and the dialog
    }
    return kept;
}

// The process is about to end itself: the corpus goes first, from a thread of its own, as a
// fault may have left the heap locked and then nothing here could wait for it.
DWORD WINAPI RemoveFolder(void* folder) {
    std::error_code ec;
    fs::remove_all(*static_cast<const fs::path*>(folder), ec);
    return 0;
}

[[noreturn]] void EndProcess(const fs::path& folder, const fs::path& keep) {
    if (folder != keep) {
        static fs::path doomed;
        doomed = folder;
        HANDLE t = CreateThread(nullptr, 0, RemoveFolder, &doomed, 0, nullptr);
        if (t) {
            WaitForSingleObject(t, 10000);
            CloseHandle(t);
        }
    }
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}

// How long the dialog's thread keeps a message waiting: another thread sends it WM_NULL over
// and over, and the longest wait since the last Take() is what a user would have felt. Only
// the part of a wait after the last Take() counts: what came before is the driver's own.
class BlockWatch {
  public:
    explicit BlockWatch(HWND dialog) : dialog_(dialog) {
        windowStart_ = Now();
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }
    ~BlockWatch() {
        stop_ = true;
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
    // The longest wait since the last call, a wait still going on included.
    int Take() {
        const int64_t now = Now();
        const int going = sending_.load() ? Waited(now) : 0;
        windowStart_ = now;
        return std::max(longest_.exchange(0), going);
    }

  private:
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int Waited(int64_t now) const {
        return static_cast<int>(now - std::max(sentAt_.load(), windowStart_.load()));
    }
    static DWORD WINAPI Watch(void* self) {
        auto* w = static_cast<BlockWatch*>(self);
        while (!w->stop_) {
            w->sentAt_ = Now();
            w->sending_ = true;
            DWORD_PTR r = 0;
            SendMessageTimeoutW(w->dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &r);
            w->sending_ = false;
            const int waited = w->Waited(Now());
            int was = w->longest_.load();
            while (waited > was && !w->longest_.compare_exchange_weak(was, waited)) {
            }
            Sleep(10);  // a block is seen to within this
        }
        return 0;
    }

    HWND dialog_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false}, sending_{false};
    std::atomic<int64_t> sentAt_{0}, windowStart_{0};
    std::atomic<int> longest_{0};
};

struct Outcome {
    std::string name;
    int ms = 0;              // from the selection to its end
    bool ended = false;      // within kSelectionMs
    bool answered = false;   // WM_NULL within kAnswerMs afterwards
    int answerMs = 0;
    int blockMs = 0;         // the longest a message waited, selection and play together
    bool played = false;     // Play was pressed
    int faults = 0;          // raised on the dialog's thread during the selection
    int64_t memoryKb = 0;    // data memory grown over the selection
};

class HostileRunTest : public ControlDialogTest {};

// ./run test runs it without the texts; scripts/hostile.sh (./run soak) runs the whole corpus in
// batches that go on after a file that ended its process.
TEST_F(HostileRunTest, EveryDamagedFileEndsItsSelectionAndTheHostLives) {
    // One dialog for the whole corpus: minutes, not the seconds of a plain case.
    LongDialogs longRun(std::chrono::minutes(30));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    HostileSources sources;
    sources.fixtures = Fixture("");
    sources.program = self;
    sources.control = fs::path(self).parent_path() / L"QuorCommonDialogControl.ocx";
    char process[32];
    std::snprintf(process, sizeof process, "process %04lx", GetCurrentProcessId());
    Say(process);
    const auto made = std::chrono::steady_clock::now();
    const std::vector<HostileFile> all = MakeHostileCorpus(sources);
    Say("corpus of " + std::to_string(all.size()) + " files made in " + std::to_string(MsSince(made)) +
        " ms\n" + HostileManifest(all));
    const std::vector<HostileFile> files = Selected(all);
    ASSERT_FALSE(files.empty()) << "no file matches QCD_HOSTILE_ONLY / QCD_HOSTILE_NAMES";

    fs::path folder = folder_;
    const fs::path keep = Env("QCD_HOSTILE_KEEP");
    if (!keep.empty()) {
        folder = fs::path(keep);
        fs::create_directories(folder);
        Object().MutableProps().InitDir = std::u16string(reinterpret_cast<const char16_t*>(folder.c_str()));
    }
    const auto written = std::chrono::steady_clock::now();
    for (const HostileFile& f : files) ASSERT_TRUE(WriteHostileFile(folder, f)) << Narrow(f.name);
    Say(std::to_string(files.size()) + " files written in " + std::to_string(MsSince(written)) + " ms");
    // A sound picture for the end: the preview must still work after all the others.
    WriteFile(folder / L"zz-after.bmp", Bitmap8(20, 10, {RGB(0, 0, 0), kRed}, [](int, int) -> uint8_t { return 1; }));
    // A sound file of each kind shown first, unmeasured: the first of a kind loads the
    // platform's libraries for it, which is no fault of the file.
    std::vector<std::wstring> warmUp;
    std::set<std::string> kinds;
    for (const HostileFile& f : files) kinds.insert(f.kind);
    for (const HostileFile& f : all) {
        if (f.mutation != "seed" || !kinds.erase(f.kind)) continue;
        HostileFile w = f;
        const std::string name = "00-warm-up." + f.kind;
        w.name.assign(name.begin(), name.end());
        ASSERT_TRUE(WriteHostileFile(folder, w));
        warmUp.push_back(w.name);
    }

    if (!Env("QCD_HOSTILE_LIST").empty()) {
        for (const HostileFile& f : files)
            Say("file\t" + Narrow(f.name) + "\t" + f.kind + "\t" + f.mutation + "\t" +
                std::to_string(std::max<uint64_t>(f.bytes.size(), f.extendTo)) + "\t" + f.detail);
        return;
    }

    g_faultsToDebugger = Env("QCD_HOSTILE_FAULTS") == "debugger";
    PVOID handler = AddVectoredExceptionHandler(1, NoteFault);
    Object().MutableProps().Filter = u"All files|*.*";
    std::vector<Outcome> outcomes;
    std::wstring afterCaption;
    bool listed = false;
    Open([&](HWND dlg, HWND pnl) {
        HWND list = FileList(dlg);
        HWND title = GetDlgItem(pnl, 1001), status = GetDlgItem(pnl, 1004);
        const DWORD dialogThread = GetWindowThreadProcessId(dlg, nullptr);
        g_dialogThread = dialogThread;
        // The whole folder listed first: a crash before any "select" line is the listing's.
        listed = WaitFor(
            [&] {
                DWORD_PTR n = 0;
                return SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &n) &&
                       n >= files.size() + warmUp.size() + 1;
            },
            60000);
        if (!listed) return;
        Say("listed " + std::to_string(files.size()) + " files");
        for (const std::wstring& name : warmUp) Preview(dlg, pnl, name.c_str());
        HWND play = GetDlgItem(pnl, IDC_PLAY_BUTTON);
        BlockWatch watch(dlg);
        for (const HostileFile& f : files) {
            Outcome o;
            o.name = Narrow(f.name);
            Say("select " + o.name);
            const int64_t memoryBefore = DataKb();
            const size_t faultsBefore = g_faultCount.load();
            const auto t0 = std::chrono::steady_clock::now();
            // The list finds a name item by item, asking the shell for each one's: the
            // driver's own wait, which grows with the folder, is not the preview's.
            const int index = FindItem(list, f.name, GiveUpMs());
            watch.Take();
            if (index == -1) {
                Say("done " + o.name + " 0 ms missing");
                ADD_FAILURE() << o.name << " is not in the dialog's list";
                continue;
            }
            const bool answeredBefore = index >= 0;
            const auto s0 = std::chrono::steady_clock::now();
            if (answeredBefore) SelectItem(list, index, GiveUpMs());
            bool ended = false;
            int faultSeenAt = -1;
            while (answeredBefore && !ended && MsSince(s0) < GiveUpMs()) {
                std::wstring t, s;
                ended = TextOf(title, t) && t == f.name && TextOf(status, s) && s != L"Loading...";
                if (ended) break;
                // A fault the platform swallowed leaves the selection unfinished for good; one it
                // handled itself lets the preview go on, so give it the time a selection has.
                if (faultSeenAt < 0 && g_faultCount.load() != faultsBefore) faultSeenAt = MsSince(s0);
                DWORD_PTR idle = 0;
                if (faultSeenAt >= 0 && MsSince(s0) - faultSeenAt > kSelectionMs &&
                    SendMessageTimeoutW(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &idle))
                    break;
                Sleep(5);
            }
            o.ms = MsSince(answeredBefore ? s0 : t0);
            // A user plays what can be played: the play and what it starts are measured too,
            // until the next selection stops it.
            if (ended && IsWindowVisible(play) && IsWindowEnabled(play)) {
                o.played = PostMessageW(play, BM_CLICK, 0, 0) != 0;
                Sleep(kPlayMs);
            }
            const auto a0 = std::chrono::steady_clock::now();
            DWORD_PTR r = 0;
            o.answered = SendMessageTimeoutW(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ended ? kAnswerMs : 1000, &r) != 0;
            o.answerMs = MsSince(a0);
            o.blockMs = watch.Take();
            const std::string faults = FaultsSince(faultsBefore, dialogThread, o.faults);
            if (!ended && !o.answered) {
                Say("done " + o.name + " " + std::to_string(o.ms) + " ms hung" +
                    (answeredBefore ? "" : " (before its selection: the list did not answer)") + " faults " +
                    std::to_string(o.faults) + "\n" + faults);
                // The dialog's thread is stuck: nothing more can be learnt in this process.
                Say("backtrace\n" + Backtraces(folder));
                EndProcess(folder, keep);
            }
            // Not ended but answering: the preview was given up half way, the dialog lives on.
            o.ended = ended && o.ms <= kSelectionMs;
            o.memoryKb = DataKb() - memoryBefore;
            const char* verdict = !ended ? (o.faults ? "fault" : "abandoned")
                                  : o.faults ? "caught"
                                  : !o.ended ? "late"
                                  : !o.answered ? "noanswer"
                                  : o.blockMs > kBlockMs ? "blocked"
                                  : o.ms > kSlowMs ? "slow" : "ok";
            Say("done " + o.name + " " + std::to_string(o.ms) + " ms " + verdict + " answer " +
                std::to_string(o.answerMs) + " ms block " + std::to_string(o.blockMs) + " ms" +
                (o.played ? " played" : "") + " memory " + std::to_string(o.memoryKb) + " KB faults " +
                std::to_string(o.faults) + (faults.empty() ? "" : "\n" + faults));
            if (o.faults || !ended) {
                // A fault may have broken the heap or left a lock held: what follows in this
                // process would be blamed on files that did nothing.
                Say("ending: nothing after a fault or an unfinished preview can be trusted");
                EndProcess(folder, keep);
            }
            outcomes.push_back(o);
        }
        if (Preview(dlg, pnl, L"zz-after.bmp")) TextOf(GetDlgItem(pnl, 1002), afterCaption);
    });
    RemoveVectoredExceptionHandler(handler);
    ASSERT_TRUE(listed) << "the dialog did not list the corpus";

    for (const Outcome& o : outcomes) {
        EXPECT_EQ(o.faults, 0) << o.name << ": faults raised while it was previewed";
        EXPECT_TRUE(o.ended) << o.name << ": the selection took " << o.ms << " ms";
        EXPECT_TRUE(o.answered) << o.name << ": no answer to WM_NULL within " << kAnswerMs << " ms";
        const bool mpeg = o.name.ends_with(".mpg");
        EXPECT_LE(o.blockMs, mpeg ? kMpegOpenBlockMs : kBlockMs)
            << o.name << ": a message waited " << o.blockMs << " ms" << (o.played ? " (played)" : "");
    }
    EXPECT_EQ(afterCaption, L"20x10x256") << "the preview after the corpus";

    std::vector<Outcome> slowest = outcomes;
    std::sort(slowest.begin(), slowest.end(), [](const Outcome& a, const Outcome& b) { return a.ms > b.ms; });
    std::string top = "slowest selections:";
    for (size_t i = 0; i < std::min<size_t>(10, slowest.size()); ++i)
        top += "\n  " + std::to_string(slowest[i].ms) + " ms  " + slowest[i].name;
    Say(top);
    std::sort(slowest.begin(), slowest.end(), [](const Outcome& a, const Outcome& b) { return a.blockMs > b.blockMs; });
    std::string blocked = "longest blocks:";
    for (size_t i = 0; i < std::min<size_t>(10, slowest.size()); ++i)
        blocked += "\n  " + std::to_string(slowest[i].blockMs) + " ms  " + slowest[i].name +
                   (slowest[i].played ? " (played)" : "");
    Say(blocked);
    std::sort(slowest.begin(), slowest.end(), [](const Outcome& a, const Outcome& b) { return a.memoryKb > b.memoryKb; });
    std::string grown = "largest memory growth:";
    for (size_t i = 0; i < std::min<size_t>(5, slowest.size()); ++i)
        grown += "\n  " + std::to_string(slowest[i].memoryKb) + " KB  " + slowest[i].name;
    Say(grown);
}

}  // namespace
}  // namespace qcd::test
