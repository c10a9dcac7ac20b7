// The one lifetime rule of a DriverInstance and the gate of its callbacks:
// claims, holds and the free raced by many threads (ASan sees a second free
// or a use after it, TSan an unordered access), the quarantine's promise, and
// a callback that was about to begin when its gate closed.
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
        DriverInstance* instance = MakeTestInstance(&host);
        std::atomic<int> claims{0};
        std::atomic<int> ordinaryHoldsAfterClaim{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // Half the threads destroy; the others make ordinary calls.
                if (t % 2 == 0) {
                    if (!InstanceHoldToEnd(instance))
                        return;
                    if (InstanceClaim(instance))
                        claims.fetch_add(1);
                    InstanceRelease(instance);
                } else if (InstanceHold(instance)) {
                    if (InstanceClaimed(instance))
                        ordinaryHoldsAfterClaim.fetch_add(1);  // may happen: held before the claim
                    ReadContext(instance);                     // touches the record under the hold
                    InstanceRelease(instance);
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        ASSERT_EQ(claims.load(), 1) << "round " << round;
        // Freed by now: a late Stop or Destroy is refused, not resurrected.
        EXPECT_FALSE(InstanceHoldToEnd(instance));
        EXPECT_FALSE(InstanceHold(instance));
    }
}

TEST(InstanceLifetime, AFreedRecordIsNotHandedOutForTheNextCreates) {
    TestHost host;
    DriverInstance* freed = MakeTestInstance(&host);
    FreeTestInstance(freed);
    EXPECT_FALSE(SignatureIs(freed, kProfile.guid)) << "a stale handle must fail the check";

    for (uint32_t i = 0; i < QP240REMOTE_STALE_HANDLE_CREATES; ++i) {
        DriverInstance* next = MakeTestInstance(&host);
        EXPECT_NE(next, freed) << "Create " << i + 1 << " reused a destroyed record";
        // Destroyed at once, so that the heap would hand the same block back.
        FreeTestInstance(next);
    }
    InstanceQuarantineEmpty();
}

// The gate's seam: runs `action` once, just before the worker tries the gate.
std::function<void(DriverInstance*)> g_seamAction;
void RunSeamAction(DriverInstance* instance, int32_t) {
    if (g_seamAction) {
        auto action = std::move(g_seamAction);
        g_seamAction = nullptr;
        action(instance);
    }
}

TEST(CallbackGate, NoCallbackBeginsOnceTheGateClosedOnlyTheOneInHandFinishes) {
    TestHost host;
    DriverInstance* instance = MakeTestInstance(&host);
    g_beforeCallbackGate = RunSeamAction;

    // A give-up between the worker's decision to call and the call itself.
    bool callbackInHand = true;
    g_seamAction = [&](DriverInstance* held) { callbackInHand = GateClose(held); };
    EXPECT_EQ(CallHost(instance, QP240REMOTE_CODE_PAD_PRESSED, 3, nullptr), 0);
    EXPECT_FALSE(callbackInHand);
    EXPECT_TRUE(host.calls.empty()) << "a callback began after the give-up";

    // A give-up while a callback runs: that one finishes, the next never begins.
    instance->callbackGate.store(0);
    host.onCall = [&](DriverInstance* held, const HostCall&) { callbackInHand = GateClose(held); };
    CallHost(instance, QP240REMOTE_CODE_PAD_PRESSED, 3, nullptr);
    CallHost(instance, QP240REMOTE_CODE_PAD_RELEASED, 3, nullptr);
    EXPECT_TRUE(callbackInHand);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_TRUE(WorkerAbandoned(instance));

    g_beforeCallbackGate = nullptr;
    FreeTestInstance(instance);
}

}  // namespace
