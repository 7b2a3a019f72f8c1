// Executing a complete control sequence: parameters parsed, then one case per recognised final
// (ECMA-48 section 8.3 names; DECSET/DECRST 2004 from xterm's ctlseqs).
#include "CsiParameters.h"
#include "Saturating.h"
#include "TerminalEngine.h"

#include <algorithm>

void TerminalEngine::executeControlSequence()
{
    const std::u32string_view sequence = escapeBuffer_;
    const char32_t final = sequence.back();
    std::u32string_view parameterText = sequence.substr(1, sequence.size() - 2);
    const bool isPrivate = !parameterText.empty() && parameterText.front() == U'?';
    if (isPrivate) {
        parameterText.remove_prefix(1);
    }
    CsiParameters::parse<false>(parameterText.data(), parameterText.data() + parameterText.size(),
                                parameters_);
    dispatchControlSequence(final, isPrivate);
}

const std::uint8_t* TerminalEngine::executeWholeSequence(const std::uint8_t* sequence,
                                                         const std::uint8_t* end)
{
    // Only as far as the bound: a longer sequence is collected (and ignored) by the slow path.
    const std::uint8_t* const limit =
        sequence + std::min(end - sequence, static_cast<std::ptrdiff_t>(escapeBufferLimit) + 1);
    const std::uint8_t* parameters = sequence + 2; // after ESC [
    const bool isPrivate = *parameters == '?';
    const std::uint8_t* const final =
        CsiParameters::parse<true>(parameters + (isPrivate ? 1 : 0), limit, parameters_);
    if (final == limit || *final > 0x7E) {
        return nullptr;
    }
    dispatchControlSequence(*final, isPrivate);
    return final + 1;
}

[[gnu::always_inline]] inline void TerminalEngine::dispatchControlSequence(char32_t final, bool isPrivate)
{
    const std::span<const std::int64_t> values = parameters_.values();
    // The count or first position (0 means 1), the second position likewise, each read only by the
    // cases that use it.
    const auto n = [&] { return values[0] != 0 ? values[0] : 1; };
    const auto m = [&] { return values.size() > 1 && values[1] != 0 ? values[1] : 1; };
    // Movements take negative counts as no movement and saturate huge ones (Saturating::count).
    const auto distance = [&] { return Saturating::count(n()); };
    const auto lastRow = [&] { return std::max(0, grid_.rowCount() - 1); };

    switch (final) {
    case U'm': // SGR: select graphic rendition
        applyGraphicRendition(values);
        return;
    case U'A': // CUU: cursor up
        cursorRow_ = std::max(0, cursorRow_ - distance());
        break;
    case U'B': // CUD: cursor down, not past the last kept row
        cursorRow_ = std::min(cursorRow_ + distance(), lastRow());
        break;
    case U'C': // CUF: cursor forward
        cursorColumn_ = std::min(cursorColumn_ + distance(), columns_ - 1);
        break;
    case U'D': // CUB: cursor backward
        cursorColumn_ = std::max(0, cursorColumn_ - distance());
        break;
    case U'E': // CNL: cursor next line
        cursorRow_ = std::min(cursorRow_ + distance(), lastRow());
        cursorColumn_ = 0;
        break;
    case U'F': // CPL: cursor preceding line
        cursorRow_ = std::max(0, cursorRow_ - distance());
        cursorColumn_ = 0;
        break;
    case U'G': // CHA: cursor character absolute
    case U'`': // HPA: character position absolute
        cursorColumn_ = Saturating::oneBasedToIndex(n(), 0, columns_ - 1);
        break;
    case U'd': // VPA: line position absolute, counted in kept rows
        cursorRow_ = Saturating::oneBasedToIndex(n(), 0, grid_.rowCount() - 1);
        break;
    case U'H': // CUP: cursor position
    case U'f': // HVP: character and line position
        cursorRow_ = Saturating::oneBasedToIndex(n(), 0, grid_.rowCount() - 1);
        cursorColumn_ = Saturating::oneBasedToIndex(m(), 0, columns_ - 1);
        break;
    case U'J': // ED: erase in display
        eraseDisplay(values[0]);
        return;
    case U'K': // EL: erase in line
        eraseLine(values[0]);
        return;
    case U'X': // ECH: erase character
        eraseCharacters(n());
        return;
    case U'P': // DCH: delete character
        deleteCharacters(n());
        return;
    case U'@': // ICH: insert character
        insertCharacters(n());
        return;
    case U's': // SCOSC: save cursor
        saveCursor();
        return;
    case U'u': // SCORC: restore cursor
        restoreCursor();
        break;
    case U'h': // SM / DECSET: only bracketed paste (?2004) is honoured
    case U'l': // RM / DECRST
        if (isPrivate && std::find(values.begin(), values.end(), 2004) != values.end()) {
            bracketedPasteEnabled_ = final == U'h';
        }
        return;
    default: // unrecognised finals are ignored
        return;
    }
    // Every cursor movement above cancels a pending wrap.
    wrapPending_ = false;
}
