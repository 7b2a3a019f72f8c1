// Writes the application icon as PNG files for the icon theme, one per size, from the same drawing
// the window uses: icon-export <folder> <size>... makes <folder>/<size>x<size>/vitrion.png.
#include "VitrionIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Run during the build, where there may be no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: icon-export <folder> <size>...\n", stderr);
        return 2;
    }
    for (const QString& text : arguments.mid(2)) {
        const int size = text.toInt();
        const QString folder = QStringLiteral("%1/%2x%2").arg(arguments[1]).arg(size);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !VitrionIcon::render(size).save(folder + QStringLiteral("/vitrion.png"), "PNG")) {
            std::fprintf(stderr, "icon-export: could not write the %s pixel icon in %s\n",
                         text.toLocal8Bit().constData(), folder.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
