// Executing a complete control sequence: its leader (< = > ?), one intermediate and its final packed
// into one key, so that CSI > c is not CSI c and CSI SP q is not CSI q; then one case per recognised
// function (ECMA-48 names; the private ones from xterm's ctlseqs), forwarding to an operation.
#include "CsiParameters.h"
#include "Saturating.h"
#include "TerminalEngine.h"

#include <algorithm>
#include <string>

#ifndef VITRION_VERSION
#define VITRION_VERSION "0"
#endif

namespace {
constexpr std::uint32_t key(char leader, char intermediate, char final)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(leader)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(intermediate)) << 8 |
           static_cast<unsigned char>(final);
}
constexpr std::uint32_t key(char final)
{
    return key(0, 0, final);
}

std::string number(std::int64_t value)
{
    return std::to_string(value);
}
} // namespace

void TerminalEngine::executeControlSequence()
{
    const std::u32string_view sequence = escapeBuffer_;
    dispatchSequence(sequence.data() + 1, sequence.data() + sequence.size() - 1);
}

// The general form: leader, parameters (with colon sub-parameters for SGR), intermediates, final.
template <typename Char> void TerminalEngine::dispatchSequence(const Char* p, const Char* final)
{
    char leader = 0;
    if (p < final && *p >= 0x3C && *p <= 0x3F) {
        leader = static_cast<char>(*p++);
    }
    const Char* parametersEnd = final;
    while (parametersEnd > p && parametersEnd[-1] >= 0x20 && parametersEnd[-1] <= 0x2F) {
        --parametersEnd;
    }
    if (final - parametersEnd > 1) {
        return; // two intermediates: nothing we know
    }
    const char intermediate = parametersEnd < final ? static_cast<char>(*parametersEnd) : 0;
    if (*final == U'm' && leader == 0 && intermediate == 0 &&
        std::find(p, parametersEnd, U':') != parametersEnd) {
        applyGraphicRenditionText(p, parametersEnd);
        return;
    }
    CsiParameters::parse<false>(p, parametersEnd, parameters_);
    dispatchControlSequence(key(leader, intermediate, static_cast<char>(*final)));
}

template void TerminalEngine::dispatchSequence<char32_t>(const char32_t*, const char32_t*);
template void TerminalEngine::dispatchSequence<std::uint8_t>(const std::uint8_t*, const std::uint8_t*);

const std::uint8_t* TerminalEngine::executeWholeSequence(const std::uint8_t* sequence,
                                                         const std::uint8_t* end)
{
    // Only as far as the bound: a longer sequence is collected (and ignored) by the slow path.
    const std::uint8_t* const limit =
        sequence + std::min(end - sequence, static_cast<std::ptrdiff_t>(escapeBufferLimit) + 1);
    const std::uint8_t* const parameters = sequence + 2; // after ESC [
    const bool hasLeader = *parameters >= 0x3C && *parameters <= 0x3F;
    const std::uint8_t* const final =
        CsiParameters::parse<true>(parameters + (hasLeader ? 1 : 0), limit, parameters_);
    if (final == limit || *final > 0x7E || *final < 0x40) {
        return nullptr; // unfinished, or a control inside: the general path
    }
    // Intermediates and colons are rare: such a sequence is read again in the general form.
    const bool intermediate = final[-1] >= 0x20 && final[-1] <= 0x2F && final - 1 >= parameters;
    if (intermediate || (parameters_.spoilt() && *final == 'm')) {
        dispatchSequence(parameters, final);
    } else {
        dispatchControlSequence(
            key(hasLeader ? static_cast<char>(*parameters) : 0, 0, static_cast<char>(*final)));
    }
    return final + 1;
}

