// The screen's side of every action: printing, line feeds and scrolling inside the margins, cursor
// movement, erasing, inserting and deleting, tab stops, the screens and the resets, control
// sequences (ECMA-48 names; the private ones from xterm's ctlseqs), modes, OSC and DCS strings, and
// the replies they queue. One function per operation, whichever of the parser's paths asks for it.
#include "Screen.h"

#include "ByteScan.h"
#include "CharacterWidth.h"
#include "CsiParameters.h"
#include "Palette.h"
#include "Utf8Decoder.h"
#include "Utf8Encoder.h"
#include "VtParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifndef VITRION_VERSION
#define VITRION_VERSION "0"
#endif

namespace {
// Sets a flag on or off.
void flag(std::uint16_t& flags, std::uint16_t bit, bool on)
{
    flags = static_cast<std::uint16_t>(on ? flags | bit : flags & ~bit);
}

// DEC special graphics (ESC ( 0): the line-drawing set curses draws boxes with, as Unicode.
constexpr char32_t decGraphics[32] = {
    U'\u00A0', U'\u25C6', U'\u2592', U'\u2409', U'\u240C', U'\u240D', U'\u240A', U'\u00B0',
    U'\u00B1', U'\u2424', U'\u240B', U'\u2518', U'\u2510', U'\u250C', U'\u2514', U'\u253C',
    U'\u23BA', U'\u23BB', U'\u2500', U'\u23BC', U'\u23BD', U'\u251C', U'\u2524', U'\u2534',
    U'\u252C', U'\u2502', U'\u2264', U'\u2265', U'\u03C0', U'\u2260', U'\u00A3', U'\u00B7',
};

constexpr std::size_t titleLimit = 1024;
constexpr std::size_t uriLimit = 2048;

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

// The number before the first ';', and the rest; -1 when there is no number.
int command(std::string_view text, std::string_view& rest)
{
    const std::size_t semicolon = text.find(';');
    const std::string_view digits = text.substr(0, semicolon);
    int value = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return -1;
    }
    rest = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    return value;
}

// Printable text only, whole characters up to `limit` bytes: a title is shown, never interpreted,
// so C0 and C1 controls and DEL go. The text is UTF-8 as the parser collected it.
std::string printable(std::string_view text, std::size_t limit)
{
    std::string out;
    Utf8Decoder decoder;
    char32_t scalars[2];
    for (const char byte : text) {
        const int produced = decoder.feed(static_cast<std::uint8_t>(byte), scalars);
        for (int i = 0; i < produced; ++i) {
            const char32_t c = scalars[i];
            if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
                continue;
            }
            std::string character;
            appendUtf8(character, c);
            if (out.size() + character.size() > limit) {
                return out;
            }
            out += character;
        }
    }
    return out;
}

std::string base64Decode(std::string_view text)
{
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else {
            continue; // padding and line breaks
        }
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

std::string hex4(float component)
{
    const int value = static_cast<int>(std::lround(std::clamp(component, 0.0f, 1.0f) * 65535.0f));
    char digits[5];
    const char* hex = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        digits[i] = hex[(value >> (12 - 4 * i)) & 0xF];
    }
    digits[4] = 0;
    return digits;
}
} // namespace

// ---- life cycle, size and colours ----

Screen::Screen()
    : baseTextColor_(NamedColors::whiteColor), ansi_(Palette::defaultAnsi()),
      reportedBackground_(NamedColors::blackColor), reportedCursor_(NamedColors::whiteColor)
{
    primary_.setWidth(columns_);
    alternate_.setWidth(columns_);
    primary_.resetCapacity(rows_, blankCell());
    history_.setWidth(columns_);
    resetTabStops(0);
}

void Screen::write(char32_t scalar, Color color)
{
    if (scalar == U'\n') {
        index();
        return;
    }
    if (scalar < 0x20) {
        return;
    }
    const CellStyle pen = pen_;
    const char g0 = charsets_[0];
    const int shift = shift_;
    charsets_[0] = 'B';
    shift_ = 0;
    pen_ = CellStyle{};
    setCurrentColor(color);
    print(scalar);
    pen_ = pen;
    charsets_[0] = g0;
    shift_ = shift;
}

// The alternate screen keeps the cursor's line where it is: rows below the cursor go first when it
// shrinks, then rows at the top; growing adds blank rows at the bottom.
void Screen::resizeScreen(Grid& grid, int& cursorRow, int newRows)
{
    if (grid.rowCount() == 0) {
        return; // the alternate screen before its first use
    }
    grid.markRearranged();
    const int oldRows = std::min(rows_, grid.rowCount());
    if (newRows < oldRows) {
        const int below = std::max(0, oldRows - 1 - cursorRow);
        const int fromBottom = std::min(oldRows - newRows, below);
        grid.removeNewest(fromBottom);
        const int fromTop = oldRows - newRows - fromBottom;
        grid.removeOldest(fromTop);
        cursorRow = std::max(0, cursorRow - fromTop);
    } else {
        for (int i = oldRows; i < newRows && !grid.full(); ++i) {
            grid.appendBlank(blankCell());
        }
    }
    cursorRow = std::clamp(cursorRow, 0, newRows - 1);
}

namespace {
// A logical line being re-wrapped: its cells (trailing blanks gone) and where its rows start at the
// new width.
struct ReflowLine {
    std::vector<Cell> cells;
    std::vector<int> starts;
    LineMarks::Bits marks = 0; // LineMarks: kept on the line's first row
    int rows() const { return static_cast<int>(starts.size()); }
};

void cutLine(ReflowLine& line, int width)
{
    line.starts.assign(1, 0);
    int column = 0;
    for (std::size_t i = 0; i < line.cells.size(); ++i) {
        const int w = (line.cells[i].style.flags & CellFlags::wideHead) && i + 1 < line.cells.size() ? 2 : 1;
        if (column + w > width && column > 0) {
            line.starts.push_back(static_cast<int>(i));
            column = 0;
        }
        column += w;
        i += static_cast<std::size_t>(w - 1);
    }
}

// A half of a wide character without its other half (the blank left where a wide character did
// not fit can be the second half of an older one) becomes a blank, so that the cut never pairs
// halves of different characters.
void mendHalves(std::vector<Cell>& cells)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const bool head = (cells[i].style.flags & CellFlags::wideHead) != 0;
        const bool tail = (cells[i].style.flags & CellFlags::wideTail) != 0;
        const bool tailFollows = i + 1 < cells.size() && (cells[i + 1].style.flags & CellFlags::wideTail);
        if (head && tailFollows) {
            ++i;
        } else if (head || tail) {
            cells[i] = blankCell();
        }
    }
}

void trimBlanks(std::vector<Cell>& cells)
{
    while (!cells.empty() && cells.back() == Cell{}) {
        cells.pop_back();
    }
}
} // namespace

