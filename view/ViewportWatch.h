// The surface's watch on the visible area: every resize of the scroll area's viewport, and its
// showing, refits the terminal's grid, and a shell waiting for the view to be shown starts at once.
// Scrolling is not watched: it moves the view over the history and never changes the grid. Holds the
// view weakly.
#pragma once

#include <QObject>
#include <QPointer>

class QScrollArea;
class TerminalTextView;

class ViewportWatch : public QObject {
    Q_OBJECT
public:
    ViewportWatch(QScrollArea* area, TerminalTextView* view);
    ~ViewportWatch() override;

    // Stops watching; further changes of the visible area do nothing.
    void remove();
    bool isWatching() const { return watching_; }
    int changesSeen() const { return changesSeen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void visibleAreaChanged();

    QPointer<QScrollArea> area_;
    QPointer<TerminalTextView> view_;
    bool watching_ = false;
    int changesSeen_ = 0;
};
