// Vitrion's entry point: the command line, then the application object and the Qt event loop.
#include "CommandLine.h"
#include "VitrionApp.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    // Read before any display is opened: --help and --version work without one.
    const CommandLine line = CommandLine::parse(arguments, QDir::currentPath());
    if (line.outcome == CommandLine::Outcome::exit) {
        std::fputs(line.output.toLocal8Bit().constData(), stdout);
        std::fputs(line.errorMessage.toLocal8Bit().constData(), stderr);
        return line.exitCode;
    }

    // Qt takes options of its own (-style, -platform, -name) out of the arguments it is given; they
    // could belong to the command, so Qt is given the program's name alone.
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, argv);
    // The application name is the class part of the X11 window's WM_CLASS.
    const QString windowClass = line.options.windowClass;
    QApplication::setApplicationName(windowClass.isEmpty() ? QStringLiteral("Vitrion") : windowClass);
    QApplication::setApplicationVersion(QStringLiteral(VITRION_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vitrion"));

    VitrionApp vitrion(line.options);
    vitrion.show();
    application.exec();
    return 0;
}
