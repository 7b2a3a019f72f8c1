// What the parser's actions mean: the primary screen with its history and the alternate screen, the
// cursor, pen, modes and margins, and the replies and events queued for the owner. Each action is
// performed here once, whichever path of the parser found it. No I/O, no toolkit.
#pragma once

#include "Cell.h"
#include "CellTables.h"
#include "Color.h"
#include "Grid.h"
#include "History.h"
#include "HistoryLimit.h"
#include "Palette.h"
#include "Rendition.h"
#include "Saturating.h"
#include "TerminalModes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct SavedCursor {
    bool saved = false; // by DECSC or its relatives, since the last reset
    int row = 0;
    int column = 0;
    bool wrapPending = false;
    bool originMode = false;
    CellStyle pen;
    char charsets[2] = {'B', 'B'};
    int shift = 0;
};

// What happened during consume that the owner acts on, other than bytes for the shell.
struct TerminalEvents {
    bool titleChanged = false;
    bool workingDirectoryChanged = false; // OSC 7
    // OSC 133: a command's output started (C), with the command line as typed after the prompt's
    // end (B), at most commandLineLimit bytes; a command ended (D) with its exit status.
    bool commandStarted = false;
    std::string commandLine;
    bool commandFinished = false;
    int commandStatus = 0;
    int bells = 0;
    // OSC 52: the selections named (c, p, s, ...; empty when none was) and the decoded text.
    struct ClipboardWrite {
        std::string selections;
        std::string text;
    };
    std::vector<ClipboardWrite> clipboardWrites;
};

class Screen {
public:
    static constexpr int rowLimit = 2000;              // tallest screen resizeGrid accepts
    static constexpr std::size_t replyLimit = 1 << 16; // bytes of replies waiting for the owner
    static constexpr int columnLimit = 1000;           // widest grid resizeGrid accepts

    Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // --- the parser's actions (VtParser.h says what each is given) ----------------------------
    void printAscii(const std::uint8_t* text, std::size_t length);
    const std::uint8_t* printText(const std::uint8_t* p, const std::uint8_t* end, char32_t first, int length);
    void print(char32_t scalar);
    // CR and LF are most of the controls in shell output: inline, so that the parser's loop has
    // them without a call.
    void execute(char32_t c)
    {
        lastPrinted_ = 0;
        if (c == 0x0D) {
            carriageReturn();
        } else if (c == 0x0A) {
            lineFeed();
        } else {
            control(c);
        }
    }
    void escape(char32_t intermediate, char32_t final);
    void controlSequence(std::uint32_t key, std::span<const std::int64_t> values);
    // A colour alone goes straight into the pen, inline in the parser's loop; anything else code by
    // code.
    [[gnu::always_inline]] void rendition(std::span<const std::int64_t> values,
                                          std::span<const std::uint8_t> groups)
    {
        lastPrinted_ = 0;
        std::int64_t code = 0;
        std::uint32_t color = 0;
        if (groups.empty() && loneExtendedColor(values, code, color)) {
            setExtendedColor(code, color);
        } else {
            renditionCodes(values, groups);
        }
    }
    // CUP and HVP: 1-based, 0 meaning 1. Inline: a full-screen redraw is mostly this.
    void cursorPosition(std::int64_t row, std::int64_t column)
    {
        lastPrinted_ = 0;
        cursorTo(Saturating::oneBasedToIndex(row, 0, 1 << 24),
                 Saturating::oneBasedToIndex(column, 0, 1 << 24));
    }
    void osc(std::string_view text, bool endedByBel);
    void dcs(std::string_view text);
    // Only REP cares: the character it repeats must come right before it.
    void skipped() { lastPrinted_ = 0; }

    // --- operations, also used alone ---------------------------------------------------------
    // A character in a colour of its own, whatever pen and charset the shell left set; a line feed
    // for \n, other controls dropped.
    void write(char32_t scalar, Color color);
    void index();
    void eraseDisplay(std::int64_t mode);
    void eraseLine(std::int64_t mode);
    void eraseCharacters(std::int64_t count);
    void deleteCharacters(std::int64_t count);
    void insertCharacters(std::int64_t count);
    void applyGraphicRendition(std::span<const std::int64_t> values) { rendition(values, {}); }
    static Color ansiColor(std::int64_t index, bool bright);
    // The 256-colour palette: 16 named colours, the 6 x 6 x 6 cube and the grey ramp.
    static Color paletteColor(int index);
    // Clamps to 1..rowLimit rows and 1..columnLimit columns; false when the size stays. A new width
    // re-wraps the primary screen's lines and its history; the alternate screen is cut or padded.
    bool resizeGrid(int rows, int columns);

