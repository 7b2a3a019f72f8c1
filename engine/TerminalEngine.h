// The non-visual half of the terminal: the grid of cells with its cursor and history, the
// control-sequence interpreter that edits it, and the text-colour rules. No I/O, no toolkit.
#pragma once

#include "Cell.h"
#include "Color.h"
#include "CsiParameters.h"
#include "Grid.h"
#include "Utf8Decoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ControlSequenceState { normal, escape, csi, osc, oscEscape, stringControl, stringControlEscape };

struct SavedCursor {
    int row = 0;
    int column = 0;
};

class TerminalEngine {
public:
    static constexpr int historyLimit = 2000;              // rows kept in screen, history included
    static constexpr std::size_t escapeBufferLimit = 4096; // characters, the leading [ included
    static constexpr int columnLimit = 1000;               // widest grid resizeGrid accepts

    TerminalEngine();
    ~TerminalEngine();
    TerminalEngine(const TerminalEngine&) = delete;
    TerminalEngine& operator=(const TerminalEngine&) = delete;

    // The owner's redraw; called once per consume, append and effective resizeGrid.
    void setRenderHook(std::function<void()> renderScreen);

    // --- entry points -------------------------------------------------------------------------
    void consume(std::span<const std::uint8_t> bytes);
    void consume(std::string_view bytes); // convenience for tests and tools
    void append(std::string_view utf8Text, Color color);
    void resizeGrid(int rows, int columns);
    // Fills an empty screen with rows() blank rows (what the renderer does before its first draw).
    void fillEmptyScreen();

    // --- grid operations (used by the interpreter; public so they can be tested alone) ---------
    void write(char32_t scalar, Color color);
    void lineFeed();
    void ensureRow();
    void eraseDisplay(std::int64_t mode);
    void eraseLine(std::int64_t mode);
    void eraseCharacters(std::int64_t count);
    void deleteCharacters(std::int64_t count);
    void insertCharacters(std::int64_t count);
    void applyGraphicRendition(std::span<const std::int64_t> values);
    static Color ansiColor(std::int64_t index, bool bright);

    // --- configuration (the view's configure sets both to the user's text colour) --------------
    void setBaseTextColor(Color color);
    void setCurrentColor(Color color);

    // --- read-only state ------------------------------------------------------------------------
    int rows() const;
    int columns() const;
    int cursorRow() const;
    int cursorColumn() const;
    bool wrapPending() const;
    SavedCursor savedCursor() const;
    Color currentColor() const;
    Color baseTextColor() const;
    ControlSequenceState controlSequenceState() const;
    std::u32string_view escapeBuffer() const;
    bool bracketedPasteEnabled() const;

    // screen: rowCount() rows, oldest first; row(i) is valid until the next mutating call.
    std::size_t rowCount() const;
    std::span<const Cell> row(std::size_t index) const;
    // Changes whenever row(index)'s cells change (also when a row is replaced or recycled); never
    // repeats for different contents, so a view can cache per-row layout keyed by it.
    std::uint64_t rowStamp(std::size_t index) const;

private:
    // Interpreter (Interpreter.cpp, CsiDispatch.cpp)
    void interpret(const std::uint8_t* data, std::size_t size);
    // In the normal state with no UTF-8 character pending: printable ASCII runs, CR, LF and control
    // sequences whole within [p, end). Returns where a byte needs the general path, or end.
    const std::uint8_t* interpretCommonBytes(const std::uint8_t* p, const std::uint8_t* end);
    void interpretScalar(char32_t scalar);
    void normalScalar(char32_t scalar);
    void escapeScalar(char32_t scalar);
    void startControlSequence();
    void csiScalar(char32_t scalar);
    void executeControlSequence();
    // ESC [ at sequence with at least ten bytes from it: a CUP or EL with parameters of at most four
    // digits done, the byte after its final returned; else nullptr and nothing done.
    const std::uint8_t* cursorSequence(const std::uint8_t* sequence);
    // ESC [ at sequence, with at least one byte after it: an SGR of the forms coloured output is
    // made of done, the byte after its final returned; else nullptr and nothing done.
    const std::uint8_t* graphicRenditionSequence(const std::uint8_t* sequence, const std::uint8_t* end);
    // ESC [ at sequence, with at least one byte after it: the sequence executed if it ends before end
    // and within the bound, and the byte after its final returned; else nullptr and nothing done.
    const std::uint8_t* executeWholeSequence(const std::uint8_t* sequence, const std::uint8_t* end);
    // Whole characters (the first decoded, `length` bytes at p) into the cursor row up to its end;
    // needs cursorInsideRow(). Returns the first byte it left.
    const std::uint8_t* writeTextRun(const std::uint8_t* p, const std::uint8_t* end, char32_t first,
                                     int length);
    void dispatchControlSequence(char32_t final, bool isPrivate);

    // Grid helpers (GridOperations.cpp)
    void writeAsciiRun(const std::uint8_t* text, std::size_t length);
    void printScalar(char32_t scalar, Color color);
    void wrapIfPending();
    // The cursor is on a kept row, inside it, with no wrap pending: a character goes straight into
    // its cell, with nothing to wrap and no row to add first.
    bool cursorInsideRow() const
    {
        return !wrapPending_ && cursorRow_ >= 0 && cursorRow_ < grid_.rowCount() && cursorColumn_ < columns_;
    }
    void appendRowAtBottom();
    void reverseIndex();
    void fullReset();
    void saveCursor();
    void restoreCursor();
    void blankCells(int from, int to, const Color& color);
    int shiftWidth(std::int64_t count);
    void render();

    Grid grid_{historyLimit};
    int rows_ = 24;
    int columns_ = 80;
    int cursorRow_ = 0;
    int cursorColumn_ = 0;
    bool wrapPending_ = false;
    SavedCursor savedCursor_;
    Color currentColor_;
    Color baseTextColor_;

    ControlSequenceState controlSequenceState_ = ControlSequenceState::normal;
    std::u32string escapeBuffer_;
    bool escapeBufferOverflowed_ = false;
    bool bracketedPasteEnabled_ = false;
    Utf8Decoder decoder_;
    CsiParameterList parameters_; // reused by every control sequence

    std::function<void()> renderScreen_;
};
