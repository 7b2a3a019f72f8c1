// OSC 7's file: URL taken apart: the host checked against this machine, the path percent-decoded.
#include "WorkingDirectory.h"

#include <QByteArray>
#include <QFile>

QString WorkingDirectory::localPath(const QString& url, const QString& hostName)
{
    static const QString scheme = QStringLiteral("file://");
    if (!url.startsWith(scheme, Qt::CaseInsensitive)) {
        return {};
    }
    const QString rest = url.mid(scheme.size());
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return {};
    }
    const QString host = rest.left(slash);
    if (!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0 &&
        host.compare(hostName, Qt::CaseInsensitive) != 0) {
        return {};
    }
    const QByteArray path = QByteArray::fromPercentEncoding(rest.mid(slash).toUtf8());
    if (path.contains('\0') || !path.startsWith('/')) {
        return {};
    }
    return QFile::decodeName(path);
}

QString WorkingDirectory::shown(const QString& path, const QString& home)
{
    if (!home.isEmpty() && home != QStringLiteral("/") &&
        (path == home || path.startsWith(home + QLatin1Char('/')))) {
        return QLatin1Char('~') + path.mid(home.size());
    }
    return path;
}
