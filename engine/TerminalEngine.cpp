// TerminalEngine's life cycle, its entry points for the owner (resize, append, render hook, the
// queues it drains) and the resizing of both screens.
#include "TerminalEngine.h"

#include "Palette.h"

#include <algorithm>

TerminalEngine::TerminalEngine()
    : baseTextColor_(NamedColors::whiteColor), reportedBackground_(NamedColors::blackColor),
      reportedCursor_(NamedColors::whiteColor)
{
    escapeBuffer_.reserve(escapeBufferLimit);
    primary_.setWidth(columns_);
    alternate_.setWidth(columns_);
    primary_.reset(rows_, blankCell());
    tabStops_.assign(static_cast<std::size_t>(columns_), false);
    for (int c = 8; c < columns_; c += 8) {
        tabStops_[static_cast<std::size_t>(c)] = true;
    }
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

void TerminalEngine::write(char32_t scalar, Color color)
{
    if (scalar == U'\n') {
        lineFeed();
        return;
    }
    if (scalar < 0x20) {
        return;
    }
    // A message is plain text in its own colour, whatever pen and charset the shell left set.
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

void TerminalEngine::lineFeed()
{
    index();
}

// Keeps the cursor's line where it is: rows below the cursor go first when the screen shrinks, then
// rows at the top, which on the primary screen become history; growing takes rows back from the
// history before it adds blank rows at the bottom.
void TerminalEngine::resizeScreen(Grid& grid, int& cursorRow, int newRows, bool keepHistory)
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
        if (!keepHistory) {
            grid.removeOldest(fromTop);
        }
        cursorRow = std::max(0, cursorRow - fromTop);
    } else if (newRows > oldRows) {
        const int history = keepHistory ? grid.rowCount() - oldRows : 0;
        const int pulled = std::min(history, newRows - oldRows);
        cursorRow += pulled;
        for (int i = oldRows + pulled; i < newRows && !grid.full(); ++i) {
            grid.appendBlank(blankCell());
        }
    }
    cursorRow = std::clamp(cursorRow, 0, newRows - 1);
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
    if (columns != columns_) {
        primary_.setWidth(columns);
        alternate_.setWidth(columns);
        tabStops_.resize(static_cast<std::size_t>(columns), false);
        for (int c = (columns_ + 7) / 8 * 8; c < columns; c += 8) {
            tabStops_[static_cast<std::size_t>(c)] = true;
        }
        cursorColumn_ = std::min(columns - 1, cursorColumn_);
        columns_ = columns;
        wrapPending_ = wrapPending_ && cursorColumn_ == columns_ - 1;
    }
    if (rows != rows_) {
        int& primaryCursor = alternateActive_ ? saved_[0].row : cursorRow_;
        resizeScreen(primary_, primaryCursor, rows, true);
        if (alternateActive_) {
            resizeScreen(alternate_, cursorRow_, rows, false);
        } else {
            alternate_.reset(0, blankCell());
        }
        rows_ = rows;
    }
    top_ = 0;
    bottom_ = rows_ - 1;
    render();
}

void TerminalEngine::setBaseTextColor(Color color)
{
    baseTextColor_ = color;
}

void TerminalEngine::setCurrentColor(Color color)
{
    if (color == baseTextColor_) {
        pen_.foreground = CellColor::defaultColor;
        return;
    }
    // A palette colour keeps its exact components as an index.
    for (int index = 0; index < 16; ++index) {
        if (paletteColor(index) == color) {
            pen_.foreground = CellColor::indexed(index);
            return;
        }
    }
    const auto level = [](float component) {
        return static_cast<int>(std::clamp(component, 0.0f, 1.0f) * 255.0f + 0.5f);
    };
    pen_.foreground = CellColor::rgb(level(color.red), level(color.green), level(color.blue));
}

void TerminalEngine::setReportedColors(Color background, Color cursor)
{
    reportedBackground_ = background;
    reportedCursor_ = cursor;
}

bool TerminalEngine::tabStop(int column) const
{
    return column >= 0 && column < columns_ && tabStops_[static_cast<std::size_t>(column)];
}

std::u32string_view TerminalEngine::cellText(const Cell& cell) const
{
    if (cell.character >= firstClusterCharacter) {
        const std::size_t id = cell.character - firstClusterCharacter;
        if (id < clusters_.size()) {
            return clusters_[id];
        }
    }
    return {&cell.character, cell.character == 0 ? 0u : 1u};
}

std::uint16_t TerminalEngine::hyperlinkOf(std::uint16_t link) const
{
    if (link < underlinedLinkBase) {
        return link;
    }
    const std::size_t entry = link - std::size_t{underlinedLinkBase};
    return entry < underlinedLinks_.size() ? underlinedLinks_[entry].hyperlink : 0;
}

std::string_view TerminalEngine::hyperlink(std::uint16_t link) const
{
    link = hyperlinkOf(link);
    return link > 0 && link <= hyperlinks_.size() ? std::string_view(hyperlinks_[link - 1u])
                                                  : std::string_view();
}

std::uint32_t TerminalEngine::underlineColor(std::uint16_t link) const
{
    const std::size_t entry = link - std::size_t{underlinedLinkBase};
    return link >= underlinedLinkBase && entry < underlinedLinks_.size() ? underlinedLinks_[entry].color
                                                                         : CellColor::defaultColor;
}

Color TerminalEngine::resolveForeground(std::uint32_t color) const
{
    if (CellColor::isIndexed(color)) {
        return paletteColor(CellColor::index(color));
    }
    if (CellColor::isRgb(color)) {
        return colorFromComponents(CellColor::red(color) / 255.0, CellColor::green(color) / 255.0,
                                   CellColor::blue(color) / 255.0);
    }
    return baseTextColor_;
}

Color TerminalEngine::resolveBackground(std::uint32_t color) const
{
    return CellColor::isDefault(color) ? reportedBackground_ : resolveForeground(color);
}

std::string TerminalEngine::takeReplies()
{
    std::string out;
    out.swap(replies_);
    return out;
}

TerminalEvents TerminalEngine::takeEvents()
{
    TerminalEvents out = std::move(events_);
    events_ = TerminalEvents{};
    return out;
}

void TerminalEngine::reply(std::string_view bytes)
{
    // A program that floods queries while nobody drains them cannot grow the queue without bound.
    if (replies_.size() + bytes.size() <= replyLimit) {
        replies_.append(bytes);
    }
}
