// The view's lines: every kept row laid out, and the index from display lines to rows for painting
// and hit tests. Kept from frame to frame: the rows before the screen only ever leave at the oldest
// end, so a frame looks again only at the screen's rows and the rows added since, however long the
// history is.
#pragma once

#include "RowLayout.h"

#include <cstdint>
#include <deque>

class ScreenReader;

struct LinePosition {
    int row = 0;
    int line = 0; // line within the row
};

class DocumentLayout {
public:
    // Forgets every laid-out row: the font or the available width changed.
    void invalidate(double availableWidth);
    // Brings the line index up to date with the screen's rows.
    void update(const ScreenReader& screen, GlyphWidthSource& widths);

    int rowCount() const { return static_cast<int>(rows_.size()); }
    int totalLines() const
    {
        return rows_.empty() ? 0 : static_cast<int>(endLine_ - rows_.front().firstLine);
    }
    int firstLineOf(int row) const
    {
        return static_cast<int>(rows_[static_cast<std::size_t>(row)].firstLine - rows_.front().firstLine);
    }
    LinePosition rowAtLine(int line) const;
    // Valid for 0 <= row < rowCount() until the next update.
    const RowLayout& rowLayout(int row) const { return rows_[static_cast<std::size_t>(row)].layout; }
    double availableWidth() const { return availableWidth_; }
    std::size_t layoutsComputed() const { return layoutsComputed_; } // for tests and benchmarks

private:
    struct LaidRow {
        std::uint64_t stamp = 0;
        std::int64_t firstLine = 0; // counted from the first row ever laid out, so drops move nothing
        RowLayout layout;
    };

    double availableWidth_ = 0.0;
    std::deque<LaidRow> rows_;
    std::int64_t endLine_ = 0;   // first line after the last row
    std::int64_t multiLine_ = 0; // rows of more than one line; none makes rowAtLine trivial
    // What the rows were read from: while all of these stay, rows before `screenTop_` are unchanged.
    bool known_ = false;
    bool alternate_ = false;
    int screenRows_ = 0;
    int screenTop_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t generation_ = 0;
    std::size_t layoutsComputed_ = 0;
};
