// The box's documented smallest useful size against its layout and the real
// fonts: at that size every text fits, one pixel narrower the longest is cut.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "config/config_box_layout.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "toolkit/drawing_resources.h"

namespace {

// The fonts the box writes its texts in: field values 8 (Arial 18), labels
// and title 9 (Arial 18 bold), the model 14 (Arial 38).
int TextWidth(HDC dc, int font, const char* text) {
    HGDIOBJ old = SelectObject(dc, ToolkitFont(font));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    return size.cx;
}

using ConfigBoxSize = LibraryTest;

TEST_F(ConfigBoxSize, TheDocumentedMinimumHoldsEveryTextAndIsTight) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), QP240REMOTE_OK);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    int widestValue = 0;
    for (const char* value : {kPadProtocolText, kProfile.midiCaption, "Channel 16"})
        widestValue = std::max(widestValue, TextWidth(dc, 8, value));
    int widestLabel = 0;
    for (const char* label : {kModeLabelText, kChannelLabelText})
        widestLabel = std::max(widestLabel, TextWidth(dc, 9, label));
    const int model = TextWidth(dc, 14, kProfile.modelName);
    const int title = TextWidth(dc, 9, kConfigTitleText);
    DeleteDC(dc);

    const FieldRect client = {0, 0, QP240REMOTE_BOX_MIN_WIDTH, QP240REMOTE_BOX_MIN_HEIGHT};
    const FieldRect text = FieldLabelRect(ModeFieldRect(client));
    EXPECT_LE(text.left + std::max(widestValue, widestLabel), text.right);
    const FieldRect column = ConfigTextColumn(client);
    EXPECT_LE(std::max(model, title), column.right - column.left);
    EXPECT_EQ(ChannelFieldRect(client).bottom, QP240REMOTE_BOX_MIN_HEIGHT);

    const FieldRect narrower = {0, 0, QP240REMOTE_BOX_MIN_WIDTH - 1, QP240REMOTE_BOX_MIN_HEIGHT};
    const FieldRect cut = FieldLabelRect(ModeFieldRect(narrower));
    EXPECT_GT(cut.left + widestValue, cut.right) << "the minimum is not the smallest";
    QP240REMOTE_End();
}

}  // namespace
