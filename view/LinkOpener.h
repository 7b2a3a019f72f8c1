// Opening a link with the desktop's handler, only ever for the user's click: http, https, ftp,
// mailto, and file URLs naming this machine. Anything else (javascript:, data:, a handler of some
// program's own, a file on another host) is refused without a sound.
#pragma once

#include <QString>
#include <QUrl>

namespace LinkOpener {
// The URL to hand to the desktop for a link's target; an invalid one when it may not be opened.
// A file URL naming this host (as ls --hyperlink writes them) becomes a plain local one.
QUrl openableUrl(const QString& target);
// Opens it; false when it is refused or the desktop has no handler for it.
bool open(const QString& target);
} // namespace LinkOpener
