// Cell widths: the table agrees with the C library's wcwidth() for every scalar it has an opinion
// on, and the cases the grid depends on most come out right.
#include "engine/CharacterWidth.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Switches to C.UTF-8 for one test and back, so other suites in this binary keep the C locale.
class Utf8Locale {
public:
    Utf8Locale() : previous_(std::setlocale(LC_ALL, nullptr)) { active_ = std::setlocale(LC_ALL, "C.UTF-8"); }
    ~Utf8Locale() { std::setlocale(LC_ALL, previous_.c_str()); }
    bool active() const { return active_ != nullptr; }

private:
    std::string previous_;
    const char* active_ = nullptr;
};

std::string codePoint(char32_t scalar)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(scalar));
    return text;
}

TEST(CharacterWidthTest, MatchesTheCLibraryForEveryPrintableScalar)
{
    const Utf8Locale locale;
    ASSERT_TRUE(locale.active()) << "the C.UTF-8 locale is not available";

    int compared = 0;
    int mismatches = 0;
    std::string firstMismatches;
    for (char32_t scalar = 0; scalar <= 0x10FFFF; ++scalar) {
        const bool surrogate = scalar >= 0xD800 && scalar <= 0xDFFF;
        // Controls are one cell by our rule (the C library gives NUL 0); the interpreter never asks.
        const bool control = scalar < 0x20 || (scalar >= 0x7F && scalar <= 0x9F);
        const int expected = surrogate || control ? -1 : wcwidth(static_cast<wchar_t>(scalar));
        if (expected < 0) {
            continue;
        }
        ++compared;
        const int actual = characterWidth(scalar);
        if (actual != expected && ++mismatches <= 8) {
            firstMismatches += " " + codePoint(scalar) + ": " + std::to_string(actual) + " (C library " +
                               std::to_string(expected) + ")";
        }
    }
    // A locale whose wcwidth() knows nothing would leave almost nothing compared.
    EXPECT_GT(compared, 250000);
    EXPECT_EQ(mismatches, 0) << "first mismatches:" << firstMismatches;
}

TEST(CharacterWidthTest, WellKnownScalars)
{
    const struct {
        char32_t scalar;
        int width;
    } cases[] = {
        {U'A', 1},        {0x00E9, 1},     {0x02FF, 1},     {0x0300, 0},     {0x0301, 0},
        {0x0000, 1},      {0x0085, 1},     {0x1160, 0},     {0x11FF, 0},     {0x200B, 0},
        {0x200D, 0},      {0x4E2D, 2},     {0xAC00, 2},     {0xFE0F, 0},     {0xFF21, 2},
        {0xFF61, 1},      {0x1F600, 2},    {0x20000, 2},    {0xE0100, 0},    {0xE01EF, 0},
        {0xE01F0, 1},     {0x10FFFF, 1},   {0x110000, 1},   {0xFFFFFFFF, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(characterWidth(c.scalar), c.width) << codePoint(c.scalar);
    }
}

} // namespace
