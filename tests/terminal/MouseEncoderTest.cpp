// Mouse reports: which events each tracking mode reports, the button codes with modifiers, motion
// and the wheel, in the default encoding (with its 223-cell limit) and in SGR.
#include "terminal/MouseEncoder.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using enum MouseTracking;

// The default encoding of a code at a 0-based cell.
std::string x10(int code, int column, int row)
{
    return {'\x1b',
            '[',
            'M',
            static_cast<char>(32 + code),
            static_cast<char>(33 + column),
            static_cast<char>(33 + row)};
}

MouseEvent event(MouseAction action, MouseButton button, MouseModifiers modifiers = {}, int column = 4,
                 int row = 2)
{
    return {action, button, column, row, modifiers};
}

constexpr MouseModifiers noKeys{};
constexpr MouseModifiers shiftKey{true, false, false};
constexpr MouseModifiers altKey{false, true, false};
constexpr MouseModifiers controlKey{false, false, true};
constexpr MouseModifiers allKeys{true, true, true};

struct ReportRow {
    MouseEvent event;
    MouseTracking tracking;
    std::string defaultEncoding; // empty: not reported
    std::string sgr;
};

TEST(MouseEncoderTest, EachModeReportsItsEventsInBothEncodings)
{
    using A = MouseAction;
    using B = MouseButton;
    const ReportRow table[] = {
        // Press only (9): buttons and the wheel, never modifiers, releases or motion.
        {event(A::press, B::left), press, x10(0, 4, 2), "\x1b[<0;5;3M"},
        {event(A::press, B::right, controlKey), press, x10(2, 4, 2), "\x1b[<2;5;3M"},
        {event(A::press, B::wheelUp), press, x10(64, 4, 2), "\x1b[<64;5;3M"},
        {event(A::release, B::left), press, "", ""},
        {event(A::motion, B::left), press, "", ""},
        // Press and release (1000): modifiers; a release is code 3, or its button with m in SGR.
        {event(A::press, B::left), pressRelease, x10(0, 4, 2), "\x1b[<0;5;3M"},
        {event(A::press, B::middle), pressRelease, x10(1, 4, 2), "\x1b[<1;5;3M"},
        {event(A::press, B::right), pressRelease, x10(2, 4, 2), "\x1b[<2;5;3M"},
        {event(A::release, B::right), pressRelease, x10(3, 4, 2), "\x1b[<2;5;3m"},
        {event(A::press, B::left, shiftKey), pressRelease, x10(4, 4, 2), "\x1b[<4;5;3M"},
        {event(A::press, B::left, altKey), pressRelease, x10(8, 4, 2), "\x1b[<8;5;3M"},
        {event(A::press, B::left, controlKey), pressRelease, x10(16, 4, 2), "\x1b[<16;5;3M"},
        {event(A::release, B::middle, allKeys), pressRelease, x10(31, 4, 2), "\x1b[<29;5;3m"},
        {event(A::press, B::wheelUp), pressRelease, x10(64, 4, 2), "\x1b[<64;5;3M"},
        {event(A::press, B::wheelDown, controlKey), pressRelease, x10(81, 4, 2), "\x1b[<81;5;3M"},
        {event(A::release, B::wheelDown), pressRelease, "", ""},
        {event(A::motion, B::left), pressRelease, "", ""},
        // Drag (1002): motion with a button held, 32 added.
        {event(A::motion, B::left), drag, x10(32, 4, 2), "\x1b[<32;5;3M"},
        {event(A::motion, B::right, controlKey), drag, x10(50, 4, 2), "\x1b[<50;5;3M"},
        {event(A::motion, B::none), drag, "", ""},
        {event(A::release, B::left), drag, x10(3, 4, 2), "\x1b[<0;5;3m"},
        // Any motion (1003): motion without a button too, as button 3.
        {event(A::motion, B::none), anyMotion, x10(35, 4, 2), "\x1b[<35;5;3M"},
        {event(A::motion, B::middle, altKey), anyMotion, x10(41, 4, 2), "\x1b[<41;5;3M"},
        {event(A::press, B::left), anyMotion, x10(0, 4, 2), "\x1b[<0;5;3M"},
        // No tracking: nothing.
        {event(A::press, B::left), MouseTracking::none, "", ""},
        {event(A::motion, B::none), MouseTracking::none, "", ""},
    };
    for (const ReportRow& row : table) {
        SCOPED_TRACE(row.sgr.empty() ? std::string("not reported") : row.sgr.substr(1));
        EXPECT_EQ(MouseEncoder::encode(row.event, row.tracking, false), row.defaultEncoding);
        EXPECT_EQ(MouseEncoder::encode(row.event, row.tracking, true), row.sgr);
    }
}

TEST(MouseEncoderTest, TheDefaultEncodingStopsAtCell223AndSgrDoesNot)
{
    const auto at = [](int column, int row) {
        return event(MouseAction::press, MouseButton::left, noKeys, column, row);
    };
    EXPECT_EQ(MouseEncoder::encode(at(0, 0), pressRelease, false), x10(0, 0, 0));
    EXPECT_EQ(MouseEncoder::encode(at(222, 222), pressRelease, false), x10(0, 222, 222));
    EXPECT_EQ(MouseEncoder::encode(at(223, 0), pressRelease, false), "");
    EXPECT_EQ(MouseEncoder::encode(at(0, 223), pressRelease, false), "");
    EXPECT_EQ(MouseEncoder::encode(at(499, 299), pressRelease, true), "\x1b[<0;500;300M");
}

} // namespace
