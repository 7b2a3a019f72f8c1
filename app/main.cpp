// Vitrion's entry point: the application object and the Qt event loop.
#include "VitrionApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vitrion"));
    QApplication::setApplicationVersion(QStringLiteral(VITRION_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vitrion"));

    VitrionApp vitrion;
    vitrion.show();
    application.exec();
    return 0;
}
