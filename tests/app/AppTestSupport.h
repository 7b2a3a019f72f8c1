// Shared set-up of the app layer's tests: one QApplication for the process and a private home
// directory, so no test reads or writes the user's ~/.config/Vitrion/config.json.
#pragma once

#include "settings/VitrionSettings.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace AppTestSupport {

inline QTemporaryDir& home()
{
    static QTemporaryDir directory;
    return directory;
}

// Must be the first thing a test calls: HOME is read once, when the settings path is first asked for.
inline QApplication& application()
{
    static QApplication* app = [] {
        qputenv("HOME", home().path().toUtf8());
        static int argc = 1;
        static char name[] = "vitrion_app_tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

inline QString configPath()
{
    application();
    return VitrionSettings::configURL();
}

inline void removeConfig()
{
    QFile::remove(configPath());
}

inline void writeConfig(const QByteArray& json)
{
    const QString path = configPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(json);
}

inline QByteArray readConfig()
{
    QFile file(configPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace AppTestSupport
