// The application: owns the one AppModel for the process's life, the main window with its menus
// ("Vitrion", "Terminal") and the standalone settings window.
#pragma once

#include "app/CommandLine.h"
#include "app/SettingsDialog.h"
#include "settings/AppModel.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QMainWindow;

class DesktopStyle;
class TerminalWindow;

class VitrionApp : public QObject {
    Q_OBJECT
public:
    explicit VitrionApp(const LaunchOptions& options = {}, QObject* parent = nullptr);
    ~VitrionApp() override;

    // Shows the main window (its native window gets the ARGB visual) and queues its configuration.
    void show();

    AppModel& model() { return appModel; }
    DesktopStyle* desktopStyle() const { return desktop; }
    QMainWindow* mainWindow() const { return window.get(); }
    TerminalWindow* terminalWindow() const { return content; }
    SettingsDialog* settingsWindow() const { return standaloneSettings; }

    QAction* aboutAction() const { return about; }
    QAction* settingsAction() const { return settings; }
    QAction* settingsWindowAction() const { return settingsWindowItem; }
    QAction* quitAction() const { return quit; }
    QAction* newShellAction() const { return newShell; }
    QAction* pasteAction() const { return paste; }
    QAction* findAction() const { return find; }
    QAction* previousPromptAction() const { return previousPrompt; }

    void openSettingsWindow();
    // The question asked before a close would end a running program; null when none is open.
    QMessageBox* closeQuestion() const { return question; }
    // "Paste": only into a terminal that has the keyboard focus of the active window.
    static bool pasteIntoFocusedTerminal();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void askBeforeClosing();
    QAction* command(const QString& text, QChar key);

    AppModel appModel;
    DesktopStyle* desktop = nullptr;
    std::unique_ptr<QMainWindow> window;
    TerminalWindow* content = nullptr;
    QPointer<SettingsDialog> standaloneSettings;
    QAction* about = nullptr;
    QAction* settings = nullptr;
    QAction* settingsWindowItem = nullptr;
    QAction* quit = nullptr;
    QAction* newShell = nullptr;
    QAction* paste = nullptr;
    QAction* find = nullptr;
    QAction* previousPrompt = nullptr;
    QAction* nextPrompt = nullptr;
    QPointer<QMessageBox> question;
    bool closeConfirmed = false;
};
