// Reading and atomically replacing ~/.config/Vitrion/config.json. QSaveFile writes a temporary file
// beside the target and renames it over the old one only once everything has been written.
#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

} // namespace

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
    const QString folder = QFileInfo(path).absolutePath();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        *failure = QStringLiteral("could not create the folder %1 (%2)")
                       .arg(folder, QString::fromLocal8Bit(error.message()));
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
