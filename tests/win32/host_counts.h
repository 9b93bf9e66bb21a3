// What the test process holds, counted in ways that answer under Wine 8, where
// GetGuiResources and GetProcessHandleCount give 0: its windows, its GDI objects, its kernel
// handles and its private memory.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qcd::test {

namespace detail {
struct WindowTally {
    DWORD pid;
    int count;
};
inline BOOL CALLBACK CountChild(HWND, LPARAM tally) {
    ++reinterpret_cast<WindowTally*>(tally)->count;
    return TRUE;
}
inline BOOL CALLBACK CountTree(HWND hwnd, LPARAM tally) {
    auto* t = reinterpret_cast<WindowTally*>(tally);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != t->pid) return TRUE;
    ++t->count;
    // EnumChildWindows walks the whole tree below, not just the direct children.
    EnumChildWindows(hwnd, CountChild, tally);
    return TRUE;
}
}  // namespace detail

// Every window of this process: top-level, message-only and all their descendants.
inline int CountWindows() {
    detail::WindowTally tally{GetCurrentProcessId(), 0};
    EnumWindows(detail::CountTree, reinterpret_cast<LPARAM>(&tally));
    // EnumWindows leaves out message-only windows.
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
        detail::CountTree(w, reinterpret_cast<LPARAM>(&tally));
    return tally.count;
}

// One entry of the GDI handle table the PEB points to (the same 24 bytes in 32- and 64-bit
// processes); a handle's low word is its index. Checked by WinesGdiTableFound and
// host_counts_test.cpp.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;    // process id in the low 16 bits, then a lock bit and a count
    uint16_t unique;   // extended type (low 7 bits), stock flag, generation (high byte)
    uint8_t type;      // 0: a free entry
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
inline constexpr size_t kGdiHandleEntries = 0x10000;

template <typename F>
F NtdllFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// PEB.GdiSharedHandleTable, at 0x94 in a 32-bit PEB and 0xF8 in a 64-bit one (the SDK's PEB
// names it Reserved9[23] and Reserved9[21]); the table's entries are the same in both. The PEB is found through the process's basic information: GCC takes the fs: read of
// NtCurrentTeb for an out-of-bounds access.
inline const GdiHandleEntry* GdiHandleTable() {
    constexpr size_t kTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;
    using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    static const auto query = NtdllFunction<Query>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0 ||
        !basic.PebBaseAddress)
        return nullptr;
    const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + kTableOffset);
}

// Calls `f` on every entry of the table in use; false when there is no table.
inline bool ForEachGdiEntry(const std::function<void(const GdiHandleEntry&)>& f) {
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table) return false;
    for (size_t i = 0; i < kGdiHandleEntries; ++i)
        if (table[i].type != 0) f(table[i]);
    return true;
}

// This process's GDI objects, stock objects included; -1 without a table. Wine 8 keeps a
// table per process and leaves Owner 0; a table shared with other processes names the owner.
inline int CountGdiObjects() {
    const uint32_t pid = GetCurrentProcessId() & 0xFFFF;
    int n = 0;
    if (!ForEachGdiEntry([&](const GdiHandleEntry& e) {
            const uint32_t owner = e.owner & 0xFFFF;
            if (owner == 0 || owner == pid) ++n;
        }))
        return -1;
    return n;
}

// Whether the GDI handle table is where and as Wine 8 keeps it: readable over all its entries,
// and a brush made now in the entry its handle names, of this process. The tests that count
// through it skip without it: another Wine may keep the table elsewhere or not at all.
inline bool WinesGdiTableFound() {
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table) return false;
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(table, &region, sizeof region) || region.State != MEM_COMMIT ||
        !(region.Protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY)) ||
        static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize <
            reinterpret_cast<const uint8_t*>(table + kGdiHandleEntries))
        return false;
    const HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    if (!probe) return false;
    const auto handle = reinterpret_cast<uintptr_t>(probe);
    const GdiHandleEntry& entry = table[handle & 0xFFFF];
    const uint32_t owner = entry.owner & 0xFFFF;
    const bool found = entry.type == 0x10 && entry.unique == (handle >> 16 & 0xFFFF) &&
                       entry.object != 0 &&
                       (owner == 0 || owner == (GetCurrentProcessId() & 0xFFFF));
    DeleteObject(probe);
    return found;
}
inline constexpr const char* kNoGdiTable =
    "Wine's GDI handle table is not where Wine 8 keeps it: GDI objects cannot be counted (a 32-bit "
    "process under WoW64 has none in its PEB; the 64-bit build's run counts them)";

