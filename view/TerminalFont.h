// The terminal's font: the named family if installed, else its stand-in from Debian's font packages,
// else the desktop's monospace font; sized so that its em is the settings' size in logical pixels.
#pragma once

#include <QFont>
#include <QString>

namespace TerminalFont {
// The font sizes the view can draw; a stored size outside (or not a number) is brought inside.
double usableSize(double fontSize);
// The family the view draws `fontName` with.
QString familyFor(const QString& fontName);
// The stand-in family for a name no Debian desktop has ("Menlo" -> "DejaVu Sans Mono"), or empty.
QString standInFor(const QString& fontName);
// The font for a name and a size in logical pixels, regular weight, monospace style hint.
QFont resolve(const QString& fontName, double fontSize);
} // namespace TerminalFont
