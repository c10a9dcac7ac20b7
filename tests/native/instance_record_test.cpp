// The quarantine's promise: a destroyed record is not handed out again for
// the next QP240REMOTE_STALE_HANDLE_CREATES Creates, and its signature is
// cleared, so a stale handle fails the check rather than reaching a new
// instance.
#include "driver/instance_record.h"

#include <gtest/gtest.h>

#include "include/qp240_remote.h"

namespace {

int32_t NoHost(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

DriverInstance* Create() {
    return InstanceRecordCreate(NoHost, 0, QP240REMOTE_Context{0, 0, 0});
}

// As Destroy lets go: hold, claim, release.
void Destroy(DriverInstance* instance) {
    InstanceHold(&instance->lifetime);
    InstanceClaim(&instance->lifetime);
    InstanceRelease(&instance->lifetime);
}

TEST(InstanceRecord, AFreedRecordIsNotHandedOutForTheNextCreates) {
    DriverInstance* freed = Create();
    ASSERT_TRUE(SignatureIs(freed, kProfile.guid));
    Destroy(freed);
    EXPECT_FALSE(SignatureIs(freed, kProfile.guid)) << "a stale handle must fail the check";
    EXPECT_FALSE(InstanceHold(&freed->lifetime)) << "a freed record is never held again";

    for (uint32_t i = 0; i < QP240REMOTE_STALE_HANDLE_CREATES; ++i) {
        DriverInstance* next = Create();
        EXPECT_NE(next, freed) << "Create " << i + 1 << " reused a destroyed record";
        // Destroyed at once, so that the heap would hand the same block back.
        Destroy(next);
    }
    InstanceQuarantineEmpty();
}

TEST(InstanceRecord, TheEngineAndTheBoxShareTheRecordsLifetimeAndSettings) {
    DriverInstance* instance = Create();
    EXPECT_EQ(instance->engine.lifetime, &instance->lifetime);
    EXPECT_EQ(instance->configBox.lifetime, &instance->lifetime);
    EXPECT_EQ(instance->configBox.settings, &instance->engine.settings);
    EXPECT_EQ(instance->engine.flags.load(), kInstanceCreated);
    Destroy(instance);
    InstanceQuarantineEmpty();
}

}  // namespace
