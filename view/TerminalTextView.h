// The terminal view: shows one Terminal it is attached to (and may be detached from), painting its
// rows at fixed monospace positions with the cursor on top; fits the terminal's grid to the visible
// area and starts its shell once shown; selects; and hands keys, pastes, mouse and focus on to the
// terminal as intents. It reads the screen and never changes it.
#pragma once

#include "GridSizing.h"
#include "LinkFinder.h"
#include "MinimumContrast.h"
#include "TextSelection.h"
#include "engine/Color.h"
#include "engine/Palette.h"
#include "session/ShellLaunchPlan.h"
#include "settings/VitrionSettings.h"
#include "terminal/MouseEncoder.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

class CellColours;
class CursorBlink;
class DocumentLayout;
class FrameDamage;
class FrameScheduler;
class GlyphMetrics;
class LineImageCache;
class QScrollArea;
class QTimer;
class ScreenReader;
class Terminal;
class TerminalSearch;

class TerminalTextView : public QWidget {
    Q_OBJECT
public:
    static constexpr double textInset = 2.0;        // text-container inset, both directions
    static constexpr int startAttemptDelayMs = 150; // between readiness checks
    // A press this soon after the window became active is the click that activated it (the window
    // manager focuses the window just before it passes the click on): it is not reported.
    static constexpr int activatingClickMs = 150;

    explicit TerminalTextView(QWidget* parent = nullptr);
    ~TerminalTextView() override;

    // Shows this terminal from now on (held weakly; the view's text colour and glass are applied to
    // it). Detached, or when the terminal is destroyed, the view shows an empty screen of its own.
    void attach(Terminal* terminal);
    void detach();
    // The terminal shown: the attached one, or the view's own empty one.
    Terminal& terminal() const;

    // Applies the text settings (font, colour scheme, minimum contrast, line spacing, cursor style)
    // and re-renders; neither
    // resizes the grid nor touches the shell.
    void configure(const VitrionSettings& settings);
    // The colour the backdrop shows: reported to programs that ask for the background and drawn
    // for inverse text of the default colours.
    void setGlassColor(const QColor& glass);
    // The grid whose every cell shows inside an area, at the measured line pitch and advance.
    GridSize gridSize(QSizeF size) const;
    // The smallest area in whole pixels whose gridSize holds the grid.
    QSize areaFor(GridSize grid) const;
    // Asks the terminal for the grid that fits the scroll area's visible area: what shows is what
    // the program is told, however small.
    void fitTerminalToViewport();
    // Starts the terminal's shell once the view is shown in a scroll area of at least 400 x 120: on
    // the next turn of the event loop when it is, else retrying every 0.15 s (and at once when it is
    // shown or resized), held weakly (a destroyed view's pending attempt does nothing).
    void startSessionWhenReady(const QString& shellChoice);
    void startSessionWhenReady(const LaunchRequest& request); // a command, a working folder

    bool sessionStartPending() const { return sessionStartPending_; }
    int startAttempts() const { return startAttempts_; }
    QScrollArea* enclosingScrollArea() const;
    static QSizeF gridArea(const QScrollArea& area, QSize visible);

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
    bool framePending() const;           // a render has not reached the screen yet
    std::size_t layoutsComputed() const; // rows laid out so far (the rest were known)
    // Whether the pointer's buttons go to the program (it tracks the mouse and Shift is not held)
    // instead of selecting, pasting and opening the menu.
    bool reportsMouse(Qt::KeyboardModifiers modifiers) const;
    // Starts a pending shell at once if the view is ready for it (shown, or resized, in its window).
    void retrySessionStart();

