#include "driver/instance_record.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/spin_guard.h"

// Freed records, oldest first, linked through their own quarantineNext. Under
// g_quarantineGuard, as is g_createCount; both are touched by Create and by
// whoever frees a record, on any thread, for a few instructions.
static std::atomic<int32_t> g_quarantineGuard{0};
static DriverInstance* g_quarantineOldest = nullptr;
static DriverInstance* g_quarantineNewest = nullptr;
static uint32_t g_createCount = 0;  // Creates made so far; wraps, compared by difference

// Under the guard: hands back the records that have waited
// QP240REMOTE_STALE_HANDLE_CREATES Creates, or every record when the DLL
// detaches. Done when a record is freed, never by Create, so that what an
// instance holds while it lives is its own.
static void QuarantineHandBack(bool everything) {
    while (g_quarantineOldest != nullptr &&
           (everything || g_createCount - g_quarantineOldest->quarantineStamp >=
                              QP240REMOTE_STALE_HANDLE_CREATES)) {
        DriverInstance* oldest = g_quarantineOldest;
        g_quarantineOldest = oldest->quarantineNext;
        if (g_quarantineOldest == nullptr)
            g_quarantineNewest = nullptr;
        oldest->~DriverInstance();
        std::free(oldest);
    }
}

// The lifetime record's free: releases what InstanceRecordCreate acquired,
// the engine's storage now, the record once it leaves the quarantine.
static void FreeInstanceRecord(void* owner) {
    DriverInstance* instance = static_cast<DriverInstance*>(owner);
    KeypadEngineFree(&instance->engine);
    // A stale handle must fail the signature comparison from here on.
    static constexpr uint8_t kNoSignature[16] = {};
    WriteSignature(instance, kNoSignature);

    SpinGuardAcquire(&g_quarantineGuard);
    QuarantineHandBack(false);
    instance->quarantineNext = nullptr;
    instance->quarantineStamp = g_createCount;
    if (g_quarantineNewest != nullptr)
        g_quarantineNewest->quarantineNext = instance;
    else
        g_quarantineOldest = instance;
    g_quarantineNewest = instance;
    SpinGuardRelease(&g_quarantineGuard);
}

DriverInstance* InstanceRecordCreate(QP240REMOTE_Callback callback, intptr_t userValue,
                                     const QP240REMOTE_Context& settings) {
    SpinGuardAcquire(&g_quarantineGuard);
    ++g_createCount;
    SpinGuardRelease(&g_quarantineGuard);

    void* memory = std::malloc(sizeof(DriverInstance));
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, sizeof(DriverInstance));
    DriverInstance* instance = new (memory) DriverInstance{};
    // Relaxed, here and in what the engine and the box set up: no other thread
    // knows the record before Create returns it.
    WriteSignature(instance, kProfile.guid);
    instance->lifetime.freeInstance = FreeInstanceRecord;
    instance->lifetime.owner = instance;
    KeypadEngineInit(&instance->engine, callback, userValue, settings, &instance->lifetime);
    ConfigBoxStateInit(&instance->configBox, &instance->engine.settings, &instance->lifetime);
    return instance;
}

void InstanceQuarantineEmpty() {
    SpinGuardAcquire(&g_quarantineGuard);
    QuarantineHandBack(true);
    SpinGuardRelease(&g_quarantineGuard);
}
