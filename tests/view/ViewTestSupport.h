// Shared pieces of the view suites: the application on the offscreen platform with a private HOME,
// hosts that show a view the way the surface does, waiting on the event loop, and the grid as text.
#pragma once

#include "settings/VitrionSettings.h"

#include <QImage>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Terminal;
class TerminalEngine;
class TerminalSurface;
class TerminalTextView;

namespace ViewTest {

void ensureApplication(); // QApplication, HOME with a plain prompt for sh and bash
// Runs the event loop until the condition holds; generous limits, for a loaded machine.
bool waitUntil(const std::function<bool()>& condition, int milliseconds = 20000);
void spinFor(int milliseconds);

VitrionSettings settingsWithShell(const QString& shell);

std::vector<std::string> screenLines(const TerminalEngine& engine);    // trailing blanks dropped
bool screenHas(const TerminalEngine& engine, const std::string& line); // alone, or after a "$ " prompt
bool screenContains(const TerminalEngine& engine, const std::string& text);
std::string screenDump(const TerminalEngine& engine);

// A shown scroll area holding one configured view attached to its own terminal, set up like the
// surface but starting nothing.
class ScrollHost {
public:
    explicit ScrollHost(QSize size, const VitrionSettings& settings = {},
                        Qt::ScrollBarPolicy vertical = Qt::ScrollBarAsNeeded);
    ~ScrollHost();
    QScrollArea& area() { return *area_; }
    TerminalTextView& view() { return *view_; }
    Terminal& terminal() { return *terminal_; }
    TerminalEngine& engine();
    // Output through the terminal's own path, as a chunk from the pseudo-terminal.
    void feed(std::string_view bytes);
    void resize(QSize size);

private:
    std::unique_ptr<Terminal> terminal_;
    std::unique_ptr<QScrollArea> area_;
    TerminalTextView* view_ = nullptr;
};

// A shown window whose only content is a TerminalSurface, as the application's window has it.
class SurfaceWindow {
public:
    explicit SurfaceWindow(const VitrionSettings& settings, QSize size = QSize(800, 600));
    ~SurfaceWindow();
    QWidget& window() { return *window_; }
    TerminalSurface& surface() { return *surface_; }
    TerminalTextView& view();
    TerminalEngine& engine();
    void feed(std::string_view bytes);
    void resize(QSize size);
    // Waits for the shell to run and answer a command; false on time-out.
    bool waitForShell();
    // Types a command line (text and Return) through the view's key handling.
    void type(const QString& line);
    bool waitForLine(const std::string& line, int milliseconds = 20000);
    void destroySurface();

private:
    std::unique_ptr<QWidget> window_;
    TerminalSurface* surface_ = nullptr;
};

// The widget's pixels, unpremultiplied (a transparent pixel has alpha 0).
QImage grab(QWidget& widget, QRect area = QRect());

bool processHungUp(long pid); // gone, or a zombie waiting to be reaped

} // namespace ViewTest