    // --- configuration ------------------------------------------------------------------------
    // The default text colour (the view's configure sets it to the user's text colour).
    void setBaseTextColor(Color color) { baseTextColor_ = color; }
    // The user's scheme: the sixteen numbered colours, the default text and the cursor. What colour
    // queries (OSC 4, 10, 12) answer from then on; a change is reported to a program that asked (?2031).
    void setPalette(const AnsiColors& ansi, Color text, Color cursor);
    const AnsiColors& ansiColors() const { return ansi_; }
    // The pen's text colour; the base colour means the default.
    void setCurrentColor(Color color);
    // What colour queries report for the background and the cursor (the glass and the cursor as
    // the view shows them).
    // A background that turns from dark to light or back is reported to a program that asked (?2031).
    void setReportedColors(Color background, Color cursor);
    // The size of one cell in pixels, for the in-band size reports (?2048); 0 while unknown.
    void setCellPixelSize(int width, int height);
    // How much history the primary screen keeps; a smaller limit drops the oldest lines at once.
    void setHistoryLimit(HistoryLimit limit) { history_.setLimit(limit); }
    HistoryLimit historyLimits() const { return history_.limit(); }
    const History& history() const { return history_; }
    // Counts the rows of history lines a resize only estimated, a slice at a time; true while some
    // remain (the owner calls again when idle).
    bool refineHistory(int lineBudget)
    {
        history_.refine(lineBudget);
        return history_.refining();
    }

    // --- read-only state ----------------------------------------------------------------------
    int rows() const { return rows_; }
    int columns() const { return columns_; }
    // The cursor, counted from the top of the screen.
    int cursorRow() const { return cursorRow_; }
    int cursorColumn() const { return cursorColumn_; }
    bool wrapPending() const { return wrapPending_; }
    SavedCursor savedCursor() const { return saved_[alternateActive_ ? 1 : 0]; }
    CellStyle pen() const { return pen_; }
    Color currentColor() const { return resolveForeground(pen_.foreground); }
    Color baseTextColor() const { return baseTextColor_; }
    bool bracketedPasteEnabled() const { return modes_.bracketedPaste; }
    const TerminalModes& modes() const { return modes_; }
    int cursorStyle() const { return cursorStyle_; } // DECSCUSR 0..6, 0 for the user's choice
    bool alternateScreenActive() const { return alternateActive_; }
    int scrollTop() const { return top_; }
    int scrollBottom() const { return bottom_; }
    const std::string& title() const { return title_; }
    const std::string& workingDirectory() const { return workingDirectory_; }
    bool tabStop(int column) const;

    // The active screen's kept rows, oldest first: on the primary screen the history and then the
    // screen, on the alternate screen the screen alone. row(i) is valid until the next mutating call.
    // A history row's span also stays valid while fewer than History::cachedRows other history rows
    // are read.
    std::size_t rowCount() const { return static_cast<std::size_t>(historyRows() + grid_->rowCount()); }
    std::span<const Cell> row(std::size_t index) const
    {
        const auto i = static_cast<std::int64_t>(index);
        const std::int64_t h = historyRows();
        return i < h ? history_.row(i) : grid_->row(static_cast<int>(i - h));
    }
    // Changes whenever row(index)'s cells change (also when a row is replaced or recycled); never
    // repeats for different contents on either screen, so a view can cache per-row layout by it.
    std::uint64_t rowStamp(std::size_t index) const
    {
        const auto i = static_cast<std::int64_t>(index);
        const std::int64_t h = historyRows();
        return i < h ? history_.stamp(i) : grid_->stamp(static_cast<int>(i - h));
    }
    // The row's text goes on in the next row (it ended in an automatic wrap).
    bool rowWrapped(std::size_t index) const
    {
        const auto i = static_cast<std::int64_t>(index);
        const std::int64_t h = historyRows();
        return i < h ? history_.rowWrapped(i) : grid_->wrapped(static_cast<int>(i - h));
    }
    // A screen row whose last cell is the blank left where a wide character did not fit (not text).
    bool rowPadded(std::size_t index) const
    {
        const auto i = static_cast<std::int64_t>(index) - historyRows();
        return i >= 0 && grid_->padded(static_cast<int>(i));
    }
    // Marks the shell left (LineMarks) on the line starting on kept row `index` (on the screen: on
    // the row); the nearest marked row before or after a row, -1 for none; the marked rows in
    // [first, last). On the alternate screen there are none.
    LineMarks::Bits rowMarks(std::size_t index) const;
    std::int64_t markedRowBefore(std::int64_t index, LineMarks::Bits mask) const;
    std::int64_t markedRowAfter(std::int64_t index, LineMarks::Bits mask) const;
    void markedRows(std::int64_t first, std::int64_t last,
                    std::vector<std::pair<std::int64_t, LineMarks::Bits>>& out) const;
    // The folder (OSC 7's URL) the shell had reported when the prompt at or above kept row `index`
    // began; empty for none.
    std::string folderAt(std::size_t index) const;
    // The active screen's drops from the oldest end and rearrangements (Grid, History), for readers
    // that keep per-row state between frames.
    std::uint64_t droppedRows() const
    {
        return alternateActive_ ? grid_->droppedRows() : history_.droppedRows();
    }
    std::uint64_t rowsGeneration() const
    {
        return grid_->generation() + (alternateActive_ ? 0 : history_.generation());
    }
    // Index in the kept rows of the screen's first row, and of the cursor's row.
    int screenTop() const { return static_cast<int>(rowCount()) - rows_; }
    int cursorLine() const { return screenTop() + cursorRow_; }
    std::int64_t historyRows() const { return alternateActive_ ? 0 : history_.rowCount(); }