    // Links: the one at a point that may be opened (safe schemes only), and the one under the
    // pointer, underlined. Ctrl+click opens it (Ctrl+Shift+click while a program takes the mouse).
    std::optional<FoundLink> openableLinkAt(QPointF point) const;
    const std::optional<FoundLink>& hoveredLink() const { return hoveredLink_; }
    // The minimum contrast text is drawn at, against its cell's background or the glass.
    double minimumContrast() const { return contrast_.minimum(); }
    // The input method's text being composed, drawn at the cursor until it is committed.
    const QString& preeditText() const { return preedit_; }
    // Where the input method's candidates go: the cursor's cell, or while a program hides its
    // cursor, the cell where it was last shown.
    QRectF inputCursorRectangle() const;
    // Find (TerminalTextViewSearch.cpp): the search whose matches are highlighted (the current one
    // distinctly) and scrolled to as it moves; nullptr for none.
    void showSearch(TerminalSearch* search);
    // Scrolls so that the row (an index among the kept rows) shows, a third of the way down.
    void scrollToRow(int row);
    // Where the view is scrolled to, and back there (the bottom, if it was at the bottom).
    void rememberScroll();
    void returnToRememberedScroll();
    // The current match as a selection of its cells, empty for none.
    TextSelection currentMatchSelection() const;

    // Shell integration (TerminalTextViewMarks.cpp): the rows of the previous or next prompt the
    // shell marked, scrolled to the top; the output of the command around a point, selected.
    void jumpToPrompt(bool previous);
    TextSelection outputAt(QPointF point) const; // empty when the point is in no command's output
    bool selectOutputAt(QPointF point);
    // The folder the shell reported (an OSC 7 URL) when the command around a point began.
    QString folderAt(QPointF point) const;

public slots:
    void paste();         // the general clipboard's text through the paste path
    void copySelection(); // the selection to the general clipboard, as plain text
    void selectAll();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // Rendering (TerminalTextView.cpp)
    void terminalChanged();
    ScreenReader screen() const;
    void runFrame();
    void updateChangedLines(); // asks for a paint of what changed since the last frame
    void updateDocumentGeometry();
    void scrollCursorIntoView();
    TextPosition cursorPosition() const;
    void attemptSessionStart();
    bool readyForSession() const;

    // Painting (TerminalTextViewPainting.cpp)
    void paintLines(QPainter& painter, int firstLine, int lastLine);
    // The selected part of each display line from firstLine to lastLine: its cells and its area.
    struct SelectedSpan {
        int line = 0;
        int row = 0;
        int from = 0;
        int to = 0;
        QRectF area;
    };
    std::vector<SelectedSpan> selectedSpans(int firstLine, int lastLine) const;
    void paintSelection(QPainter& painter, int firstLine, int lastLine);
    void paintMatches(QPainter& painter, int firstLine, int lastLine);
    void paintFailedMarks(QPainter& painter, int firstLine, int lastLine);
    int topVisibleRow() const;
    // A translucent band over the cells [from, to) of a row on the display lines shown.
    void paintCells(QPainter& painter, int firstLine, int lastLine, int row, int from, int to,
                    const QColor& color);
    void paintSelectedText(QPainter& painter, const SelectedSpan& span);
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
    // How a cell's style is drawn, at the view's minimum contrast.
    CellColours cellColours(const ScreenReader& screen) const;

    // Input (TerminalTextViewInput.cpp)
    void pasteText(const QString& text);
    TextPosition positionAt(QPointF point) const;
    void offerPrimarySelection();
    void setUpInput();
    void focusMoved(QWidget* from, QWidget* to);
    // Reports a press, release or motion over its screen cell to the program tracking the mouse.
    void reportMouse(const QMouseEvent& event, MouseAction action);
    TextPosition screenCellAt(QPointF point) const;
    // Entering the alternate screen remembers the history's scroll position, leaving restores it.
    void followScreenSwitch();
    void followInputCursor(); // remembers the shown cursor's cell and tells the input method
    void paintPreedit(QPainter& painter);

    // Links (TerminalTextViewLinks.cpp)
    std::optional<TextPosition> cellAt(QPointF point) const; // the cell containing it, if any
    void hoverAt(QPointF point);
    void refreshHover(); // after output or a scroll moved the text under the pointer
    void clearHover();
    bool pressLink(const QMouseEvent& event);   // a Ctrl+press on a link: true when taken
    bool releaseLink(const QMouseEvent& event); // opens the link pressed when released on it
    void paintHoveredLink(QPainter& painter);

