// Vitrion's window icon, drawn in code (the same design as resources/vitrion.svg, which Qt cannot
// load without its SVG module): a pane of tinted glass over a soft light, with a shell prompt.
#pragma once

#include <QIcon>
#include <QImage>

namespace VitrionIcon {

QImage render(int size);
QIcon icon();

} // namespace VitrionIcon
