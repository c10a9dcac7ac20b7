#include "tools/host_simulator/heap_watch.h"

#include "tools/host_simulator/import_patch.h"

#include <atomic>
#include <cstring>

typedef void*(__cdecl* MallocFn)(size_t);
typedef void*(__cdecl* CallocFn)(size_t, size_t);
typedef void*(__cdecl* ReallocFn)(void*, size_t);
typedef char*(__cdecl* StrdupFn)(const char*);
typedef void(__cdecl* FreeFn)(void*);
typedef size_t(__cdecl* MsizeFn)(void*);

// The real functions in msvcrt, which every patched module imports.
static std::atomic<MallocFn> g_malloc{nullptr};
static std::atomic<CallocFn> g_calloc{nullptr};
static std::atomic<ReallocFn> g_realloc{nullptr};
static std::atomic<StrdupFn> g_strdup{nullptr};
static std::atomic<FreeFn> g_free{nullptr};
static std::atomic<MsizeFn> g_msize{nullptr};

static std::atomic<bool> g_armed{false};
static std::atomic<int32_t> g_allocations{0};
static std::atomic<const void*> g_watchedBlock{nullptr};
static std::atomic<DWORD> g_watchedFreedOn{0};
// Statistics only, read after the threads that change them were joined or
// waited for: relaxed throughout.
static std::atomic<int64_t> g_heldBlocks{0};
static std::atomic<int64_t> g_heldBytes{0};

static void CountAllocation() {
    if (g_armed.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}

// `blocks` more (or fewer) held, of `bytes` in all.
static void CountHeld(int64_t blocks, int64_t bytes) {
    g_heldBlocks.fetch_add(blocks, std::memory_order_relaxed);
    g_heldBytes.fetch_add(bytes, std::memory_order_relaxed);
}

static int64_t BlockBytes(void* block) {
    return static_cast<int64_t>(g_msize.load()(block));
}

static void* CountNewBlock(void* block) {
    if (block != nullptr)
        CountHeld(1, BlockBytes(block));
    return block;
}

static void* __cdecl WatchedMalloc(size_t size) {
    CountAllocation();
    return CountNewBlock(g_malloc.load()(size));
}
static void* __cdecl WatchedCalloc(size_t count, size_t size) {
    CountAllocation();
    return CountNewBlock(g_calloc.load()(count, size));
}
static void* __cdecl WatchedRealloc(void* block, size_t size) {
    CountAllocation();
    if (block == nullptr)
        return CountNewBlock(g_realloc.load()(block, size));
    const int64_t before = BlockBytes(block);
    void* moved = g_realloc.load()(block, size);
    if (moved != nullptr)
        CountHeld(0, BlockBytes(moved) - before);
    else if (size == 0)
        CountHeld(-1, -before);  // msvcrt frees the block and answers null
    return moved;
}
static char* __cdecl WatchedStrdup(const char* text) {
    CountAllocation();
    return static_cast<char*>(CountNewBlock(g_strdup.load()(text)));
}
static void __cdecl WatchedFree(void* block) {
    if (block != nullptr)
        CountHeld(-1, -BlockBytes(block));
    // Only the first free counts: the address may be handed out again.
    const void* watched = block;
    if (block != nullptr && g_watchedBlock.compare_exchange_strong(watched, nullptr))
        g_watchedFreedOn.store(GetCurrentThreadId());
    g_free.load()(block);
}

// The real functions, resolved in msvcrt itself: an address taken in this
// module could lead back through a patched import table.
template <typename Fn>
static bool Resolve(HMODULE msvcrt, const char* name, std::atomic<Fn>* real) {
    real->store(reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(msvcrt, name))));
    return real->load() != nullptr;
}

bool HeapWatchInstall(HMODULE module) {
    HMODULE msvcrt = GetModuleHandleA("msvcrt.dll");
    if (msvcrt == nullptr || !Resolve(msvcrt, "malloc", &g_malloc) ||
        !Resolve(msvcrt, "calloc", &g_calloc) || !Resolve(msvcrt, "realloc", &g_realloc) ||
        !Resolve(msvcrt, "_strdup", &g_strdup) || !Resolve(msvcrt, "free", &g_free) ||
        !Resolve(msvcrt, "_msize", &g_msize))
        return false;
    bool any = false;
    const struct {
        const char* name;
        void* watched;
    } imports[] = {{"malloc", reinterpret_cast<void*>(WatchedMalloc)},
                   {"calloc", reinterpret_cast<void*>(WatchedCalloc)},
                   {"realloc", reinterpret_cast<void*>(WatchedRealloc)},
                   {"_strdup", reinterpret_cast<void*>(WatchedStrdup)},
                   {"free", reinterpret_cast<void*>(WatchedFree)}};
    for (const auto& import : imports)
        any |= ReplaceImport(module, "msvcrt.dll", import.name, import.watched) != nullptr;
    return any;
}

void HeapWatchArm(bool armed) {
    g_armed.store(armed);
}

int32_t HeapWatchAllocations() {
    return g_allocations.load();
}

void HeapWatchResetCount() {
    g_allocations.store(0);
}

HeapWatchHeld HeapWatchHeldSoFar() {
    return HeapWatchHeld{g_heldBlocks.load(std::memory_order_relaxed),
                         g_heldBytes.load(std::memory_order_relaxed)};
}

void HeapWatchFree(const void* block) {
    g_watchedFreedOn.store(0);
    g_watchedBlock.store(block);
}

DWORD HeapWatchFreedOn() {
    return g_watchedFreedOn.load();
}
