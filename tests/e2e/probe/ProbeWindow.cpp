// A stand-in window for checking the end-to-end harness itself (X server, window manager,
// compositor, XTEST keys, clipboard, screenshots) without the program under test.
//
// It looks like the real window in the ways the harness measures: a light bar at the top, then a
// rounded glass rectangle whose outside is the opaque window colour and whose inside is a grey
// tint at the alpha given by PROBE_ALPHA (0-255). It records what it receives in $HOME:
// probe-keys.txt (one line per key press), probe-paste.txt (the clipboard on Ctrl+Shift+V) and
// probe-size.txt (its size after every resize).
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QWidget>

#include <cstdlib>

namespace {

QString homeFile(const char* name)
{
    return QString::fromLocal8Bit(std::getenv("HOME")) + QLatin1Char('/') + QLatin1String(name);
}

void replaceFile(const char* name, const QByteArray& bytes)
{
    QSaveFile file(homeFile(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}

class ProbeWindow : public QWidget {
public:
    static constexpr int barHeight = 28;
    static constexpr qreal radius = 20;

    ProbeWindow()
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setWindowTitle(QStringLiteral("Vitrion"));
        const char* alpha = std::getenv("PROBE_ALPHA");
        tintAlpha = alpha ? std::atoi(alpha) : 128;
        resize(900, 640);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), QColor(28, 38, 54));
        painter.fillRect(0, 0, width(), barHeight, QColor(240, 240, 240));
        QPainterPath glass;
        glass.addRoundedRect(QRectF(0, barHeight, width(), height() - barHeight), radius, radius);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(glass, QColor(37, 37, 37, tintAlpha));
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const bool chord = (event->modifiers() & Qt::ControlModifier) && (event->modifiers() & Qt::ShiftModifier);
        if (chord && event->key() == Qt::Key_V) {
            replaceFile("probe-paste.txt", QGuiApplication::clipboard()->text().toUtf8());
            return;
        }
        QFile log(homeFile("probe-keys.txt"));
        if (log.open(QIODevice::Append)) {
            log.write(QByteArray("key=") + QByteArray::number(event->key()) + " mods=" +
                      QByteArray::number(int(event->modifiers())) + " text=" + event->text().toUtf8().toHex() +
                      "\n");
        }
    }

    void resizeEvent(QResizeEvent*) override
    {
        replaceFile("probe-size.txt", QByteArray::number(width()) + " " + QByteArray::number(height()) + "\n");
    }

private:
    int tintAlpha = 128;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ProbeWindow window;
    window.show();
    return app.exec();
}
