// The scheme allow-list in one place, for the pointer's click, the context menu and the hover.
#include "LinkOpener.h"

#include <QDesktopServices>
#include <QSysInfo>

#include <algorithm>

namespace LinkOpener {

QUrl openableUrl(const QString& target)
{
    // A URI is printable ASCII, an IRI printable text: controls never reach the desktop's handler,
    // and invisible format characters (a right-to-left override) never disguise where a link leads.
    const bool printable = std::all_of(target.begin(), target.end(), [](QChar c) {
        return c.unicode() > 0x20 && c.category() != QChar::Other_Control &&
               c.category() != QChar::Other_Format && !c.isSpace();
    });
    const QUrl url(target, QUrl::TolerantMode);
    if (target.isEmpty() || !printable || !url.isValid()) {
        return {};
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("ftp")) {
        return url.host().isEmpty() ? QUrl() : url;
    }
    if (scheme == QLatin1String("mailto")) {
        return url.path().isEmpty() ? QUrl() : url;
    }
    if (scheme == QLatin1String("file")) {
        const QString host = url.host();
        const bool here = host.isEmpty() ||
                          host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
                          host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
        return here && url.path().startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(url.path()) : QUrl();
    }
    return {};
}

bool open(const QString& target)
{
    const QUrl url = openableUrl(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace LinkOpener
