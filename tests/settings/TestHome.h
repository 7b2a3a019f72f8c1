// A private home folder for the settings suites, set before any test runs so that the settings
// file lives in a temporary folder and never touches the user's own.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace TestHome {
QString path();
QString configFolder();    // <home>/.config
void removeConfigFolder(); // start a test without ~/.config
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
bool exists(const QString& path);

// Everything written to standard error (descriptor 2) while running the action.
QByteArray captureStandardError(const std::function<void()>& action);
} // namespace TestHome
