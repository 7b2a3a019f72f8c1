// The settings record's defaults and the two enumerations' raw values, order and exact lookup.
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
