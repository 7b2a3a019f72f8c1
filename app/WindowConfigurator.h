// The main window's chrome: an ARGB visual asked for before the native window exists, and the
// one-time configuration that runs on the event loop's next turn once the window is there.
#pragma once

class QWidget;

namespace WindowConfigurator {

// Must run before the native window is created: X11 picks the visual only then.
void prepare(QWidget* window);

// Queues the configuration once: title "Vitrion", the window manager's title bar with its standard
// buttons, and the opaque window colour (0.11, 0.15, 0.21) everywhere outside the glass.
void scheduleConfiguration(QWidget* window);

// The configuration itself (what the queued call runs).
void configure(QWidget* window);

} // namespace WindowConfigurator
