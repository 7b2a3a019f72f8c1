// The settings file: reading it key by key, writing a change as the changed keys merged on top of
// what the file holds at that moment, watching it for changes made elsewhere (another window, an
// editor), and never overwriting a file that cannot be parsed unless asked to. Below the class, the
// plain file access it is built on and the one log line a failed save leaves on standard error.
#pragma once

#include "VitrionSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QFileSystemWatcher;
class QTimer;

class SettingsFile : public QObject {
    Q_OBJECT
public:
    // How long a write waits for another process's write to the same file to end.
    static constexpr int lockTimeoutMs = 2000;
    // Changes seen within this time of each other are read once (an editor's save is several events).
    static constexpr int settleMs = 60;

    explicit SettingsFile(const QString& path, QObject* parent = nullptr);

    const QString& path() const { return path_; }

    // The record the file gives: its keys over the defaults; the defaults when it is missing or
    // cannot be parsed. Remembers whether it could be parsed.
    VitrionSettings read();
    // The file exists but holds no JSON object in UTF-8: changes are not written to it.
    bool isUnparsable() const { return !unparsableReason_.isEmpty(); }
    const QString& unparsableReason() const { return unparsableReason_; }

    // Writes the keys whose values differ between before and after on top of what the file holds
    // now (read, merge, atomic replace, under a lock file shared by every process). A missing file
    // gets the whole record; keys the record does not know are kept. Returns false with the reason
    // when nothing could be written, or when the file cannot be parsed (it is left untouched).
    bool writeChange(const VitrionSettings& before, const VitrionSettings& after, QString* failure);
    // Moves a file that cannot be parsed aside (config.json.unreadable, or .unreadable.N when that
    // exists) and writes the whole record in its place. The new name goes to *keptAs.
    bool replaceUnparsable(const VitrionSettings& settings, QString* keptAs, QString* failure);

    // From now on, changedOnDisk() follows every change of the file's bytes that this object did
    // not write itself, including the file or its folder being created, replaced or removed.
    void watch();

signals:
    void changedOnDisk();

private:
    void rewatch();
    void checkForChange();

    QString path_;
    QString unparsableReason_;
    std::optional<QByteArray> lastBytes_; // as last read or written here; nothing for no file
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* settle_ = nullptr;
};

// The whole file, or nothing when it is missing or unreadable.
std::optional<QByteArray> readSettingsFile(const QString& path);

// Creates the file's folder (and its parents) when needed, then replaces the file with the bytes so
// that a reader sees either the old file or the whole new one. On failure returns false with the
// reason in *failure and leaves any previous file untouched.
bool replaceSettingsFile(const QString& path, const QByteArray& bytes, QString* failure);

// "Vitrion settings could not be saved: <reason>" as one line on standard error.
void logSettingsSaveFailure(const QString& reason);
