// The view's lines: the screen's rows laid out, the history's rows laid out when shown, and the index
// from display lines to rows for painting and hit tests. Kept from frame to frame: a frame looks
// again only at the screen's rows and the rows added since, however long the history is. A history
// row counts as one line until it has been laid out (when shown); only a view narrower than its rows
// ever finds more.
#pragma once

#include "RowLayout.h"
#include "engine/ScreenReader.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <unordered_map>
#include <vector>

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

    int rowCount() const { return historyRows_ + static_cast<int>(screen_.size()); }
    int totalLines() const { return historyLines() + screenLines_; }
    int firstLineOf(int row) const;
    LinePosition rowAtLine(int line) const;
    // Valid for 0 <= row < rowCount() until the next update, and for a history row while fewer than
    // cachedLayouts other history rows are laid out.
    const RowLayout& rowLayout(int row) const;
    double availableWidth() const { return availableWidth_; }
    std::size_t layoutsComputed() const { return layoutsComputed_; } // for tests and benchmarks

    static constexpr std::size_t cachedLayouts = 2048;

private:
    struct LaidRow {
        std::uint64_t stamp = 0;
        int firstLine = 0; // counted from the screen's first line
        RowLayout layout;
    };
    // A history row of more than one line, by its absolute index (drops move nothing).
    struct TallRow {
        std::int64_t row = 0;
        int extra = 0;                // lines past the first
        std::int64_t extraBefore = 0; // of every tall row before it, dropped ones included
    };

    int historyLines() const { return historyRows_ + static_cast<int>(extraTotal()); }
    std::int64_t extraTotal() const;
    std::int64_t extraBefore(std::int64_t absoluteRow) const; // of the kept tall rows before it
    void noteTall(std::int64_t absoluteRow, int lines) const;
    void dropTallBefore(std::int64_t absoluteRow);

    double availableWidth_ = 0.0;
    std::deque<LaidRow> screen_;
    int screenLines_ = 0;
    int historyRows_ = 0;
    std::int64_t firstAbsolute_ = 0; // absolute index of row 0
    mutable std::deque<TallRow> tall_;
    mutable std::unordered_map<std::uint64_t, RowLayout> historyLayouts_;
    mutable std::deque<std::uint64_t> historyOrder_; // stamps, oldest first, for eviction
    std::optional<ScreenReader> reader_;
    GlyphWidthSource* widths_ = nullptr;
    // What the rows were read from: while all of these stay, rows before the screen are unchanged.
    bool known_ = false;
    bool alternate_ = false;
    int screenRows_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t generation_ = 0;
    mutable std::size_t layoutsComputed_ = 0;
};
