// TerminalEngine's life cycle, its entry points for the owner (resize, append, render hook) and its
// read-only view of the state.
#include "TerminalEngine.h"

#include "Palette.h"

#include <algorithm>

TerminalEngine::TerminalEngine()
    : currentColor_(NamedColors::whiteColor), baseTextColor_(NamedColors::whiteColor)
{
    grid_.setWidth(columns_, baseTextColor_);
    escapeBuffer_.reserve(escapeBufferLimit);
}

TerminalEngine::~TerminalEngine() = default;

void TerminalEngine::setRenderHook(std::function<void()> renderScreen)
{
    renderScreen_ = std::move(renderScreen);
}

void TerminalEngine::render()
{
    if (renderScreen_) {
        renderScreen_();
    }
}

void TerminalEngine::consume(std::span<const std::uint8_t> bytes)
{
    interpret(bytes.data(), bytes.size());
    render();
}

void TerminalEngine::consume(std::string_view bytes)
{
    consume(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void TerminalEngine::append(std::string_view utf8Text, Color color)
{
    // Nothing is interpreted: every scalar goes to write(). A decoder of its own keeps a message
    // from disturbing a character the shell left half-written.
    Utf8Decoder decoder;
    char32_t scalars[2];
    for (const char byte : utf8Text) {
        const int produced = decoder.feed(static_cast<std::uint8_t>(byte), scalars);
        for (int i = 0; i < produced; ++i) {
            write(scalars[i], color);
        }
    }
    if (decoder.finish()) {
        write(Utf8Decoder::replacementCharacter, color);
    }
    render();
}

void TerminalEngine::fillEmptyScreen()
{
    if (grid_.rowCount() == 0) {
        grid_.reset(rows_, baseTextColor_);
    }
}

void TerminalEngine::resizeGrid(int rows, int columns)
{
    // A grid of no rows or columns has no valid cursor, and more rows than the history keeps would
    // make every line feed trim the screen itself; the view never asks for less than 24 x 80.
    rows = std::clamp(rows, 1, historyLimit);
    columns = std::clamp(columns, 1, columnLimit);
    if (rows == rows_ && columns == columns_) {
        return;
    }
    fillEmptyScreen();
    if (columns != columns_) {
        grid_.setWidth(columns, baseTextColor_);
        cursorColumn_ = std::min(columns - 1, cursorColumn_);
        columns_ = columns;
    }
    if (rows > rows_) {
        for (int i = rows_; i < rows; ++i) {
            appendRowAtBottom();
        }
    } else if (rows < rows_) {
        const int k = std::min(grid_.rowCount() - 1, rows_ - rows);
        if (k > 0) {
            grid_.removeOldest(k);
            cursorRow_ = std::max(0, cursorRow_ - k);
        }
    }
    rows_ = rows;
    while (grid_.rowCount() < rows_) {
        grid_.appendBlank(baseTextColor_);
    }
    render();
}

void TerminalEngine::setBaseTextColor(Color color)
{
    baseTextColor_ = color;
}
void TerminalEngine::setCurrentColor(Color color)
{
    currentColor_ = color;
}

int TerminalEngine::rows() const
{
    return rows_;
}
int TerminalEngine::columns() const
{
    return columns_;
}
int TerminalEngine::cursorRow() const
{
    return cursorRow_;
}
int TerminalEngine::cursorColumn() const
{
    return cursorColumn_;
}
bool TerminalEngine::wrapPending() const
{
    return wrapPending_;
}
SavedCursor TerminalEngine::savedCursor() const
{
    return savedCursor_;
}
Color TerminalEngine::currentColor() const
{
    return currentColor_;
}
Color TerminalEngine::baseTextColor() const
{
    return baseTextColor_;
}
ControlSequenceState TerminalEngine::controlSequenceState() const
{
    return controlSequenceState_;
}
std::u32string_view TerminalEngine::escapeBuffer() const
{
    return escapeBuffer_;
}
bool TerminalEngine::bracketedPasteEnabled() const
{
    return bracketedPasteEnabled_;
}

std::size_t TerminalEngine::rowCount() const
{
    return static_cast<std::size_t>(grid_.rowCount());
}

std::span<const Cell> TerminalEngine::row(std::size_t index) const
{
    return grid_.row(static_cast<int>(index));
}

std::uint64_t TerminalEngine::rowStamp(std::size_t index) const
{
    return grid_.stamp(static_cast<int>(index));
}
