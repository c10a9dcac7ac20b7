#include "config/config_box_layout.h"

#include <cstdio>

#include "base/plug_information.h"
#include "include/qp240_remote.h"

FieldRect ConfigTextColumn(const FieldRect& client) {
    return FieldRect{client.left + 200, client.top + 10, client.right - 10, client.bottom};
}

FieldRect ModeFieldRect(const FieldRect& client) {
    return FieldRect{client.left + 250, client.top + 150, client.right - 20, client.top + 204};
}

FieldRect ChannelFieldRect(const FieldRect& client) {
    FieldRect field = ModeFieldRect(client);
    field.top += 80;
    field.bottom += 80;
    return field;
}

FieldRect FieldLabelRect(const FieldRect& field) {
    return FieldRect{field.left + 6, field.top + 6, field.right, field.bottom};
}

bool FieldHit(const FieldRect& field, int32_t x, int32_t y) {
    return field.left < x && x < field.right && field.top < y && y < field.bottom;
}

// Both in unsigned arithmetic, so that INT32_MIN and INT32_MAX wrap instead of
// overflowing.
int32_t ToggledKeyMode(int32_t keyMode) {
    return static_cast<int32_t>((static_cast<uint32_t>(keyMode) - 1u) & 1u);
}

int32_t NextMidiChannel(int32_t midiChannel) {
    return static_cast<int32_t>((static_cast<uint32_t>(midiChannel) + 1u) & 15u);
}

const char* KeyModeText(int32_t keyMode) {
    return keyMode == QP240REMOTE_KEY_MODE_PADS ? kPadProtocolText : kProfile.midiCaption;
}

void FormatChannelText(char (&out)[kConfigTextSize], int32_t midiChannel) {
    // Shown 1-based; INT32_MAX shows as INT32_MIN rather than overflowing.
    const int32_t shown = static_cast<int32_t>(static_cast<uint32_t>(midiChannel) + 1u);
    std::snprintf(out, sizeof out, "Channel %i", static_cast<int>(shown));
}

void FormatVersionText(char (&out)[kConfigTextSize]) {
    std::snprintf(out, sizeof out, "(Version : %i,%i,%i,%i)", PlugVersionByte(kPlugInformation, 0),
                  PlugVersionByte(kPlugInformation, 1), PlugVersionByte(kPlugInformation, 2),
                  PlugVersionByte(kPlugInformation, 3));
}