    // The text a cell shows: its character, or a character with combining marks.
    std::u32string_view cellText(const Cell& cell) const { return tables_.cellText(cell); }
    // The URI of a cell's link (CellStyle::link), empty for none.
    std::string_view hyperlink(std::uint16_t link) const { return tables_.hyperlink(link); }
    // The number of a cell's link with its underline colour set aside: cells of one link share it.
    std::uint16_t hyperlinkId(std::uint16_t link) const { return tables_.hyperlinkOf(link); }
    // The underline colour of a cell's link (SGR 58), CellColor::defaultColor for the text's own.
    std::uint32_t underlineColor(std::uint16_t link) const { return tables_.underlineColor(link); }
    // A cell colour as RGBA: the default foreground is the base text colour, the default
    // background the reported background.
    Color resolveForeground(std::uint32_t color) const;
    Color resolveBackground(std::uint32_t color) const;

    // --- what the owner drains after consume --------------------------------------------------
    // Bytes for the shell (answers to queries), in the order the queries came.
    std::string takeReplies();
    const std::string& pendingReplies() const { return replies_; }
    TerminalEvents takeEvents();

private:
    // Printing
    void printWide(char32_t scalar, int width);
    void combine(char32_t mark);
    void writeAsciiRun(const std::uint8_t* text, std::size_t length);
    const std::uint8_t* writeTextRun(const std::uint8_t* p, const std::uint8_t* end, char32_t first,
                                     int length, int firstWidth);
    void wrapIfPending();
    void advanceAfterWrite(int column);
    char32_t mapCharset(char32_t scalar) const;
    void updateFastPrint();

    // Graphic rendition
    void renditionCodes(std::span<const std::int64_t> values, std::span<const std::uint8_t> groups);
    void setExtendedColor(std::int64_t code, std::uint32_t color)
    {
        if (code == 38) [[likely]] {
            pen_.foreground = color;
        } else if (code == 48) {
            pen_.background = color;
        } else {
            underlineWith(color);
        }
    }
    void underlineWith(std::uint32_t color);
    void resetRendition();

    // Lines and scrolling
    void control(char32_t c);
    void carriageReturn()
    {
        cursorColumn_ = 0;
        wrapPending_ = false;
    }
    void lineFeed();
    void reverseIndex();
    void nextLine();
    void scrollUp(int count);
    bool scrollsIntoHistory() const { return !alternateActive_ && top_ == 0 && bottom_ == rows_ - 1; }
    void scrollIntoHistory(int count);
    void scrollDown(int count);
    void insertLines(std::int64_t count);
    void deleteLines(std::int64_t count);
    void editLines(std::int64_t count, void (Grid::*shift)(int, int, int, const Cell&));
    void setMargins(std::int64_t top, std::int64_t bottom);

