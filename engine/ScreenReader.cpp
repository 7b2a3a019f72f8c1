// Each reading forwards to the engine; out of line, so that a reader's includes stay small.
#include "ScreenReader.h"

#include "TerminalEngine.h"

int ScreenReader::rows() const
{
    return engine_->rows();
}
int ScreenReader::columns() const
{
    return engine_->columns();
}
std::size_t ScreenReader::rowCount() const
{
    return engine_->rowCount();
}
std::span<const Cell> ScreenReader::row(std::size_t index) const
{
    return engine_->row(index);
}
std::string ScreenReader::folderAt(std::size_t index) const
{
    return engine_->folderAt(index);
}

LineMarks::Bits ScreenReader::rowMarks(std::size_t index) const
{
    return engine_->rowMarks(index);
}
std::int64_t ScreenReader::markedRowBefore(std::int64_t index, LineMarks::Bits mask) const
{
    return engine_->markedRowBefore(index, mask);
}
std::int64_t ScreenReader::markedRowAfter(std::int64_t index, LineMarks::Bits mask) const
{
    return engine_->markedRowAfter(index, mask);
}
std::uint64_t ScreenReader::rowStamp(std::size_t index) const
{
    return engine_->rowStamp(index);
}
bool ScreenReader::rowWrapped(std::size_t index) const
{
    return engine_->rowWrapped(index);
}
int ScreenReader::screenTop() const
{
    return engine_->screenTop();
}
int ScreenReader::cursorLine() const
{
    return engine_->cursorLine();
}
int ScreenReader::cursorColumn() const
{
    return engine_->cursorColumn();
}
bool ScreenReader::alternateScreenActive() const
{
    return engine_->alternateScreenActive();
}
const TerminalModes& ScreenReader::modes() const
{
    return engine_->modes();
}
int ScreenReader::cursorStyle() const
{
    return engine_->cursorStyle();
}
std::uint64_t ScreenReader::droppedRows() const
{
    return engine_->droppedRows();
}
std::uint64_t ScreenReader::rowsGeneration() const
{
    return engine_->rowsGeneration();
}
std::u32string_view ScreenReader::cellText(const Cell& cell) const
{
    return engine_->cellText(cell);
}
std::string_view ScreenReader::hyperlink(std::uint16_t link) const
{
    return engine_->hyperlink(link);
}
std::uint16_t ScreenReader::hyperlinkId(std::uint16_t link) const
{
    return engine_->hyperlinkId(link);
}

std::uint32_t ScreenReader::underlineColor(std::uint16_t link) const
{
    return engine_->underlineColor(link);
}
Color ScreenReader::resolveForeground(std::uint32_t color) const
{
    return engine_->resolveForeground(color);
}
Color ScreenReader::resolveBackground(std::uint32_t color) const
{
    return engine_->resolveBackground(color);
}
Color ScreenReader::baseTextColor() const
{
    return engine_->baseTextColor();
}
