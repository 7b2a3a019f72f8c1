// The application model: every write of the settings writes the changed keys to the file and then
// announces the new record; a change the file watch reports is read and announced the same way.
#include "AppModel.h"

#include "SettingsFile.h"

namespace {

// The record with the desktop style's scheme in force, when it follows the desktop.
VitrionSettings followingDesktop(VitrionSettings settings, std::optional<bool> dark)
{
    if (!settings.followDesktop || !dark) {
        return settings;
    }
    const QString wanted = *dark ? settings.darkScheme : settings.lightScheme;
    if (wanted != settings.colorScheme) {
        if (const auto scheme = ColorSchemes::find(settings, wanted)) {
            ColorSchemes::apply(settings, *scheme);
        }
    }
    return settings;
}

} // namespace

AppModel::AppModel(QObject* parent) : AppModel(VitrionSettings::configURL(), parent) {}

AppModel::AppModel(const QString& settingsPath, QObject* parent)
    : QObject(parent), file(new SettingsFile(settingsPath, this)), currentSessionID(QUuid::createUuid())
{
    // A missing or unreadable file is not written back here; the first change creates a missing one.
    currentSettings = file->read();
    noteFileState(false);
    file->watch();
    connect(file, &SettingsFile::changedOnDisk, this, &AppModel::reloadFromFile);
}

const VitrionSettings& AppModel::settings() const
{
    return currentSettings;
}

void AppModel::setSettings(const VitrionSettings& settings)
{
    // No comparison with the old value: every write saves and notifies, as a slider's every step does.
    const VitrionSettings before = currentSettings;
    currentSettings = followingDesktop(settings, desktopDark);
    const bool wasUnreadable = file->isUnparsable();
    QString failure;
    if (!file->writeChange(before, currentSettings, &failure) && !file->isUnparsable()) {
        logSettingsSaveFailure(failure);
    }
    noteFileState(wasUnreadable);
    announce();
}

void AppModel::updateSettings(const std::function<void(VitrionSettings&)>& change)
{
    VitrionSettings next = currentSettings;
    change(next);
    setSettings(next);
}

void AppModel::setDesktopPrefersDark(std::optional<bool> dark)
{
    if (dark == desktopDark) {
        return;
    }
    desktopDark = dark;
    if (followingDesktop(currentSettings, desktopDark) != currentSettings) {
        setSettings(currentSettings);
    }
}

void AppModel::announce()
{
    // A copy, so observers that write the settings again cannot change what later observers receive.
    const VitrionSettings saved = currentSettings;
    emit settingsChanged();
    emit vitrionSettingsChanged(saved);
}

void AppModel::reloadFromFile()
{
    const bool wasUnreadable = file->isUnparsable();
    const VitrionSettings fromFile = file->read();
    noteFileState(wasUnreadable);
    // While the file cannot be read, the window keeps what it shows.
    if (file->isUnparsable() || fromFile == currentSettings) {
        return;
    }
    currentSettings = fromFile;
    announce();
}

void AppModel::noteFileState(bool wasUnreadable)
{
    if (file->isUnparsable() == wasUnreadable) {
        return;
    }
    if (file->isUnparsable()) {
        logSettingsSaveFailure(QStringLiteral("%1 cannot be read (%2); it is kept as it is until it is "
                                              "replaced from the settings panel")
                                   .arg(file->path(), file->unparsableReason()));
    }
    emit settingsFileStateChanged();
}

QString AppModel::settingsPath() const
{
    return file->path();
}

bool AppModel::settingsFileUnreadable() const
{
    return file->isUnparsable();
}

QString AppModel::settingsFileProblem() const
{
    return file->unparsableReason();
}

bool AppModel::replaceSettingsFile(QString* keptAs, QString* failure)
{
    const bool wasUnreadable = file->isUnparsable();
    const bool replaced = file->replaceUnparsable(currentSettings, keptAs, failure);
    noteFileState(wasUnreadable);
    return replaced;
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