void TerminalEngine::dispatchControlSequence(std::uint32_t sequenceKey)
{
    const std::span<const std::int64_t> values = parameters_.values();
    // The count or first position (0 means 1), the second position likewise, each read only by the
    // cases that use it. Movements take negative counts as no movement and saturate huge ones.
    const auto n = [&] { return values[0] != 0 ? values[0] : 1; };
    const auto m = [&] { return values.size() > 1 && values[1] != 0 ? values[1] : 1; };
    const auto distance = [&] { return Saturating::count(n()); };
    const auto index = [](std::int64_t position) {
        return Saturating::oneBasedToIndex(position, 0, 1 << 24);
    };

    switch (sequenceKey) {
    case key('m'): // SGR: select graphic rendition
        applyGraphicRendition(values);
        break;
    case key('A'): // CUU: cursor up
        cursorUp(distance());
        break;
    case key('B'): // CUD: cursor down
    case key('e'): // VPR: line position relative
        cursorDown(distance());
        break;
    case key('C'): // CUF: cursor forward
    case key('a'): // HPR: character position relative
        cursorForward(distance());
        break;
    case key('D'): // CUB: cursor backward
        cursorBackward(distance());
        break;
    case key('E'): // CNL: cursor next line
        cursorDown(distance());
        carriageReturn();
        break;
    case key('F'): // CPL: cursor preceding line
        cursorUp(distance());
        carriageReturn();
        break;
    case key('G'): // CHA: cursor character absolute
    case key('`'): // HPA: character position absolute
        cursorColumn_ = std::min(index(n()), columns_ - 1);
        wrapPending_ = false;
        break;
    case key('d'): // VPA: line position absolute
        cursorTo(index(n()), cursorColumn_);
        break;
    case key('H'): // CUP: cursor position
    case key('f'): // HVP: character and line position
        cursorTo(index(n()), index(m()));
        break;
    case key('J'):         // ED: erase in display
    case key('?', 0, 'J'): // DECSED: the same, as nothing is protected
        eraseDisplay(values[0]);
        break;
    case key('K'):         // EL: erase in line
    case key('?', 0, 'K'): // DECSEL
        eraseLine(values[0]);
        break;
    case key('X'): // ECH: erase character
        eraseCharacters(n());
        break;
    case key('P'): // DCH: delete character
        deleteCharacters(n());
        break;
    case key('@'): // ICH: insert character
        insertCharacters(n());
        break;
    case key('L'): // IL: insert line
        insertLines(n());
        break;
    case key('M'): // DL: delete line
        deleteLines(n());
        break;
    case key('S'): // SU: scroll up
        scrollUp(distance());
        break;
    case key('T'): // SD: scroll down (with more parameters it is a mouse-highlight request)
        if (values.size() == 1) {
            scrollDown(distance());
        }
        break;
    case key('b'): // REP: repeat the last character
        repeatLast(n());
        break;
    case key('I'): // CHT: cursor forward tabulation
        tabForward(distance());
        break;
    case key('Z'): // CBT: cursor backward tabulation
        tabBackward(distance());
        break;
    case key('g'): // TBC: tabulation clear, at the cursor (0) or all (3)
        if (values[0] == 0) {
            tabStops_[static_cast<std::size_t>(cursorColumn_)] = false;
        } else if (values[0] == 3) {
            std::fill(tabStops_.begin(), tabStops_.end(), false);
        }
        break;
    case key('r'): // DECSTBM: set top and bottom margins
        setMargins(values[0], values.size() > 1 ? values[1] : 0);
        break;
    case key('s'): // SCOSC: save cursor
        saveCursor();
        break;
    case key('u'): // SCORC: restore cursor
        restoreCursor();
        break;
    case key('h'):         // SM: set mode
    case key('l'):         // RM: reset mode
    case key('?', 0, 'h'): // DECSET
    case key('?', 0, 'l'): // DECRST
        for (const std::int64_t mode : values) {
            setMode(mode, (sequenceKey >> 16) == '?', (sequenceKey & 0xFF) == 'h');
        }
        break;
    case key(0, '$', 'p'):     // DECRQM: request an ANSI mode
    case key('?', '$', 'p'): { // DECRQM: request a DEC private mode
        const bool isPrivate = (sequenceKey >> 16) == '?';
        reply(std::string("\x1b[") + (isPrivate ? "?" : "") + number(values[0]) + ";" +
              number(modeState(values[0], isPrivate)) + "$y");
        break;
    }
    case key('n'): // DSR: device status report
    case key('?', 0, 'n'):
        reportDeviceStatus(values[0], (sequenceKey >> 16) == '?');
        break;
    case key('c'): // DA1: primary device attributes (a VT220 with ANSI colour)
        if (values[0] == 0) {
            reply("\x1b[?62;22c");
        }
        break;
    case key('>', 0, 'c'): // DA2: secondary device attributes
        if (values[0] == 0) {
            reply("\x1b[>1;10;0c");
        }
        break;
    case key('>', 0, 'q'): // XTVERSION: name and version
        if (values[0] == 0) {
            reply("\x1bP>|Vitrion " VITRION_VERSION "\x1b\\");
        }
        break;
    case key(0, ' ', 'q'): // DECSCUSR: cursor style
        if (values[0] >= 0 && values[0] <= 6) {
            cursorStyle_ = static_cast<int>(values[0]);
        }
        break;
    case key(0, '!', 'p'): // DECSTR: soft terminal reset
        softReset();
        break;
    case key('t'): // window operations: only the size in characters is reported, never the title
        if (values[0] == 18) {
            reply("\x1b[8;" + number(rows_) + ";" + number(columns_) + "t");
        }
        break;
    default: // unrecognised sequences are ignored
        break;
    }
}

