// The application model: every write of the settings saves the file and then announces the new
// record; the panel flag and the session identity are plain observable values.
#include "AppModel.h"

AppModel::AppModel(QObject* parent) : AppModel(VitrionSettings::configURL(), parent) {}

AppModel::AppModel(const QString& path, QObject* parent)
    : QObject(parent), settingsPath(path), currentSettings(VitrionSettings::load(path)),
      currentSessionID(QUuid::createUuid())
{
    // A missing or unreadable file is not written back here; the first change creates it.
}

const VitrionSettings& AppModel::settings() const
{
    return currentSettings;
}

void AppModel::setSettings(const VitrionSettings& settings)
{
    // No comparison with the old value: every write saves and notifies, as a slider's every step does.
    currentSettings = settings;
    currentSettings.save(settingsPath);
    // A copy, so observers that write the settings again cannot change what later observers receive.
    const VitrionSettings saved = currentSettings;
    emit settingsChanged();
    emit vitrionSettingsChanged(saved);
}

void AppModel::updateSettings(const std::function<void(VitrionSettings&)>& change)
{
    VitrionSettings next = currentSettings;
    change(next);
    setSettings(next);
}

bool AppModel::settingsPresented() const
{
    return presented;
}

void AppModel::setSettingsPresented(bool isPresented)
{
    presented = isPresented;
    emit settingsPresentedChanged();
}

QUuid AppModel::sessionID() const
{
    return currentSessionID;
}

void AppModel::setSessionID(const QUuid& id)
{
    currentSessionID = id;
    emit sessionIDChanged();
}

void AppModel::restartShell()
{
    setSessionID(QUuid::createUuid());
}