// The primary screen at a new size: its lines (the history's newest line too, when the screen
// continues it) are cut again at the new width. The cursor stays on the same character and, as far
// as the rows above it allow, on the same screen row (growing taller moves it down by what grows,
// taking rows back from the history); rows above the new screen go to the history. Blank rows below
// the cursor are not kept; text below it is, as far as it fits.
void Screen::reflowPrimary(int newRows, int newColumns, int& cursorRow, int& cursorColumn, bool& wrapPending)
{
    const int oldRows = rows_;
    std::vector<ReflowLine> lines;
    ReflowLine current;
    bool continued = false;
    if (history_.openLine()) {
        current.marks = history_.newestLineMarks();
        history_.popLine(current.cells, continued);
    }
    const int screenStart = static_cast<int>(current.cells.size()); // the screen's first cell in its line
    std::size_t cursorLine = 0;
    int cursorOffset = 0;
    int lastText = -1; // the old screen's last row with text
    // A prompt the shell marked and is still editing is its to redraw at the new width (it does on
    // SIGWINCH): its rows are cleared and the cursor waits where it began, so no copy stays behind.
    int promptRow = promptActive_ ? std::min(cursorRow, oldRows - 1) : -1;
    while (promptRow >= 0 && !primary_.promptStart(promptRow)) {
        --promptRow;
    }
    const int gathered = promptRow >= 0 ? promptRow : oldRows;
    for (int r = 0; r < gathered && r < primary_.rowCount(); ++r) {
        auto cells = primary_.row(r);
        if (std::any_of(cells.begin(), cells.end(), [](const Cell& c) { return !(c == Cell{}); })) {
            lastText = r;
        }
        if (primary_.padded(r)) {
            cells = cells.first(cells.size() - 1);
        }
        current.marks = LineMarks::merged(current.marks, primary_.marks(r));
        if (r == cursorRow) {
            cursorLine = lines.size();
            cursorOffset = static_cast<int>(current.cells.size()) + cursorColumn + (wrapPending ? 1 : 0);
        }
        current.cells.insert(current.cells.end(), cells.begin(), cells.end());
        if (!primary_.wrapped(r) || r == gathered - 1) {
            mendHalves(current.cells);
            trimBlanks(current.cells);
            lines.push_back(std::move(current));
            current = ReflowLine{};
        }
    }
    if (promptRow >= 0) {
        if (!current.cells.empty()) {
            lines.push_back(std::move(current));
        }
        cursorLine = lines.size();
        cursorOffset = 0;
        wrapPending = false;
        lines.emplace_back();
    }
    while (lines.size() > cursorLine + 1 && lines.back().cells.empty()) {
        lines.pop_back();
    }

    // Where the cursor lands: the row of its cell, or past the text (a prompt's trailing space).
    history_.setWidth(newColumns);
    int rowsBefore = 0;
    int cursorRowInLine = 0;
    int column = 0;
    int rowsAfter = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ReflowLine& line = lines[i];
        cutLine(line, newColumns);
        if (i < cursorLine) {
            rowsBefore += line.rows();
        } else if (i == cursorLine) {
            const auto after = std::upper_bound(line.starts.begin(), line.starts.end(), cursorOffset);
            cursorRowInLine = static_cast<int>(after - line.starts.begin()) - 1;
            column = cursorOffset - line.starts[static_cast<std::size_t>(cursorRowInLine)];
            if (column >= newColumns) {
                // Past the text: within a row of its end the cursor goes on to the rows after it
                // (a full last row and the cursor just behind it); further out it keeps to the
                // last row, as a move right would.
                if (cursorOffset - static_cast<int>(line.cells.size()) < newColumns) {
                    cursorRowInLine += column / newColumns;
                    column %= newColumns;
                } else {
                    column = newColumns - 1;
                }
            }
            rowsAfter += std::max(0, line.rows() - 1 - cursorRowInLine);
        } else {
            rowsAfter += line.rows();
        }
    }
    bool pending = false;
    if (wrapPending && column == 0 && cursorOffset >= static_cast<int>(lines[cursorLine].cells.size()) &&
        cursorRowInLine > 0) {
        // Just past the end of a row at the new width: the cursor stays on its last column, the
        // wrap still pending.
        --cursorRowInLine;
        column = newColumns - 1;
        pending = true;
    }

    // A screen whose text reaches its last row (a shell after some output) keeps its bottom in
    // place, taking rows back from the history when it has room; otherwise the top stays where it
    // is and the cursor moves with the text above it.
    int above = rowsBefore + cursorRowInLine;
    const auto firstRow =
        std::upper_bound(lines.front().starts.begin(), lines.front().starts.end(), screenStart);
    const int aboveOnScreen = above - static_cast<int>(firstRow - lines.front().starts.begin() - 1);
    const bool bottomKept = std::max(cursorRow, lastText) >= oldRows - 1;
    const int promptHeight = promptRow >= 0 ? cursorRow - promptRow : 0; // the shell redraws it below
    int target = bottomKept ? newRows - 1 - promptHeight : aboveOnScreen;
    target = std::max(0, std::min({target, newRows - 1, newRows - 1 - rowsAfter}));
    // Rows above the cursor from the history, when the screen shows more of them than it has.
    std::vector<ReflowLine> pulled;
    while (above < target && history_.lineCount() > 0) {
        ReflowLine line;
        bool open = false;
        line.marks = history_.newestLineMarks();
        history_.popLine(line.cells, open);
        cutLine(line, newColumns);
        above += line.rows();
        pulled.push_back(std::move(line));
    }
    if (!pulled.empty()) {
        std::reverse(pulled.begin(), pulled.end());
        cursorLine += pulled.size();
        lines.insert(lines.begin(), std::make_move_iterator(pulled.begin()),
                     std::make_move_iterator(pulled.end()));
    }
    const int newCursorRow = std::min(target, above);
    int top = above - newCursorRow; // rows before the new screen: back to the history

    primary_.setWidth(newColumns);
    primary_.resetCapacity(newRows, blankCell());
    primary_.markRearranged();
    int screenRow = -top;
    for (const ReflowLine& line : lines) {
        const int rows = line.rows();
        if (screenRow + rows <= 0) {
            history_.pushLine(line.cells, false);
            history_.markNewestLine(line.marks);
            screenRow += rows;
            continue;
        }
        int first = 0;
        if (screenRow < 0) {
            first = -screenRow;
            const auto cut = static_cast<std::size_t>(line.starts[static_cast<std::size_t>(first)]);
            history_.pushLine(std::span<const Cell>(line.cells).first(cut), true);
            history_.markNewestLine(line.marks);
            screenRow = 0;
        } else {
            primary_.addMarks(screenRow, line.marks);
        }
        for (int k = first; k < rows && screenRow < newRows; ++k, ++screenRow) {
            const int from = line.starts[static_cast<std::size_t>(k)];
            const int to = k + 1 < rows ? line.starts[static_cast<std::size_t>(k + 1)]
                                        : static_cast<int>(line.cells.size());
            Cell* cells = primary_.editRow(screenRow);
            const int end = std::min(to, from + newColumns);
            std::copy(line.cells.begin() + from, line.cells.begin() + end, cells);
            if (end < to && (cells[end - from - 1].style.flags & CellFlags::wideHead)) {
                cells[end - from - 1] = blankCell(); // a wide character in a screen one column wide
            }
            if (k + 1 < rows) {
                primary_.setWrapped(screenRow, true, to - from < newColumns);
            }
        }
        if (screenRow >= newRows) {
            break;
        }
    }
    if (promptRow >= 0) {
        // The prompt the shell redraws starts here: a second resize before it does clears only it.
        primary_.setPromptStart(newCursorRow);
    }
    cursorRow = newCursorRow;
    cursorColumn = column;
    wrapPending = pending;
}

bool Screen::resizeGrid(int rows, int columns)
{
    // A grid of no rows or columns has no valid cursor; the view never asks for less than 24 x 80.
    rows = std::clamp(rows, 1, rowLimit);
    columns = std::clamp(columns, 1, columnLimit);
    if (rows == rows_ && columns == columns_) {
        return false;
    }
    if (alternateActive_) {
        SavedCursor& primary = saved_[0];
        reflowPrimary(rows, columns, primary.row, primary.column, primary.wrapPending);
        alternate_.setWidth(columns);
        resizeScreen(alternate_, cursorRow_, rows);
        cursorColumn_ = std::min(columns - 1, cursorColumn_);
        wrapPending_ = wrapPending_ && cursorColumn_ == columns - 1;
    } else {
        reflowPrimary(rows, columns, cursorRow_, cursorColumn_, wrapPending_);
        alternate_.setWidth(columns);
        alternate_.reset(0, blankCell());
    }
    const int before = columns_;
    columns_ = columns;
    rows_ = rows;
    resetTabStops(before);
    top_ = 0;
    bottom_ = rows_ - 1;
    if (modes_.inBandResize) {
        reportSize();
    }
    return true;
}

void Screen::setCurrentColor(Color color)
{
    if (color == baseTextColor_) {
        pen_.foreground = CellColor::defaultColor;
        return;
    }
    // A palette colour keeps its exact components as an index.
    for (int index = 0; index < 16; ++index) {
        if (ansi_[static_cast<std::size_t>(index)] == color) {
            pen_.foreground = CellColor::indexed(index);
            return;
        }
    }
    const auto level = [](float component) {
        return static_cast<int>(std::clamp(component, 0.0f, 1.0f) * 255.0f + 0.5f);
    };
    pen_.foreground = CellColor::rgb(level(color.red), level(color.green), level(color.blue));
}

