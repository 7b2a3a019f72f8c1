// File access for the settings: reading the whole file, replacing it atomically, and the one log
// line a failed save leaves on standard error.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The whole file, or nothing when it is missing or unreadable.
std::optional<QByteArray> readSettingsFile(const QString& path);

// Creates the file's folder (and its parents) when needed, then replaces the file with the bytes so
// that a reader sees either the old file or the whole new one. On failure returns false with the
// reason in *failure and leaves any previous file untouched.
bool replaceSettingsFile(const QString& path, const QByteArray& bytes, QString* failure);

// "Vitrion settings could not be saved: <reason>" as one line on standard error.
void logSettingsSaveFailure(const QString& reason);
