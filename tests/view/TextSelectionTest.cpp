// Selection rules: words, rows, everything, and the copied text (rows joined by "\n", padding
// blanks at row ends left out).
#include "view/TextSelection.h"

#include "engine/ScreenReader.h"
#include "engine/TerminalEngine.h"

#include <gtest/gtest.h>

namespace {

class TextSelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.resizeGrid(4, 30);
        engine.consume("cat ~/notes/a-b.txt; echo\r\n  second row\r\n\xe4\xb8\xad\xe6\x96\x87 text");
    }
    TerminalEngine engine;
    ScreenReader screen{engine};
};

TEST_F(TextSelectionTest, DoubleClickTakesAWholePathAsOneWord)
{
    const TextSelection word = TextSelectionRules::wordAt(screen, {0, 8});
    EXPECT_EQ(word.start(), (TextPosition{0, 4}));
    EXPECT_EQ(word.end(), (TextPosition{0, 19}));
    EXPECT_EQ(TextSelectionRules::text(screen, word), "~/notes/a-b.txt");
    // Punctuation alone is its own word; a blank run is selected as blanks.
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelectionRules::wordAt(screen, {0, 19})), ";");
    EXPECT_EQ(TextSelectionRules::wordAt(screen, {1, 0}).end(), (TextPosition{1, 2}));
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelectionRules::wordAt(screen, {2, 1})),
              "\xe4\xb8\xad\xe6\x96\x87");
}

TEST_F(TextSelectionTest, RowsJoinWithLineFeedsWithoutTrailingPadding)
{
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelectionRules::rowAt(screen, 1)), "  second row");
    const TextSelection span{{0, 21}, {1, 8}};
    EXPECT_EQ(TextSelectionRules::text(screen, span), "echo\n  second");
    // A drag that ends in a row's blank tail leaves the blanks out; blanks inside the text stay.
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelection{{1, 0}, {1, 20}}), "  second row");
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelection{{0, 20}, {1, 25}}), " echo\n  second row");
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelection{{1, 8}, {1, 10}}), " r");
    // Backwards drags select the same text.
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelection{{1, 8}, {0, 21}}), "echo\n  second");
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelectionRules::all(screen)),
              "cat ~/notes/a-b.txt; echo\n  second row\n\xe4\xb8\xad\xe6\x96\x87 text\n");
}

TEST_F(TextSelectionTest, AWrappedLineCopiesAsOneLine)
{
    // 28 columns of text and a wide character that does not fit: the row wraps, its last cell blank.
    engine.consume("\r\n" + std::string(24, 'a') +
                   "   b\xe4\xb8\xad"
                   "c\r\nnext");
    const TextSelection both{{3, 0}, {5, 4}};
    EXPECT_EQ(TextSelectionRules::text(screen, both), std::string(24, 'a') + "   b\xe4\xb8\xad"
                                                                             "c\nnext");
}

TEST_F(TextSelectionTest, PositionsOutsideTheGridAreHarmless)
{
    EXPECT_TRUE(TextSelectionRules::wordAt(screen, {99, 3}).isEmpty());
    EXPECT_EQ(TextSelectionRules::text(screen, TextSelection{{-3, -1}, {99, 99}}).substr(0, 3), "cat");
    EXPECT_TRUE(TextSelectionRules::rowAt(screen, -1).isEmpty());
}

} // namespace
