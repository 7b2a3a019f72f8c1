// The private X server stack of the real-X tests.
#include "XServerStack.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

XServerStack::XServerStack() = default;

XServerStack::~XServerStack()
{
    end(compositor);
    end(windowManager);
    end(server);
}

std::unique_ptr<QProcess> XServerStack::spawn(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!displayName.isEmpty()) {
        environment.insert(QStringLiteral("DISPLAY"), displayName);
    }
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(scratch.filePath(QFileInfo(program).fileName() + QStringLiteral(".log")),
                                   QIODevice::Append);
    process->start(program, arguments);
    return process;
}

void XServerStack::end(std::unique_ptr<QProcess>& process)
{
    if (!process) {
        return;
    }
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    process.reset();
}

bool XServerStack::startServer(int width, int height)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        reason = QStringLiteral("Xvfb is not installed");
        return false;
    }
    // Xvfb picks a free display itself and writes its number to descriptor 3.
    const QString numberFile = scratch.filePath(QStringLiteral("display"));
    server = spawn(QStringLiteral("sh"),
                   {QStringLiteral("-c"),
                    QStringLiteral("exec Xvfb -displayfd 3 -screen 0 %1x%2x24 -nolisten tcp -noreset 3>\"$0\"")
                        .arg(width)
                        .arg(height),
                    numberFile});
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QFile file(numberFile);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray written = file.readAll();
            if (written.endsWith('\n')) { // the whole number is there
                displayName = QStringLiteral(":") + QString::fromLatin1(written.trimmed());
                if (run(QStringLiteral("xdpyinfo"), {})) {
                    return true;
                }
            }
        }
        if (server->state() == QProcess::NotRunning) {
            break;
        }
        QThread::msleep(50);
    }
    reason = QStringLiteral("Xvfb could not start (see %1)").arg(scratch.filePath(QStringLiteral("sh.log")));
    end(server);
    displayName.clear();
    return false;
}

bool XServerStack::startWindowManager()
{
    windowManager = spawn(QStringLiteral("openbox"), {});
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && windowManager->state() != QProcess::NotRunning) {
        QByteArray out;
        if (run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, &out) &&
            out.contains("window id")) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

bool XServerStack::startCompositor()
{
    compositor = spawn(QStringLiteral("picom"), {QStringLiteral("--experimental-backends"), QStringLiteral("--config"),
                                                 QStringLiteral(VITRION_TEST_SOURCE_DIR "/picom.conf")});
    return compositor->waitForStarted(5000);
}

void XServerStack::stopCompositor()
{
    end(compositor);
}

bool XServerStack::setRootBackground(const QStringList& arguments)
{
    return run(QStringLiteral(VITRION_ROOT_BACKGROUND), arguments);
}

bool XServerStack::run(const QString& program, const QStringList& arguments, QByteArray* output, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), displayName);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QImage XServerStack::screenshot()
{
    // What the screen shows, composited: import reads the root window with its inferiors.
    const QString file = scratch.filePath(QStringLiteral("screen.png"));
    QFile::remove(file);
    if (!run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file})) {
        return {};
    }
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}