void Screen::setReportedColors(Color background, Color cursor)
{
    reportedBackground_ = background;
    reportedCursor_ = cursor;
    // Dark or light as the eye sees it (Rec. 601 weights on the encoded components).
    const bool dark = 0.299f * background.red + 0.587f * background.green + 0.114f * background.blue < 0.5f;
    if (dark != darkBackground_) {
        darkBackground_ = dark;
        reportColorSchemeChange();
    }
}

void Screen::setPalette(const AnsiColors& ansi, Color text, Color cursor)
{
    if (ansi == ansi_ && text == baseTextColor_ && cursor == reportedCursor_) {
        return;
    }
    ansi_ = ansi;
    baseTextColor_ = text;
    reportedCursor_ = cursor;
    // Any change of the scheme, not only a turn from dark to light: programs re-read the colours.
    reportColorSchemeChange();
}

void Screen::setCellPixelSize(int width, int height)
{
    cellPixelWidth_ = std::clamp(width, 0, 1 << 12);
    cellPixelHeight_ = std::clamp(height, 0, 1 << 12);
}

bool Screen::tabStop(int column) const
{
    return column >= 0 && column < columns_ && tabStops_[static_cast<std::size_t>(column)];
}

Color Screen::resolveForeground(std::uint32_t color) const
{
    if (CellColor::isIndexed(color)) {
        const int index = CellColor::index(color);
        return index < 16 ? ansi_[static_cast<std::size_t>(index)] : Palette::indexed(index);
    }
    if (CellColor::isRgb(color)) {
        return colorFromComponents(CellColor::red(color) / 255.0, CellColor::green(color) / 255.0,
                                   CellColor::blue(color) / 255.0);
    }
    return baseTextColor_;
}

Color Screen::resolveBackground(std::uint32_t color) const
{
    return CellColor::isDefault(color) ? reportedBackground_ : resolveForeground(color);
}

std::string Screen::takeReplies()
{
    std::string out;
    out.swap(replies_);
    return out;
}

TerminalEvents Screen::takeEvents()
{
    TerminalEvents out = std::move(events_);
    events_ = TerminalEvents{};
    return out;
}

void Screen::reply(std::string_view bytes)
{
    // A program that floods queries while nobody drains them cannot grow the queue without bound.
    if (replies_.size() + bytes.size() <= replyLimit) {
        replies_.append(bytes);
    }
}

// ---- printing and screen operations ----

void Screen::updateFastPrint()
{
    fastPrint_ = modes_.autowrap && !modes_.insertMode && charsets_[shift_] == 'B';
}

char32_t Screen::mapCharset(char32_t scalar) const
{
    if (charsets_[shift_] == '0' && scalar >= 0x5F && scalar <= 0x7E) {
        return decGraphics[scalar - 0x5F];
    }
    return scalar;
}

void Screen::wrapIfPending()
{
    if (wrapPending_) {
        wrapPending_ = false;
        grid_->setWrapped(line(cursorRow_), true);
        cursorColumn_ = 0;
        index();
    }
}

// LF, VT and FF: a line feed, with a carriage return first in new-line mode.
void Screen::lineFeed()
{
    if (modes_.newLineMode) {
        carriageReturn();
    }
    index();
}

// The cursor after writing the cells before `column`: reaching the edge leaves it on the last column
// with the wrap pending (when autowrap is on), so the next character wraps and not this one.
void Screen::advanceAfterWrite(int column)
{
    if (column >= columns_) {
        cursorColumn_ = columns_ - 1;
        wrapPending_ = modes_.autowrap;
    } else {
        cursorColumn_ = column;
    }
}

void Screen::printAscii(const std::uint8_t* text, std::size_t length)
{
    if (fastPrint_) [[likely]] {
        writeAsciiRun(text, length);
        return;
    }
    for (std::size_t i = 0; i < length; ++i) {
        print(text[i]);
    }
}

// A run may start with a wide character too (CJK text has few others), and on the next row when the
// last one is full (fastPrint_ holds only with autowrap on).
const std::uint8_t* Screen::printText(const std::uint8_t* p, const std::uint8_t* end, char32_t first,
                                      int length)
{
    const int width = fastPrint_ ? characterWidth(first) : 0;
    if (width == 1 || width == 2) {
        wrapIfPending();
        if (cursorColumn_ + width <= columns_) {
            return writeTextRun(p, end, first, length, width);
        }
    }
    print(first);
    return p + length;
}

void Screen::control(char32_t c)
{
    switch (c) {
    case 0x07: // BEL
        ++events_.bells;
        break;
    case 0x08: // BS
        cursorBackward(1);
        break;
    case 0x09: // HT
        tabForward(1);
        break;
    case 0x0A: // LF, VT and FF
    case 0x0B:
    case 0x0C:
        lineFeed();
        break;
    case 0x0D: // CR
        carriageReturn();
        break;
    case 0x0E: // SO: G1 into GL
        shift_ = 1;
        updateFastPrint();
        break;
    case 0x0F: // SI: G0 into GL
        shift_ = 0;
        updateFastPrint();
        break;
    default: // other C0 and C1 controls do nothing
        break;
    }
}

// ESC and a final, or ESC, one intermediate and a final: character-set designations (ESC ( B, which
// every attribute reset of xterm-256color's terminfo sends, and ESC ( 0 for line drawing) and
// DECALN; unknown ones are ignored.
void Screen::escape(char32_t intermediate, char32_t final)
{
    lastPrinted_ = 0;
    switch (intermediate) {
    case 0:
        break;
    case U'(':
    case U')':
        charsets_[intermediate == U'(' ? 0 : 1] = final == U'0' ? '0' : 'B';
        updateFastPrint();
        return;
    case U'#':
        if (final == U'8') {
            screenAlignment();
        }
        return;
    default: // G2 and G3, ESC % (UTF-8), ESC SP F and the like
        return;
    }
    switch (final) {
    case U'7': // DECSC
        saveCursor();
        break;
    case U'8': // DECRC
        restoreCursor();
        break;
    case U'D': // IND
        index();
        break;
    case U'E': // NEL
        nextLine();
        break;
    case U'H': // HTS: a tab stop at the cursor
        tabStops_[static_cast<std::size_t>(cursorColumn_)] = true;
        break;
    case U'M': // RI
        reverseIndex();
        break;
    case U'=': // DECKPAM
        modes_.applicationKeypad = true;
        break;
    case U'>': // DECKPNM
        modes_.applicationKeypad = false;
        break;
    case U'c': // RIS
        fullReset();
        break;
    default:
        break;
    }
}

// SGR 58: the underline colour lives in the pen's link, which only the tables can make.
void Screen::underlineWith(std::uint32_t color)
{
    pen_.link = tables_.styleLink(tables_.hyperlinkOf(pen_.link), color);
}

// SGR 0: the default look; the hyperlink and DECSCA's protection are not renditions and stay.
void Screen::resetRendition()
{
    pen_ = CellStyle{.flags = static_cast<std::uint16_t>(pen_.flags & CellFlags::protectedCell),
                     .link = tables_.hyperlinkOf(pen_.link)};
}

