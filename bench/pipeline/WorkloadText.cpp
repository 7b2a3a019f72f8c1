// The generators draw from one SplitMix64 stream each, seeded with a constant.
#include "WorkloadText.h"

#include "engine/Utf8Encoder.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    int between(int low, int high)
    {
        return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
    }

private:
    std::uint64_t state_;
};

char printable(SplitMix64& random)
{
    return static_cast<char>(random.between('!', '~'));
}

void appendNumber(std::string& out, int value)
{
    out += std::to_string(value);
}

// "38;2;r;g;b" with each component in [lowest, 255].
void appendTrueColour(std::string& out, SplitMix64& random, int lowest)
{
    out += "38;2;";
    for (int component = 0; component < 3; ++component) {
        if (component > 0) {
            out += ';';
        }
        appendNumber(out, random.between(lowest, 255));
    }
}

void appendRendition(std::string& out, SplitMix64& random)
{
    out += "\033[";
    switch (random.between(0, 6)) {
    case 0: // 16 colours
        appendNumber(out, random.between(30, 37));
        break;
    case 1: // bright
        appendNumber(out, random.between(90, 97));
        break;
    case 2: // 256 colours
        out += "38;5;";
        appendNumber(out, random.between(0, 255));
        break;
    case 3: // 24-bit
        appendTrueColour(out, random, 0);
        break;
    case 4: // bold with a colour
        out += "1;";
        appendNumber(out, random.between(30, 37));
        break;
    case 5: // background and foreground
        appendNumber(out, random.between(40, 47));
        out += ';';
        appendNumber(out, random.between(30, 37));
        break;
    default:
        out += '0';
        break;
    }
    out += 'm';
}

} // namespace

namespace WorkloadText {

std::string dense(std::size_t bytes)
{
    SplitMix64 random(0x5EED0001);
    std::string out;
    out.reserve(bytes + 256);
    while (out.size() < bytes) {
        const int length = random.between(40, 200);
        int written = 0;
        while (written < length) {
            const int word = std::min(random.between(1, 10), length - written);
            for (int i = 0; i < word; ++i) {
                out += printable(random);
            }
            written += word;
            if (written < length) {
                out += ' ';
                ++written;
            }
        }
        out += '\n';
    }
    out.resize(bytes);
    out.back() = '\n';
    return out;
}

std::string utf8(std::size_t bytes)
{
    static const char32_t alphabet[] =
        U"àéîõüçñßøåæœÀÉÎÕÜαβγδεζηθλμπσφψωΑΒΓΔΩ漢字仮名交文書語日本中国한국어abcdefghij";
    constexpr int letters = static_cast<int>(std::size(alphabet)) - 1;
    SplitMix64 random(0x5EED0004);
    std::string out;
    out.reserve(bytes + 512);
    while (out.size() < bytes) {
        for (int i = 0; i < 80; ++i) {
            appendUtf8(out, alphabet[random.between(0, letters - 1)]);
        }
        out += '\n';
    }
    // Cut at a line's end so that no character is split.
    out.resize(out.rfind('\n', bytes) + 1);
    return out;
}

std::string sgrHeavy(std::size_t bytes)
{
    SplitMix64 random(0x5EED0002);
    const std::string reset = "\033[0m\n";
    std::string out;
    out.reserve(bytes + 256);
    int lineLength = random.between(40, 200);
    int visible = 0;
    constexpr std::size_t longestStep = 64; // two renditions, a word and its separator
    while (out.size() + reset.size() + longestStep < bytes) {
        appendRendition(out, random);
        if (random.between(0, 3) == 0) {
            appendRendition(out, random);
        }
        const int word = random.between(1, 8);
        for (int i = 0; i < word; ++i) {
            out += printable(random);
        }
        visible += word;
        if (visible >= lineLength) {
            out += '\n';
            visible = 0;
            lineLength = random.between(40, 200);
        } else {
            out += ' ';
            ++visible;
        }
    }
    out.resize(bytes - reset.size(), ' ');
    out += reset;
    return out;
}

std::string colouredScreen(int rows, int columns, Colours colours)
{
    SplitMix64 random(0x5EED0003);
    std::string out;
    for (int row = 0; row < rows; ++row) {
        int column = 0;
        while (column < columns) {
            if (colours == Colours::palette) {
                out += "\033[38;5;";
                appendNumber(out, random.between(1, 255));
                out += 'm';
            } else if (colours == Colours::backgrounds) {
                out += "\033[0;38;5;";
                appendNumber(out, random.between(1, 255));
                const int kind = random.between(0, 3);
                if (kind < 2) {
                    out += ";48;5;";
                    appendNumber(out, random.between(1, 255));
                } else if (kind == 2) {
                    out += ";7";
                }
                out += 'm';
            } else {
                out += "\033[";
                appendTrueColour(out, random, 64);
                out += 'm';
            }
            const int run = std::min(random.between(1, 6), columns - column);
            for (int i = 0; i < run; ++i) {
                out += printable(random);
            }
            column += run;
        }
        if (row + 1 < rows) {
            out += "\r\n";
        }
    }
    return out;
}

bool writeFile(const std::string& path, const std::string& contents)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return static_cast<bool>(file);
}

} // namespace WorkloadText