    QPointer<Terminal> terminal_;
    mutable std::unique_ptr<Terminal> blank_; // shown while no terminal is attached
    QMetaObject::Connection changedConnection_;
    QMetaObject::Connection clipboardConnection_;
    QMetaObject::Connection destroyedConnection_;
    Color textColor_;
    Color glassColor_{0.0f, 0.0f, 0.0f, 1.0f};
    Color cursorColor_{0.72f, 0.72f, 0.72f, 1.0f}; // the block's light grey until configured
    AnsiColors ansiColors_ = Palette::defaultAnsi();
    std::optional<QColor> selectionColor_;     // none: the desktop's highlight
    std::optional<QColor> selectionTextColor_; // none: selected text keeps its colours
    mutable ContrastMemo contrast_;
    std::unique_ptr<GlyphMetrics> metrics_;
    // One line index per screen: the primary's stays laid out while a program has the alternate
    // screen, so that leaving vim or less does not lay the whole history out again.
    mutable std::unique_ptr<DocumentLayout> layout_;
    mutable std::unique_ptr<DocumentLayout> otherLayout_;
    mutable bool layoutIsAlternate_ = false;
    std::unique_ptr<LineImageCache> images_;
    QMetaObject::Connection focusConnection_; // the application's focus changes, cut when destroyed
    std::unique_ptr<FrameDamage> damage_;
    CursorBlink* cursorBlink_ = nullptr;
    FrameScheduler* frames_ = nullptr;
    mutable bool layoutStale_ = true;

    double fontSize_ = 14.0;
    double lineSpacing_ = 1.15;
    double paragraphSpacing_ = 0.0;
    TerminalCursorStyle cursorStyle_ = TerminalCursorStyle::block;
    bool sessionStartPending_ = false;
    int startAttempts_ = 0;
    QTimer* startTimer_ = nullptr;
    LaunchRequest launch_;

    TextSelection selection_;
    enum class SelectionUnit { character, word, row } selectionUnit_ = SelectionUnit::character;
    TextSelection selectionOrigin_; // the word or row a double or triple click started with
    bool selecting_ = false;
    QElapsedTimer sinceDoubleClick_;
    QPointF doubleClickPoint_;

    // Mouse reports and scrolling.
    Qt::MouseButtons reportedButtons_;  // pressed with a report; their releases are reported
    Qt::MouseButtons swallowedButtons_; // pressed to focus the window; nothing is reported
    TextPosition lastReportedCell_{-1, -1};
    int wheelRemainder_ = 0; // eighths of a degree short of a whole notch
    QElapsedTimer sinceActivation_;
    bool showingAlternate_ = false;
    int primaryScroll_ = 0;
    // A widget is at most QWIDGETSIZE_MAX pixels tall, fewer than a long history's lines need: the
    // view is a window of the document's lines from windowBase_ on, which slides when the scroll
    // reaches its edge or the output runs past it.
    int windowBase_ = 0;
    bool sliding_ = false;
    QMetaObject::Connection slideOnScroll_;
    int windowLines() const;
    void placeWindow(int base);
    void slideWindow(int scrollValue);
    void scrollToEnd(bool top); // the history's first line, or the screen

    int paintCount_ = 0;

    std::optional<FoundLink> hoveredLink_;
    QPointF pointerGlobal_;                  // where the pointer was last seen over the view
    std::optional<std::string> pressedLink_; // the target a Ctrl+press went down on
    bool clipboardWritesAllowed_ = true;

    // Input method: the preedit, its cursor (UTF-16 index, -1 hidden) and the ranges it marks as
    // being converted; the cursor's cell counted from the screen's top while it was last shown.
    QString preedit_;
    int preeditCursor_ = -1;
    std::vector<std::pair<int, int>> preeditSelected_;
    std::optional<TextPosition> inputCell_;
    QRect reportedInputRectangle_;
    QPointer<TerminalSearch> search_;
    QMetaObject::Connection searchChanged_;
    QMetaObject::Connection searchMoved_;
    std::int64_t rememberedRow_ = -1; // absolute top row when the find bar opened, -1 at the bottom
    int rememberedOffset_ = 0;        // pixels into that row, or from the end at the bottom
};
