// Reading, merging into and atomically replacing ~/.config/Vitrion/config.json, and watching it.
// QSaveFile writes a temporary file beside the target and renames it over the old one only once
// everything has been written; a QLockFile beside it keeps two processes' read-merge-replace apart.
#include "SettingsFile.h"

#include "SettingsJson.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QSaveFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// A settings file is a few hundred bytes; anything this large is not one and is not read whole.
constexpr off_t largestSettingsFile = 16 << 20;

// Something is at the path, even a dangling link or a FIFO: it is not ours to write over unasked.
bool somethingAt(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

bool createFolderOf(const QString& path, QString* failure)
{
    const QString folder = QFileInfo(path).absolutePath();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error && failure) {
        *failure = QStringLiteral("could not create the folder %1 (%2)")
                       .arg(folder, QString::fromLocal8Bit(error.message()));
    }
    return !error;
}

// Held while a process reads, merges and replaces the file. A lock that cannot be had in time (a
// read-only folder, a stuck process) does not stop the write: a change is worth more than the race.
class WriteLock {
public:
    explicit WriteLock(const QString& path) : lock(path + QStringLiteral(".lock"))
    {
        lock.tryLock(SettingsFile::lockTimeoutMs);
    }

private:
    QLockFile lock;
};

} // namespace

SettingsFile::SettingsFile(const QString& path, QObject* parent) : QObject(parent), path_(path) {}

VitrionSettings SettingsFile::read()
{
    lastBytes_ = readSettingsFile(path_);
    unparsableReason_.clear();
    if (!lastBytes_) {
        if (somethingAt(path_)) {
            unparsableReason_ = QStringLiteral("it is not a readable file");
        }
        return {};
    }
    const auto object = parseSettingsObject(*lastBytes_, &unparsableReason_);
    return object ? settingsFromObject(*object) : VitrionSettings{};
}

bool SettingsFile::writeChange(const VitrionSettings& before, const VitrionSettings& after, QString* failure)
{
    const auto changed = changedMembers(before, after, failure);
    if (!changed || !createFolderOf(path_, failure)) {
        return false;
    }
    const WriteLock lock(path_);
    const auto bytes = readSettingsFile(path_);
    // Changed by someone else since this object last read it: what they changed is kept in the
    // merge, and the change is still reported, so the model shows it too.
    const bool changedElsewhere = bytes != lastBytes_;
    unparsableReason_.clear();
    QJsonObject merged;
    if (bytes) {
        const auto object = parseSettingsObject(*bytes, &unparsableReason_);
        if (object && changed->isEmpty()) {
            return true; // nothing to write over what is there; a change elsewhere is reported
        }
        if (object) {
            merged = *object;
            for (auto member = changed->constBegin(); member != changed->constEnd(); ++member) {
                merged.insert(member.key(), member.value());
            }
        }
    } else if (somethingAt(path_)) {
        unparsableReason_ = QStringLiteral("it is not a readable file");
    } else {
        // A new file gets every key, so that a hand edit starts from the whole record.
        const auto whole = settingsObject(after, failure);
        if (!whole) {
            return false;
        }
        merged = *whole;
    }
    if (isUnparsable()) {
        lastBytes_ = bytes;
        *failure = QStringLiteral("%1 cannot be read (%2) and is kept as it is until it is replaced")
                       .arg(path_, unparsableReason_);
        return false;
    }
    const QByteArray written = settingsBytes(merged);
    if (!replaceSettingsFile(path_, written, failure)) {
        return false;
    }
    if (!changedElsewhere) {
        lastBytes_ = written;
    } else if (settle_) {
        settle_->start();
    }
    return true;
}

bool SettingsFile::replaceUnparsable(const VitrionSettings& settings, QString* keptAs, QString* failure)
{
    const auto bytes = encodeSettings(settings, failure);
    if (!bytes || !createFolderOf(path_, failure)) {
        return false;
    }
    const WriteLock lock(path_);
    if (somethingAt(path_)) {
        QString aside = path_ + QStringLiteral(".unreadable");
        for (int n = 1; somethingAt(aside); ++n) {
            aside = path_ + QStringLiteral(".unreadable.%1").arg(n);
        }
        if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(aside).constData()) != 0) {
            *failure = QStringLiteral("could not move %1 aside (%2)")
                           .arg(path_, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        if (keptAs) {
            *keptAs = aside;
        }
    }
    if (!replaceSettingsFile(path_, *bytes, failure)) {
        return false;
    }
    lastBytes_ = *bytes;
    unparsableReason_.clear();
    return true;
}

void SettingsFile::watch()
{
    if (watcher_) {
        return;
    }
    watcher_ = new QFileSystemWatcher(this);
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(settleMs);
    connect(settle_, &QTimer::timeout, this, &SettingsFile::checkForChange);
    connect(watcher_, &QFileSystemWatcher::fileChanged, settle_, qOverload<>(&QTimer::start));
    connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_, qOverload<>(&QTimer::start));
    rewatch();
}

void SettingsFile::rewatch()
{
    // A file replaced by a rename is a new file and its old watch ends, and the folder may not exist
    // yet: so the file and the nearest existing folder on its path are watched, renewed each time.
    QStringList wanted;
    if (QFileInfo::exists(path_)) {
        wanted.append(path_);
    }
    QString folder = QFileInfo(path_).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QLatin1String("/")) {
        folder = QFileInfo(folder).absolutePath();
    }
    wanted.append(folder);
    const QStringList watched = watcher_->files() + watcher_->directories();
    for (const QString& old : watched) {
        if (!wanted.contains(old)) {
            watcher_->removePath(old);
        }
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path)) {
            watcher_->addPath(path);
        }
    }
}

void SettingsFile::checkForChange()
{
    rewatch();
    if (readSettingsFile(path_) != lastBytes_) {
        emit changedOnDisk();
    }
}

std::optional<QByteArray> readSettingsFile(const QString& path)
{
    // Opened without blocking and checked to be a regular file: a FIFO at that path would stop the
    // start until someone writes to it, and a device such as /dev/zero never ends.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    struct stat status {};
    QFile file;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > largestSettingsFile ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    QByteArray bytes = file.read(largestSettingsFile + 1); // the file may have grown since fstat
    if (file.error() != QFileDevice::NoError || bytes.size() > largestSettingsFile) {
        return std::nullopt;
    }
    return bytes;
}

bool replaceSettingsFile(const QString& path, const QByteArray& bytes, QString* failure)
{
    if (!createFolderOf(path, failure)) {
        return false;
    }

    // No direct-write fallback: a folder that allows no temporary file fails the save rather than
    // overwrite the old file in place. Unbuffered, because QSaveFile::commit() does not notice a
    // write that fails while its buffer is flushed and would put a truncated file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *failure = QStringLiteral("could not write %1 (%2)").arg(path, file.errorString());
        return false;
    }
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        // QSaveFile reports a failed write as "Unknown error"; the system's reason says more.
        const QString reason = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        *failure = QStringLiteral("could not write %1 (%2)").arg(path, reason);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *failure = QStringLiteral("could not write %1 (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

void logSettingsSaveFailure(const QString& reason)
{
    QString oneLine = reason;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QByteArray line = "Vitrion settings could not be saved: " + oneLine.toLocal8Bit() + '\n';
    // One fwrite on the unbuffered stderr: the line reaches the descriptor in one piece, without the
    // decoration a Qt message handler would add.
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}
