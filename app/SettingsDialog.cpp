// The sheet and the settings window: the panel at 480 wide with 20 of padding, scrolled when the
// screen is not tall enough for all of it.
#include "SettingsDialog.h"

#include "SettingsPanel.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int panelWidth = 480;
constexpr int margin = 20;
constexpr int frameAllowance = 80; // the window manager's title bar and the desktop's panels
} // namespace

SettingsDialog::SettingsDialog(AppModel& model, Presentation presentation, QWidget* parent)
    : QDialog(parent), content(new SettingsPanel(model, this)), scroller(new QScrollArea(this))
{
    setWindowTitle(QStringLiteral("Vitrion Settings"));
    setWindowModality(presentation == Presentation::sheet ? Qt::WindowModal : Qt::NonModal);
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    content->setFixedWidth(panelWidth);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidgetResizable(true);
    scroller->setWidget(content);
    layout->addWidget(scroller);
    content->installEventFilter(this); // the panel grows and shrinks (the file problem box)

    // Closing changes no setting: every change was saved when it was made.
    connect(content, &SettingsPanel::dismissRequested, this, &QDialog::accept);
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == content && event->type() == QEvent::LayoutRequest && isVisible()) {
        fitToScreen();
    }
    return QDialog::eventFilter(watched, event);
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    fitToScreen();
    QDialog::showEvent(event);
}

// As tall as the panel, or as the screen allows with the panel scrolled; the scroll bar takes its
// width from the right margin, so the dialog keeps its width either way.
void SettingsDialog::fitToScreen()
{
    const int wanted = content->sizeHint().height();
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    const int available =
        screen ? screen->availableGeometry().height() - frameAllowance - 2 * margin : wanted;
    const int height = std::max(std::min(wanted, available), 200);
    const bool scrolled = height < wanted;
    const int bar = scrolled ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller) : 0;
    scroller->setVerticalScrollBarPolicy(scrolled ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    layout()->setContentsMargins(margin, margin, std::max(0, margin - bar), margin);
    scroller->setFixedSize(panelWidth + bar, height);
    setFixedSize(panelWidth + 2 * margin, height + 2 * margin);
}
