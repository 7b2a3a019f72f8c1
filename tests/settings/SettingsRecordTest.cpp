// The settings record's defaults, the two enumerations' raw values, order and exact lookup, and the
// history limit the scrollback fields stand for.
#include "settings/VitrionSettings.h"

#include <gtest/gtest.h>

TEST(SettingsRecordTest, DefaultsAreTheDocumentedOnes)
{
    const VitrionSettings settings;
    EXPECT_EQ(settings.configurationVersion, 2);
    EXPECT_EQ(settings.opacity, 1.0);
    EXPECT_EQ(settings.blur, 0.72);
    EXPECT_EQ(settings.tintRed, 0.11);
    EXPECT_EQ(settings.textBlue, 0.96);
    EXPECT_EQ(settings.material, GlassMaterial::hud);
    EXPECT_EQ(settings.fontName, "Menlo");
    EXPECT_EQ(settings.lineSpacing, 1.15);
    EXPECT_EQ(settings.cursorStyle, TerminalCursorStyle::block);
    EXPECT_EQ(settings.shell, "Default");
    EXPECT_FALSE(settings.closeOnShellExit);
    EXPECT_TRUE(settings.allowClipboardWrites);
    EXPECT_EQ(settings.historyLimit(), (HistoryLimit{2000, std::size_t(512) << 20}));
}

TEST(SettingsRecordTest, HistoryLimitKeepsBothBoundsAndClampsStrayValues)
{
    struct Case {
        qint64 lines;
        bool unlimited;
        qint64 megabytes;
        HistoryLimit expected;
    };
    constexpr std::size_t megabyte = 1 << 20;
    const Case cases[] = {
        {7, false, 16, {7, 16 * megabyte}},
        {0, false, 512, {0, 512 * megabyte}},
        {7, true, 1024, {HistoryLimit::unlimitedLines, 1024 * megabyte}}, // the count is kept, unused
        {-1, false, 0, {0, 16 * megabyte}},
        {5'000'000, false, qint64(1) << 40, {1'000'000, 65536 * megabyte}},
        {1, true, -7, {HistoryLimit::unlimitedLines, 16 * megabyte}},
    };
    for (const Case& c : cases) {
        VitrionSettings settings;
        settings.scrollbackLines = c.lines;
        settings.scrollbackUnlimited = c.unlimited;
        settings.scrollbackMegabytes = c.megabytes;
        EXPECT_EQ(settings.historyLimit(), c.expected) << c.lines << " " << c.unlimited << " " << c.megabytes;
    }
}

TEST(SettingsRecordTest, EnumerationsListTheirCasesInOrderWithTheirRawValues)
{
    QStringList materials;
    for (GlassMaterial material : allGlassMaterials()) {
        materials << rawValue(material);
    }
    EXPECT_EQ(materials, (QStringList{"HUD", "Sidebar", "Menu", "Popover", "Content"}));
    QStringList styles;
    for (TerminalCursorStyle style : allCursorStyles()) {
        styles << rawValue(style);
    }
    EXPECT_EQ(styles, (QStringList{"Block", "Beam", "Underline"}));
}

TEST(SettingsRecordTest, RawValueLookupIsExactAndCaseSensitive)
{
    EXPECT_EQ(glassMaterialFromRawValue("Popover"), GlassMaterial::popover);
    EXPECT_EQ(cursorStyleFromRawValue("Underline"), TerminalCursorStyle::underline);
    for (const char* text : {"hud", "HUD ", " HUD", "", "Hud", "block"}) {
        EXPECT_FALSE(glassMaterialFromRawValue(text).has_value()) << text;
        EXPECT_FALSE(cursorStyleFromRawValue(text).has_value()) << text;
    }
}
