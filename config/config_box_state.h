// The configuration box's record of one instance (config/config_box.cpp): its
// window, the lock its messages work under and where it painted its fields,
// with the instance's settings it shows and changes and the lifetime record it
// holds while a box is bound. The driver embeds it in the instance record.
#pragma once

#include "base/platform_types.h"
#include "config/config_box_layout.h"
#include "engine/instance_lifetime.h"
#include "engine/instance_settings.h"

struct ConfigBoxState {
    // Guards `window`, and is held by the box's thread while a message of its
    // works on the instance; per instance, so boxes of different instances
    // paint at the same time. Nothing under it waits for another thread or
    // sends a message to another thread's window.
    SRWLOCK lock;
    // Under `lock`: written by the box's own creation and destruction and by
    // the host calls that close or forget it. While a box is bound, it holds
    // the instance (engine/instance_lifetime.h).
    HWND window;  // the box while it is bound to this instance, else null
    // Box thread only, under `lock`: where the fields were painted last; zero
    // until the first paint.
    FieldRect modeField;
    FieldRect channelField;
    // Set when the instance is made, before any box exists.
    InstanceSettings* settings;  // what the fields show and the clicks change
    InstanceLifetime* lifetime;  // held by a bound box
};

inline void ConfigBoxStateInit(ConfigBoxState* box, InstanceSettings* settings,
                               InstanceLifetime* lifetime) {
    box->settings = settings;
    box->lifetime = lifetime;
}
