// The find bar's widgets and keys: the query and its toggles feed the search, the count follows it,
// Enter/F3 and Shift+Enter/Shift+F3 step, Escape closes.
#include "FindBar.h"

#include "TerminalTextView.h"
#include "terminal/TerminalSearch.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

QToolButton* barButton(QWidget* parent, const QString& text, const QString& tip, bool checkable)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus); // the keys stay with the query
    return button;
}

} // namespace

FindBar::FindBar(TerminalTextView& view, QWidget* parent)
    : QFrame(parent), view_(&view), search_(new TerminalSearch(view.terminal(), this)),
      query_(new QLineEdit(this)), count_(new QLabel(this)),
      matchCase_(barButton(this, QStringLiteral("Aa"), QStringLiteral("Match case"), true)),
      regular_(barButton(this, QStringLiteral(".*"), QStringLiteral("Regular expression"), true))
{
    setObjectName(QStringLiteral("findBar"));
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral(
        "QLineEdit { background: rgba(0, 0, 0, 60); color: white; border: 1px solid rgba(255, 255, 255, 60);"
        " border-radius: 4px; padding: 2px 4px; selection-background-color: rgba(120, 170, 255, 160); }"
        "QLabel { color: rgba(255, 255, 255, 200); }"
        "QToolButton { color: white; border-radius: 4px; padding: 1px 4px; }"
        "QToolButton:checked { background: rgba(255, 255, 255, 70); }"
        "QToolButton:hover { background: rgba(255, 255, 255, 40); }"));
    query_->setPlaceholderText(QStringLiteral("Find"));
    query_->setMinimumWidth(180);
    count_->setMinimumWidth(90);
    auto* older =
        barButton(this, QStringLiteral("\u2191"), QStringLiteral("Previous match (Enter, F3)"), false);
    auto* newer = barButton(this, QStringLiteral("\u2193"),
                            QStringLiteral("Next match (Shift+Enter, Shift+F3)"), false);
    auto* done = barButton(this, QStringLiteral("\u2715"), QStringLiteral("Close (Escape)"), false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 6, 6);
    layout->setSpacing(4);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{query_, count_, matchCase_, regular_, older, newer, done}) {
        layout->addWidget(widget);
    }
    connect(query_, &QLineEdit::textChanged, this, &FindBar::queryChanged);
    connect(matchCase_, &QToolButton::toggled, this, &FindBar::queryChanged);
    connect(regular_, &QToolButton::toggled, this, &FindBar::queryChanged);
    connect(older, &QToolButton::clicked, this, [this] { search_->step(true); });
    connect(newer, &QToolButton::clicked, this, [this] { search_->step(false); });
    connect(done, &QToolButton::clicked, this, &FindBar::close);
    connect(search_, &TerminalSearch::changed, this, &FindBar::showCount);
    parent->installEventFilter(this);
    hide();
}

FindBar::~FindBar()
{
    if (view_) {
        view_->showSearch(nullptr);
    }
}

void FindBar::open()
{
    if (!view_) {
        return;
    }
    if (!isVisible()) {
        view_->rememberScroll();
        view_->showSearch(search_);
        place();
        show();
        raise();
        if (!query_->text().isEmpty()) {
            queryChanged(); // the text may have changed while the bar was closed
        }
    }
    query_->setFocus(Qt::ShortcutFocusReason);
    query_->selectAll();
}

void FindBar::close()
{
    if (!isVisible()) {
        return;
    }
    hide();
    search_->setQuery({});
    if (view_) {
        view_->showSearch(nullptr);
        view_->returnToRememberedScroll();
        view_->setFocus(Qt::OtherFocusReason);
    }
}

void FindBar::place()
{
    adjustSize();
    const QWidget* area = parentWidget();
    const int margin = 8;
    const int scrollBar = 10; // clear of the slim scroll bar
    const int width = std::min(sizeHint().width(), std::max(area->width() - 2 * margin, 0));
    setGeometry(std::max(area->width() - width - margin - scrollBar, 0), margin, width, sizeHint().height());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) {
        place();
    }
    return QFrame::eventFilter(watched, event);
}

void FindBar::queryChanged()
{
    search_->setQuery({query_->text(), regular_->isChecked(), matchCase_->isChecked()});
    showCount();
}

QString FindBar::countText() const
{
    if (!search_->error().isEmpty()) {
        return QStringLiteral("invalid: ") + search_->error();
    }
    if (search_->query().text.isEmpty()) {
        return {};
    }
    const auto count = search_->matches().size();
    if (count == 0) {
        return search_->counting() ? QStringLiteral("\u2026") : QStringLiteral("none");
    }
    const bool more = search_->counting() || search_->limitReached();
    return QStringLiteral("%1 of %2%3")
        .arg(search_->current() + 1)
        .arg(count)
        .arg(more ? QStringLiteral("+") : QString());
}

void FindBar::showCount()
{
    count_->setText(countText());
    count_->setToolTip(search_->error());
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier) && shift) {
        if (view_) {
            view_->copySelection(); // the terminal's selection, or else the current match
        }
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3:
        search_->step(!shift); // up the history first, as the search runs
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

void FindBar::paintEvent(QPaintEvent*)
{
    // A darker pane of the window's glass, so the query reads over any text below it.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath pane;
    pane.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(pane, QColor(28, 30, 36, 215));
    painter.setPen(QColor(255, 255, 255, 50));
    painter.drawPath(pane);
}
