// Test fixture support: a private X server (Xvfb) with a window manager (openbox), a compositing
// manager (picom, tests/app/picom.conf) and a patterned root background. Ends every process it
// started, in reverse order.
#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class XServerStack {
public:
    XServerStack();
    ~XServerStack();

    // Starts Xvfb and returns false (with why()) when it cannot: the only reason to skip.
    bool startServer(int width, int height);
    bool startWindowManager();
    bool startCompositor();
    void stopCompositor();
    bool setRootBackground(const QStringList& arguments);

    QString display() const { return displayName; }
    QString why() const { return reason; }

    // Runs a client program on this display and waits for it.
    bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr, int timeoutMs = 10000);
    QImage screenshot();

private:
    std::unique_ptr<QProcess> spawn(const QString& program, const QStringList& arguments);
    static void end(std::unique_ptr<QProcess>& process);

    QTemporaryDir scratch;
    QString displayName;
    QString reason;
    std::unique_ptr<QProcess> server;
    std::unique_ptr<QProcess> windowManager;
    std::unique_ptr<QProcess> compositor;
};
