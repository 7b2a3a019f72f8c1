// The contrast rule text is drawn by: ratios as the guidelines define them, colours that already
// reach the minimum kept exactly, the others moved just far enough, and the memo of pairs.
#include "view/MinimumContrast.h"

#include <gtest/gtest.h>

TEST(MinimumContrastTest, RatiosAreTheGuidelinesOwn)
{
    EXPECT_NEAR(MinimumContrast::ratio(qRgb(0, 0, 0), qRgb(255, 255, 255)), 21.0, 1e-9);
    EXPECT_NEAR(MinimumContrast::ratio(qRgb(255, 255, 255), qRgb(0, 0, 0)), 21.0, 1e-9);
    EXPECT_NEAR(MinimumContrast::ratio(qRgb(0x77, 0x77, 0x77), qRgb(255, 255, 255)), 4.48, 0.01);
    EXPECT_NEAR(MinimumContrast::ratio(qRgb(0, 0, 255), qRgb(0, 0, 0)), 2.44, 0.01);
    EXPECT_EQ(MinimumContrast::ratio(qRgb(9, 80, 200), qRgb(9, 80, 200)), 1.0);
}

TEST(MinimumContrastTest, TextIsMovedJustFarEnoughAndOnlyWhenItMustBe)
{
    const struct {
        const char* what;
        QRgb text;
        QRgb background;
        double minimum;
    } cases[] = {
        {"blue on black glass", qRgb(0, 0, 255), qRgb(0, 0, 0), 4.5},
        {"dark grey on black", qRgb(0x55, 0x55, 0x55), qRgb(0x10, 0x10, 0x10), 4.5},
        {"yellow on a light scheme", qRgb(0xb5, 0x89, 0x00), qRgb(0xfd, 0xf6, 0xe3), 4.5},
        {"white on white", qRgb(255, 255, 255), qRgb(255, 255, 255), 4.5},
        {"light grey on mid grey, toward black", qRgb(0x90, 0x90, 0x90), qRgb(0x80, 0x80, 0x80), 3.0},
        {"saturated red on a tinted glass", qRgb(0xff, 0x45, 0x3a), qRgb(0x1c, 0x26, 0x36), 7.0},
        {"already legible", qRgb(0xeb, 0xed, 0xf5), qRgb(0x1c, 0x26, 0x36), 4.5},
        {"half transparent (faint)", qRgba(0, 0, 200, 128), qRgb(0, 0, 0), 4.5},
    };
    for (const auto& c : cases) {
        const QRgb drawn = MinimumContrast::legible(c.text, c.background, c.minimum);
        const double before = MinimumContrast::ratio(c.text, c.background);
        const double after = MinimumContrast::ratio(drawn, c.background);
        EXPECT_GE(after, c.minimum) << c.what;
        EXPECT_EQ(qAlpha(drawn), qAlpha(c.text)) << c.what;
        if (before >= c.minimum) {
            EXPECT_EQ(drawn, c.text) << c.what << ": drawn exactly";
        } else {
            // Just far enough: the minimum is met with little to spare (a step is a few thousandths).
            EXPECT_LT(after, c.minimum * 1.1) << c.what;
        }
    }
    // Out of reach: a mid grey allows at most about 4.7 either way; the more legible end is taken.
    EXPECT_EQ(MinimumContrast::legible(qRgb(0x70, 0x70, 0x70), qRgb(0x77, 0x77, 0x77), 7.0), qRgb(0, 0, 0));
    // Off changes nothing.
    EXPECT_EQ(MinimumContrast::legible(qRgb(0, 0, 1), qRgb(0, 0, 0), MinimumContrast::off), qRgb(0, 0, 1));
}

TEST(MinimumContrastTest, TheMemoAnswersAsTheRuleAndForgetsOnANewMinimum)
{
    ContrastMemo memo;
    EXPECT_FALSE(memo.active());
    EXPECT_EQ(memo.legible(qRgb(0, 0, 255), qRgb(0, 0, 0)), qRgb(0, 0, 255));
    memo.setMinimum(4.5);
    const QRgb first = memo.legible(qRgb(0, 0, 255), qRgb(0, 0, 0));
    EXPECT_EQ(first, MinimumContrast::legible(qRgb(0, 0, 255), qRgb(0, 0, 0), 4.5));
    EXPECT_EQ(memo.legible(qRgb(0, 0, 255), qRgb(0, 0, 0)), first);
    memo.setMinimum(7);
    EXPECT_GE(MinimumContrast::ratio(memo.legible(qRgb(0, 0, 255), qRgb(0, 0, 0)), qRgb(0, 0, 0)), 7.0);
    for (double nonsense : {-3.0, 0.0, std::nan(""), 1e9}) {
        memo.setMinimum(nonsense);
        EXPECT_GE(memo.minimum(), MinimumContrast::off);
        EXPECT_LE(memo.minimum(), 21.0);
    }
}
