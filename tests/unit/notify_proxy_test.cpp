#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/messages.h"
#include "update/notify_proxy.h"

namespace {

struct Call {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Call& other) const {
        return msg == other.msg && wParam == other.wParam && lParam == other.lParam;
    }
};

class RecordingReceiver : public IMsgReceiver {
public:
    void OnMsg(UINT msg, WPARAM wParam, LPARAM lParam) override {
        calls.push_back({msg, wParam, lParam});
    }
    std::vector<Call> calls;
};

TEST(NotifyProxyRegistration, RefusesIdsBelowUserRangeAndNullReceivers) {
    CNotifyProxy proxy;
    RecordingReceiver receiver;
    EXPECT_EQ(proxy.RegisterReceiver(1023, &receiver), 0u);
    EXPECT_EQ(proxy.RegisterReceiver(2000, nullptr), 0u);
    EXPECT_EQ(proxy.RegisterReceiver(1024, &receiver), 1024u);
}

TEST(NotifyProxyRegistration, BoundIdsAreSkippedUpwardsAndNeverReplaced) {
    CNotifyProxy proxy;
    RecordingReceiver first;
    RecordingReceiver second;
    EXPECT_EQ(proxy.RegisterReceiver(3024, &first), 3024u);
    EXPECT_EQ(proxy.RegisterReceiver(3024, &second), 3025u);
    EXPECT_EQ(proxy.RegisterReceiver(3024, &second), 3026u);

    proxy.Dispatch(3024, 7, 8);
    EXPECT_EQ(first.calls, (std::vector<Call>{{3024, 7, 8}}));
    EXPECT_TRUE(second.calls.empty());

    // A freed id is found again by the search.
    EXPECT_EQ(proxy.UnregisterReceiver(3025), 1u);
    EXPECT_EQ(proxy.UnregisterReceiver(3025), 0u);
    EXPECT_EQ(proxy.RegisterReceiver(3024, &second), 3025u);
}

TEST(NotifyProxyRegistration, SearchStopsBelowFFFFButFFFFItselfCanBeAsked) {
    CNotifyProxy proxy;
    RecordingReceiver receiver;
    EXPECT_EQ(proxy.RegisterReceiver(0xFFFE, &receiver), 0xFFFEu);
    EXPECT_EQ(proxy.RegisterReceiver(0xFFFE, &receiver), 0u);
    EXPECT_EQ(proxy.RegisterReceiver(0xFFFF, &receiver), 0xFFFFu);
    EXPECT_EQ(proxy.RegisterReceiver(0xFFFD, &receiver), 0xFFFDu);
    EXPECT_EQ(proxy.RegisterReceiver(0xFFFD, &receiver), 0u);
}

class NotifyProxyWindow : public ::testing::Test {
protected:
    void SetUp() override {
        platform::EnsureMessageQueue();
        ASSERT_TRUE(proxy.CreateProxyWindow());
    }
    // Runs this thread's loop until done or a deadline; false on the deadline.
    static bool Pump(const std::function<bool()>& done, DWORD ms = 5000) {
        return platform::PumpMessagesUntil(done, ms);
    }
    // Declared before the proxy: receivers outlive the window that tells them of its end.
    RecordingReceiver receiver;
    RecordingReceiver other;
    CNotifyProxy proxy;
};

TEST_F(NotifyProxyWindow, DestroyTellsEveryBindingInIdOrderAndKeepsThem) {
    ASSERT_EQ(proxy.RegisterReceiver(5000, &receiver), 5000u);
    ASSERT_EQ(proxy.RegisterReceiver(4000, &other), 4000u);
    ASSERT_EQ(proxy.RegisterReceiver(3000, &receiver), 3000u);

    proxy.DestroyWindow();

    EXPECT_EQ(receiver.calls, (std::vector<Call>{{WM_DESTROY, 0, 0}, {WM_DESTROY, 0, 0}}));
    EXPECT_EQ(other.calls, (std::vector<Call>{{WM_DESTROY, 0, 0}}));
    EXPECT_EQ(proxy.UnregisterReceiver(3000), 1u);
}

TEST_F(NotifyProxyWindow, PostedMessagesReachTheirReceiverInOrderAndUnboundOnesAreDropped) {
    ASSERT_EQ(proxy.RegisterReceiver(3024, &receiver), 3024u);
    HWND hWnd = proxy.GetSafeHwnd();
    ASSERT_TRUE(PostMessageW(hWnd, 3024, 11, 0));
    ASSERT_TRUE(PostMessageW(hWnd, 3100, 1, 2));  // nobody bound
    ASSERT_TRUE(PostMessageW(hWnd, 3024, 14, 5));
    EXPECT_EQ(SendMessageW(hWnd, 3100, 0, 0), 0);

    ASSERT_TRUE(Pump([&] { return receiver.calls.size() >= 2; }))
        << "the posted notifications never arrived";
    EXPECT_EQ(receiver.calls, (std::vector<Call>{{3024, 11, 0}, {3024, 14, 5}}));
}

TEST_F(NotifyProxyWindow, MessagesQueuedBeforeUnregisteringAreDropped) {
    RecordingReceiver& stale = receiver;
    RecordingReceiver& marker = other;
    ASSERT_EQ(proxy.RegisterReceiver(3024, &stale), 3024u);
    ASSERT_EQ(proxy.RegisterReceiver(4000, &marker), 4000u);
    HWND hWnd = proxy.GetSafeHwnd();
    ASSERT_TRUE(PostMessageW(hWnd, 3024, 14, 0));
    ASSERT_TRUE(PostMessageW(hWnd, 4000, 1, 0));
    proxy.UnregisterReceiver(3024);

    // The marker was posted after the stale message, so once it arrives the stale one is gone.
    ASSERT_TRUE(Pump([&] { return !marker.calls.empty(); })) << "the marker never arrived";
    EXPECT_TRUE(stale.calls.empty());
}

TEST_F(NotifyProxyWindow, TimerTicksArriveAsTheirIdWithoutParameters) {
    ASSERT_EQ(proxy.RegisterReceiver(3025, &receiver), 3025u);
    ASSERT_NE(SetTimer(proxy.GetSafeHwnd(), 3025, 10, nullptr), 0u);
    ASSERT_TRUE(Pump([&] { return receiver.calls.size() >= 2; })) << "no timer ticks";
    KillTimer(proxy.GetSafeHwnd(), 3025);
    EXPECT_EQ(receiver.calls[0], (Call{3025, 0, 0}));
    EXPECT_EQ(receiver.calls[1], (Call{3025, 0, 0}));
}

}  // namespace
