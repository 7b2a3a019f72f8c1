// The main window's content, its observation of the application model, and what the terminal's
// program asks of the window: its title and the bell.
#include "TerminalWindow.h"

#include "BlurRegion.h"
#include "CommandNotifier.h"
#include "CompositingWatcher.h"
#include "CornerMask.h"
#include "GlassBackdrop.h"
#include "SettingsDialog.h"
#include "X11Glass.h"
#include "settings/AppModel.h"
#include "terminal/Terminal.h"
#include "terminal/WorkingDirectory.h"
#include "view/FindBar.h"
#include "view/LinkOpener.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QSysInfo>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

double limitedTo(double value, double high)
{
    if (!std::isfinite(value)) {
        return value > 0 ? std::max(0.0, high) : 0.0;
    }
    return std::clamp(value, 0.0, std::max(0.0, high));
}

constexpr int bellFlashMs = 120;

// A pale wash over the rounded glass: the visible bell. Transparent to the mouse.
class BellFlash : public QWidget {
public:
    explicit BellFlash(TerminalWindow* owner) : QWidget(owner), owner(owner)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath glass;
        const double radius = owner->effectiveRadius();
        glass.addRoundedRect(QRectF(rect()), radius, radius);
        painter.fillPath(glass, QColor(255, 255, 255, 40));
    }

private:
    TerminalWindow* owner;
};

} // namespace

TerminalWindow::TerminalWindow(AppModel& appModel, QWidget* parent)
    : TerminalWindow(appModel, LaunchOptions{}, parent)
{
}

TerminalWindow::TerminalWindow(AppModel& appModel, const LaunchOptions& launchOptions, QWidget* parent)
    : QWidget(parent), model(appModel), launch(launchOptions),
      glass(new GlassBackdrop(appModel.settings(), this)), terminalMenu(new QMenu(this)),
      bellFlash(new BellFlash(this)), compositing(new CompositingWatcher(this))
{
    corners = {new CornerMask(Qt::TopLeftCorner, this), new CornerMask(Qt::TopRightCorner, this),
               new CornerMask(Qt::BottomLeftCorner, this), new CornerMask(Qt::BottomRightCorner, this)};

    // The menu belongs to the window, not to the terminal: "New Shell" destroys the terminal.
    // Over a link it offers the link first.
    openLinkItem =
        terminalMenu->addAction(QStringLiteral("Open Link"), this, [this] { LinkOpener::open(menuLink); });
    copyLinkItem = terminalMenu->addAction(QStringLiteral("Copy Link"), this, [this] {
        QGuiApplication::clipboard()->setText(menuLink, QClipboard::Clipboard);
    });
    linkSeparator = terminalMenu->addSeparator();
    for (QAction* item : {openLinkItem, copyLinkItem, linkSeparator}) {
        item->setVisible(false);
    }
    terminalMenu->addAction(QStringLiteral("Copy\tCtrl+Shift+C"), this, [this] {
        if (terminal && terminal->textView()) {
            terminal->textView()->copySelection();
        }
    });
    terminalMenu->addAction(QStringLiteral("Paste\tCtrl+Shift+V"), this, [this] {
        if (terminal && terminal->textView()) {
            terminal->textView()->paste();
        }
    });
    selectOutput = terminalMenu->addAction(QStringLiteral("Select Output"), this, [this] {
        if (terminal && terminal->textView()) {
            terminal->textView()->selectOutputAt(menuPoint);
        }
    });
    // The folder the command under the pointer ran in, in the desktop's file manager.
    openFolder = terminalMenu->addAction(QStringLiteral("Open Folder"), this, [this] {
        LinkOpener::open(QUrl::fromLocalFile(menuFolder).toString());
    });
    openFolder->setVisible(false);
    terminalMenu->addAction(QStringLiteral("Find\u2026\tCtrl+Shift+F"), this, &TerminalWindow::showFind);
    terminalMenu->addSeparator();
    terminalMenu->addAction(QStringLiteral("New Shell\tCtrl+Shift+N"), &model, &AppModel::restartShell);
    terminalMenu->addAction(QStringLiteral("Settings\u2026\tCtrl+Shift+,"), this,
                            [this] { model.setSettingsPresented(true); });

    connect(compositing, &CompositingWatcher::activeChanged, glass, &GlassBackdrop::setCompositingActive);
    connect(&model, &AppModel::settingsChanged, this, &TerminalWindow::reevaluate);
    connect(&model, &AppModel::sessionIDChanged, this, &TerminalWindow::reevaluate);
    connect(&model, &AppModel::settingsPresentedChanged, this, &TerminalWindow::reevaluate);
    reevaluate();
}

