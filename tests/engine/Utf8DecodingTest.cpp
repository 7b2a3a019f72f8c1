// UTF-8 decoding of shell output: characters split at every byte boundary across chunks, and
// U+FFFD per maximal invalid subpart (Unicode section 3.9) with nothing else lost.
#include "EngineTestSupport.h"
#include "engine/Utf8Decoder.h"

#include <gtest/gtest.h>

namespace {

std::u32string decodeAll(std::string_view bytes)
{
    Utf8Decoder decoder;
    std::u32string out;
    char32_t scalars[2];
    for (const char b : bytes) {
        const int n = decoder.feed(static_cast<std::uint8_t>(b), scalars);
        out.append(scalars, static_cast<std::size_t>(n));
    }
    if (decoder.finish()) {
        out += U'\uFFFD';
    }
    return out;
}

// The characters the engine shows in row 0, up to the cursor.
std::u32string shown(const TerminalEngine& e)
{
    std::u32string out;
    for (int c = 0; c < e.cursorColumn(); ++c) {
        out += e.row(0)[static_cast<std::size_t>(c)].character;
    }
    return out;
}

TEST(Utf8DecoderTest, ValidSequencesOfEveryLength)
{
    EXPECT_EQ(decodeAll("A\xc3\xa9\xce\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"), U"A\u00e9\u03a9\u4e2d\U0001F600");
    EXPECT_EQ(decodeAll("\xf4\x8f\xbf\xbf"), U"\U0010FFFF");
    EXPECT_EQ(decodeAll("\xef\xbf\xbd"), U"\uFFFD");
}

TEST(Utf8DecoderTest, UnicodeTableThreeEightExample)
{
    // The example of maximal subparts from the Unicode standard, section 3.9.
    EXPECT_EQ(decodeAll("\x61\xf1\x80\x80\xe1\x80\xc2\x62\x80\x63\x80\xbf\x64"),
              U"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd");
}

TEST(Utf8DecoderTest, OverlongSurrogateAndOutOfRangeFormsAreOneReplacementPerByte)
{
    EXPECT_EQ(decodeAll("\xc0\xaf"), U"\uFFFD\uFFFD");
    EXPECT_EQ(decodeAll("\xe0\x80\xaf"), U"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(decodeAll("\xed\xa0\x80"), U"\uFFFD\uFFFD\uFFFD") << "UTF-16 surrogate";
    EXPECT_EQ(decodeAll("\xf0\x80\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(decodeAll("\xf4\x90\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD") << "beyond U+10FFFF";
    EXPECT_EQ(decodeAll("\xf5\xff\xfe"), U"\uFFFD\uFFFD\uFFFD");
}

TEST(Utf8DecoderTest, TruncatedSequenceIsOneReplacementAndTheBreakingByteSurvives)
{
    EXPECT_EQ(decodeAll("\xe2\x82"
                        "A"),
              U"\uFFFDA");
    EXPECT_EQ(decodeAll("\xf0\x9f\x98\xe2\x82\xac"), U"\uFFFD\u20ac");
    EXPECT_EQ(decodeAll("\xe2\x1b"), U"\uFFFD\x1b");
}

class Utf8SplitTest : public ::testing::TestWithParam<std::string> {};

// Every split point of every character, also of invalid input: the shown text is the same as when
// the whole input arrives in one chunk.
TEST_P(Utf8SplitTest, EverySplitPointGivesTheSameText)
{
    const std::string input = GetParam();
    enginetest::SizedEngine whole{5, 80};
    whole.engine.consume(input);
    for (std::size_t split = 0; split <= input.size(); ++split) {
        enginetest::SizedEngine parts{5, 80};
        parts.engine.consume(std::string_view(input).substr(0, split));
        parts.engine.consume(std::string_view(input).substr(split));
        EXPECT_EQ(shown(parts.engine), shown(whole.engine)) << "split at " << split;
    }
    // And byte by byte.
    enginetest::SizedEngine bytes{5, 80};
    for (const char b : input) {
        bytes.engine.consume(std::string_view(&b, 1));
    }
    EXPECT_EQ(shown(bytes.engine), shown(whole.engine));
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8SplitTest,
                         ::testing::Values("a\xc3\xa9z", "\xce\xb1\xce\xb2\xce\xb3",
                                           "x\xe4\xb8\xad\xe6\x96\x87y", "\xf0\x9f\x98\x80\xf0\x9f\x9a\x80",
                                           "\xe2\x82"
                                           "A\xc3",
                                           "\x61\xf1\x80\x80\xe1\x80\xc2\x62\x80\x63\x80\xbf\x64",
                                           // the bounds of the second byte, both sides of each
                                           "\xe0\x9f\x80\xe0\xa0\x80\xed\xa0\x80\xed\x9f\xbf\xc2\x7f",
                                           "\xf0\x8f\xbf\xbf\xf0\x90\x80\x80\xf4\x90\x80\x80\xf4\x8f\xbf\xbf",
                                           "\xc0\x80\xc1\xbf\xc2\x80\xdf\xbf\xf5\x80\xef\xbf\xbf"));

TEST(Utf8EngineTest, ExpectedTextForSplitCharacters)
{
    enginetest::SizedEngine sized{5, 80};
    TerminalEngine& e = sized.engine;
    e.consume("caf\xc3");
    EXPECT_EQ(e.cursorColumn(), 3) << "the first byte waits for the next chunk";
    e.consume("\xa9!");
    EXPECT_EQ(shown(e), U"caf\u00e9!");
}

TEST(Utf8EngineTest, LoneC1ByteIsReplacementButEncodedCsiStartsASequence)
{
    enginetest::SizedEngine sized{5, 80};
    TerminalEngine& e = sized.engine;
    e.consume("\x9b"
              "5C");
    EXPECT_EQ(shown(e), U"\uFFFD5C");
    e.consume("\r\xc2");
    e.consume("\x9b"
              "7C");
    EXPECT_EQ(e.cursorColumn(), 7);
    e.consume("\r\xc2\x9b"
              "4Cx");
    EXPECT_EQ(e.cursorColumn(), 5) << "also when it arrives whole";
}

TEST(Utf8EngineTest, InvalidBytesInsideControlSequencesAreCollectedAsReplacements)
{
    enginetest::SizedEngine sized{5, 80};
    TerminalEngine& e = sized.engine;
    e.consume("\x1b[1\xff");
    EXPECT_EQ(shown(e), U"") << "the replacement is collected, not printed";
    e.consume("2C");
    EXPECT_EQ(e.cursorColumn(), 1) << "the spoilt piece counts as 0";
}

TEST(Utf8EngineTest, EscapeAfterATruncatedCharacterStillActs)
{
    enginetest::SizedEngine sized{5, 80};
    TerminalEngine& e = sized.engine;
    e.consume("\xe2\x82\x1b[31mr");
    EXPECT_EQ(e.row(0)[0].character, U'\uFFFD');
    EXPECT_EQ(enginetest::fg(e, e.row(0)[1]), TerminalEngine::ansiColor(1, false));
}

} // namespace

// Mixed text (accented, CJK, four-byte and ASCII characters, colours, invalid bytes, controls) at a
// width where it wraps and scrolls: one chunk, which takes whole characters a row at a time, and byte
// by byte, which takes every scalar through the decoder, leave the same cells, colours and cursor.
TEST(Utf8EngineTest, WholeCharactersInOneChunkWriteWhatTheDecoderWould)
{
    std::string input;
    const char* pieces[] = {"\xc3\xa9", "a",        "\xe4\xb8\xad", "bc",           "\xf0\x9f\x98\x80",
                            " ",        "\xce\xa9", "\x1b[31m",     "\xe6\x96\x87", "\r\n",
                            "\xc3",     "z",
                            "\u009b2C", // CSI as C2 9B
                            "\x80",     "\t",       "\x1b[0m"};
    for (int i = 0; i < 400; ++i) {
        input += pieces[(i * 7 + i / 3) % std::size(pieces)];
    }
    for (const int columns : {7, 10, 13}) {
        enginetest::SizedEngine whole{4, columns};
        whole.engine.consume(input);
        enginetest::SizedEngine bytes{4, columns};
        for (const char b : input) {
            bytes.engine.consume(std::string_view(&b, 1));
        }
        // A last character shows whether a wrap was pending.
        whole.engine.consume("#");
        bytes.engine.consume("#");
        SCOPED_TRACE(testing::Message() << columns << " columns");
        enginetest::expectSameState(whole.engine, bytes.engine);
    }
}

// The edges of every length (smallest and largest scalar, overlong forms, surrogates, past
// U+10FFFF, stray and surplus continuation bytes, leads that never lead) between whole characters,
// far enough from the chunk's end that the fast path reads them as one word: the same state as the
// decoder's byte by byte.
TEST(Utf8EngineTest, EdgeFormsInsideAChunkWriteWhatTheDecoderWould)
{
    const char* forms[] = {"\xc2\x80",
                           "\xdf\xbf",
                           "\xc1\xbf",
                           "\xc0\x80",
                           "\xe0\xa0\x80",
                           "\xe0\x9f\xbf",
                           "\xed\x9f\xbf",
                           "\xed\xa0\x80",
                           "\xed\xbf\xbf",
                           "\xee\x80\x80",
                           "\xef\xbf\xbf",
                           "\xf0\x90\x80\x80",
                           "\xf0\x8f\xbf\xbf",
                           "\xf4\x8f\xbf\xbf",
                           "\xf4\x90\x80\x80",
                           "\xf5\x80\x80\x80",
                           "\xff",
                           "\xc3\xa9\xa9",
                           "\xe4\xb8",
                           "\xe4\xb8\xad\x80",
                           "\xf0\x9f\x98",
                           "\u009b1C", // CSI as C2 9B
                           "\xc2\x7f",
                           "\x7f"};
    for (const char* form : forms) {
        const std::string f = form;
        const std::string input =
            "\xc3\xa9" + f + "\xe4\xb8\xad" + f + "q" + f + "rs\xce\xa9" + f + "\xe6\x96\x87tuvw";
        enginetest::SizedEngine whole{3, 9};
        whole.engine.consume(input);
        enginetest::SizedEngine bytes{3, 9};
        for (const char b : input) {
            bytes.engine.consume(std::string_view(&b, 1));
        }
        whole.engine.consume("#");
        bytes.engine.consume("#");
        SCOPED_TRACE(testing::Message() << "form " << testing::PrintToString(f));
        enginetest::expectSameState(whole.engine, bytes.engine);
    }
}