// SGR code by code. A colour group's values are its own, so a group shorter than its form needs is
// ignored rather than read into the next code. Without groups every value is its own group and a
// colour takes the values after it.
void Screen::renditionCodes(std::span<const std::int64_t> values, std::span<const std::uint8_t> groups)
{
    using namespace CellFlags;
    const std::size_t size = values.size();
    if (values.empty()) {
        resetRendition();
        return;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t x = values[i];
        const std::size_t pieces = groups.empty() ? 1 : groups[i];
        switch (x) {
        case 0:
            resetRendition();
            break;
        case 1:
            flag(pen_.flags, bold, true);
            break;
        case 2:
            flag(pen_.flags, faint, true);
            break;
        case 3:
            flag(pen_.flags, italic, true);
            break;
        case 4: { // 4:0 to 4:5 choose the underline's style
            Underline style = Underline::single;
            if (pieces > 1 && i + 1 < size) {
                style = values[i + 1] >= 0 && values[i + 1] <= 5 ? static_cast<Underline>(values[i + 1])
                                                                 : Underline::single;
            }
            pen_.flags = withUnderline(pen_.flags, style);
            break;
        }
        case 5:
        case 6:
            flag(pen_.flags, blink, true);
            break;
        case 7:
            flag(pen_.flags, inverse, true);
            break;
        case 8:
            flag(pen_.flags, hidden, true);
            break;
        case 9:
            flag(pen_.flags, strikethrough, true);
            break;
        case 21:
            pen_.flags = withUnderline(pen_.flags, Underline::doubled);
            break;
        case 22:
            flag(pen_.flags, bold | faint, false);
            break;
        case 23:
            flag(pen_.flags, italic, false);
            break;
        case 24:
            pen_.flags = withUnderline(pen_.flags, Underline::none);
            break;
        case 25:
            flag(pen_.flags, blink, false);
            break;
        case 27:
            flag(pen_.flags, inverse, false);
            break;
        case 28:
            flag(pen_.flags, hidden, false);
            break;
        case 29:
            flag(pen_.flags, strikethrough, false);
            break;
        case 38:
        case 48:
        case 58: {
            const std::span<const std::int64_t> own =
                groups.empty() ? values.subspan(i) : values.subspan(i, pieces);
            std::uint32_t color = 0;
            const std::size_t used = extendedColor(own, pieces, color);
            if (used > 0) {
                setExtendedColor(x, color);
            }
            if (groups.empty()) {
                i += used;
            }
            break;
        }
        case 39:
            pen_.foreground = CellColor::defaultColor;
            break;
        case 59:
            pen_.link = tables_.hyperlinkOf(pen_.link);
            break;
        case 49:
            pen_.background = CellColor::defaultColor;
            break;
        default:
            if (x >= 30 && x <= 37) {
                pen_.foreground = CellColor::indexed(static_cast<int>(x - 30));
            } else if (x >= 40 && x <= 47) {
                pen_.background = CellColor::indexed(static_cast<int>(x - 40));
            } else if (x >= 90 && x <= 97) {
                pen_.foreground = CellColor::indexed(static_cast<int>(x - 90 + 8));
            } else if (x >= 100 && x <= 107) {
                pen_.background = CellColor::indexed(static_cast<int>(x - 100 + 8));
            }
            break;
        }
        // The rest of a colon group belongs to its code: 4:3 is one code.
        if (pieces > 1) {
            i += pieces - 1;
        }
    }
}

Color Screen::paletteColor(int index)
{
    return Palette::indexed(index);
}

Color Screen::ansiColor(std::int64_t index, bool bright)
{
    return Palette::ansi(index, bright);
}

// One character from the general path: the charset applied, its width looked up.
void Screen::print(char32_t scalar)
{
    scalar = mapCharset(scalar);
    const int width = scalar < 0x300 ? 1 : characterWidth(scalar);
    if (width == 0) {
        combine(scalar);
        return;
    }
    printWide(scalar, width);
}

void Screen::printWide(char32_t scalar, int width)
{
    if (modes_.autowrap) {
        wrapIfPending();
    }
    if (width == 2 && cursorColumn_ == columns_ - 1) {
        if (!modes_.autowrap || columns_ < 2) {
            return; // no room, and no next line to take it
        }
        // A wide character never straddles the edge: the last column stays as it is.
        grid_->setWrapped(line(cursorRow_), true, true);
        cursorColumn_ = 0;
        wrapPending_ = false;
        index();
    }
    if (modes_.insertMode) {
        insertCharacters(width);
    }
    Cell* cells = grid_->editRow(line(cursorRow_), cursorColumn_ + width);
    if (splitWideEdges(cells, cursorColumn_, cursorColumn_ + width, columns_, pen_.background)) {
        grid_->editRow(line(cursorRow_), cursorColumn_ + width + 1);
    }
    placeCharacter(cells, cursorColumn_, scalar, width, pen_);
    lastPrinted_ = scalar;
    advanceAfterWrite(cursorColumn_ + width);
}

// A combining mark or joiner goes into the cell before the cursor (the last cell written), with
// the character already there. Marks beyond a cluster's bound, or once the table is full, are
// dropped: the base character stays.
void Screen::combine(char32_t mark)
{
    int column = wrapPending_ ? cursorColumn_ : cursorColumn_ - 1;
    if (column < 0) {
        return;
    }
    const Cell* row = grid_->row(line(cursorRow_)).data();
    if ((row[column].style.flags & CellFlags::wideTail) && column > 0) {
        --column;
    }
    const char32_t base = row[column].character;
    if (base == 0) {
        return;
    }
    std::u32string text(cellText(row[column]));
    text.push_back(mark);
    const char32_t id = tables_.cluster(std::move(text));
    if (id == 0) {
        return;
    }
    grid_->editRow(line(cursorRow_), column + 1)[column].character = id;
}

// The ASCII fast path: a run of printable bytes fills the row's cells a stretch at a time, with the
// same wrapping as print one character after another. Needs fastPrint_.
void Screen::writeAsciiRun(const std::uint8_t* text, std::size_t length)
{
    lastPrinted_ = text[length - 1];
    // Most runs fit on the cursor's row with no wrap pending: nothing to wrap, one stretch. Otherwise
    // a stretch per row, each up to the row's end. A loop for each kind of pen, so that coloured
    // output pays nothing for the plain case.
    const auto stretches = [&](auto plainPen) {
        const CellPattern pattern = cellPattern(pen_);
        for (;;) {
            wrapIfPending();
            const std::size_t room = static_cast<std::size_t>(columns_ - cursorColumn_);
            const std::size_t stretch = std::min(length, room);
            const int to = cursorColumn_ + static_cast<int>(stretch);
            // Text in the default style keeps a plain row plain, as its text alone (the history
            // then takes it as it is); a plain row has no wide character to split.
            Cell* const cells = plainPen ? grid_->editPlainRow(line(cursorRow_), cursorColumn_, text, stretch)
                                         : grid_->editRow(line(cursorRow_), to);
            if (!plainPen || cells != nullptr) {
                if (splitWideEdges(cells, cursorColumn_, to, columns_, pen_.background)) {
                    grid_->editRow(line(cursorRow_), to + 1);
                }
                writeCells(cells + cursorColumn_, text, stretch, pattern);
            }
            advanceAfterWrite(to);
            length -= stretch;
            if (length == 0) [[likely]] {
                return;
            }
            text += stretch;
        }
    };
    if (pen_ == CellStyle{}) {
        stretches(std::true_type{});
    } else {
        stretches(std::false_type{});
    }
}

// The common case of all, output running off the bottom of the screen: the top rows become history
// (the kept rows grow, or at the history limit the oldest row's storage comes back as the new
// bottom row).
[[gnu::always_inline]] inline void Screen::scrollIntoHistory(int count)
{
    const Cell blank = this->blank();
    for (int i = 0; i < count; ++i) {
        // Cells past what the row wrote are blanks the history would only trim again.
        // A plain row goes by its text: its cells may not have caught up.
        const bool wrapped = grid_->wrapped(0);
        const bool plain = grid_->plain(0);
        const auto cells = plain ? grid_->keptCells(0) : grid_->row(0);
        history_.push(wrapped ? cells : cells.first(static_cast<std::size_t>(grid_->writtenWidth(0))),
                      wrapped, grid_->padded(0), plain ? grid_->plainText(0) : nullptr);
        if (grid_->marks(0) != 0) [[unlikely]] {
            history_.markNewestLine(grid_->marks(0));
        }
        grid_->recycleOldest(blank);
    }
}

// IND and LF: down one row; at the bottom margin the region scrolls up instead. As in xterm, the
// cursor stays in its column and a pending wrap is dropped: the next character lands in that row.
void Screen::index()
{
    wrapPending_ = false;
    if (cursorRow_ != bottom_) [[likely]] {
        cursorRow_ += cursorRow_ < rows_ - 1 ? 1 : 0;
    } else if (scrollsIntoHistory()) [[likely]] {
        scrollIntoHistory(1);
    } else {
        scrollUp(1);
    }
}

