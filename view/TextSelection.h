// The mouse selection over the grid's text: positions between cells, word and row extents, and the
// selected text as the clipboard receives it.
#pragma once

#include <string>

class ScreenReader;

// A position between characters: before cell `column` of `row`; column == columns is the row's end.
struct TextPosition {
    int row = 0;
    int column = 0;

    friend auto operator<=>(const TextPosition&, const TextPosition&) = default;
};

struct TextSelection {
    TextPosition anchor; // where the drag started
    TextPosition caret;  // where it is now

    bool isEmpty() const { return anchor == caret; }
    TextPosition start() const { return anchor < caret ? anchor : caret; }
    TextPosition end() const { return anchor < caret ? caret : anchor; }
};

namespace TextSelectionRules {
// The word (or run of blanks) around the cell at a position, as a double click selects it.
TextSelection wordAt(const ScreenReader& engine, TextPosition cell);
// The whole grid row, as a triple click selects it.
TextSelection rowAt(const ScreenReader& engine, int row);
// Everything: the start of the first row to the end of the last.
TextSelection all(const ScreenReader& engine);
// UTF-8 text from start to end, rows joined by "\n"; blanks at the end of a row are left out, as
// they are padding of the grid rather than text the shell wrote.
std::string text(const ScreenReader& engine, TextSelection selection);
} // namespace TextSelectionRules
