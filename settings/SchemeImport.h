// Reading a colour scheme from the files people bring from other terminals: alacritty (TOML and
// YAML), Windows Terminal (a JSON scheme), iTerm2 (.itermcolors), base16 (YAML) and Xresources. A
// file is read whole into a scheme or refused with the reason; nothing is applied from half a file.
#pragma once

#include "ColorScheme.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace SchemeImport {
inline constexpr qint64 sizeLimit = 1 << 20; // theme files are a few kilobytes

struct Result {
    std::optional<ColorScheme> scheme;
    QString error; // why there is no scheme, for the user ("line 12: bad colour \"#12345\"")
};

// The file's format from its name and its first bytes; its name, when it gives none, from the file's.
Result read(const QString& path);
Result parse(const QByteArray& bytes, const QString& fileName);
} // namespace SchemeImport
