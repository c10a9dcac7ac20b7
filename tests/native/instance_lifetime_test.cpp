// The one lifetime rule of an instance and the gate of its callbacks: claims,
// holds and the free raced by many threads (ASan sees a second free or a use
// after it, TSan an unordered access), and a callback that was about to begin
// when its gate closed. The quarantine's promise is the instance record's
// (instance_record_test.cpp).
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/host_call.h"
#include "engine/instance_lifetime.h"
#include "tests/native/engine_test_instance.h"

namespace {

TEST(InstanceLifetime, OfManyDestroysOneClaimsAndTheLastHolderFreesOnce) {
    constexpr int kThreads = 6;
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
        TestHost host;
        KeypadEngine* instance = MakeTestInstance(&host);
        std::atomic<int> claims{0};
        std::atomic<int> ordinaryHoldsAfterClaim{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // Half the threads destroy; the others make ordinary calls.
                if (t % 2 == 0) {
                    if (!InstanceHoldToEnd(instance->lifetime))
                        return;
                    if (InstanceClaim(instance->lifetime))
                        claims.fetch_add(1);
                    InstanceRelease(instance->lifetime);
                } else if (InstanceHold(instance->lifetime)) {
                    if (InstanceClaimed(instance->lifetime))
                        ordinaryHoldsAfterClaim.fetch_add(1);  // may happen: held before the claim
                    ReadContext(&instance->settings);          // touches the record under the hold
                    InstanceRelease(instance->lifetime);
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        ASSERT_EQ(claims.load(), 1) << "round " << round;
        // Freed by now: a late Stop or Destroy is refused, not resurrected.
        EXPECT_FALSE(InstanceHoldToEnd(instance->lifetime));
        EXPECT_FALSE(InstanceHold(instance->lifetime));
    }
}

// The gate's seam: runs `action` once, just before the worker tries the gate.
std::function<void(KeypadEngine*)> g_seamAction;
void RunSeamAction(KeypadEngine* instance, int32_t) {
    if (g_seamAction) {
        auto action = std::move(g_seamAction);
        g_seamAction = nullptr;
        action(instance);
    }
}

TEST(CallbackGate, NoCallbackBeginsOnceTheGateClosedOnlyTheOneInHandFinishes) {
    TestHost host;
    KeypadEngine* instance = MakeTestInstance(&host);
    g_beforeCallbackGate = RunSeamAction;

    // A give-up between the worker's decision to call and the call itself.
    bool callbackInHand = true;
    g_seamAction = [&](KeypadEngine* held) { callbackInHand = GateClose(held); };
    EXPECT_EQ(CallHost(instance, QP240REMOTE_CODE_PAD_PRESSED, 3, nullptr), 0);
    EXPECT_FALSE(callbackInHand);
    EXPECT_TRUE(host.calls.empty()) << "a callback began after the give-up";

    // A give-up while a callback runs: that one finishes, the next never begins.
    instance->callbackGate.store(0);
    host.onCall = [&](KeypadEngine* held, const HostCall&) { callbackInHand = GateClose(held); };
    CallHost(instance, QP240REMOTE_CODE_PAD_PRESSED, 3, nullptr);
    CallHost(instance, QP240REMOTE_CODE_PAD_RELEASED, 3, nullptr);
    EXPECT_TRUE(callbackInHand);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_TRUE(WorkerAbandoned(instance));

    g_beforeCallbackGate = nullptr;
    FreeTestInstance(instance);
}

}  // namespace
