// The benchmark's input generators, driven by a fixed-seed xorshift so that the bytes never change.
#include "EngineWorkloads.h"

#include "engine/Utf8Encoder.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

class Random {
public:
    std::uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 11);
    }
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint32_t>(bound)); }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15u;
};

void appendNumber(std::string& out, int value)
{
    out += std::to_string(value);
}

// Mostly letters and digits, a space about every sixth character.
char textCharacter(Random& random)
{
    if (random.below(6) == 0) {
        return ' ';
    }
    return static_cast<char>(0x21 + random.below(0x7E - 0x21 + 1));
}

// One line of `columns` visible characters with a colour change before every 4 of them.
template <typename Colour> void colouredLine(std::string& out, Random& random, int columns, Colour colour)
{
    for (int column = 0; column < columns; ++column) {
        if (column % 4 == 0) {
            colour(out, random);
        }
        out += textCharacter(random);
    }
    out += "\r\n";
}

constexpr std::array<char32_t, 12> accented{U'é', U'è', U'à', U'ü', U'ö', U'ñ',
                                            U'ç', U'ø', U'å', U'ß', U'ł', U'ő'};

char32_t utf8Character(Random& random)
{
    switch (random.below(4)) {
    case 0:
        return accented[static_cast<std::size_t>(random.below(accented.size()))];
    case 1:
        return U'α' + static_cast<char32_t>(random.below(25)); // Greek small letters
    case 2:
        return U'\u4E00' + static_cast<char32_t>(random.below(0x5000)); // CJK unified ideographs
    default:
        return random.below(3) == 0 ? U' ' : U'a' + static_cast<char32_t>(random.below(26));
    }
}

void cursorFrame(std::string& out, Random& random, int rows, int columns)
{
    for (int row = 1; row <= rows; ++row) {
        const int fields = 1 + random.below(4);
        for (int field = 0; field < fields; ++field) {
            out += "\x1b[";
            appendNumber(out, row);
            out += ';';
            appendNumber(out, 1 + random.below(columns));
            out += 'H';
            const int length = 1 + random.below(8);
            for (int i = 0; i < length; ++i) {
                out += textCharacter(random);
            }
            if (random.below(4) == 0) {
                out += "\x1b[K";
            }
        }
    }
}

void cursorTo(std::string& out, int row, int column)
{
    out += "\x1b[";
    appendNumber(out, row);
    out += ';';
    appendNumber(out, column);
    out += 'H';
}

void textRun(std::string& out, Random& random, int length)
{
    for (int i = 0; i < length; ++i) {
        out += textCharacter(random);
    }
}

// A pager or an editor scrolling a window that keeps its title and status rows: 32 lines at the
// bottom margin of the region between them.
void regionLines(std::string& out, Random& random, int rows, int columns)
{
    out += "\x1b[2;";
    appendNumber(out, rows - 1);
    out += 'r';
    cursorTo(out, rows - 1, 1);
    for (int line = 0; line < 32; ++line) {
        textRun(out, random, columns - 1 - random.below(columns / 2));
        out += "\r\n";
    }
    out += "\x1b[r";
}

// An editor opening and deleting lines: IL or DL of 1-3 lines somewhere on the screen, then the
// opened line written.
void lineEdit(std::string& out, Random& random, int rows, int columns)
{
    cursorTo(out, 1 + random.below(rows), 1);
    out += "\x1b[";
    appendNumber(out, 1 + random.below(3));
    out += random.below(2) == 0 ? 'L' : 'M';
    textRun(out, random, 1 + random.below(columns - 1));
}

// A process monitor's screen: per row a few fields, each with its own background (palette or
// 256-colour) and foreground, an inverse selection bar, and the rest of the row erased in colour.
void backgroundFrame(std::string& out, Random& random, int rows, int columns)
{
    const int bar = 1 + random.below(rows);
    for (int row = 1; row <= rows; ++row) {
        cursorTo(out, row, 1);
        if (row == bar) {
            out += "\x1b[7m";
            textRun(out, random, columns);
            out += "\x1b[m";
            continue;
        }
        for (int field = 0, column = 0; field < 3 && column < columns; ++field) {
            const int length = std::min(columns - column, 4 + random.below(12));
            out += random.below(2) == 0 ? "\x1b[4" : "\x1b[48;5;";
            appendNumber(out, random.below(8));
            out += ";3";
            appendNumber(out, random.below(8));
            out += 'm';
            textRun(out, random, length);
            column += length;
        }
        out += "\x1b[44m\x1b[K\x1b[m";
    }
}

void screenSwitch(std::string& out, Random& random, int rows, int columns)
{
    out += "\x1b[?1049h\x1b[H\x1b[2J";
    for (int row = 1; row <= rows; ++row) {
        cursorTo(out, row, 1);
        textRun(out, random, columns / 2);
    }
    out += "\x1b[?1049l";
}

} // namespace