// RI: up one row; at the top margin the region scrolls down instead.
void Screen::reverseIndex()
{
    wrapPending_ = false;
    if (cursorRow_ == top_) {
        scrollDown(1);
    } else if (cursorRow_ > 0) {
        --cursorRow_;
    }
}

void Screen::nextLine()
{
    carriageReturn();
    index();
}

// The region's rows move up by count. On the primary screen with margins at its edges the top rows
// go into the history (the kept rows grow, or at the history limit the oldest row's storage comes
// back as the new bottom row); anywhere else they are lost.
void Screen::scrollUp(int count)
{
    count = std::min(count, bottom_ - top_ + 1);
    if (count <= 0) {
        return;
    }
    if (scrollsIntoHistory()) [[likely]] {
        scrollIntoHistory(count);
        return;
    }
    grid_->scrollUp(line(top_), line(bottom_), count, blank());
}

void Screen::scrollDown(int count)
{
    count = std::min(count, bottom_ - top_ + 1);
    if (count > 0) {
        grid_->scrollDown(line(top_), line(bottom_), count, blank());
    }
}

// IL and DL act from the cursor's row to the bottom margin, and only inside the margins.
void Screen::insertLines(std::int64_t count)
{
    editLines(count, &Grid::scrollDown);
}

void Screen::deleteLines(std::int64_t count)
{
    editLines(count, &Grid::scrollUp);
}

void Screen::editLines(std::int64_t count, void (Grid::*shift)(int, int, int, const Cell&))
{
    if (cursorRow_ < top_ || cursorRow_ > bottom_) {
        return;
    }
    const int n = std::min(Saturating::count(count), bottom_ - cursorRow_ + 1);
    if (n > 0) {
        (grid_->*shift)(line(cursorRow_), line(bottom_), n, blank());
    }
    carriageReturn();
}

// Vertical movements stop at a margin when they start inside the region, else at the screen's edge.
void Screen::cursorUp(int count)
{
    const int limit = cursorRow_ >= top_ ? top_ : 0;
    cursorRow_ = std::max(limit, cursorRow_ - count);
    wrapPending_ = false;
}

void Screen::cursorDown(int count)
{
    const int limit = cursorRow_ <= bottom_ ? bottom_ : rows_ - 1;
    cursorRow_ = std::min(limit, cursorRow_ + count);
    wrapPending_ = false;
}

// VPR: as xterm, a position and not a movement: the margins hold it only in origin mode.
void Screen::rowPositionRelative(int count)
{
    const int origin = modes_.originMode ? top_ : 0;
    cursorTo(static_cast<int>(std::min<std::int64_t>(std::int64_t{cursorRow_} - origin + count, 1 << 24)),
             cursorColumn_);
}

void Screen::cursorForward(int count)
{
    cursorColumn_ = std::min(columns_ - 1, cursorColumn_ + count);
    wrapPending_ = false;
}

void Screen::cursorBackward(int count)
{
    cursorColumn_ = std::max(0, cursorColumn_ - count);
    wrapPending_ = false;
}

void Screen::tabForward(int count)
{
    while (count-- > 0 && cursorColumn_ < columns_ - 1) {
        do {
            ++cursorColumn_;
        } while (cursorColumn_ < columns_ - 1 && !tabStops_[static_cast<std::size_t>(cursorColumn_)]);
    }
}

void Screen::tabBackward(int count)
{
    while (count-- > 0 && cursorColumn_ > 0) {
        do {
            --cursorColumn_;
        } while (cursorColumn_ > 0 && !tabStops_[static_cast<std::size_t>(cursorColumn_)]);
    }
    wrapPending_ = false;
}

// REP: the character printed right before it again, at most a screenful (more could only
// overwrite it). As in xterm and ECMA-48, anything between the character and REP (a control, a
// sequence, a string) leaves nothing to repeat.
void Screen::repeatLast(std::int64_t count)
{
    if (lastPrinted_ == 0) {
        return;
    }
    const int n = std::min(Saturating::count(count), rows_ * columns_);
    const int width = lastPrinted_ < 0x300 ? 1 : characterWidth(lastPrinted_);
    for (int i = 0; i < n; ++i) {
        printWide(lastPrinted_, std::max(width, 1));
    }
}

// DECSTBM: 1-based rows, 0 meaning the edge; a region of fewer than two rows is refused.
void Screen::setMargins(std::int64_t top, std::int64_t bottom)
{
    const int t = Saturating::oneBasedToIndex(top, 0, rows_ - 1);
    const int b = bottom == 0 ? rows_ - 1 : Saturating::oneBasedToIndex(bottom, 0, rows_ - 1);
    if (t >= b) {
        return;
    }
    top_ = t;
    bottom_ = b;
    cursorTo(0, 0);
}

// DECALN: the screen filled with E, margins reset, cursor home.
void Screen::screenAlignment()
{
    top_ = 0;
    bottom_ = rows_ - 1;
    for (int r = 0; r < rows_; ++r) {
        fillCells(grid_->editRow(line(r)), grid_->editRow(line(r)) + columns_, Cell{U'E', CellStyle{}});
    }
    cursorTo(0, 0);
}

// The alternate screen has no history: exactly rows() rows, blank when entered with clear.
void Screen::switchScreen(bool alternate, bool clear)
{
    if (alternate == alternateActive_) {
        if (alternate && clear) {
            alternate_.reset(rows_, blank());
        }
        return;
    }
    alternateActive_ = alternate;
    grid_ = alternate ? &alternate_ : &primary_;
    if (alternate && (clear || alternate_.rowCount() != rows_)) {
        alternate_.reset(rows_, blank());
    }
    if (alternate) {
        keyboard_[1] = KeyboardStack{}; // a program on the alternate screen starts with the legacy keys
    }
    // The cursor stays where it is, and with it a pending wrap (xterm keeps it across ?47).
    updateKeyboardFlags();
}

void Screen::saveCursor()
{
    saved_[alternateActive_ ? 1 : 0] = SavedCursor{
        true,  cursorRow_, cursorColumn_, wrapPending_, modes_.originMode, pen_, {charsets_[0], charsets_[1]},
        shift_};
}

void Screen::restoreCursor()
{
    const SavedCursor& s = saved_[alternateActive_ ? 1 : 0];
    cursorRow_ = std::clamp(s.row, 0, rows_ - 1);
    cursorColumn_ = std::clamp(s.column, 0, columns_ - 1);
    wrapPending_ = s.wrapPending && cursorColumn_ == columns_ - 1;
    modes_.originMode = s.originMode;
    pen_ = s.pen;
    charsets_[0] = s.charsets[0];
    charsets_[1] = s.charsets[1];
    shift_ = s.shift;
    updateFastPrint();
}

// What DECSTR and RIS both put back: the modes (bracketed paste stays, which the shell set and
// expects; a soft reset keeps the mouse and focus reports too), the margins, the pen, the charsets and
// the cursor style.
void Screen::resetModesAndPen(bool soft)
{
    TerminalModes modes;
    modes.bracketedPaste = modes_.bracketedPaste;
    modes.keyboardFlags = modes_.keyboardFlags; // the stacks' own, which only RIS empties
    if (soft) {
        modes.mouseTracking = modes_.mouseTracking;
        modes.mouseSgr = modes_.mouseSgr;
        modes.focusEvents = modes_.focusEvents;
        modes.colorSchemeReports = modes_.colorSchemeReports;
        modes.inBandResize = modes_.inBandResize;
    }
    modes_ = modes;
    top_ = 0;
    bottom_ = rows_ - 1;
    pen_ = CellStyle{};
    charsets_[0] = charsets_[1] = 'B';
    shift_ = 0;
    cursorStyle_ = 0;
    updateFastPrint();
}