namespace {
// The modes that are a switch and nothing more, each once: SM, RM, DECSET and DECRST set them and
// DECRQM reports them from this table. Modes that do more have their code in setMode.
struct ModeSwitch {
    std::int64_t number;
    bool isPrivate;
    bool TerminalModes::*flag;
};
constexpr ModeSwitch modeSwitches[] = {
    {4, false, &TerminalModes::insertMode},           // IRM
    {20, false, &TerminalModes::newLineMode},         // LNM: line feed also returns
    {1, true, &TerminalModes::applicationCursorKeys}, // DECCKM
    {5, true, &TerminalModes::reverseVideo},          // DECSCNM
    {6, true, &TerminalModes::originMode},            // DECOM, which also homes the cursor
    {7, true, &TerminalModes::autowrap},              // DECAWM, which also drops a pending wrap
    {12, true, &TerminalModes::cursorBlink},          // cursor blinking
    {25, true, &TerminalModes::cursorVisible},        // DECTCEM
    {1004, true, &TerminalModes::focusEvents},        // focus in and out
    {1006, true, &TerminalModes::mouseSgr},           // SGR mouse encoding
    {1007, true, &TerminalModes::alternateScroll},    // the wheel as arrow keys on the alternate screen
    {2004, true, &TerminalModes::bracketedPaste},     // bracketed paste
    {2026, true, &TerminalModes::synchronizedOutput}, // synchronized output
};

// The mouse reports, one of which is on at a time.
struct MouseMode {
    std::int64_t number;
    MouseTracking tracking;
};
constexpr MouseMode mouseModes[] = {
    {9, MouseTracking::press},           // X10: presses only
    {1000, MouseTracking::pressRelease}, // presses and releases
    {1002, MouseTracking::drag},         // and motion with a button down
    {1003, MouseTracking::anyMotion},    // and any motion
};

const ModeSwitch* findSwitch(std::int64_t mode, bool isPrivate)
{
    for (const ModeSwitch& entry : modeSwitches) {
        if (entry.number == mode && entry.isPrivate == isPrivate) {
            return &entry;
        }
    }
    return nullptr;
}

const MouseMode* findMouseMode(std::int64_t mode, bool isPrivate)
{
    for (const MouseMode& entry : mouseModes) {
        if (isPrivate && entry.number == mode) {
            return &entry;
        }
    }
    return nullptr;
}
} // namespace

void TerminalEngine::setMode(std::int64_t mode, bool isPrivate, bool on)
{
    if (const ModeSwitch* entry = findSwitch(mode, isPrivate)) {
        modes_.*entry->flag = on;
    } else if (const MouseMode* mouse = findMouseMode(mode, isPrivate)) {
        modes_.mouseTracking = on ? mouse->tracking : MouseTracking::none;
    }
    if (isPrivate) {
        switch (mode) {
        case 3: // DECCOLM: the column count stays; the screen is cleared and the margins reset
            top_ = 0;
            bottom_ = rows_ - 1;
            eraseDisplay(2);
            cursorTo(0, 0);
            break;
        case 6: // DECOM
            cursorTo(0, 0);
            break;
        case 7: // DECAWM
            wrapPending_ = wrapPending_ && on;
            break;
        case 47: // the alternate screen
            switchScreen(on, false);
            break;
        case 1047: // the alternate screen, cleared when left
            if (!on && alternateActive_) {
                for (int r = 0; r < rows_; ++r) {
                    alternate_.blankRow(r, blank());
                }
            }
            switchScreen(on, false);
            break;
        case 1048: // save or restore the cursor
            on ? saveCursor() : restoreCursor();
            break;
        case 1049: // save the cursor and enter a clear alternate screen; leave it and restore
            if (on) {
                if (!alternateActive_) {
                    saveCursor();
                }
                switchScreen(true, true);
            } else if (alternateActive_) {
                switchScreen(false, false);
                restoreCursor();
            }
            break;
        default:
            break;
        }
    }
    updateFastPrint();
}

// DECRQM's answer: 1 set, 2 reset, 0 not recognised.
int TerminalEngine::modeState(std::int64_t mode, bool isPrivate) const
{
    const auto state = [](bool on) { return on ? 1 : 2; };
    if (const ModeSwitch* entry = findSwitch(mode, isPrivate)) {
        return state(modes_.*entry->flag);
    }
    if (const MouseMode* mouse = findMouseMode(mode, isPrivate)) {
        return state(modes_.mouseTracking == mouse->tracking);
    }
    if (isPrivate && (mode == 47 || mode == 1047 || mode == 1049)) {
        return state(alternateActive_);
    }
    return 0;
}

// DSR 5: the terminal is fine; DSR 6: the cursor, 1-based, from the top margin in origin mode.
void TerminalEngine::reportDeviceStatus(std::int64_t request, bool isPrivate)
{
    if (request == 5 && !isPrivate) {
        reply("\x1b[0n");
    } else if (request == 6) {
        const int row = cursorRow_ - (modes_.originMode ? top_ : 0) + 1;
        reply(std::string("\x1b[") + (isPrivate ? "?" : "") + number(row) + ";" + number(cursorColumn_ + 1) +
              "R");
    }
}
