// The view's lines: every grid row laid out (cached by the engine's row stamp, so a row is laid out
// again only when it changed) and the index from display lines to rows for painting and hit tests.
#pragma once

#include "RowLayout.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class TerminalEngine;

struct LinePosition {
    int row = 0;
    int line = 0; // line within the row
};

class DocumentLayout {
public:
    // Forgets every cached layout: the font or the available width changed.
    void invalidate(double availableWidth);
    // Brings the line index up to date with the engine's rows; lays out only rows it has not seen.
    void update(const TerminalEngine& engine, GlyphWidthSource& widths);

    int rowCount() const { return static_cast<int>(firstLines_.size()) - 1; }
    int totalLines() const { return firstLines_.empty() ? 0 : firstLines_.back(); }
    int firstLineOf(int row) const { return firstLines_[static_cast<std::size_t>(row)]; }
    LinePosition rowAtLine(int line) const;
    // Valid for 0 <= row < rowCount() until the next update.
    const RowLayout& rowLayout(int row) const { return *rows_[static_cast<std::size_t>(row)]; }
    double availableWidth() const { return availableWidth_; }
    std::size_t layoutsComputed() const { return layoutsComputed_; } // for tests

private:
    double availableWidth_ = 0.0;
    std::unordered_map<std::uint64_t, RowLayout> cache_;
    std::vector<const RowLayout*> rows_;
    std::vector<int> firstLines_; // rowCount + 1 entries, prefix sums of line counts
    bool allSingleLine_ = true;
    std::size_t layoutsComputed_ = 0;
};
