// An instance's settings: the key mode, the MIDI channel and the PadBank, the
// three fields of the context record. The worker reads them; the context calls
// and the configuration box change them.
#pragma once

#include <atomic>
#include <cstdint>

#include "include/qp240_remote.h"

struct InstanceSettings {
    // Written whole by the context calls and the box (host threads), read
    // whole by the worker; relaxed is enough, since each is an independent
    // value and the worker only needs to see some recent one.
    std::atomic<int32_t> keyMode;
    std::atomic<int32_t> midiChannel;
    std::atomic<int32_t> padBank;
};

inline QP240REMOTE_Context ReadContext(const InstanceSettings* settings) {
    return QP240REMOTE_Context{settings->keyMode.load(std::memory_order_relaxed),
                               settings->midiChannel.load(std::memory_order_relaxed),
                               settings->padBank.load(std::memory_order_relaxed)};
}

inline void WriteContext(InstanceSettings* settings, const QP240REMOTE_Context& context) {
    settings->keyMode.store(context.keyMode, std::memory_order_relaxed);
    settings->midiChannel.store(context.midiChannel, std::memory_order_relaxed);
    settings->padBank.store(context.padBank, std::memory_order_relaxed);
}