// DECSTR: modes, margins, pen and charsets back to their defaults; the screen stays.
void Screen::softReset()
{
    resetModesAndPen(true);
    saved_[alternateActive_ ? 1 : 0] = SavedCursor{};
}

// RIS: everything back to the start, on the primary screen of one screen of blank rows; the saved
// cursor and bracketed paste survive. With the screens and the history empty no cell refers to the
// tables any more, so they are emptied too: a flood of distinct marks or links before the reset
// cannot leave them full for the rest of the session.
void Screen::fullReset()
{
    switchScreen(false, false);
    resetModesAndPen(false);
    saved_[1] = SavedCursor{};
    saved_[0].pen.link = 0;
    primary_.reset(rows_, blankCell());
    alternate_.reset(0, blankCell());
    history_.clear();
    tables_ = CellTables{};
    folders_.clear();
    folderNumbers_.clear();
    keyboard_[0] = keyboard_[1] = KeyboardStack{};
    updateKeyboardFlags();
    promptActive_ = false;
    inputRow_ = -1;
    commandRunning_ = false;
    cursorRow_ = 0;
    cursorColumn_ = 0;
    wrapPending_ = false;
    resetTabStops(0);
}

// Tab stops every eight columns from column `from` on; the columns before it keep theirs.
void Screen::resetTabStops(int from)
{
    from = std::min(from, columns_);
    tabStops_.resize(static_cast<std::size_t>(columns_));
    std::fill(tabStops_.begin() + from, tabStops_.end(), false);
    for (int c = std::max(8, (from + 7) / 8 * 8); c < columns_; c += 8) {
        tabStops_[static_cast<std::size_t>(c)] = true;
    }
}

// Blanks columns [from, to) of the cursor row, both cut to the row; a wide character cut in half
// by the range's edges goes whole.
void Screen::blankCells(int from, int to)
{
    from = std::clamp(from, 0, columns_);
    to = std::clamp(to, from, columns_);
    if (from == to) {
        return;
    }
    const Cell blank = this->blank();
    Cell* cells = grid_->editRow(line(cursorRow_), std::min(columns_, to + 1));
    splitWideEdges(cells, from, to, columns_, pen_.background);
    fillCells(cells + from, cells + to, blank);
}

// ED: on the screen only; 3 drops the history instead. Erasing drops a pending wrap (xterm).
void Screen::eraseDisplay(std::int64_t mode)
{
    const Cell blank = this->blank();
    if (mode >= 0 && mode <= 2) {
        wrapPending_ = false;
    }
    if (mode == 0) {
        eraseLine(0);
        for (int r = cursorRow_ + 1; r < rows_; ++r) {
            grid_->blankRow(line(r), blank);
        }
    } else if (mode == 1) {
        for (int r = 0; r < cursorRow_; ++r) {
            grid_->blankRow(line(r), blank);
        }
        eraseLine(1);
    } else if (mode == 2) {
        for (int r = 0; r < rows_; ++r) {
            grid_->blankRow(line(r), blank);
        }
    } else if (mode == 3) {
        history_.clear();
    }
}

void Screen::eraseLine(std::int64_t mode)
{
    lastPrinted_ = 0;
    if (mode >= 0 && mode <= 2) {
        wrapPending_ = false;
    }
    if (mode == 0 || mode == 2) {
        grid_->setWrapped(line(cursorRow_), false); // the row's text no longer runs into the next
    }
    if (mode == 2) {
        blankCells(0, columns_);
    } else if (mode == 1) {
        blankCells(0, cursorColumn_ + 1);
    } else if (mode == 0) {
        blankCells(cursorColumn_, columns_);
    }
}

void Screen::eraseCharacters(std::int64_t count)
{
    wrapPending_ = false;
    blankCells(cursorColumn_, cursorColumn_ + Saturating::count(count));
}

// How many cells DCH and ICH move: cut to the cells right of the cursor.
int Screen::shiftWidth(std::int64_t count)
{
    wrapPending_ = false;
    return std::min(columns_ - cursorColumn_, Saturating::count(count));
}

void Screen::deleteCharacters(std::int64_t count)
{
    shiftCells(count, false);
}

void Screen::insertCharacters(std::int64_t count)
{
    shiftCells(count, true);
}

// DCH closes count cells at the cursor, ICH opens them; the row's far end takes or gives blanks.
void Screen::shiftCells(std::int64_t count, bool open)
{
    const int k = shiftWidth(count);
    if (k > 0) {
        shiftRow(line(cursorRow_), cursorColumn_, k, open);
    }
}

// Closes (or opens) k cells of a row at `column`, 0 < k <= columns - column.
void Screen::shiftRow(int line, int column, int k, bool open)
{
    const Cell blank = this->blank();
    Cell* cells = grid_->editRow(line);
    if (!open) {
        splitWideEdges(cells, column, column + k, columns_, pen_.background);
        std::copy(cells + column + k, cells + columns_, cells + column);
        fillCells(cells + columns_ - k, cells + columns_, blank);
        return;
    }
    // Cells open at the column: a wide character split there goes whole.
    if ((cells[column].style.flags & CellFlags::wideTail) && column > 0) {
        cells[column - 1] = blank;
        cells[column] = blank;
    }
    std::copy_backward(cells + column, cells + columns_ - k, cells + columns_);
    fillCells(cells + column, cells + column + k, blank);
    if (cells[columns_ - 1].style.flags & CellFlags::wideHead) {
        cells[columns_ - 1] = blank; // its tail was pushed off the row
    }
}

// SL, SR, DECDC and DECIC: the rows inside the margins lose (or gain) count columns at `column`;
// the cursor stays.
void Screen::shiftColumns(int column, std::int64_t count, bool open)
{
    const int k = std::min(columns_ - column, Saturating::count(count));
    if (k <= 0) {
        return;
    }
    for (int r = top_; r <= bottom_; ++r) {
        shiftRow(line(r), column, k, open);
    }
}

// DECSED and DECSEL: the cells from (fromRow, fromColumn) up to (toRow, toColumn), both screen
// positions and the end exclusive, become blanks unless DECSCA protected them.
void Screen::selectiveErase(int fromRow, int fromColumn, int toRow, int toColumn)
{
    wrapPending_ = false;
    const Cell blank = this->blank();
    for (int r = fromRow; r <= toRow; ++r) {
        const int from = r == fromRow ? fromColumn : 0;
        const int to = r == toRow ? toColumn : columns_;
        if (from >= to) {
            continue;
        }
        Cell* cells = grid_->editRow(line(r));
        for (int c = from; c < to; ++c) {
            if (cells[c].style.flags & CellFlags::protectedCell) {
                continue;
            }
            // A wide character goes whole or not at all, so no half is left behind.
            const bool head = (cells[c].style.flags & CellFlags::wideHead) && c + 1 < columns_;
            const bool tail = (cells[c].style.flags & CellFlags::wideTail) && c > 0;
            cells[c] = blank;
            if (head) {
                cells[c + 1] = blank;
            }
            if (tail) {
                cells[c - 1] = blank;
            }
        }
    }
}