TerminalWindow::~TerminalWindow()
{
    delete terminal.data(); // its tear-down hangs up the shell before the rest goes
}

void TerminalWindow::reevaluate()
{
    const VitrionSettings& settings = model.settings();
    glass->applySettings(settings);
    if (!terminal || terminalSession != model.sessionID()) {
        replaceSurface();
    } else {
        terminal->applySettings(settings);
    }
    if (TerminalTextView* view = terminal->textView()) {
        view->setGlassColor(glass->apparentColor());
    }
    updateMinimumSize();
    layoutContent();
    presentSheet(model.settingsPresented());
}

void TerminalWindow::updateMinimumSize()
{
    // Room for 24 x 80 cells of the current font inside the padding, so that a window at its minimum
    // still shows the grid programs expect. The minimum goes on the top-level window, not on this
    // content: a window manager that ignores it (a tiling one) makes the window smaller, and the
    // content must follow it down, so the grid is what shows and no program is told more.
    const int inset = int(std::lround(limitedTo(model.settings().padding, 1e4)));
    const QSize surface = terminal->sizeFor(minimumGridSize);
    minimumContent = QSize(surface.width() + 2 * inset, surface.height() + 2 * inset);
    QWidget* top = window();
    if (top == this) {
        setMinimumSize(minimumContent);
        return;
    }
    const auto* main = qobject_cast<QMainWindow*>(top);
    const int menuHeight = main && main->menuWidget() ? main->menuWidget()->sizeHint().height() : 0;
    top->setMinimumSize(minimumContent + QSize(0, menuHeight));
}

void TerminalWindow::replaceSurface()
{
    if (terminal) {
        // Deferred: this may run inside an event of the old terminal (its menu, its key press).
        // Hidden now, destroyed on the next turn of the event loop, where its tear-down stops the shell.
        terminal->hide();
        terminal->deleteLater();
    }
    terminalSession = model.sessionID();
    LaunchRequest request;
    request.workingDirectory =
        launch.workingDirectory.isEmpty() ? launch.startDirectory : launch.workingDirectory;
    request.workingDirectoryRequired = !launch.workingDirectory.isEmpty();
    if (firstSurface) {
        request.command = launch.command; // New Shell runs the shell
    } else if (!shellDirectory.isEmpty()) {
        // New Shell starts where the last one said it was, if that folder still exists.
        request.workingDirectory = shellDirectory;
        request.workingDirectoryRequired = false;
    }
    terminal = new TerminalSurface(model.settings(), this, request);
    shellDirectory.clear();
    showTerminalTitle({}); // a new shell has not named itself yet
    if (TerminalTextView* view = terminal->textView()) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            // A right click that goes to a program tracking the mouse opens no menu (Shift+click does).
            if (!view->reportsMouse(QGuiApplication::keyboardModifiers())) {
                const std::optional<FoundLink> link = view->openableLinkAt(at);
                menuLink = link ? QString::fromStdString(link->target) : QString();
                menuPoint = at;
                selectOutput->setEnabled(!view->outputAt(at).isEmpty());
                menuFolder = WorkingDirectory::localPath(view->folderAt(at), QSysInfo::machineHostName());
                openFolder->setVisible(!menuFolder.isEmpty() && QFileInfo(menuFolder).isDir());
                showTerminalMenu(view->mapTo(this, at));
            }
        });
    }
    if (Terminal* shell = terminal->terminal()) {
        connect(shell, &Terminal::titleChanged, this, &TerminalWindow::showTerminalTitle);
        notifier = new CommandNotifier(
            *shell, [this] { return window()->isActiveWindow(); },
            [this] { return model.settings().notifyAfterSeconds; }, terminal);
        connect(shell, &Terminal::workingDirectoryChanged, this, [this](const QString& url) {
            shellDirectory = WorkingDirectory::localPath(url, QSysInfo::machineHostName());
            showTerminalTitle(programTitle);
        });
        connect(shell, &Terminal::bellRang, this, &TerminalWindow::ringBell);
        const bool runsCommand = !request.command.isEmpty();
        connect(shell, &Terminal::finished, this, [this, runsCommand] {
            // A command's window goes with it, as launchers expect; a shell's when the settings say
            // so (by default it stays, with the exit line); --hold keeps either.
            if ((runsCommand || model.settings().closeOnShellExit) && !launch.hold) {
                window()->close();
            }
        });
    }
    firstSurface = false;
    terminal->show();
}

double TerminalWindow::effectivePadding() const
{
    return limitedTo(model.settings().padding, std::min(width(), height()) / 2.0);
}

