// The one observable application model: live settings, whether the settings panel is shown, and
// the identity of the current terminal session.
#pragma once

#include "VitrionSettings.h"

#include <QObject>
#include <QUuid>

#include <functional>

class AppModel : public QObject {
    Q_OBJECT
public:
    explicit AppModel(QObject* parent = nullptr);
    // Reads and saves the settings in the file at settingsPath instead of the usual one.
    explicit AppModel(const QString& settingsPath, QObject* parent = nullptr);

    const VitrionSettings& settings() const;
    void setSettings(const VitrionSettings& settings);                        // saves, then notifies
    void updateSettings(const std::function<void(VitrionSettings&)>& change); // one field, same path

    bool settingsPresented() const;
    void setSettingsPresented(bool presented);

    QUuid sessionID() const;
    void setSessionID(const QUuid& id);
    void restartShell();

signals:
    void settingsChanged();          // any write of settings, equal or not
    void settingsPresentedChanged(); // any write of settingsPresented
    void sessionIDChanged();         // any write of sessionID
    // "VitrionSettingsChanged": emitted synchronously after every save, with the new record.
    void vitrionSettingsChanged(const VitrionSettings& settings);

private:
    QString settingsPath;
    VitrionSettings currentSettings;
    bool presented = false;
    QUuid currentSessionID;
};
