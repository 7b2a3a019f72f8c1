// The surface, built in order: the terminal with its history limit, the scroll area (no background,
// vertical scroll bar only when needed, none horizontal), the configured view attached to the
// terminal as its document, a queued focus and shell start, then the watch on the visible area.
// Destruction removes the watch and hangs the shell up.
#include "TerminalSurface.h"

#include "FindBar.h"
#include "TerminalTextView.h"
#include "ViewportWatch.h"
#include "terminal/Terminal.h"

#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

TerminalSurface::TerminalSurface(const VitrionSettings& settings, QWidget* parent,
                                 const LaunchRequest& launch)
    : QWidget(parent), terminal_(std::make_unique<Terminal>()), launch_(launch)
{
    launch_.shellChoice = settings.shell;
    launch_.shellIntegration = settings.shellIntegration;
    setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    scrollArea_ = new QScrollArea(this);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setAutoFillBackground(false);
    scrollArea_->viewport()->setAutoFillBackground(false);
    scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A slim, translucent bar in the glass, as Linux terminals draw it, instead of the style's
    // opaque trough and arrow buttons.
    scrollArea_->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 0 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 70); border-radius: 3px;"
        " min-height: 24px; margin: 0 1px 0 1px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(255, 255, 255, 120); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    // The view sizes itself: its width follows the viewport, its height grows with the text.
    scrollArea_->setWidgetResizable(false);
    layout->addWidget(scrollArea_);

    terminal_->setHistoryLimit(settings.historyLimit());
    view_ = new TerminalTextView;
    view_->attach(terminal_.get());
    view_->configure(settings);
    scrollArea_->setWidget(view_);
    view_->setAutoFillBackground(false); // setWidget turns it on; the backdrop must show through

    QTimer::singleShot(0, view_, [view = view_, launch = launch_] {
        if (view->window()->isVisible()) {
            view->setFocus(Qt::OtherFocusReason);
        }
        view->startSessionWhenReady(launch);
    });
    watch_ = new ViewportWatch(scrollArea_, view_);
}

TerminalSurface::~TerminalSurface()
{
    watch_->remove();
    if (view_ != nullptr) {
        view_->detach();
    }
    terminal_->stop();
}

void TerminalSurface::applySettings(const VitrionSettings& settings)
{
    // The same limit again (any other setting changed) keeps the history as it is.
    terminal_->setHistoryLimit(settings.historyLimit());
    view_->configure(settings);
    view_->fitTerminalToViewport();
    launch_.shellChoice = settings.shell;
    launch_.shellIntegration = settings.shellIntegration;
    view_->startSessionWhenReady(launch_);
}

QSize TerminalSurface::sizeFor(GridSize grid) const
{
    // The grid's area leaves the scroll bar's width free whether the bar shows or not.
    const QSize area = view_->areaFor(grid);
    return {area.width() + scrollArea_->verticalScrollBar()->sizeHint().width(), area.height()};
}

TerminalTextView* TerminalSurface::textView() const
{
    return view_;
}

FindBar* TerminalSurface::findBar()
{
    if (findBar_ == nullptr) {
        findBar_ = new FindBar(*view_, scrollArea_);
    }
    return findBar_;
}
