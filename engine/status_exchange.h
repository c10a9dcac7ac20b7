// The host's 172-byte status block and the three-slot exchange that hands the
// newest copy from a host thread (id-56 calls, the writer) to the worker (the
// reader) without either side waiting for the other.
//
// Who may call what:
//   StatusExchangeInit, StatusExchangeFree: the thread that creates or destroys
//     the instance, while no worker runs.
//   StatusExchangeWrite: any host thread, at any time between those two.
//   StatusExchangeRead, StatusExchangeReset: the worker only.
#pragma once

#include <atomic>
#include <cstdint>

struct DriverInstance;

inline constexpr int32_t kHostStatusWords = 43;
inline constexpr int32_t kHostStatusBytes = kHostStatusWords * 4;  // 172
inline constexpr int32_t kStatusSlotStride = 176;                  // 172 rounded up to 16
inline constexpr int32_t kStatusSlotCount = 3;
inline constexpr int32_t kStatusStorageBytes = kStatusSlotCount * kStatusSlotStride + 16;

struct HostStatusBlock {
    int32_t words[kHostStatusWords];  // opaque to the driver
};

struct HostStatusExchange {
    uint8_t* storage;                                   // 544 bytes, or null
    uint8_t* base;                                      // first 16-byte aligned address in storage
    std::atomic<int32_t> slotStates[kStatusSlotCount];  // 1 holds a block, 0 free
    std::atomic<int32_t> writerSlot;                    // slot the writer filled last
    std::atomic<int32_t> readerSlot;                    // slot the reader holds (state always 1)
    int32_t slotStride;                                 // 176
};

// 0, or -1 when the storage could not be obtained.
int32_t StatusExchangeInit(HostStatusExchange* exchange);
// Takes a new block from the host; a size other than 172 or a null block is ignored.
void StatusExchangeWrite(HostStatusExchange* exchange, const void* block, int32_t size);
// Worker, at the start of every polling pass.
void StatusExchangeRead(DriverInstance* instance);
// Worker, on each connection: re-primes and asks the host for a fresh block (code 151).
void StatusExchangeReset(DriverInstance* instance);
void StatusExchangeFree(HostStatusExchange* exchange);
