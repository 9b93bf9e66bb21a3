// The host counters move with what the process really creates and destroys: a soak that
// compares them cannot pass by measuring nothing.
#include "host_counts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

TEST(HostCounts, WindowsOfEveryKindAreCounted) {
    // A thread's IME window lives while the thread has a top-level window: one is kept
    // throughout.
    HWND keep = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    const int before = CountWindows();
    EXPECT_GE(before, 2) << "the kept window and its thread's IME window";
    HWND top = CreateWindowExW(0, L"STATIC", L"top", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, top, nullptr, nullptr, nullptr);
    // A grandchild: the whole tree is counted, not just the first level.
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, child, nullptr, nullptr, nullptr);
    HWND message = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(message, nullptr);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, message, nullptr, nullptr, nullptr);
    EXPECT_EQ(CountWindows(), before + 5);
    DestroyWindow(top);
    DestroyWindow(message);
    EXPECT_EQ(CountWindows(), before);
    DestroyWindow(keep);
}

TEST(HostCounts, GdiObjectsAreCountedFromWinesGdiHandleTable) {
    if (!WinesGdiTableFound()) GTEST_SKIP() << kNoGdiTable;
    // The process's first DC brings objects of the display driver's that stay.
    DeleteDC(CreateCompatibleDC(nullptr));
    const int before = CountGdiObjects();
    EXPECT_GT(before, 0) << "stock objects at least";
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 100; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    EXPECT_EQ(CountGdiObjects(), before + 100);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 10, 10);
    EXPECT_EQ(CountGdiObjects(), before + 102) << "DCs and bitmaps as well";
    DeleteObject(bitmap);
    DeleteDC(dc);
    for (HBRUSH b : brushes) DeleteObject(b);
    EXPECT_EQ(CountGdiObjects(), before);
}

TEST(HostCounts, KernelHandlesAreCountedFromWinesSystemHandleList) {
    if (!WinesHandleListFound()) GTEST_SKIP() << kNoHandleList;
    const int before = CountKernelHandles();
    EXPECT_GT(before, 0);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path file = fs::path(temp) / (L"qcd-handles-" + std::to_wstring(GetCurrentProcessId()));
    std::ofstream(file) << "x";
    std::vector<HANDLE> handles;
    for (int i = 0; i < 50; ++i)
        handles.push_back(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    for (HANDLE h : handles) ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(CountKernelHandles(), before + 51);
    CloseHandle(event);
    for (HANDLE h : handles) CloseHandle(h);
    EXPECT_EQ(CountKernelHandles(), before);
    fs::remove(file);
}

TEST(HostCounts, PrivateBytesFollowMemoryInUse) {
    const int64_t before = PrivateBytes();
    EXPECT_GT(before, 0);
    constexpr size_t kSize = 50 << 20;
    auto* block = static_cast<uint8_t*>(VirtualAlloc(nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < kSize; i += 4096) block[i] = 1;
    const int64_t with = PrivateBytes();
    EXPECT_GT(with - before, int64_t{45} << 20) << before << " -> " << with;
    VirtualFree(block, 0, MEM_RELEASE);
    const int64_t after = PrivateBytes();
    EXPECT_LT(after - before, int64_t{5} << 20) << before << " -> " << with << " -> " << after;
    // Memory from the heap as the control gets it.
    std::vector<uint8_t> heap(kSize, 1);
    EXPECT_GT(PrivateBytes() - before, int64_t{45} << 20);
}

}  // namespace
}  // namespace qcd::test
