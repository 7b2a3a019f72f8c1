// Where a shell says it is (OSC 7: a file: URL with a host and a percent-encoded path), as a folder
// of this machine a new shell can start in.
#pragma once

#include <QString>

namespace WorkingDirectory {
// The absolute local path of the URL; empty for another host (a shell over ssh), another scheme,
// a relative or malformed path, or an encoded NUL. `hostName` is this machine's name.
QString localPath(const QString& url, const QString& hostName);
// The path as a title shows it: the home folder as "~".
QString shown(const QString& path, const QString& home);
} // namespace WorkingDirectory
