// The private home folder of the settings suites. A child test process (ChildTestRun.h) inherits
// the parent's folder through VITRION_TEST_HOME so both look at the same file.
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

struct HomeFolder {
    QTemporaryDir owned;
    QString path;
    HomeFolder()
    {
        const char* inherited = std::getenv("VITRION_TEST_HOME");
        path = inherited ? QString::fromLocal8Bit(inherited) : owned.path();
        if (inherited) {
            owned.setAutoRemove(false);
            owned.remove();
        }
        setenv("HOME", QFile::encodeName(path).constData(), 1);
        setenv("VITRION_TEST_HOME", QFile::encodeName(path).constData(), 1);
    }
};

// Constructed before main, so HOME is in place before anything asks for the settings file.
HomeFolder& homeFolder()
{
    static HomeFolder folder;
    return folder;
}
[[maybe_unused]] const bool homeReady = (homeFolder(), true);

} // namespace

namespace TestHome {

QString path()
{
    return homeFolder().path;
}
QString configFolder()
{
    return path() + QStringLiteral("/.config");
}

void removeConfigFolder()
{
    QDir(configFolder()).removeRecursively();
    QFile::remove(configFolder()); // a test may have left a plain file there
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

bool exists(const QString& path)
{
    return QFile::exists(path);
}

QByteArray captureStandardError(const std::function<void()>& action)
{
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(capture), 2);
    action();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    QFile file;
    file.open(fileno(capture), QIODevice::ReadOnly);
    file.seek(0);
    const QByteArray captured = file.readAll();
    file.close();
    std::fclose(capture);
    return captured;
}

} // namespace TestHome
