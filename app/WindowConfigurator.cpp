// The main window's chrome and visual.
#include "WindowConfigurator.h"

#include "WindowColors.h"

#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace WindowConfigurator {

void prepare(QWidget* window)
{
    // An alpha channel for the glass. The window stays opaque to the eye outside the glass: every
    // pixel there is painted in the window colour (the menu bar, the corner masks).
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowCloseButtonHint);
}

void scheduleConfiguration(QWidget* window)
{
    QTimer::singleShot(0, window, [target = QPointer<QWidget>(window)] {
        if (target && target->windowHandle()) {
            configure(target);
        }
    });
}

void configure(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, windowBackgroundColor());
    window->setPalette(palette);
}

} // namespace WindowConfigurator