// The system's handle list, as NtQuerySystemInformation(SystemHandleInformation) gives it.
inline std::vector<SYSTEM_HANDLE_ENTRY> SystemHandles() {
    using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    static const auto query = NtdllFunction<Query>("NtQuerySystemInformation");
    if (!query) return {};
    std::vector<uint8_t> buffer(1 << 16);
    for (int attempt = 0; attempt < 16; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(SystemHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return {};
        const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
        return {info->Handle, info->Handle + info->Count};
    }
    return {};
}

// This process's kernel handles; -1 when the list cannot be had.
inline int CountKernelHandles() {
    const auto all = SystemHandles();
    if (all.empty()) return -1;
    const DWORD pid = GetCurrentProcessId();
    return static_cast<int>(std::count_if(all.begin(), all.end(),
                                          [&](const SYSTEM_HANDLE_ENTRY& e) { return e.OwnerPid == pid; }));
}

// Whether the system's handle list names this process's handles as Wine 8 gives it: an event
// made now is in it, under this process. The tests that count through it skip without it.
inline bool WinesHandleListFound() {
    const HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!probe) return false;
    const auto all = SystemHandles();
    const DWORD pid = GetCurrentProcessId();
    const auto value = static_cast<USHORT>(reinterpret_cast<uintptr_t>(probe));
    const bool found = std::any_of(all.begin(), all.end(), [&](const SYSTEM_HANDLE_ENTRY& e) {
        return e.OwnerPid == pid && e.HandleValue == value;
    });
    CloseHandle(probe);
    return found;
}
inline constexpr const char* kNoHandleList =
    "the system's handle list does not name this process's handles as Wine 8 gives it: kernel "
    "handles cannot be counted";

// The process's private memory in use. Wine 8 answers PrivateUsage 0; its PagefileUsage is
// the process's anonymous memory in RAM or swap (committed pages count once touched).
// -1 when the counters do not answer.
inline int64_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX c{};
    c.cb = sizeof c;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c),
                              sizeof c))
        return -1;
    return static_cast<int64_t>(c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage);
}

// What one of this process's kernel handles is: "Type name", as NtQueryObject tells.
inline std::string HandleDescription(HANDLE h) {
    using Query = NTSTATUS(WINAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    static const auto query = NtdllFunction<Query>("NtQueryObject");
    auto text = [&](OBJECT_INFORMATION_CLASS what) {
        alignas(8) uint8_t buffer[2048] = {};
        if (!query || query(h, what, buffer, sizeof buffer - 2, nullptr) < 0) return std::string("?");
        const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
        char narrow[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, name->Buffer, name->Length / 2, narrow, sizeof narrow - 1,
                            nullptr, nullptr);
        return std::string(narrow);
    };
    return text(ObjectTypeInformation) + " " + text(ObjectNameInformation);
}

// The GDI objects (by handle: entry index and its unique word) and kernel handles of this
// process, to tell what a change of the counts is made of.
struct HostObjects {
    std::map<uint32_t, unsigned> gdi;  // handle -> its extended type (the entry's Unique & 0x7F)
    std::map<uint32_t, std::string> handles;
};

inline HostObjects ListHostObjects() {
    HostObjects o;
    if (const GdiHandleEntry* table = GdiHandleTable()) {
        const uint32_t pid = GetCurrentProcessId() & 0xFFFF;
        for (uint32_t i = 0; i < kGdiHandleEntries; ++i) {
            const GdiHandleEntry& e = table[i];
            const uint32_t owner = e.owner & 0xFFFF;
            if (e.type != 0 && (owner == 0 || owner == pid))
                o.gdi[i | static_cast<uint32_t>(e.unique) << 16] = e.unique & 0x7F;
        }
    }
    const DWORD pid = GetCurrentProcessId();
    for (const SYSTEM_HANDLE_ENTRY& e : SystemHandles())
        if (e.OwnerPid == pid) o.handles[e.HandleValue] = "";
    for (auto& [value, description] : o.handles)
        description = HandleDescription(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)));
    return o;
}

// How many more (or fewer) objects of each kind `now` holds than `before`, one kind a line:
// GDI objects by type, kernel handles by type and name.
inline std::string Growth(const HostObjects& before, const HostObjects& now) {
    std::map<std::string, int> net;
    auto gdiKind = [](unsigned type) {
        static const std::map<unsigned, const char*> names = {
            {0x01, "DC"},      {0x21, "EMF DC"},  {0x41, "memory DC"}, {0x66, "WMF DC"},
            {0x04, "region"},  {0x05, "surface"}, {0x26, "WMF"},       {0x46, "EMF"},
            {0x08, "palette"}, {0x09, "bitmap"},  {0x0a, "font"},      {0x10, "brush"},
            {0x30, "pen"},     {0x50, "pen (ext)"}};
        const auto known = names.find(type);
        char name[48];
        std::snprintf(name, sizeof name, "GDI %s (0x%02x)", known != names.end() ? known->second : "?", type);
        return std::string(name);
    };
    for (const auto& [handle, type] : before.gdi) --net[gdiKind(type)];
    for (const auto& [handle, type] : now.gdi) ++net[gdiKind(type)];
    for (const auto& [value, description] : before.handles) --net["handle " + description];
    for (const auto& [value, description] : now.handles) ++net["handle " + description];
    std::string out;
    for (const auto& [kind, n] : net)
        if (n != 0) out += "  " + std::string(n > 0 ? "+" : "") + std::to_string(n) + " " + kind + "\n";
    return out;
}

struct HostCounts {
    int windows = 0;
    int gdiObjects = 0;
    int kernelHandles = 0;
    int64_t privateBytes = 0;
};

inline HostCounts CountHost() {
    return {CountWindows(), CountGdiObjects(), CountKernelHandles(), PrivateBytes()};
}

inline std::string Describe(const HostCounts& c) {
    return "windows " + std::to_string(c.windows) + ", GDI objects " + std::to_string(c.gdiObjects) +
           ", kernel handles " + std::to_string(c.kernelHandles) + ", private " +
           std::to_string(c.privateBytes / 1024) + " KiB";
}

}  // namespace qcd::test
