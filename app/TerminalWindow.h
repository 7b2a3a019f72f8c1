// The main window's content: the glass backdrop filling it, the terminal surface inset by the
// padding, both clipped to the rounded rectangle, and the settings sheet. Follows the model live.
#pragma once

#include "app/CommandLine.h"
#include "app/SettingsDialog.h"
#include "view/TerminalSurface.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QUuid>
#include <QWidget>

#include <array>

class AppModel;
class CommandNotifier;
class CompositingWatcher;
class CornerMask;
class GlassBackdrop;
class QAction;
class QMenu;

class TerminalWindow : public QWidget {
    Q_OBJECT
public:
    explicit TerminalWindow(AppModel& model, QWidget* parent = nullptr);
    // The first terminal runs the launch's command in its working folder; New Shell later runs the
    // shell there. The title stands until a program sets one.
    TerminalWindow(AppModel& model, const LaunchOptions& launch, QWidget* parent = nullptr);
    ~TerminalWindow() override;

    GlassBackdrop* backdrop() const { return glass; }
    TerminalSurface* surface() const { return terminal; }
    SettingsDialog* sheet() const { return settingsSheet; }
    QMenu* contextMenu() const { return terminalMenu; }
    CompositingWatcher* compositingWatcher() const { return compositing; }
    const std::array<CornerMask*, 4>& cornerMasks() const { return corners; }

    // Room for 24 x 80 cells of the current font inside the padding: the minimum the window asks
    // of the window manager (with its menu bar).
    QSize minimumContentSize() const { return minimumContent; }
    // The padding and corner radius as laid out (limited to what the current size allows).
    double effectivePadding() const;
    double effectiveRadius() const;
    // The blur-behind rectangles last asked of the compositor, in native window pixels.
    const QList<QRect>& blurRegion() const { return requestedBlur; }
    // The glass's brief flash for a bell while the window has the focus.
    bool bellFlashShowing() const;
    // A program other than the idle shell runs in the terminal: closing would end it.
    bool programRunning() const;
    // Where the shell last said it was, on this machine; New Shell starts there.
    const QString& lastShellDirectory() const { return shellDirectory; }
    CommandNotifier* commandNotifier() const;

public slots:
    // Re-reads the model: backdrop and surface updated in place, a new session identity replaces
    // the surface, layout and clip follow padding and radius, the sheet follows settingsPresented.
    void reevaluate();
    // Opens the find bar over the terminal's text (or gives it the focus again).
    void showFind();
    // Scrolls to the previous or next prompt the shell marked.
    void jumpToPrompt(bool previous);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void replaceSurface();
    void layoutContent();
    void updateMinimumSize();
    void updateBlurBehind();
    void presentSheet(bool presented);
    void showTerminalMenu(const QPoint& position);
    void showTerminalTitle(const QString& title);
    void ringBell();

    AppModel& model;
    LaunchOptions launch;
    bool firstSurface = true;
    GlassBackdrop* glass;
    QPointer<TerminalSurface> terminal;
    QUuid terminalSession;
    std::array<CornerMask*, 4> corners{};
    QPointer<SettingsDialog> settingsSheet;
    QMenu* terminalMenu;
    QAction* openLinkItem = nullptr;
    QAction* copyLinkItem = nullptr;
    QAction* linkSeparator = nullptr;
    QString menuLink; // the target of the link the menu was opened over, empty for none
    QAction* selectOutput = nullptr;
    QAction* openFolder = nullptr;
    QString menuFolder;     // where the command under the menu ran, on this machine; empty for none
    QPointF menuPoint;      // where the menu was asked for, in the view
    QString programTitle;   // the title the program set, empty for none
    QString shellDirectory; // where the shell last said it was (OSC 7), on this machine
    QPointer<CommandNotifier> notifier;
    QWidget* bellFlash;
    CompositingWatcher* compositing;
    QList<QRect> requestedBlur;
    bool blurKnown = false;
    QSize minimumContent;
};
