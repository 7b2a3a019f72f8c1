// The application object, its main window and its menu commands.
#include "VitrionApp.h"

#include "DesktopStyle.h"
#include "SettingsDialog.h"
#include "TerminalWindow.h"
#include "VitrionIcon.h"
#include "WindowColors.h"
#include "WindowConfigurator.h"
#include "view/TerminalTextView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

VitrionApp::VitrionApp(const LaunchOptions& options, QObject* parent)
    : QObject(parent),
      appModel(options.configPath.isEmpty() ? VitrionSettings::configURL() : options.configPath),
      window(std::make_unique<QMainWindow>())
{
    // The scheme follows the desktop's light or dark style when the settings say so.
    desktop = new DesktopStyle(QDBusConnection::sessionBus(), this);
    if (!desktop->asking()) {
        appModel.setDesktopPrefersDark(desktop->prefersDark()); // no bus: the palette now
    }
    connect(desktop, &DesktopStyle::changed, &appModel,
            [this](bool dark) { appModel.setDesktopPrefersDark(dark); });
    window->setWindowIcon(VitrionIcon::icon());
    WindowConfigurator::prepare(window.get());
    content = new TerminalWindow(appModel, options, window.get());
    window->setCentralWidget(content);
    window->resize(820, 520);
    buildMenus();
    window->installEventFilter(this); // its close, from the window manager or Quit
}

bool VitrionApp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window.get() && event->type() == QEvent::Close && !closeConfirmed &&
        content->programRunning()) {
        event->ignore();
        askBeforeClosing();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void VitrionApp::askBeforeClosing()
{
    // Window-modal and answered later, so the event loop (and the program's output) goes on.
    if (question) {
        question->raise();
        return;
    }
    question = new QMessageBox(QMessageBox::Question, QStringLiteral("Close Vitrion?"),
                               QStringLiteral("A program is still running: close anyway?"),
                               QMessageBox::Close | QMessageBox::Cancel, window.get());
    question->setDefaultButton(QMessageBox::Cancel);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::finished, this, [this](int) {
        if (question && question->clickedButton() == question->button(QMessageBox::Close)) {
            closeConfirmed = true;
            window->close();
        }
    });
    question->open();
}

VitrionApp::~VitrionApp()
{
    delete standaloneSettings.data();
    window.reset(); // the terminal's tear-down runs while the model still exists
}

void VitrionApp::show()
{
    window->show();
    WindowConfigurator::scheduleConfiguration(window.get());
}

QAction* VitrionApp::command(const QString& text, QChar key)
{
    auto* action = new QAction(text, window.get());
    // Command is Ctrl+Shift on this desktop, and Super where the desktop passes it on. With Shift
    // held X reports the shifted symbol ("less" for comma); Qt's shortcut map also tries the key's
    // unshifted symbol, so Ctrl+Shift+, matches either way.
    const QString chord = QString(key);
    action->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Shift+") + chord), QKeySequence(QStringLiteral("Meta+") + chord)});
    action->setShortcutContext(Qt::ApplicationShortcut);
    return action;
}

void VitrionApp::buildMenus()
{
    QMenuBar* bar = window->menuBar();
    // The bar sits on the dark window colour, outside the glass: opaque, with light text.
    QPalette barPalette = bar->palette();
    barPalette.setColor(QPalette::Window, windowBackgroundColor());
    barPalette.setColor(QPalette::WindowText, QColor::fromRgbF(0.92f, 0.93f, 0.96f));
    barPalette.setColor(QPalette::ButtonText, QColor::fromRgbF(0.92f, 0.93f, 0.96f));
    bar->setPalette(barPalette);
    bar->setAutoFillBackground(true);

    about = new QAction(QStringLiteral("About Vitrion"), window.get());
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(
            window.get(), QStringLiteral("About Vitrion"),
            QStringLiteral("<b>Vitrion</b> %1<br>A terminal behind glass for the Linux desktop.")
                .arg(QCoreApplication::applicationVersion()));
    });
    settings = command(QStringLiteral("Settings\u2026"), QLatin1Char(','));
    connect(settings, &QAction::triggered, this, [this] { appModel.setSettingsPresented(true); });
    settingsWindowItem = new QAction(QStringLiteral("Settings Window\u2026"), window.get());
    connect(settingsWindowItem, &QAction::triggered, this, &VitrionApp::openSettingsWindow);
    quit = command(QStringLiteral("Quit"), QLatin1Char('Q'));
    quit->setMenuRole(QAction::QuitRole);
    // Through the window's close, so that a running program is asked about first.
    connect(quit, &QAction::triggered, window.get(), &QWidget::close, Qt::QueuedConnection);

    newShell = command(QStringLiteral("New Shell"), QLatin1Char('N'));
    connect(newShell, &QAction::triggered, &appModel, &AppModel::restartShell);
    paste = command(QStringLiteral("Paste"), QLatin1Char('V'));
    connect(paste, &QAction::triggered, this, [] { pasteIntoFocusedTerminal(); });
    find = command(QStringLiteral("Find\u2026"), QLatin1Char('F'));
    connect(find, &QAction::triggered, content, &TerminalWindow::showFind);
    previousPrompt = new QAction(QStringLiteral("Previous Prompt"), window.get());
    previousPrompt->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up));
    previousPrompt->setShortcutContext(Qt::ApplicationShortcut);
    connect(previousPrompt, &QAction::triggered, content, [this] { content->jumpToPrompt(true); });
    nextPrompt = new QAction(QStringLiteral("Next Prompt"), window.get());
    nextPrompt->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down));
    nextPrompt->setShortcutContext(Qt::ApplicationShortcut);
    connect(nextPrompt, &QAction::triggered, content, [this] { content->jumpToPrompt(false); });

    // A Linux window has no application menu: "Vitrion" stands for it. "Settings…" is one action in
    // both menus, so its shortcut is registered once.
    QMenu* app = bar->addMenu(QStringLiteral("Vitrion"));
    app->addAction(about);
    app->addAction(settings);
    app->addAction(settingsWindowItem);
    app->addSeparator();
    app->addAction(quit);

    QMenu* terminal = bar->addMenu(QStringLiteral("Terminal"));
    terminal->addAction(newShell);
    terminal->addAction(paste);
    terminal->addAction(find);
    terminal->addAction(previousPrompt);
    terminal->addAction(nextPrompt);
    terminal->addSeparator();
    terminal->addAction(settings);

    for (QAction* action :
         {about, settings, settingsWindowItem, quit, newShell, paste, find, previousPrompt, nextPrompt}) {
        window->addAction(action); // shortcuts work while the menu bar is hidden, too
    }
}

void VitrionApp::openSettingsWindow()
{
    if (!standaloneSettings) {
        standaloneSettings = new SettingsDialog(appModel, SettingsDialog::Presentation::window, window.get());
        standaloneSettings->setAttribute(Qt::WA_DeleteOnClose);
    }
    standaloneSettings->show();
    standaloneSettings->raise();
    standaloneSettings->activateWindow();
}

bool VitrionApp::pasteIntoFocusedTerminal()
{
    QWidget* active = QApplication::activeWindow();
    auto* view = active ? qobject_cast<TerminalTextView*>(active->focusWidget()) : nullptr;
    if (!view) {
        return false;
    }
    view->paste();
    return true;
}
