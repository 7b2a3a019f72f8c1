// What the engine answers, in order and once per query, and what it never answers; the events it
// queues (title, bell, clipboard) and their bounds.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ReplyCase {
    const char* name;
    std::string input;
    std::string reply;
};

const ReplyCase replyCases[] = {
    {"PrimaryDeviceAttributes", "\x1b[c\x1b[0c", "\x1b[?62;22c\x1b[?62;22c"},
    {"SecondaryDeviceAttributes", "\x1b[>c", "\x1b[>1;10;0c"},
    {"Version", "\x1b[>q", "\x1bP>|Vitrion " VITRION_TEST_VERSION "\x1b\\"},
    {"StatusOk", "\x1b[5n", "\x1b[0n"},
    {"CursorPosition", "\x1b[3;7H\x1b[6n", "\x1b[3;7R"},
    {"CursorPositionInOriginMode", "\x1b[2;5r\x1b[?6h\x1b[2;3H\x1b[6n\x1b[?6n", "\x1b[2;3R\x1b[?2;3R"},
    {"PrivateModeSetAndReset", "\x1b[?2004h\x1b[?2004$p\x1b[?25l\x1b[?25$p", "\x1b[?2004;1$y\x1b[?25;2$y"},
    {"UnknownPrivateMode", "\x1b[?4242$p", "\x1b[?4242;0$y"},
    {"AnsiMode", "\x1b[4h\x1b[4$p\x1b[20$p", "\x1b[4;1$y\x1b[20;2$y"},
    {"SynchronizedOutputIsKnown", "\x1b[?2026$p", "\x1b[?2026;2$y"},
    {"SizeInCharacters", "\x1b[18t", "\x1b[8;5;20t"},
    {"TextColour", "\x1b]10;?\x07", "\x1b]10;rgb:ffff/ffff/ffff\x07"},
    {"BackgroundWithStringTerminator", "\x1b]11;?\x1b\\", "\x1b]11;rgb:0000/0000/0000\x1b\\"},
    {"TwoColoursInOneString", "\x1b]10;?;?\x07",
     "\x1b]10;rgb:ffff/ffff/ffff\x07\x1b]11;rgb:0000/0000/0000\x07"},
    {"PaletteEntry", "\x1b]4;1;?;196;?\x07",
     "\x1b]4;1;rgb:ffff/4560/3a1c\x07\x1b]4;196;rgb:ffff/0000/0000\x07"},
    {"UnknownDcsRequests", "\x1bP$qm\x1b\\\x1bP+q544e\x1b\\", "\x1bP0$r\x1b\\\x1bP0+r\x1b\\"},
    // Never answered: titles (a program could plant them), clipboard reads, other window reports.
    {"NoTitleReport", "\x1b]2;rm -rf ~\x07\x1b[20t\x1b[21t", ""},
    {"NoClipboardRead", "\x1b]52;c;?\x07", ""},
    {"NoOtherWindowReports", "\x1b[14t\x1b[13t\x1b[11t", ""},
    {"SplitQueryAnswersOnce", "\x1b[", ""},
    // A position report never goes below 1, even with the cursor above the region in origin mode.
    {"CursorPositionNeverBelowOne",
     "\x1b[1;5r\x1b[?6h\x1b"
     "7\x1b[3;5r\x1b"
     "8\x1b[6n",
     "\x1b[1;1R"},
    {"PaletteIndexAsANumber", "\x1b]4;0196;?\x07", "\x1b]4;196;rgb:ffff/0000/0000\x07"},
    {"ModesWithoutASwitch", "\x1b[?1048$p\x1b[?1048h\x1b[?1048$p\x1b[?3$p\x1b[?2027$p\x1b[?1005$p",
     "\x1b[?1048;2$y\x1b[?1048;1$y\x1b[?3;4$y\x1b[?2027;0$y\x1b[?1005;0$y"},
    {"ColourScheme", "\x1b[?996n", "\x1b[?997;1n"},
    {"NoModeReportForANegativeNumber", "\x1b[?-25$p\x1b[-4$p", ""},
    {"KeyboardFlags", "\x1b[?u\x1b[>1u\x1b[?u", "\x1b[?0u\x1b[?1u"},
};

class ReplyCaseTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyCaseTest, AnswersInOrder)
{
    for (const bool bytes : {false, true}) {
        enginetest::SizedEngine s(5, 20);
        if (bytes) {
            for (const char c : GetParam().input) {
                s.engine.consume(std::string_view(&c, 1));
            }
        } else {
            s.engine.consume(GetParam().input);
        }
        EXPECT_EQ(s.engine.takeReplies(), GetParam().reply) << (bytes ? "byte by byte" : "whole");
        EXPECT_TRUE(s.engine.takeReplies().empty()) << "taken once";
        EXPECT_EQ(enginetest::screenText(s.engine), "") << "nothing of a query shows";
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyCaseTest, ::testing::ValuesIn(replyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepliesTest, AnUndrainedQueueStaysBounded)
{
    enginetest::SizedEngine s(5, 20);
    std::string flood;
    for (int i = 0; i < 20000; ++i) {
        flood += "\x1b[6n";
    }
    s.engine.consume(flood);
    EXPECT_LE(s.engine.pendingReplies().size(), TerminalEngine::replyLimit);
    EXPECT_GT(s.engine.pendingReplies().size(), TerminalEngine::replyLimit / 2);
}

TEST(EventsTest, TitleBellAndClipboard)
{
    enginetest::SizedEngine s(5, 20);
    s.engine.consume("\x1b]0;make \x01world\x07\a\a\x1b]52;c;aGVsbG8=\x07\x1b]8;;http://x\x07"
                     "link\x1b]8;;\x07");
    TerminalEvents events = s.engine.takeEvents();
    EXPECT_TRUE(events.titleChanged);
    EXPECT_EQ(s.engine.title(), "make world") << "controls never reach the title";
    EXPECT_EQ(events.bells, 2);
    ASSERT_EQ(events.clipboardWrites.size(), 1u);
    EXPECT_EQ(events.clipboardWrites[0].text, "hello");
    EXPECT_EQ(events.clipboardWrites[0].selections, "c");
    EXPECT_EQ(s.engine.hyperlink(s.engine.row(0)[0].style.link), "http://x");
    EXPECT_EQ(s.engine.row(0)[4].style.link, 0);
    EXPECT_FALSE(s.engine.takeEvents().titleChanged) << "taken once";
    // An OSC longer than its bound is swallowed whole and ignored.
    s.engine.consume("\x1b]2;" + std::string(TerminalEngine::stringLimit + 10, 'x') +
                     "\x07"
                     "after");
    EXPECT_EQ(s.engine.title(), "make world");
    EXPECT_EQ(enginetest::rowTrimmed(s.engine, 0), "linkafter");
}

} // namespace

namespace {

// Every private mode the engine keeps reports itself set after DECSET and reset after DECRST.
TEST(RepliesTest, EveryKnownPrivateModeReportsWhatWasSet)
{
    for (const int mode : {1,    5,    6,    7,    12,   25,   9,    47,   66,   1000, 1002,
                           1003, 1004, 1006, 1007, 1047, 1049, 2004, 2026, 2031, 2048}) {
        enginetest::SizedEngine s(5, 20);
        const std::string number = std::to_string(mode);
        s.engine.consume("\x1b[?" + number + "h\x1b[?" + number + "$p\x1b[?" + number + "l\x1b[?" + number +
                         "$p");
        const std::string report = mode == 2048 ? "\x1b[48;5;20;0;0t" : ""; // the size, once on setting
        EXPECT_EQ(s.engine.takeReplies(), report + "\x1b[?" + number + ";1$y\x1b[?" + number + ";2$y")
            << mode;
    }
}

} // namespace
