// The translation of a snapshot in which every key changes, in both key
// modes, with a host that returns at once. Native, without a sanitizer:
//   cmake --preset bench && cmake --build --preset bench --target translation_bench_32keys
#include <benchmark/benchmark.h>

#include <cstring>

#include "driver/instance_record.h"
#include "engine/instance_lifetime.h"
#include "engine/key_translation.h"
#include "include/qp240_remote.h"

static int32_t ReturnAtOnce(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

static void TranslateEveryKeyChanging(benchmark::State& state, int32_t keyMode) {
    DriverInstance* instance =
        InstanceRecordCreate(ReturnAtOnce, 0, QP240REMOTE_Context{keyMode, 0, 0});
    uint8_t down[kProfile.keyCount];
    uint8_t up[kProfile.keyCount] = {};
    std::memset(down, 1, sizeof down);
    bool pressed = false;
    for (auto _ : state) {
        pressed = !pressed;
        TranslateSnapshot(&instance->engine, pressed ? down : up);
        benchmark::ClobberMemory();
    }
    state.SetLabel(keyMode == 1 ? "MIDI" : "pad protocol");
    // As Destroy lets go: hold, claim, release.
    InstanceHold(&instance->lifetime);
    InstanceClaim(&instance->lifetime);
    InstanceRelease(&instance->lifetime);
}

BENCHMARK_CAPTURE(TranslateEveryKeyChanging, pads, 0);
BENCHMARK_CAPTURE(TranslateEveryKeyChanging, midi, 1);

BENCHMARK_MAIN();
