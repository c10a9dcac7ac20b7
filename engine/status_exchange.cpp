#include "engine/status_exchange.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "engine/keypad_engine.h"
#include "engine/host_call.h"
#include "engine/spin_guard.h"

static int32_t NextSlot(int32_t slot) {
    return slot + 1 == kStatusSlotCount ? 0 : slot + 1;
}

static uint8_t* SlotAt(const HostStatusExchange* exchange, int32_t slot) {
    return exchange->base + static_cast<ptrdiff_t>(slot) * exchange->slotStride;
}

// Slot 0 holds a block and is the reader's; the writer starts at slot 1.
static void Prime(HostStatusExchange* exchange) {
    exchange->slotStates[0] = 1;
    exchange->slotStates[1] = 0;
    exchange->slotStates[2] = 0;
    exchange->writerSlot = 1;
    exchange->readerSlot = 0;
}

int32_t StatusExchangeInit(HostStatusExchange* exchange) {
    StatusExchangeFree(exchange);
    // Relaxed: Create runs before any other thread knows the instance.
    exchange->guard.store(0, std::memory_order_relaxed);
    Prime(exchange);
    exchange->slotStride = kStatusSlotStride;
    exchange->storage = static_cast<uint8_t*>(std::malloc(kStatusStorageBytes));
    if (exchange->storage == nullptr)
        return -1;
    const uintptr_t address = reinterpret_cast<uintptr_t>(exchange->storage);
    const uintptr_t aligned =
        (address + kStatusSlotAlignment - 1) & ~static_cast<uintptr_t>(kStatusSlotAlignment - 1);
    exchange->base = exchange->storage + (aligned - address);
    return 0;
}

int32_t StatusExchangeWrite(HostStatusExchange* exchange, const void* block, int32_t size) {
    if (size != QP240REMOTE_HOST_STATUS_SIZE)
        return QP240REMOTE_OK;
    if (block == nullptr)
        return QP240REMOTE_E_NULL_DATA;
    if (exchange->storage == nullptr)
        return QP240REMOTE_OK;
    // The host's memory is read before the guard is taken: a block that cannot
    // be read whole faults here, and a host that survives the fault finds the
    // exchange as it was, not held for good.
    HostStatusBlock copy;
    std::memcpy(&copy, block, QP240REMOTE_HOST_STATUS_SIZE);

    SpinGuardAcquire(&exchange->guard);
    const int32_t last = exchange->writerSlot;
    const int32_t next = NextSlot(last);
    int32_t chosen;
    if (exchange->slotStates[last] == 0) {
        chosen = last;
    } else if (exchange->slotStates[next] == 0) {
        chosen = next;
    } else {
        // Both hold blocks: the one written last, which the reader has not
        // taken, gives way to the newer one.
        exchange->slotStates[last] = 0;
        chosen = last;
    }
    exchange->writerSlot = chosen;
    std::memcpy(SlotAt(exchange, chosen), &copy, QP240REMOTE_HOST_STATUS_SIZE);
    exchange->slotStates[chosen] = 1;
    SpinGuardRelease(&exchange->guard);
    return QP240REMOTE_OK;
}

void StatusExchangeRead(KeypadEngine* engine) {
    HostStatusExchange* exchange = &engine->statusExchange;
    if (exchange->storage == nullptr)
        return;

    SpinGuardAcquire(&exchange->guard);
    const int32_t next = NextSlot(exchange->readerSlot);
    if (exchange->slotStates[next] == 1) {
        exchange->slotStates[exchange->readerSlot] = 0;
        exchange->readerSlot = next;
    }
    const uint8_t* slot = SlotAt(exchange, exchange->readerSlot);
    if (slot != engine->lastConsumedStatusSlot) {
        engine->lastConsumedStatusSlot = slot;
        std::memcpy(&engine->statusBlock, slot, QP240REMOTE_HOST_STATUS_SIZE);
    }
    SpinGuardRelease(&exchange->guard);
}

void StatusExchangeReset(KeypadEngine* engine) {
    HostStatusExchange* exchange = &engine->statusExchange;

    SpinGuardAcquire(&exchange->guard);
    Prime(exchange);
    engine->lastConsumedStatusSlot = nullptr;
    SpinGuardRelease(&exchange->guard);

    // Never under the guard: the host may answer by writing a block (id 56).
    CallHost(engine, QP240REMOTE_CODE_FILL_STATUS, QP240REMOTE_HOST_STATUS_SIZE,
             &engine->statusBlock);

    if (exchange->storage == nullptr)
        return;
    SpinGuardAcquire(&exchange->guard);
    std::memcpy(SlotAt(exchange, 0), &engine->statusBlock, QP240REMOTE_HOST_STATUS_SIZE);
    SpinGuardRelease(&exchange->guard);
}

void StatusExchangeFree(HostStatusExchange* exchange) {
    if (exchange->storage != nullptr) {
        std::free(exchange->storage);
        exchange->storage = nullptr;
    }
    exchange->base = nullptr;
}
