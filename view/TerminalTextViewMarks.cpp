// What the shell's prompt marks give the view: jumps between prompts, a command's output selected
// whole, and a faint red mark beside the prompt of a command that failed.
#include "DocumentLayout.h"
#include "TerminalTextView.h"
#include "engine/LineMarks.h"
#include "engine/ScreenReader.h"

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

int TerminalTextView::topVisibleRow() const
{
    refreshLayout();
    const QRect visible = visibleRegion().boundingRect();
    // The line most of which shows at the top.
    return layout_->rowAtLine(lineAt((visible.isEmpty() ? 0 : visible.top()) + linePitch() / 2)).row;
}

void TerminalTextView::jumpToPrompt(bool previous)
{
    const ScreenReader screen = this->screen();
    const int top = topVisibleRow();
    const std::int64_t row = previous ? screen.markedRowBefore(top, LineMarks::prompt)
                                      : screen.markedRowAfter(top, LineMarks::prompt);
    QScrollArea* area = enclosingScrollArea();
    if (row < 0 || area == nullptr) {
        if (!previous) {
            scrollToEnd(false); // past the last prompt: back to the bottom
        }
        return;
    }
    const int line = layout_->firstLineOf(static_cast<int>(row));
    if (line < windowBase_ || line >= windowBase_ + windowLines()) {
        placeWindow(line - windowLines() / 2);
    }
    sliding_ = true;
    QScrollBar* bar = area->verticalScrollBar();
    bar->setValue(std::clamp(static_cast<int>(std::lround(lineTop(line))), bar->minimum(), bar->maximum()));
    sliding_ = false;
    update();
}

TextSelection TerminalTextView::outputAt(QPointF point) const
{
    const ScreenReader screen = this->screen();
    const int row = positionAt(point).row;
    // The command whose prompt is at or above the point, its output from the row that C marked
    // to the row before the next prompt.
    const std::int64_t prompt = screen.markedRowBefore(row + 1, LineMarks::prompt);
    if (prompt < 0) {
        return {};
    }
    const std::int64_t next = screen.markedRowAfter(prompt, LineMarks::prompt);
    const std::int64_t output = screen.markedRowAfter(prompt, LineMarks::output);
    const auto rows = static_cast<std::int64_t>(screen.rowCount());
    const std::int64_t end = next >= 0 ? next : std::min<std::int64_t>(screen.cursorLine(), rows);
    if (output < 0 || output >= end) {
        return {};
    }
    // Empty rows at the end are the grid's, not output.
    std::int64_t last = end - 1;
    const auto blank = [&](std::int64_t r) {
        const auto cells = screen.row(static_cast<std::size_t>(r));
        return std::all_of(cells.begin(), cells.end(), [](const Cell& c) { return c.character == U' '; });
    };
    while (last > output && blank(last)) {
        --last;
    }
    if (blank(last)) {
        return {};
    }
    return {{static_cast<int>(output), 0}, {static_cast<int>(last), screen.columns()}};
}

bool TerminalTextView::selectOutputAt(QPointF point)
{
    const TextSelection output = outputAt(point);
    if (output.isEmpty()) {
        return false;
    }
    selection_ = output;
    selectionOrigin_ = output;
    selecting_ = false;
    offerPrimarySelection();
    update();
    return true;
}

QString TerminalTextView::folderAt(QPointF point) const
{
    const int row = positionAt(point).row;
    return row < 0 ? QString() : QString::fromStdString(screen().folderAt(static_cast<std::size_t>(row)));
}

void TerminalTextView::paintFailedMarks(QPainter& painter, int firstLine, int lastLine)
{
    const ScreenReader screen = this->screen();
    const QColor failed(235, 80, 80, 150);
    for (int line = firstLine; line <= lastLine; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        if (position.line == 0 &&
            (screen.rowMarks(static_cast<std::size_t>(position.row)) & LineMarks::failed)) {
            // In the inset left of the text: a short bar beside the failed command's prompt.
            painter.fillRect(QRectF(0, lineTop(line) + 2, textInset, linePitch() - 4), failed);
        }
    }
}
