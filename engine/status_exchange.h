// The host's status block and the three-slot exchange that hands the
// newest copy from host threads (id-56 calls, the writers) to the worker (the
// reader) without either side waiting for the other to deliver or take one.
//
// Each step (a write, a read, the re-priming, the copy into slot 0) takes
// effect whole against the others under the exchange's spin guard, held for
// one block's copy and a few words at most and never across a host call, in
// particular not across code 151, which the host may answer with id 56, nor
// across a read of the host's memory: a write copies the block first.
//
// Who may call what:
//   StatusExchangeInit: Create, before anyone else knows the instance.
//   StatusExchangeFree: whichever holder lets go of the record last (a host
//     thread, the worker at its end, or a box's thread); no id-56 call holds
//     the record then, and no worker runs (engine/instance_lifetime.h).
//   StatusExchangeWrite: any host thread, at any time between those two.
//   StatusExchangeRead, StatusExchangeReset: the worker only.
#pragma once

#include <atomic>
#include <cstdint>

#include "include/qp240_remote.h"

struct KeypadEngine;

inline constexpr int32_t kHostStatusWords = QP240REMOTE_HOST_STATUS_SIZE / 4;
inline constexpr int32_t kStatusSlotCount = 3;
inline constexpr int32_t kStatusSlotAlignment = 16;
// The block rounded up to the alignment, so that every slot is aligned: 176.
inline constexpr int32_t kStatusSlotStride =
    (QP240REMOTE_HOST_STATUS_SIZE + kStatusSlotAlignment - 1) / kStatusSlotAlignment *
    kStatusSlotAlignment;
inline constexpr int32_t kStatusStorageBytes =
    kStatusSlotCount * kStatusSlotStride + kStatusSlotAlignment;  // 544

struct HostStatusBlock {
    int32_t words[kHostStatusWords];  // opaque to the driver
};
static_assert(sizeof(HostStatusBlock) == QP240REMOTE_HOST_STATUS_SIZE,
              "the host fills the whole block");

struct HostStatusExchange {
    uint8_t* storage;  // 544 bytes, or null when not obtained
    uint8_t* base;     // first 16-byte aligned address in storage; slot k at base + 176 * k

    // Guarded by `guard`.
    int32_t slotStates[kStatusSlotCount];  // 1 holds a block (waiting, or the reader's), 0 free
    int32_t writerSlot;                    // the slot the writer filled last
    int32_t readerSlot;                    // the slot the reader holds; its state is always 1

    int32_t slotStride;          // 176
    std::atomic<int32_t> guard;  // spin guard of every step
};

// Primes the exchange and obtains its storage, releasing any held before.
// Returns 0, or -1 when the storage could not be obtained (every write and read
// is then ignored).
int32_t StatusExchangeInit(HostStatusExchange* exchange);
// Id 56 after the handle check: takes a new block, answering as the public
// header says; a missing storage makes it ignore the block (and answer OK).
int32_t StatusExchangeWrite(HostStatusExchange* exchange, const void* block, int32_t size);
// Worker, at the start of every polling pass: moves to the newest waiting
// block and copies it into the instance's status block, once per block.
void StatusExchangeRead(KeypadEngine* engine);
// Worker, on each connection: re-primes, asks the host to fill the status
// block (code 151) and puts that block in the reader's slot.
void StatusExchangeReset(KeypadEngine* engine);
// Releases the storage; safe to repeat.
void StatusExchangeFree(HostStatusExchange* exchange);
