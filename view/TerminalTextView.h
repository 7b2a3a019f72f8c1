// The terminal view: owns the engine and the shell session, paints the grid itself at fixed
// monospace positions with the cursor on top, fits the grid to the visible area and starts the
// shell once it is shown, and turns keys, pastes and mouse selection into their effects.
#pragma once

#include "GridSizing.h"
#include "TextSelection.h"
#include "settings/VitrionSettings.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

class DocumentLayout;
class FrameDamage;
class FrameScheduler;
class GlyphMetrics;
class LineImageCache;
class QScrollArea;
class ShellSession;
class TerminalEngine;

class TerminalTextView : public QWidget {
    Q_OBJECT
public:
    static constexpr double textInset = 2.0;        // text-container inset, both directions
    static constexpr int startAttemptDelayMs = 150; // between readiness checks

    explicit TerminalTextView(QWidget* parent = nullptr);
    ~TerminalTextView() override;

    // Applies the text settings (font, colour, line spacing, cursor style) and re-renders; neither
    // resizes the grid nor touches the session.
    void configure(const VitrionSettings& settings);
    // The grid that fits an area, estimated from the font size (not floored at 24 x 80).
    GridSize gridSize(QSizeF size) const;
    // Fits the grid (never below 24 x 80) and the pty to the scroll area's visible area.
    void resizeSessionToViewport();
    // Starts the shell once the view is shown in a scroll area of at least 400 x 120; retries every
    // 0.15 s while it is not, held weakly (a destroyed view's pending attempt does nothing).
    void startSessionWhenReady(const QString& shellChoice);

    const std::shared_ptr<TerminalEngine>& engine() const { return engine_; }
    ShellSession* session() const { return session_.get(); }
    bool sessionStartPending() const { return sessionStartPending_; }
    int startAttempts() const { return startAttempts_; }
    QScrollArea* enclosingScrollArea() const;

    // Applied settings as the view uses them.
    const QFont& terminalFont() const;
    double terminalFontSize() const { return fontSize_; }
    double lineSpacing() const { return lineSpacing_; }
    TerminalCursorStyle cursorStyle() const { return cursorStyle_; }
    double linePitch() const; // distance between lines: natural line height + paragraph spacing
    double cellAdvance() const;

    // Where things are drawn, in view coordinates (kept current by every frame).
    QPointF cellOrigin(int row, int column) const; // top-left of the cell's glyph
    QRectF cursorRectangle() const;
    int displayLineCount() const;

    // Selection and clipboard.
    TextSelection selection() const { return selection_; }
    QString selectedText() const;
    int paintCount() const { return paintCount_; }
    std::size_t linesDrawn() const; // display lines drawn into images so far (the rest were reused)
    int framesRun() const;
    bool framePending() const; // a render has not reached the screen yet
    // Called with every byte string sent to the shell (tests and benchmarks watch the input path).
    void setInputObserver(std::function<void(std::string_view)> observer);

public slots:
    void paste();         // the general clipboard's text through the paste path
    void copySelection(); // the selection to the general clipboard, as plain text
    void selectAll();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // Rendering (TerminalTextView.cpp)
    void renderScreen();
    void runFrame();
    void updateChangedLines(); // asks for a paint of what changed since the last frame
    void updateDocumentGeometry();
    void scrollCursorIntoView();
    TextPosition cursorPosition() const;
    void attemptSessionStart(const QString& shellChoice);

    // Painting (TerminalTextViewPainting.cpp)
    void paintLines(QPainter& painter, int firstLine, int lastLine);
    void paintSelection(QPainter& painter, int firstLine, int lastLine);
    void paintCursor(QPainter& painter);
    double lineTop(int line) const;
    // The display line at a y position, clamped to the document's lines (there is at least one).
    int lineAt(double y) const;
    // The first and last display lines the visible part of the view shows.
    std::pair<int, int> visibleLines(const QRect& visible) const;
    // Brings the line index up to the engine's rows after a render (a few hash lookups per row).
    void refreshLayout() const;
    // Forgets every laid-out row and drawn line: the font, the colours or the width changed.
    void invalidateLayout(double availableWidth);

    // Input (TerminalTextViewInput.cpp)
    void send(std::string_view bytes);
    void pasteText(const QString& text);
    TextPosition positionAt(QPointF point) const;
    void offerPrimarySelection();

    std::shared_ptr<TerminalEngine> engine_;
    std::unique_ptr<ShellSession> session_;
    std::unique_ptr<GlyphMetrics> metrics_;
    std::unique_ptr<DocumentLayout> layout_;
    std::unique_ptr<LineImageCache> images_;
    std::unique_ptr<FrameDamage> damage_;
    double imageRatio_ = 0.0; // the device pixel ratio the cached line images were drawn for
    FrameScheduler* frames_ = nullptr;
    mutable bool layoutStale_ = true;

    double fontSize_ = 14.0;
    double lineSpacing_ = 1.15;
    double paragraphSpacing_ = 0.0;
    TerminalCursorStyle cursorStyle_ = TerminalCursorStyle::block;
    bool sessionStartPending_ = false;
    int startAttempts_ = 0;

    TextSelection selection_;
    enum class SelectionUnit { character, word, row } selectionUnit_ = SelectionUnit::character;
    TextSelection selectionOrigin_; // the word or row a double or triple click started with
    bool selecting_ = false;
    QElapsedTimer sinceDoubleClick_;
    QPointF doubleClickPoint_;

    int paintCount_ = 0;
    std::function<void(std::string_view)> inputObserver_;
};
