// The configuration box's geometry, texts and click arithmetic, apart from any
// window call so that they build and are tested natively. Coordinates are
// client pixels relative to the client rectangle (L, T, R, B).
#pragma once

#include <cstddef>
#include <cstdint>

// A rectangle in client pixels: the client area, a field, a text's room.
struct FieldRect {
    int32_t left, top, right, bottom;
};

// The keypad picture's top-left corner.
inline constexpr int32_t kPictureLeft = 10;
inline constexpr int32_t kPictureTop = 10;

// Static layer: a text column from L+200 to R-10, starting at T+10; the title,
// then the model 18 lower, then the version a further 38 lower.
FieldRect ConfigTextColumn(const FieldRect& client);
inline constexpr int32_t kModelLineDrop = 18;
inline constexpr int32_t kVersionLineDrop = 38;

// The two fields: (L+250, T+150, R-20, T+204) and the same 80 lower. Each
// label sits 6 in from the field's left and top edges, and the value 23 below
// the label.
FieldRect ModeFieldRect(const FieldRect& client);
FieldRect ChannelFieldRect(const FieldRect& client);
FieldRect FieldLabelRect(const FieldRect& field);
inline constexpr int32_t kFieldValueDrop = 23;
inline constexpr int32_t kFieldCorner = 8;  // RoundRect corner ellipse, both ways

// A click hits a field only strictly inside its outline: a point on the
// outline, or a field whose right edge is not right of its left edge, is missed.
bool FieldHit(const FieldRect& field, int32_t x, int32_t y);

// 0 becomes 1 and 1 becomes 0; any other value: even ones become 1, odd ones 0.
int32_t ToggledKeyMode(int32_t keyMode);
// 0, 1, ... 15, then 0 again; an out-of-range channel comes back into 0..15.
int32_t NextMidiChannel(int32_t midiChannel);

inline constexpr char kConfigTitleText[] = "QP240 Remote Driver";
inline constexpr char kModeLabelText[] = "KEY MODE";
inline constexpr char kPadProtocolText[] = "Vuvazi Verov Pad Protocol";
inline constexpr char kChannelLabelText[] = "M.I.D.I. Channel";

// The KEY MODE value: the pad protocol's name for 0, the deliverable's MIDI
// caption for any other value (the key translation treats only 1 as MIDI).
const char* KeyModeText(int32_t keyMode);

// Room for every text below whatever 32-bit values fill it.
inline constexpr size_t kConfigTextSize = 48;
// "Channel %i" with the 0-based channel plus 1 ("Channel -2147483648" at most).
void FormatChannelText(char (&out)[kConfigTextSize], int32_t midiChannel);
// "(Version : %i,%i,%i,%i)" with the plug information's version bytes, most
// significant first.
void FormatVersionText(char (&out)[kConfigTextSize]);
