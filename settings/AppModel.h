// The one observable application model: live settings, whether the settings panel is shown, and
// the identity of the current terminal session. The settings follow their file both ways: a change
// here is written as the changed keys, a change made to the file elsewhere arrives here.
#pragma once

#include "VitrionSettings.h"

#include <QObject>
#include <QUuid>

#include <functional>
#include <optional>

class SettingsFile;

class AppModel : public QObject {
    Q_OBJECT
public:
    explicit AppModel(QObject* parent = nullptr);
    // Reads and saves the settings in the file at settingsPath instead of the usual one.
    explicit AppModel(const QString& settingsPath, QObject* parent = nullptr);

    const VitrionSettings& settings() const;
    void setSettings(const VitrionSettings& settings);                        // saves, then notifies
    void updateSettings(const std::function<void(VitrionSettings&)>& change); // one field, same path

    // The settings file, and whether it holds something that cannot be parsed: changes then apply
    // to this window only until replaceSettingsFile() moves it aside and writes the settings.
    QString settingsPath() const;
    bool settingsFileUnreadable() const;
    QString settingsFileProblem() const; // why it cannot be read
    bool replaceSettingsFile(QString* keptAs, QString* failure);

    // The desktop's style, dark or light (none while unknown). While the settings follow it, each
    // write and each change of style takes the style's scheme, when it is not the one shown.
    void setDesktopPrefersDark(std::optional<bool> dark);
    std::optional<bool> desktopPrefersDark() const { return desktopDark; }

    bool settingsPresented() const;
    void setSettingsPresented(bool presented);

    QUuid sessionID() const;
    void setSessionID(const QUuid& id);
    void restartShell();

signals:
    void settingsChanged();          // any write of settings, equal or not, and a change from the file
    void settingsPresentedChanged(); // any write of settingsPresented
    void sessionIDChanged();         // any write of sessionID
    // "VitrionSettingsChanged": emitted synchronously after every save, and after a change from the
    // file, with the new record.
    void vitrionSettingsChanged(const VitrionSettings& settings);
    void settingsFileStateChanged(); // it became unreadable, or readable again

private:
    void reloadFromFile();
    void noteFileState(bool wasUnreadable);
    void announce();

    SettingsFile* file;
    VitrionSettings currentSettings;
    bool presented = false;
    QUuid currentSessionID;
    std::optional<bool> desktopDark;
};
