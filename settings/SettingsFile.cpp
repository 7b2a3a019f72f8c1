// Reading and atomically replacing ~/.config/Vitrion/config.json. QSaveFile writes a temporary file
// beside the target and renames it over the old one only once everything has been written.
#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

std::optional<QByteArray> readSettingsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
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
