// Selection rules over the engine's rows. A word is a run of letters, digits and the punctuation
// that paths and addresses are made of, so a double click takes a whole file name or URL.
#include "TextSelection.h"

#include "engine/ScreenReader.h"
#include "engine/Utf8Encoder.h"

#include <algorithm>
#include <string_view>

namespace TextSelectionRules {
namespace {

bool isWordCharacter(char32_t c)
{
    if (c > 0x7f) {
        return c != 0xa0; // letters of other scripts; not the no-break space
    }
    if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9')) {
        return true;
    }
    return std::u32string_view(U"_-./~:@%+#=?&").find(c) != std::u32string_view::npos;
}

enum class CharacterClass { blank, word, other };

CharacterClass classOf(char32_t c)
{
    if (c == U' ') {
        return CharacterClass::blank;
    }
    return isWordCharacter(c) ? CharacterClass::word : CharacterClass::other;
}

int lastRow(const ScreenReader& engine)
{
    return static_cast<int>(engine.rowCount()) - 1;
}

} // namespace

TextSelection wordAt(const ScreenReader& engine, TextPosition cell)
{
    if (cell.row < 0 || cell.row > lastRow(engine)) {
        return {cell, cell};
    }
    const auto row = engine.row(static_cast<std::size_t>(cell.row));
    const int width = static_cast<int>(row.size());
    if (width == 0) {
        return {cell, cell};
    }
    const int column = std::clamp(cell.column, 0, width - 1);
    // A wide character's second cell belongs to its first; a character with marks counts as its base.
    const auto classAt = [&](int c) {
        if (c > 0 && (row[static_cast<std::size_t>(c)].style.flags & CellFlags::wideTail)) {
            --c;
        }
        const std::u32string_view text = engine.cellText(row[static_cast<std::size_t>(c)]);
        return text.empty() ? CharacterClass::blank : classOf(text.front());
    };
    const CharacterClass kind = classAt(column);
    int from = column;
    while (from > 0 && classAt(from - 1) == kind) {
        --from;
    }
    int to = column + 1;
    if (kind != CharacterClass::other) {
        while (to < width && classAt(to) == kind) {
            ++to;
        }
    } else {
        from = column;
    }
    return {{cell.row, from}, {cell.row, to}};
}

TextSelection rowAt(const ScreenReader& engine, int row)
{
    if (row < 0 || row > lastRow(engine)) {
        return {};
    }
    const int width = static_cast<int>(engine.row(static_cast<std::size_t>(row)).size());
    return {{row, 0}, {row, width}};
}

TextSelection all(const ScreenReader& engine)
{
    const int last = lastRow(engine);
    if (last < 0) {
        return {};
    }
    return {{0, 0}, {last, static_cast<int>(engine.row(static_cast<std::size_t>(last)).size())}};
}

std::string text(const ScreenReader& engine, TextSelection selection)
{
    std::string out;
    const TextPosition start = selection.start();
    const TextPosition end = selection.end();
    const int last = std::min(end.row, lastRow(engine));
    for (int r = std::max(start.row, 0); r <= last; ++r) {
        const auto row = engine.row(static_cast<std::size_t>(r));
        const int width = static_cast<int>(row.size());
        const int from = r == start.row ? std::clamp(start.column, 0, width) : 0;
        int to = r == end.row ? std::clamp(end.column, 0, width) : width;
        // A selection that ends in the row's blank tail (at the row's end or short of it) copies
        // the text without the blanks after it.
        const auto blankFrom = [&row](int column) {
            for (auto c = static_cast<std::size_t>(column); c < row.size(); ++c) {
                if (row[c].character != U' ') {
                    return false;
                }
            }
            return true;
        };
        // A row that wrapped goes on in the next one: its blanks are text and no line break
        // follows (the blank a wide character left at its end aside).
        const bool wrapped = r < last && engine.rowWrapped(static_cast<std::size_t>(r));
        if (wrapped) {
            const auto next = engine.row(static_cast<std::size_t>(r + 1));
            if (to == width && to > from && row[static_cast<std::size_t>(to - 1)].character == U' ' &&
                !next.empty() && (next[0].style.flags & CellFlags::wideHead)) {
                --to;
            }
        } else if (blankFrom(to)) {
            while (to > from && row[static_cast<std::size_t>(to - 1)].character == U' ') {
                --to;
            }
        }
        for (int c = from; c < to; ++c) {
            for (const char32_t scalar : engine.cellText(row[static_cast<std::size_t>(c)])) {
                appendUtf8(out, scalar);
            }
        }
        if (r < end.row && r < last && !wrapped) {
            out += '\n';
        }
    }
    return out;
}

} // namespace TextSelectionRules
