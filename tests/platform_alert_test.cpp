#include "platform/alert.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

namespace {

std::string seen;

void Record(AlertType type, const char *title, const char *text) {
    seen += std::to_string(type) + "|" + title + "|" + text + "\n";
}

// A length-prefixed copy of s, passed on by its data().
std::string P(const std::string &s) {
    return std::string(1, (char)s.size()) + s;
}
#define ARG(s) (ConstStr255Param)(s).data()

TEST(AlertTest, GoesToTheRecorderWhileSetAndOtherwiseToStandardError) {
    std::string longest = std::string(254, 'x') + "z";
    SInt16 item = 0;
    SetAlertRecorder(Record);
    testing::internal::CaptureStderr();
    EXPECT_EQ(noErr, StandardAlert(kAlertCautionAlert, ARG(P("Kelvane")), ARG(P(longest)), nullptr,
                                   &item));
    StandardAlert(kAlertStopAlert, ARG(P("")), nullptr, nullptr, nullptr);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ("2|Kelvane|" + longest + "\n0||\n", seen);
    EXPECT_EQ(1, item);

    // With nowhere to show a box it returns at once.
    SetAlertRecorder(nullptr);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    item = 0;
    testing::internal::CaptureStderr();
    StandardAlert(kAlertStopAlert, ARG(P("No GL")), ARG(P("cannot draw")), nullptr, &item);
    EXPECT_EQ("No GL: cannot draw\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(1, item);
}

} // namespace