std::string_view workloadName(EngineWorkload workload)
{
    switch (workload) {
    case EngineWorkload::denseAscii:
        return "dense_ascii";
    case EngineWorkload::sgr256:
        return "sgr_256";
    case EngineWorkload::truecolor:
        return "sgr_truecolor";
    case EngineWorkload::utf8Heavy:
        return "utf8_heavy";
    case EngineWorkload::shortLines:
        return "short_lines";
    case EngineWorkload::cursorRedraw:
        return "cursor_redraw";
    case EngineWorkload::regionScroll:
        return "region_scroll";
    case EngineWorkload::lineEditing:
        return "line_editing";
    case EngineWorkload::backgroundRedraw:
        return "background_redraw";
    case EngineWorkload::screenSwitch:
        return "screen_switch";
    }
    return "unknown";
}

std::string generateWorkload(EngineWorkload workload, int rows, int columns, std::size_t bytes)
{
    Random random;
    std::string out;
    out.reserve(bytes + 4096);
    int counter = 0;
    while (out.size() < bytes) {
        switch (workload) {
        case EngineWorkload::denseAscii:
            for (int i = 0; i < columns; ++i) {
                out += textCharacter(random);
            }
            out += "\r\n";
            break;
        case EngineWorkload::sgr256:
            colouredLine(out, random, columns, [](std::string& o, Random& r) {
                o += "\x1b[38;5;";
                appendNumber(o, r.below(256));
                o += 'm';
            });
            break;
        case EngineWorkload::truecolor:
            colouredLine(out, random, columns, [](std::string& o, Random& r) {
                o += "\x1b[38;2;";
                appendNumber(o, r.below(256));
                o += ';';
                appendNumber(o, r.below(256));
                o += ';';
                appendNumber(o, r.below(256));
                o += 'm';
            });
            break;
        case EngineWorkload::utf8Heavy:
            for (int i = 0; i < columns; ++i) {
                appendUtf8(out, utf8Character(random));
            }
            out += "\r\n";
            break;
        case EngineWorkload::shortLines:
            appendNumber(out, ++counter);
            out += "\r\n";
            break;
        case EngineWorkload::cursorRedraw:
            cursorFrame(out, random, rows, columns);
            break;
        case EngineWorkload::regionScroll:
            regionLines(out, random, rows, columns);
            break;
        case EngineWorkload::lineEditing:
            lineEdit(out, random, rows, columns);
            break;
        case EngineWorkload::backgroundRedraw:
            backgroundFrame(out, random, rows, columns);
            break;
        case EngineWorkload::screenSwitch:
            screenSwitch(out, random, rows, columns);
            break;
        }
    }
    return out;
}

std::string numberLines(int lines)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(lines) * 9);
    for (int n = 1; n <= lines; ++n) {
        appendNumber(out, n);
        out += "\r\n";
    }
    return out;
}

std::string colouredListing(int lines)
{
    static constexpr std::array<const char*, 6> owners{"root",     "alice",    "bob",
                                                       "www-data", "postgres", "build"};
    static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static constexpr std::array<const char*, 4> units{"", "k", "M", "G"};
    Random random;
    std::string out;
    out.reserve(static_cast<std::size_t>(lines) * 200);
    for (int line = 0; line < lines; ++line) {
        // Kind: 0 file, 1 directory, 2 executable, 3 link.
        const int kind = random.below(4);
        out += kind == 1 ? "\x1b[1;34md" : kind == 3 ? "\x1b[36ml" : "\x1b[90m.";
        for (int who = 0; who < 3; ++who) {
            out += random.below(4) != 0 ? "\x1b[33mr" : "\x1b[90m-";
            out += random.below(3) == 0 ? "\x1b[31mw" : "\x1b[90m-";
            out += kind != 0 && random.below(3) != 0 ? "\x1b[32mx" : "\x1b[90m-";
        }
        out += "\x1b[0m ";
        appendNumber(out, 1 + random.below(30));
        const auto* const owner = owners[static_cast<std::size_t>(random.below(owners.size()))];
        out += " \x1b[1;33m";
        out += owner;
        out += "\x1b[0m \x1b[33m";
        out += owners[static_cast<std::size_t>(random.below(owners.size()))];
        out += "\x1b[0m \x1b[1;32m";
        appendNumber(out, 1 + random.below(999));
        out += "\x1b[0;32m";
        out += units[static_cast<std::size_t>(random.below(units.size()))];
        out += "\x1b[0m \x1b[34m";
        out += months[static_cast<std::size_t>(random.below(months.size()))];
        out += ' ';
        appendNumber(out, 1 + random.below(28));
        out += ' ';
        appendNumber(out, 10 + random.below(14));
        out += ':';
        appendNumber(out, 10 + random.below(50));
        out += "\x1b[0m ";
        out += kind == 1 ? "\x1b[1;34m" : kind == 2 ? "\x1b[1;32m" : kind == 3 ? "\x1b[1;36m" : "";
        textRun(out, random, 8 + random.below(24));
        out += "\x1b[0m";
        if (kind == 3) {
            out += " -> \x1b[34m";
            textRun(out, random, 6 + random.below(12));
            out += "\x1b[0m";
        }
        out += "\r\n";
    }
    return out;
}