// Text that is not plain ASCII, such as accented or CJK words with ASCII between them, goes into
// the cursor's row up to its end with one edit of the row, instead of one print each: the same
// cells, cursor and pending wrap as print one character after another. Stops before anything that
// is not a whole character of one or two cells, or printable ASCII.
const std::uint8_t* Screen::writeTextRun(const std::uint8_t* p, const std::uint8_t* end, char32_t first,
                                         int length, int firstWidth)
{
    // The row is told how far the run went once it is written, so that what is past it stays known
    // to be blank (the history then need not look at it).
    Cell* const cells = grid_->editRow(line(cursorRow_), cursorColumn_ + 1);
    const CellStyle style = pen_;
    const int columns = columns_;
    int column = cursorColumn_;
    char32_t scalar = first;
    int width = firstWidth;
    // The run overwrites one stretch of cells, so only a wide character cut at either end of it needs
    // its other half blanked: its first half before the stretch now, its second half after it at
    // the end.
    if ((cells[column].style.flags & CellFlags::wideTail) && column > 0) [[unlikely]] {
        cells[column - 1] = blankCell(style.background);
    }
#if defined(__SSE2__)
    // One- and two-cell characters alternate at random in such text, so both are written without a
    // branch on the width: the first cell with the head flag or not, and the cell after it either
    // the second half or what it already held (the next character overwrites it anyway).
    const Cell tailCell{0,
                        CellStyle{style.foreground, style.background,
                                  static_cast<std::uint16_t>(style.flags | CellFlags::wideTail), style.link}};
    __m128i tail;
    std::memcpy(&tail, &tailCell, sizeof tail);
#endif
    for (;;) {
#if defined(__SSE2__)
        CellStyle headStyle = style;
        headStyle.flags = static_cast<std::uint16_t>(headStyle.flags | (width - 1) * CellFlags::wideHead);
        cells[column] = Cell{scalar, headStyle};
        if (column + 1 < columns) [[likely]] {
            auto* const next = reinterpret_cast<__m128i*>(cells + column + 1);
            const __m128i two = _mm_set1_epi32(-(width - 1));
            _mm_storeu_si128(
                next, _mm_or_si128(_mm_and_si128(two, tail), _mm_andnot_si128(two, _mm_loadu_si128(next))));
        }
#else
        placeCharacter(cells, column, scalar, width, style);
#endif
        p += length;
        column += width;
        if (column >= columns) {
            grid_->editRow(line(cursorRow_), columns);
            lastPrinted_ = scalar;
            advanceAfterWrite(column);
            return p;
        }
        if (p == end) {
            break;
        }
        // Two ASCII characters in a row start a run for the ASCII path, which writes four cells at a
        // time; one between others is taken here. Both tests at once, so that text where ASCII and
        // other characters alternate at random does not mispredict a branch on every ASCII one.
        if (end - p > 1 && ByteScan::bothPrintableAscii(p[0], p[1])) {
            break;
        }
        const char32_t next = ByteScan::wholeCharacter(p, end, length);
        if (next < 0x20 || (next >= 0x80 && next < 0xA0)) {
            break; // not a whole character, or a C1 control
        }
        width = characterWidthFromTable(next); // no branch on the script, which changes at random
        if (width == 0 || column + width > columns) {
            break; // combining marks, and a wide character at the last column, take the general path
        }
        scalar = next;
    }
    if (cells[column].style.flags & CellFlags::wideTail) [[unlikely]] {
        cells[column] = blankCell(style.background);
    }
    grid_->editRow(line(cursorRow_), column + 1);
    lastPrinted_ = scalar;
    advanceAfterWrite(column);
    return p;
}

// ---- control sequences and modes ----

void Screen::controlSequence(std::uint32_t sequenceKey, std::span<const std::int64_t> values)
{
    using CsiParameters::key;
    const char32_t repeatable = lastPrinted_;
    lastPrinted_ = 0;
    // The count or first position (0 means 1), read only by the cases that use it. Movements take negative
    // counts as no movement and saturate huge ones.
    const auto n = [&] { return values[0] != 0 ? values[0] : 1; };
    const auto distance = [&] { return Saturating::count(n()); };
    const auto index = [](std::int64_t position) {
        return Saturating::oneBasedToIndex(position, 0, 1 << 24);
    };

    switch (sequenceKey) {
    case key('A'): // CUU: cursor up
        cursorUp(distance());
        break;
    case key('B'): // CUD: cursor down
        cursorDown(distance());
        break;
    case key('e'): // VPR: line position relative
        rowPositionRelative(distance());
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
        cursorPosition(values[0], values.size() > 1 ? values[1] : 0);
        break;
    case key('J'): // ED: erase in display
        eraseDisplay(values[0]);
        break;
    case key('?', 0, 'J'): // DECSED: selective erase in display, DECSCA's cells kept
        if (values[0] == 0) {
            selectiveErase(cursorRow_, cursorColumn_, rows_ - 1, columns_);
        } else if (values[0] == 1) {
            selectiveErase(0, 0, cursorRow_, cursorColumn_ + 1);
        } else if (values[0] == 2) {
            selectiveErase(0, 0, rows_ - 1, columns_);
        }
        break;
    case key('K'): // EL: erase in line
        eraseLine(values[0]);
        break;
    case key('?', 0, 'K'): // DECSEL: selective erase in line
        if (values[0] >= 0 && values[0] <= 2) {
            selectiveErase(cursorRow_, values[0] == 0 ? cursorColumn_ : 0, cursorRow_,
                           values[0] == 1 ? cursorColumn_ + 1 : columns_);
        }
        break;
    case key(0, '"', 'q'): // DECSCA: what is printed next is (1) or is not (0, 2) protected
        if (values[0] >= 0 && values[0] <= 2) {
            flag(pen_.flags, CellFlags::protectedCell, values[0] == 1);
        }
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
    case key(0, ' ', '@'): // SL: scroll left, the rows inside the margins
        shiftColumns(0, n(), false);
        break;
    case key(0, ' ', 'A'): // SR: scroll right
        shiftColumns(0, n(), true);
        break;
    case key(0, '\'', '}'): // DECIC: insert columns at the cursor's
        shiftColumns(cursorColumn_, n(), true);
        break;
    case key(0, '\'', '~'): // DECDC: delete columns at the cursor's
        shiftColumns(cursorColumn_, n(), false);
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
    case key('b'): // REP: repeat the character just printed
        lastPrinted_ = repeatable;
        repeatLast(n());
        lastPrinted_ = 0;
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
    case key('?', 0, 'u'): // the keyboard protocol: query, push, pop, set
    case key('>', 0, 'u'):
    case key('<', 0, 'u'):
    case key('=', 0, 'u'):
        keyboardProtocol(static_cast<char>(sequenceKey >> 16), values);
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
        if (values[0] < 0) {
            break; // no mode has a sign: a reply would only carry the program's garbage back
        }
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
    {66, true, &TerminalModes::applicationKeypad},    // DECNKM, as ESC = and ESC >
    {2031, true, &TerminalModes::colorSchemeReports}, // colour scheme reports
    {2048, true, &TerminalModes::inBandResize},       // in-band size reports, one at once
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

void Screen::setMode(std::int64_t mode, bool isPrivate, bool on)
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
        case 2048:
            if (on) {
                reportSize();
            }
            break;
        case 1049: // save the cursor and enter a clear alternate screen; leave it and restore
            if (on) {
                if (!alternateActive_) {
                    saveCursor();
                }
                switchScreen(true, true);
                wrapPending_ = false; // the screen was cleared, and an erase drops it (xterm)
            } else {
                if (alternateActive_) {
                    switchScreen(false, false);
                }
                restoreCursor(); // as xterm, even when the primary screen was showing
            }
            break;
        default:
            break;
        }
    }
    updateFastPrint();
}

// DECRQM's answer: 1 set, 2 reset, 0 not recognised.
int Screen::modeState(std::int64_t mode, bool isPrivate) const
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
    if (isPrivate && mode == 1048) { // as xterm: whether this screen has a saved cursor
        return state(saved_[alternateActive_ ? 1 : 0].saved);
    }
    if (isPrivate && mode == 3) {
        return 4; // DECCOLM: the columns are the window's, never 132 at a program's word
    }
    return 0;
}

// DSR 5: the terminal is fine; DSR 6: the cursor, 1-based, from the top margin in origin mode;
// DSR ? 996: the colour scheme.
void Screen::reportDeviceStatus(std::int64_t request, bool isPrivate)
{
    if (request == 996 && isPrivate) {
        reportColorScheme();
    } else if (request == 5 && !isPrivate) {
        reply("\x1b[0n");
    } else if (request == 6) {
        // Never below 1, as xterm: the cursor can be above the region in origin mode (DECRC).
        const int row = std::max(1, cursorRow_ - (modes_.originMode ? top_ : 0) + 1);
        reply(std::string("\x1b[") + (isPrivate ? "?" : "") + number(row) + ";" + number(cursorColumn_ + 1) +
              "R");
    }
}

// ?2031 and DSR ? 996: 1 for a dark background, 2 for a light one.
void Screen::reportColorScheme()
{
    reply(darkBackground_ ? "\x1b[?997;1n" : "\x1b[?997;2n");
}

