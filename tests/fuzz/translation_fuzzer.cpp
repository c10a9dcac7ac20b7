// Snapshot sequences under arbitrary settings (key mode, channel, PadBank)
// through the key translation. Every call the host receives is checked: MIDI
// data bytes never reach 0x80, every batch is whole messages and no longer
// than the family allows, commands come only on presses, pad events carry the
// pad numbers of exactly the changed pad keys, and the previous key states
// become the snapshot.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

#include "engine/key_translation.h"
#include "include/qp240_remote.h"
#include "tests/fuzz/fuzz_instance.h"

namespace {

struct HostCall {
    int32_t code;
    int32_t argument;
    std::vector<uint8_t> bytes;
};

int32_t RecordCall(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    std::vector<HostCall>* calls = reinterpret_cast<std::vector<HostCall>*>(userValue);
    HostCall call{code, argument, {}};
    if (code == QP240REMOTE_CODE_MIDI_BYTES) {
        if (pointer == nullptr || argument <= 0)
            std::abort();
        const uint8_t* bytes = static_cast<const uint8_t*>(pointer);
        call.bytes.assign(bytes, bytes + argument);
    }
    calls->push_back(call);
    return 0;
}

// 32-bit signed pad arithmetic that wraps instead of overflowing.
int32_t PadNumber(int32_t padBank, int k) {
    return static_cast<int32_t>(static_cast<uint32_t>(padBank) *
                                    static_cast<uint32_t>(kProfile.padStride) +
                                static_cast<uint32_t>(k));
}

void CheckSnapshot(const std::vector<HostCall>& calls, const uint8_t* before, const uint8_t* after,
                   const QP240REMOTE_Context& settings) {
    auto changed = [&](int k) { return ((before[k] ^ after[k]) & 1) != 0; };
    auto pressed = [&](int k) { return (after[k] & 1) != 0; };
    std::vector<HostCall> commands;  // 1314 and 1315, in the order they came
    size_t next = 0;
    if (settings.keyMode != 1) {
        // Pad protocol: one event per changed pad key, ascending, each at once,
        // with the commands of the last two keys in their turn.
        for (int k = 0; k < kProfile.keyCount; ++k) {
            if (!changed(k))
                continue;
            if (k < kProfile.padKeyCount) {
                if (next >= calls.size() ||
                    calls[next].code != (pressed(k) ? QP240REMOTE_CODE_PAD_PRESSED
                                                    : QP240REMOTE_CODE_PAD_RELEASED) ||
                    calls[next].argument != PadNumber(settings.padBank, k))
                    std::abort();
                ++next;
            } else if (pressed(k)) {
                const int32_t code = k == kProfile.stopAllPadsKey
                                         ? QP240REMOTE_CODE_STOP_ALL_PADS
                                         : QP240REMOTE_CODE_STOP_ALL_PLISTS;
                if (next >= calls.size() || calls[next].code != code || calls[next].argument != 0)
                    std::abort();
                ++next;
            }
        }
        if (next != calls.size())
            std::abort();
        return;
    }
    // MIDI: the commands first, at most one batch last.
    for (int k = kProfile.padKeyCount; k < kProfile.keyCount; ++k) {
        if (changed(k) && pressed(k)) {
            const int32_t code = k == kProfile.stopAllPadsKey ? QP240REMOTE_CODE_STOP_ALL_PADS
                                                              : QP240REMOTE_CODE_STOP_ALL_PLISTS;
            if (next >= calls.size() || calls[next].code != code)
                std::abort();
            ++next;
        }
    }
    std::vector<uint8_t> expected;
    const uint8_t channel = static_cast<uint8_t>(settings.midiChannel & 0x0F);
    for (int k = 0; k < kProfile.padKeyCount; ++k) {
        if (!changed(k))
            continue;
        const int64_t note =
            QP240REMOTE_MIDI_NOTE_BASE + int64_t{settings.padBank} * kProfile.padStride + k;
        if (note < 0 || note > 127)
            continue;  // a note that does not exist is not sent, however the product wraps
        expected.push_back(static_cast<uint8_t>((pressed(k) ? 0x90 : 0x80) | channel));
        expected.push_back(static_cast<uint8_t>(note));
        expected.push_back(pressed(k) ? 0x40 : 0x00);
    }
    if (expected.empty()) {
        if (next != calls.size())
            std::abort();
        return;
    }
    if (next + 1 != calls.size() || calls[next].code != QP240REMOTE_CODE_MIDI_BYTES)
        std::abort();
    const std::vector<uint8_t>& batch = calls[next].bytes;
    if (batch.size() % 3 != 0 || batch.size() > static_cast<size_t>(kMaxMidiBytesPerSnapshot))
        std::abort();
    for (size_t i = 0; i < batch.size(); ++i)
        if (i % 3 != 0 && batch[i] >= 0x80)
            std::abort();
    if (batch != expected)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<HostCall> calls;
    KeypadEngine* instance = FuzzInstanceCreate(RecordCall, reinterpret_cast<intptr_t>(&calls));
    if (instance == nullptr)
        return 0;

    QP240REMOTE_Context settings = {0, 0, 0};
    std::vector<uint8_t> before(kProfile.keyCount, 0);
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {
            // The host or the box changes a setting between snapshots; small
            // values are the common ones, any 32-bit value may come.
            const bool small = input.ConsumeBool();
            const int32_t value = small ? input.ConsumeIntegralInRange<int32_t>(-8, 20)
                                        : input.ConsumeIntegral<int32_t>();
            switch (input.ConsumeIntegralInRange<int>(0, 2)) {
                case 0:
                    settings.keyMode = value;
                    break;
                case 1:
                    settings.midiChannel = value;
                    break;
                default:
                    settings.padBank = value;
                    break;
            }
            WriteContext(&instance->settings, settings);
            continue;
        }
        std::vector<uint8_t> snapshot = input.ConsumeBytes<uint8_t>(kProfile.keyCount);
        snapshot.resize(kProfile.keyCount, 0);
        calls.clear();
        TranslateSnapshot(instance, snapshot.data());
        CheckSnapshot(calls, before.data(), snapshot.data(), settings);
        if (std::memcmp(instance->previousKeyStates, snapshot.data(), snapshot.size()) != 0)
            std::abort();
        before = snapshot;
    }
    FuzzInstanceDestroy(instance);
    return 0;
}
