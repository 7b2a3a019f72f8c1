// The host of one terminal: the Terminal itself, and a scroll area holding the TerminalTextView that
// shows it, kept fitted to the visible area. Destroying the surface is its tear-down: the watch is
// removed and the shell hung up.
#pragma once

#include "engine/GridSize.h"
#include "session/ShellLaunchPlan.h"
#include "settings/VitrionSettings.h"

#include <QWidget>

#include <memory>

class FindBar;
class QScrollArea;
class Terminal;
class TerminalTextView;
class ViewportWatch;

class TerminalSurface : public QWidget {
    Q_OBJECT
public:
    // Runs the settings' shell, or the launch's command (its shell choice is the settings'), in the
    // launch's working folder.
    explicit TerminalSurface(const VitrionSettings& settings, QWidget* parent = nullptr,
                             const LaunchRequest& launch = {});
    ~TerminalSurface() override;

    // Re-applies the settings in place: re-fonts, re-colours and re-limits the history without
    // restarting the shell.
    void applySettings(const VitrionSettings& settings);

    // The smallest surface whose visible area shows the grid whole, the scroll bar's room included.
    QSize sizeFor(GridSize grid) const;

    TerminalTextView* textView() const;
    // The find bar over the text, made when first asked for.
    FindBar* findBar();
    Terminal* terminal() const { return terminal_.get(); }
    QScrollArea* scrollArea() const { return scrollArea_; }
    ViewportWatch* viewportWatch() const { return watch_; }

private:
    std::unique_ptr<Terminal> terminal_;
    QScrollArea* scrollArea_ = nullptr;
    TerminalTextView* view_ = nullptr;
    ViewportWatch* watch_ = nullptr;
    FindBar* findBar_ = nullptr;
    LaunchRequest launch_;
};