// A change of colours, to a program that asked (?2031). Changes the owner has not drained yet are one
// change to the program: a report still waiting is replaced by the current one.
void Screen::reportColorSchemeChange()
{
    if (!modes_.colorSchemeReports) {
        return;
    }
    constexpr std::string_view waiting = "\x1b[?997;1n";
    if (replies_.size() >= waiting.size() &&
        std::string_view(replies_).substr(replies_.size() - waiting.size(), waiting.size() - 2) ==
            waiting.substr(0, waiting.size() - 2)) {
        replies_.resize(replies_.size() - waiting.size());
    }
    reportColorScheme();
}

// ?2048: rows, columns and the text area in pixels (0 while the cell size is unknown).
void Screen::reportSize()
{
    reply("\x1b[48;" + number(rows_) + ";" + number(columns_) + ";" + number(rows_ * cellPixelHeight_) + ";" +
          number(columns_ * cellPixelWidth_) + "t");
}

// The keyboard protocol's flag stacks: CSI ? u asks for the flags in force, CSI > f u pushes f,
// CSI < n u pops n entries (1 by default; more than there are empties the stack), CSI = f ; m u sets
// the top entry's flags to f (m 1, the default), adds them (2) or takes them away (3). Unknown bits
// are never kept, so a query reports only what the encoder does.
void Screen::keyboardProtocol(char leader, std::span<const std::int64_t> values)
{
    KeyboardStack& stack = keyboard_[alternateActive_ ? 1 : 0];
    const auto flags =
        static_cast<std::uint8_t>(std::clamp<std::int64_t>(values[0], 0, 255) & KeyboardFlags::all);
    switch (leader) {
    case '?':
        reply("\x1b[?" + number(modes_.keyboardFlags) + "u");
        return;
    case '>':
        if (stack.depth == KeyboardStack::limit) {
            std::copy(stack.flags + 1, stack.flags + stack.depth, stack.flags);
            --stack.depth;
        }
        stack.flags[stack.depth++] = flags;
        break;
    case '<':
        stack.depth -=
            static_cast<int>(std::min<std::int64_t>(std::max<std::int64_t>(values[0], 1), stack.depth));
        break;
    case '=': {
        const std::int64_t how = values.size() > 1 && values[1] != 0 ? values[1] : 1;
        if (how < 1 || how > 3) {
            return;
        }
        if (stack.depth == 0) {
            stack.flags[stack.depth++] = 0;
        }
        std::uint8_t& top = stack.flags[stack.depth - 1];
        top = how == 1   ? flags
              : how == 2 ? static_cast<std::uint8_t>(top | flags)
                         : static_cast<std::uint8_t>(top & ~flags);
        break;
    }
    default:
        return;
    }
    updateKeyboardFlags();
}

// The flags in force: the top of the active screen's stack, none when it is empty.
void Screen::updateKeyboardFlags()
{
    const KeyboardStack& stack = keyboard_[alternateActive_ ? 1 : 0];
    modes_.keyboardFlags = stack.depth > 0 ? stack.flags[stack.depth - 1] : 0;
}

// ---- strings ----

void Screen::osc(std::string_view text, bool endedByBel)
{
    lastPrinted_ = 0;
    std::string_view rest;
    const int code = command(text, rest);
    switch (code) {
    case 0: // icon name and title
    case 2: // title
        title_ = printable(rest, titleLimit);
        events_.titleChanged = true;
        break;
    case 4: { // palette colours: pairs of index and ?, the scheme's own for 0-15; setting is not supported
        while (!rest.empty()) {
            const std::size_t first = rest.find(';');
            if (first == std::string_view::npos) {
                break;
            }
            const std::string_view index = rest.substr(0, first);
            rest.remove_prefix(first + 1);
            const std::size_t second = rest.find(';');
            const std::string_view request = rest.substr(0, second);
            rest = second == std::string_view::npos ? std::string_view() : rest.substr(second + 1);
            int value = -1;
            const auto [end, error] = std::from_chars(index.data(), index.data() + index.size(), value);
            if (request == "?" && error == std::errc() && end == index.data() + index.size() && value >= 0 &&
                value <= 255) {
                colorReply(4, resolveForeground(CellColor::indexed(value)), number(value),
                           endedByBel); // 007 is 7
            }
        }
        break;
    }
    case 7: // the working directory, as a file: URL
        workingDirectory_ = printable(rest, uriLimit);
        events_.workingDirectoryChanged = true;
        if (promptActive_ && inputRow_ < 0 && grid_->promptStart(line(cursorRow_))) {
            noteFolder(); // reported after the prompt's start, before its end
        }
        break;
    case 8: { // hyperlink: key=value parameters split by ':' ; URI, an empty URI ending the link
        const std::size_t semicolon = rest.find(';');
        const std::string_view uri =
            semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        std::string_view parameters = rest.substr(0, semicolon);
        std::string_view id;
        while (!parameters.empty()) {
            const std::size_t colon = parameters.find(':');
            const std::string_view parameter = parameters.substr(0, colon);
            if (parameter.starts_with("id=")) {
                id = parameter.substr(3);
            }
            parameters = colon == std::string_view::npos ? std::string_view() : parameters.substr(colon + 1);
        }
        pen_.link =
            tables_.styleLink(uri.empty() ? 0 : tables_.internHyperlink(uri, id), underlineColor(pen_.link));
        break;
    }
    case 10: // the text, background and cursor colours: only queries are answered
    case 11:
    case 12:
        // One OSC may ask for several in a row (10;?;? asks for 10 and 11).
        for (int c = code; c <= 12 && rest.substr(0, 1) == "?"; ++c) {
            colorReply(c,
                       c == 10   ? baseTextColor_
                       : c == 11 ? reportedBackground_
                                 : reportedCursor_,
                       {}, endedByBel);
            rest.remove_prefix(std::min<std::size_t>(rest.size(), 2));
        }
        break;
    case 52: { // clipboard: selection ; base64 data. Reading it is never answered.
        const std::size_t semicolon = rest.find(';');
        if (semicolon != std::string_view::npos) {
            clipboardWrite(rest.substr(0, semicolon), rest.substr(semicolon + 1));
        }
        break;
    }
    case 133: // semantic prompt marks: A a prompt starts, C its command's output, D its end
        if (!rest.empty() && rest[0] == 'A' && !alternateActive_) {
            grid_->setPromptStart(line(cursorRow_));
            promptActive_ = true;
        } else if (!rest.empty() && (rest[0] == 'C' || rest[0] == 'D')) {
            promptActive_ = false;
        }
        semanticMark(rest);
        break;
    default: // 1 (icon name), 104 and the rest
        break;
    }
}

void Screen::colorReply(int code, Color color, std::string_view index, bool endedByBel)
{
    std::string answer = "\x1b]" + std::to_string(code) + ";";
    if (!index.empty()) {
        answer.append(index).append(";");
    }
    answer += "rgb:" + hex4(color.red) + "/" + hex4(color.green) + "/" + hex4(color.blue);
    answer += endedByBel ? "\x07" : "\x1b\\";
    reply(answer);
}

void Screen::clipboardWrite(std::string_view selections, std::string_view payload)
{
    if (payload == "?") {
        return;
    }
    // A handful per chunk is plenty; a program cannot queue up the memory of many large ones.
    if (events_.clipboardWrites.size() < 4) {
        events_.clipboardWrites.push_back({std::string(selections), base64Decode(payload)});
    }
}

// DECRQSS (DCS $ q) and XTGETTCAP (DCS + q) get the answer for an unknown request; other device
// control strings are ignored.
void Screen::dcs(std::string_view text)
{
    lastPrinted_ = 0;
    if (text.starts_with("$q")) {
        reply("\x1bP0$r\x1b\\");
    } else if (text.starts_with("+q")) {
        reply("\x1bP0+r\x1b\\");
    }
}

// The parser's code is made here, beside the actions it calls, so that the compiler may inline the
// small ones (a carriage return, a cursor position, a colour) into its loops, as it could when one
// class did both.
template class VtParser<Screen>;
