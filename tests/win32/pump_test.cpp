#include "platform/pump.h"

#include <gtest/gtest.h>

#include <functional>

namespace qcd {
namespace {

// A shown top-level window with a child standing for the panel; a posted message runs `onPost`.
class PumpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QcdPumpTest";
        RegisterClassW(&wc);
        dialog = CreateWindowExW(0, L"QcdPumpTest", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 200, 200, nullptr, nullptr, wc.hInstance, nullptr);
        panel = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, dialog,
                                nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        win::LetPendingMessagesRun();
    }
    void TearDown() override { DestroyWindow(dialog); }

    static LRESULT CALLBACK WindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m != WM_APP) return DefWindowProcW(w, m, wp, lp);
        auto* self = reinterpret_cast<PumpTest*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        ++self->dispatched;
        if (self->onPost) self->onPost();
        return 0;
    }

  public:
    HWND dialog = nullptr, panel = nullptr;
    uint32_t generation = 1;
    int dispatched = 0;
    std::function<void()> onPost;
};

TEST_F(PumpTest, SaysWhatHappenedWhileMessagesRan) {
    const struct {
        const char* what;
        std::function<void(PumpTest&)> onPost;
        PumpResult expected;
        int dispatched;  // of the two messages posted
    } cases[] = {
        {"nothing", nullptr, PumpResult::Continue, 2},
        {"a newer selection", [](PumpTest& t) { ++t.generation; }, PumpResult::Overtaken, 2},
        // Nothing more runs once the dialog hides: a second Cancel would reach it.
        {"Cancel", [](PumpTest& t) { ShowWindow(t.dialog, SW_HIDE); }, PumpResult::DialogGone,
         1},
    };
    for (const auto& c : cases) {
        ShowWindow(dialog, SW_SHOW);
        dispatched = 0;
        onPost = c.onPost ? std::function<void()>([&] { c.onPost(*this); }) : nullptr;
        PostMessageW(dialog, WM_APP, 0, 0);
        PostMessageW(dialog, WM_APP, 0, 0);
        EXPECT_EQ(win::LetMessagesRun(panel, generation), c.expected) << c.what;
        EXPECT_EQ(dispatched, c.dispatched) << c.what;
        win::LetPendingMessagesRun();
    }
}

}  // namespace
}  // namespace qcd
