// An event filter on the viewport: its resizes, and its showing with the window.
#include "ViewportWatch.h"

#include "TerminalTextView.h"

#include <QEvent>
#include <QScrollArea>

ViewportWatch::ViewportWatch(QScrollArea* area, TerminalTextView* view)
    : QObject(area), area_(area), view_(view)
{
    area->viewport()->installEventFilter(this);
    watching_ = true;
}

ViewportWatch::~ViewportWatch()
{
    remove();
}

void ViewportWatch::remove()
{
    if (!watching_) {
        return;
    }
    watching_ = false;
    if (area_ != nullptr) {
        area_->viewport()->removeEventFilter(this);
    }
}

bool ViewportWatch::eventFilter(QObject* watched, QEvent* event)
{
    const bool changed = event->type() == QEvent::Resize || event->type() == QEvent::Show;
    if (watching_ && changed && area_ != nullptr && watched == area_->viewport()) {
        visibleAreaChanged();
    }
    return QObject::eventFilter(watched, event);
}

void ViewportWatch::visibleAreaChanged()
{
    ++changesSeen_;
    if (view_ != nullptr && view_->enclosingScrollArea() != nullptr) {
        view_->fitTerminalToViewport();
        view_->retrySessionStart(); // a view waiting for its window starts as soon as it is shown
    }
}
