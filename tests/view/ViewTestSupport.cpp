// Support for the view suites. HOME points at a temporary folder whose start-up files give sh and
// bash a plain "$ " prompt, so that the screen holds only what a test typed and the shell answered.
#include "ViewTestSupport.h"

#include "engine/TerminalEngine.h"
#include "engine/Utf8Encoder.h"
#include "terminal/Terminal.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct HomeFolder {
    QTemporaryDir folder;
    HomeFolder()
    {
        const QByteArray path = QFile::encodeName(folder.path());
        setenv("HOME", path.constData(), 1);
        unsetenv("ENV");
        unsetenv("PROMPT_COMMAND");
        const std::string profile = "PS1='$ '\nPS2='> '\nunset PROMPT_COMMAND\nHISTFILE=/dev/null\n";
        for (const char* name : {"/.profile", "/.bash_profile"}) {
            std::ofstream(path.toStdString() + name) << profile;
        }
    }
};

} // namespace

namespace ViewTest {

void ensureApplication()
{
    static HomeFolder home;
    static int argc = 1;
    static char name[] = "vitrion_view_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = qApp != nullptr ? nullptr : new QApplication(argc, argv);
    (void)application; // lives as long as the process, like the real application's
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds)
{
    return QTest::qWaitFor(condition, milliseconds);
}

void spinFor(int milliseconds)
{
    QTest::qWait(milliseconds);
}

VitrionSettings settingsWithShell(const QString& shell)
{
    VitrionSettings settings;
    settings.shell = shell;
    return settings;
}

std::vector<std::string> screenLines(const TerminalEngine& engine)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < engine.rowCount(); ++i) {
        std::string line;
        for (const Cell& cell : engine.row(i)) {
            appendUtf8(line, cell.character);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool screenHas(const TerminalEngine& engine, const std::string& line)
{
    // Keys typed before the prompt is up are echoed ahead of it, so an answer can follow a prompt.
    for (const std::string& row : screenLines(engine)) {
        if (row == line || row == "$ " + line) {
            return true;
        }
    }
    return false;
}

bool screenContains(const TerminalEngine& engine, const std::string& text)
{
    return screenDump(engine).find(text) != std::string::npos;
}

std::string screenDump(const TerminalEngine& engine)
{
    std::ostringstream out;
    for (const std::string& line : screenLines(engine)) {
        if (!line.empty()) {
            out << line << '\n';
        }
    }
    return out.str();
}

ScrollHost::ScrollHost(QSize size, const VitrionSettings& settings, Qt::ScrollBarPolicy vertical)
{
    ensureApplication();
    terminal_ = std::make_unique<Terminal>();
    area_ = std::make_unique<QScrollArea>();
    area_->setFrameShape(QFrame::NoFrame);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area_->setVerticalScrollBarPolicy(vertical);
    area_->setWidgetResizable(false);
    area_->viewport()->setAutoFillBackground(false);
    view_ = new TerminalTextView;
    view_->attach(terminal_.get());
    view_->configure(settings);
    area_->setWidget(view_);
    view_->setAutoFillBackground(false);
    area_->resize(size);
    area_->show();
    view_->fitTerminalToViewport();
    spinFor(0);
}

ScrollHost::~ScrollHost()
{
    area_.reset(); // the view before the terminal it shows
}

TerminalEngine& ScrollHost::engine()
{
    return terminal_->engine();
}

void ScrollHost::feed(std::string_view bytes)
{
    terminal_->receive(bytes);
}

void ScrollHost::resize(QSize size)
{
    area_->resize(size);
    view_->fitTerminalToViewport();
    spinFor(0);
}

SurfaceWindow::SurfaceWindow(const VitrionSettings& settings, QSize size)
{
    ensureApplication();
    window_ = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    surface_ = new TerminalSurface(settings, window_.get());
    layout->addWidget(surface_);
    window_->resize(size);
    window_->show();
}

SurfaceWindow::~SurfaceWindow() = default;

TerminalTextView& SurfaceWindow::view()
{
    return *surface_->textView();
}

TerminalEngine& SurfaceWindow::engine()
{
    return surface_->terminal()->engine();
}

void SurfaceWindow::feed(std::string_view bytes)
{
    surface_->terminal()->receive(bytes);
}

void SurfaceWindow::resize(QSize size)
{
    window_->resize(size);
}

bool SurfaceWindow::waitForShell()
{
    if (!waitUntil([this] { return view().terminal().pty() != nullptr; })) {
        return false;
    }
    // The arithmetic makes the answer differ from the echoed command line.
    type(QStringLiteral("echo shell-$((40+2))"));
    return waitForLine("shell-42");
}

void SurfaceWindow::type(const QString& line)
{
    // One press and release per character, as a keyboard gives them; QTest's ASCII helpers cannot
    // type accented letters. Qt's key codes for Latin-1 are the upper-case code points.
    for (const QChar c : line) {
        const int key = c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&view(), &press);
        QCoreApplication::sendEvent(&view(), &release);
    }
    QTest::keyClick(&view(), Qt::Key_Return);
}

bool SurfaceWindow::waitForLine(const std::string& line, int milliseconds)
{
    return waitUntil([this, &line] { return screenHas(engine(), line); }, milliseconds);
}

void SurfaceWindow::destroySurface()
{
    delete surface_;
    surface_ = nullptr;
}

QImage grab(QWidget& widget, QRect area)
{
    // Rendered without the window background QWidget::grab would put under a top-level's picture:
    // what is left is exactly what the widget paints over the glass.
    const QRect rectangle = area.isNull() ? widget.rect() : area;
    QImage image(rectangle.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(rectangle), QWidget::DrawChildren);
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool processHungUp(long pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() && text.at(close + 2) == 'Z';
}

} // namespace ViewTest
