// Paste encoding: line endings, bracketing, and the control stripping that keeps a pasted text from
// ending the bracket or signalling the shell.
#include "terminal/PasteEncoder.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(PasteEncoderTest, LineEndingsBecomeLineFeeds)
{
    EXPECT_EQ(PasteEncoder::encode("a\r\nb\rc\n", false), "a\nb\nc\n");
    EXPECT_EQ(PasteEncoder::encode("\r\r\n\n", false), "\n\n\n");
    EXPECT_EQ(PasteEncoder::encode("a\r\nb\rc\n", true), "\x1b[200~a\nb\nc\n\x1b[201~");
}

TEST(PasteEncoderTest, EmptyBracketedPasteIsTheTwoMarkers)
{
    EXPECT_EQ(PasteEncoder::encode("", true), "\x1b[200~\x1b[201~");
    EXPECT_EQ(PasteEncoder::encode("", false), "");
}

TEST(PasteEncoderTest, BracketedPasteCannotEndTheBracketOrSignal)
{
    const std::string hostile = "ls\x1b[201~rm -rf x\x03\x1a\x1c\x04\x7f\t\n"s;
    EXPECT_EQ(PasteEncoder::encode(hostile, true), "\x1b[200~ls[201~rm -rf x\x7f\t\n\x1b[201~");
    // C1 controls (U+0080-U+009F, as UTF-8) go too; their neighbours stay.
    EXPECT_EQ(PasteEncoder::stripControls("a\xc2\x9b"
                                          "201~\xc2\xa0\xc3\xa9\xc2\x80"),
              "a201~\xc2\xa0\xc3\xa9");
    EXPECT_EQ(PasteEncoder::stripControls("\0x"s), "x");
}

TEST(PasteEncoderTest, UnbracketedPasteKeepsControls)
{
    EXPECT_EQ(PasteEncoder::encode("a\x1b[201~\x03", false), "a\x1b[201~\x03");
}

TEST(PasteEncoderTest, LargePasteIsEncodedWhole)
{
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        text += "line\r\n";
    }
    const std::string bytes = PasteEncoder::encode(text, true);
    EXPECT_EQ(bytes.size(), 6 + 200000 * 5 + 6);
}

TEST(PasteEncoderTest, DroppedNamesBecomeShellWords)
{
    struct Case {
        std::string name;
        std::string word; // empty: left out
    };
    const Case cases[] = {
        {"/home/me/notes.txt", "/home/me/notes.txt "},
        {"/tmp/a b", "'/tmp/a b' "},
        {"/tmp/it's", "'/tmp/it'\\''s' "},
        {"/tmp/$(reboot)`x`;&|*?~!#", "'/tmp/$(reboot)`x`;&|*?~!#' "},
        {"/tmp/caf\xc3\xa9", "'/tmp/caf\xc3\xa9' "},
        {"=ls", "'=ls' "},
        {"https://example.com/?a=1&b=2", "'https://example.com/?a=1&b=2' "},
        {"/tmp/two\nlines", ""},
        {"/tmp/tab\there", ""},
        {"/tmp/esc\x1b[201~", ""},
        {"/tmp/del\x7f", ""},
        {"/tmp/c1\xc2\x9b", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PasteEncoder::droppedWords({c.name}), c.word) << c.name;
    }
    EXPECT_EQ(PasteEncoder::droppedWords({"/a", "/bad\n", "/c d"}), "/a '/c d' ");
}

} // namespace
