// A read-only window on one engine's screen: the kept rows and their stamps, the cursor, the modes,
// what cells refer to (combined characters, links, colours) and the counts that tell a reader what
// moved. What the view holds: it can read everything a frame needs and change nothing.
#pragma once

#include "Cell.h"
#include "Color.h"
#include "LineMarks.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class TerminalEngine;
struct TerminalModes;

class ScreenReader {
public:
    explicit ScreenReader(const TerminalEngine& engine) : engine_(&engine) {}

    int rows() const;
    int columns() const;
    // The active screen's kept rows, oldest first (history, then the screen); row(i) is valid until
    // the engine next changes. A stamp changes whenever its row's cells change and never repeats.
    std::size_t rowCount() const;
    std::span<const Cell> row(std::size_t index) const;
    std::uint64_t rowStamp(std::size_t index) const;
    bool rowWrapped(std::size_t index) const; // its text goes on in the next row
    int screenTop() const;                    // index of the screen's first row among the kept rows
    // The cursor: its index among the kept rows and its column.
    int cursorLine() const;
    int cursorColumn() const;
    bool alternateScreenActive() const;
    const TerminalModes& modes() const;
    int cursorStyle() const; // DECSCUSR 0..6, 0 for the user's choice

    // Rows dropped from the oldest end of the active screen so far, and a count that moves when its
    // kept rows are rearranged otherwise (see Grid): with both, the rows before the screen need no
    // second look from one frame to the next.
    std::uint64_t droppedRows() const;
    std::uint64_t rowsGeneration() const;

    // The shell's marks (LineMarks) on the line starting at a row, and the nearest rows before or
    // after a row whose lines carry any of `mask` (-1 for none).
    LineMarks::Bits rowMarks(std::size_t index) const;
    std::string folderAt(std::size_t index) const; // OSC 7's URL where that command began
    std::int64_t markedRowBefore(std::int64_t index, LineMarks::Bits mask) const;
    std::int64_t markedRowAfter(std::int64_t index, LineMarks::Bits mask) const;

    std::u32string_view cellText(const Cell& cell) const;
    std::string_view hyperlink(std::uint16_t link) const;
    std::uint16_t hyperlinkId(std::uint16_t link) const; // one number for all cells of one link
    std::uint32_t underlineColor(std::uint16_t link) const;
    Color resolveForeground(std::uint32_t color) const;
    Color resolveBackground(std::uint32_t color) const;
    Color baseTextColor() const;

private:
    const TerminalEngine* engine_;
};
