// The message box as the graphics module uses it (recorded, headless) and the screen context's
// refresh-rate query.
#include "control_user.h"
#include "win_user.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MessageBox, RecordedBoxesKeepCaptionTextAndType)
{
    platctl_user_clear_message_boxes();
    platctl_user_record_message_boxes(1);
    EXPECT_EQ(MessageBoxA(nullptr, "line 3: syntax error", "ERROR", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_ICONERROR), IDOK);
    ASSERT_EQ(platctl_user_message_box_count(), 2u);

    char caption[16], text[8];
    uint32_t type = 99;
    ASSERT_EQ(platctl_user_message_box(0, caption, sizeof(caption), text, sizeof(text), &type), 1);
    EXPECT_STREQ(caption, "ERROR");
    EXPECT_STREQ(text, "line 3:"); // cut to the buffer, zero-terminated
    EXPECT_EQ(type, MB_OK);
    ASSERT_EQ(platctl_user_message_box(1, caption, sizeof(caption), nullptr, 0, &type), 1);
    EXPECT_STREQ(caption, "");
    EXPECT_EQ(type, MB_ICONERROR);
    EXPECT_EQ(platctl_user_message_box(2, caption, sizeof(caption), text, sizeof(text), &type), 0);

    platctl_user_clear_message_boxes();
    EXPECT_EQ(platctl_user_message_box_count(), 0u);
    platctl_user_record_message_boxes(0);
}

TEST(ScreenDc, RefreshRateFromSdlOrTheControlApi)
{
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_GE(GetDeviceCaps(dc, VREFRESH), 0);
    EXPECT_GT(GetDeviceCaps(dc, HORZRES), 0);
    platctl_user_set_desktop_refresh(75);
    EXPECT_EQ(GetDeviceCaps(dc, VREFRESH), 75);
    platctl_user_set_desktop_refresh(0);
    EXPECT_EQ(GetDeviceCaps(nullptr, VREFRESH), 0);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
}

} // namespace
