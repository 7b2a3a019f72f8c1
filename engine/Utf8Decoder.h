// Incremental UTF-8 decoder with carry-over between chunks: a multi-byte character split across two
// reads is completed by the second one, and invalid input becomes U+FFFD per maximal subpart.
#pragma once

#include <cstdint>

class Utf8Decoder {
public:
    static constexpr char32_t replacementCharacter = U'\uFFFD';

    // True when no multi-byte character is in progress, so an ASCII byte is a scalar by itself.
    bool idle() const { return needed_ == 0; }

    // Feeds one byte and writes the scalars it completes (0, 1 or 2) to out; returns their number.
    // A byte that cannot continue the character in progress ends it with one U+FFFD and is then
    // decoded afresh, as the Unicode standard's "maximal subpart" practice (section 3.9) asks.
    int feed(std::uint8_t byte, char32_t* out)
    {
        int produced = 0;
        if (needed_ != 0) {
            if (byte >= lower_ && byte <= upper_) {
                partial_ = (partial_ << 6) | (byte & 0x3Fu);
                lower_ = 0x80;
                upper_ = 0xBF;
                if (--needed_ == 0) {
                    out[0] = partial_;
                    return 1;
                }
                return 0;
            }
            needed_ = 0;
            out[produced++] = replacementCharacter;
        }
        if (byte < 0x80) {
            out[produced++] = byte;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            start(1, byte & 0x1Fu, 0x80, 0xBF);
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            // E0 excludes overlong forms, ED excludes the UTF-16 surrogates.
            start(2, byte & 0x0Fu, byte == 0xE0 ? 0xA0 : 0x80, byte == 0xED ? 0x9F : 0xBF);
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            // F0 excludes overlong forms, F4 stops at U+10FFFF.
            start(3, byte & 0x07u, byte == 0xF0 ? 0x90 : 0x80, byte == 0xF4 ? 0x8F : 0xBF);
        } else {
            out[produced++] = replacementCharacter; // 80..BF alone, C0, C1, F5..FF
        }
        return produced;
    }

    // Ends the input: a character still in progress becomes one U+FFFD. Returns whether it did.
    bool finish()
    {
        const bool wasPending = needed_ != 0;
        needed_ = 0;
        return wasPending;
    }

private:
    void start(int needed, char32_t bits, std::uint8_t lower, std::uint8_t upper)
    {
        needed_ = static_cast<std::uint8_t>(needed);
        partial_ = bits;
        lower_ = lower;
        upper_ = upper;
    }

    char32_t partial_ = 0;
    std::uint8_t needed_ = 0;
    std::uint8_t lower_ = 0x80;
    std::uint8_t upper_ = 0xBF;
};