    // The cursor
    // CUP and its relatives: 0-based, inside the screen, or inside the margins in origin mode.
    void cursorTo(int row, int column)
    {
        if (modes_.originMode) [[unlikely]] {
            cursorRow_ = std::clamp(top_ + row, top_, bottom_);
        } else {
            cursorRow_ = std::clamp(row, 0, rows_ - 1);
        }
        cursorColumn_ = std::clamp(column, 0, columns_ - 1);
        wrapPending_ = false;
    }
    void cursorUp(int count);
    void cursorDown(int count);
    void cursorForward(int count);
    void cursorBackward(int count);
    void tabForward(int count);
    void tabBackward(int count);
    void resetTabStops(int from);
    void saveCursor();
    void restoreCursor();
    void rowPositionRelative(int count);

    // Cells of the cursor's row
    void blankCells(int from, int to);
    int shiftWidth(std::int64_t count);
    void shiftCells(std::int64_t count, bool open);
    void shiftRow(int line, int column, int count, bool open);
    void shiftColumns(int column, std::int64_t count, bool open);
    void selectiveErase(int fromRow, int fromColumn, int toRow, int toColumn);
    void repeatLast(std::int64_t count);

    // Screens, modes and resets
    void screenAlignment();
    void switchScreen(bool alternate, bool clear);
    void setMode(std::int64_t mode, bool isPrivate, bool on);
    int modeState(std::int64_t mode, bool isPrivate) const;
    void resetModesAndPen(bool soft);
    void softReset();
    void fullReset();
    void resizeScreen(Grid& grid, int& cursorRow, int newRows);
    void reflowPrimary(int newRows, int newColumns, int& cursorRow, int& cursorColumn, bool& wrapPending);

    // Replies and strings
    void reply(std::string_view bytes);
    void reportDeviceStatus(std::int64_t request, bool isPrivate);
    void reportColorScheme();
    void reportColorSchemeChange();
    void reportSize();
    void keyboardProtocol(char leader, std::span<const std::int64_t> values);
    void updateKeyboardFlags();
    void colorReply(int code, Color color, std::string_view index, bool endedByBel);
    void clipboardWrite(std::string_view selections, std::string_view payload);
    void semanticMark(std::string_view mark); // OSC 133's marks on the cursor's row
    void markFailedPrompt();
    void noteFolder(); // the working directory, on the prompt's row
    std::string commandLine() const;

    Cell blank() const { return blankCell(pen_.background); }
    int line(int screenRow) const { return grid_->rowCount() - rows_ + screenRow; } // in grid_

    std::uint64_t stamps_ = 0;  // shared by both grids
    Grid primary_{24, stamps_}; // the primary screen's rows; what scrolls off goes to history_
    Grid alternate_{rowLimit, stamps_};
    History history_;
    Grid* grid_ = &primary_;
    bool alternateActive_ = false;
    int rows_ = 24;
    int columns_ = 80;
    int cursorRow_ = 0;
    int cursorColumn_ = 0;
    bool wrapPending_ = false;
    int top_ = 0;
    int bottom_ = 23;
    SavedCursor saved_[2]; // primary, alternate
    CellStyle pen_;
    TerminalModes modes_;
    bool promptActive_ = false; // a marked prompt (OSC 133) is being edited
    int inputRow_ = -1;         // the screen row and column where the command line began (B)
    int inputColumn_ = 0;
    bool commandRunning_ = false; // output started (C) and has not ended (D)
    bool fastPrint_ = true;       // ASCII needs no charset, insert or wrap-off handling
    int cursorStyle_ = 0;
    char charsets_[2] = {'B', 'B'}; // G0 and G1: 'B' ASCII, '0' DEC special graphics
    int shift_ = 0;                 // which of them GL is (SO, SI)
    std::vector<bool> tabStops_;
    char32_t lastPrinted_ = 0; // the character just printed, 0 once anything else came
    // The keyboard protocol's pushed flags, one stack per screen, oldest first; a full stack drops
    // its oldest entry.
    struct KeyboardStack {
        static constexpr int limit = 16;
        std::uint8_t flags[limit] = {};
        int depth = 0;
    };
    KeyboardStack keyboard_[2]; // primary, alternate
    bool darkBackground_ = true;
    int cellPixelWidth_ = 0;
    int cellPixelHeight_ = 0;

    Color baseTextColor_;
    AnsiColors ansi_;
    Color reportedBackground_;
    Color reportedCursor_;

    std::string replies_;
    TerminalEvents events_;
    std::string title_;
    std::string workingDirectory_;
    // The folders prompts began in, numbered from 1 (LineMarks::folder); emptied by RIS.
    std::vector<std::string> folders_;
    std::unordered_map<std::string, std::uint32_t> folderNumbers_;
    CellTables tables_;
};