double TerminalWindow::effectiveRadius() const
{
    return limitedTo(model.settings().cornerRadius, std::min(width(), height()) / 2.0);
}

void TerminalWindow::layoutContent()
{
    glass->setGeometry(rect());
    const int inset = int(std::lround(effectivePadding()));
    if (terminal) {
        terminal->setGeometry(rect().adjusted(inset, inset, -inset, -inset));
    }
    const double radius = effectiveRadius();
    for (CornerMask* mask : corners) {
        mask->place(rect(), radius); // raises each mask above the terminal
    }
    updateBlurBehind();
}

void TerminalWindow::updateBlurBehind()
{
    QList<QRect> region;
    if (glass->blursBehind() && isVisible()) {
        const qreal ratio = devicePixelRatioF();
        const QPoint origin = mapTo(window(), QPoint(0, 0));
        const QRect area(QPoint(int(std::lround(origin.x() * ratio)), int(std::lround(origin.y() * ratio))),
                         QSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio))));
        region = roundedRectRegion(area, effectiveRadius() * ratio);
    }
    if (blurKnown && region == requestedBlur) {
        return;
    }
    QWindow* handle = window()->windowHandle();
    if (!handle) {
        return; // asked again once the native window exists (showEvent)
    }
    requestedBlur = region;
    blurKnown = true;
    X11Glass::requestBlurBehind(handle, region);
}

void TerminalWindow::presentSheet(bool presented)
{
    if (presented) {
        if (!settingsSheet) {
            settingsSheet = new SettingsDialog(model, SettingsDialog::Presentation::sheet, this);
            connect(settingsSheet, &QDialog::finished, this, [this] {
                if (model.settingsPresented()) {
                    model.setSettingsPresented(false);
                }
            });
        }
        if (!settingsSheet->isVisible()) {
            settingsSheet->open();
        }
    } else if (settingsSheet && settingsSheet->isVisible()) {
        settingsSheet->reject();
    }
}

void TerminalWindow::showTerminalMenu(const QPoint& position)
{
    for (QAction* item : {openLinkItem, copyLinkItem, linkSeparator}) {
        item->setVisible(!menuLink.isEmpty());
    }
    terminalMenu->popup(mapToGlobal(position));
}

void TerminalWindow::showTerminalTitle(const QString& title)
{
    programTitle = title;
    if (title.isEmpty() && launch.title.isEmpty() && !shellDirectory.isEmpty()) {
        // No title from the program: where its shell is.
        window()->setWindowTitle(WorkingDirectory::shown(shellDirectory, QDir::homePath()) +
                                 QStringLiteral(" \u2014 Vitrion"));
    } else if (title.isEmpty()) {
        window()->setWindowTitle(launch.title.isEmpty() ? QStringLiteral("Vitrion") : launch.title);
    } else {
        window()->setWindowTitle(title + QStringLiteral(" \u2014 Vitrion"));
    }
}

void TerminalWindow::ringBell()
{
    // No sound: a flash of the glass in front of the user, the urgency hint when it is elsewhere.
    if (!window()->isActiveWindow()) {
        QApplication::alert(window());
        return;
    }
    if (bellFlash->isVisible()) {
        return; // bells during a flash (a flood of them) are one flash
    }
    bellFlash->setGeometry(rect());
    bellFlash->raise();
    bellFlash->show();
    QTimer::singleShot(bellFlashMs, bellFlash, &QWidget::hide);
}

void TerminalWindow::jumpToPrompt(bool previous)
{
    if (terminal && terminal->textView()) {
        terminal->textView()->jumpToPrompt(previous);
    }
}

void TerminalWindow::showFind()
{
    if (terminal) {
        terminal->findBar()->open();
    }
}

CommandNotifier* TerminalWindow::commandNotifier() const
{
    return notifier.data();
}

bool TerminalWindow::programRunning() const
{
    return terminal && terminal->terminal() && terminal->terminal()->foregroundProgramRunning();
}

bool TerminalWindow::bellFlashShowing() const
{
    return bellFlash->isVisible();
}

void TerminalWindow::resizeEvent(QResizeEvent*)
{
    layoutContent();
}

void TerminalWindow::moveEvent(QMoveEvent*)
{
    updateBlurBehind(); // the menu bar's height moves the glass inside the native window
}

void TerminalWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateMinimumSize(); // the menu bar exists by now
    if (QWindow* handle = window()->windowHandle()) {
        compositing->watch(handle);
        glass->setCompositingActive(compositing->isActive());
    }
    blurKnown = false;
    updateBlurBehind();
}
