// Parsing the command line. QCommandLineParser reads the options; the command is cut off first,
// because everything after -e or -- belongs to it, options of its own included (`-e vim -T x`).
#include "CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Options that take a value: the word after one of these is its value, never a command marker.
// Single-dash words are long options too (`-title`, `-class`, as xterm spells them).
bool takesValue(const QString& word)
{
    static const QStringList names{QStringLiteral("T"),     QStringLiteral("title"),
                                   QStringLiteral("cd"),    QStringLiteral("working-directory"),
                                   QStringLiteral("class"), QStringLiteral("config")};
    QString name = word;
    if (name.startsWith(QLatin1String("--"))) {
        name.remove(0, 2);
    } else if (name.startsWith(QLatin1Char('-'))) {
        name.remove(0, 1);
    } else {
        return false;
    }
    return names.contains(name);
}

struct SplitArguments {
    QStringList options; // the program's name and its options, for the parser
    QStringList command; // what follows -e or --
    bool commandMarker = false;
    bool fromDashE = false;
};

SplitArguments split(const QStringList& arguments)
{
    SplitArguments result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (i > 0 && (word == QLatin1String("-e") || word == QLatin1String("--"))) {
            result.commandMarker = true;
            result.fromDashE = word == QLatin1String("-e");
            result.command = arguments.mid(i + 1);
            break;
        }
        result.options.append(word);
        if (i > 0 && takesValue(word) && i + 1 < arguments.size()) {
            result.options.append(arguments[++i]);
        }
    }
    return result;
}

// `-e 'vim notes.txt'`: one word that is no file but holds a space is a command line for the shell,
// as xterm takes it. A file whose name has spaces runs as it is.
QStringList commandFromOneWord(const QString& word, const QString& currentDirectory)
{
    const bool isFile = QFileInfo(QDir(currentDirectory), word).isFile();
    const bool hasSpace = std::any_of(word.cbegin(), word.cend(), [](QChar c) { return c.isSpace(); });
    if (isFile || !hasSpace) {
        return {word};
    }
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), word};
}

QString absoluteIn(const QString& currentDirectory, const QString& path)
{
    return QDir::cleanPath(QDir(currentDirectory).absoluteFilePath(path));
}

CommandLine mistake(const QString& message)
{
    CommandLine line;
    line.outcome = CommandLine::Outcome::exit;
    line.exitCode = 2;
    line.errorMessage =
        QStringLiteral("vitrion: %1\nTry 'vitrion --help' for more information.\n").arg(message);
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments, const QString& currentDirectory)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A terminal behind glass."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption execute(
        QStringLiteral("e"),
        QStringLiteral("Run COMMAND with its ARGS instead of the shell; the rest of the line belongs to it. "
                       "A single word with spaces is run by /bin/sh."),
        QStringLiteral("COMMAND [ARGS...]"));
    const QCommandLineOption directory({QStringLiteral("working-directory"), QStringLiteral("cd")},
                                       QStringLiteral("Start the shell or the command in DIR."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption title({QStringLiteral("T"), QStringLiteral("title")},
                                   QStringLiteral("The window's title until a program sets one."),
                                   QStringLiteral("TITLE"));
    const QCommandLineOption hold(QStringLiteral("hold"),
                                  QStringLiteral("Keep the window open when the command exits."));
    const QCommandLineOption windowClass(QStringLiteral("class"),
                                         QStringLiteral("The window's class (WM_CLASS), for window rules."),
                                         QStringLiteral("NAME"));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("Read and save the settings in FILE instead of "
                                                   "~/.config/Vitrion/config.json."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOptions({execute, directory, title, hold, windowClass, config, help, version});
    parser.addPositionalArgument(QStringLiteral("-- COMMAND [ARGS...]"),
                                 QStringLiteral("Run COMMAND with its ARGS instead of the shell."),
                                 QStringLiteral("[-e COMMAND [ARGS...] | -- COMMAND [ARGS...]]"));

    const SplitArguments words = split(arguments);
    if (!parser.parse(words.options)) {
        return mistake(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return mistake(QStringLiteral("Unexpected argument '%1'. A command follows -e or --.")
                           .arg(parser.positionalArguments().constFirst()));
    }

    CommandLine line;
    if (parser.isSet(help)) {
        line.outcome = Outcome::exit;
        line.output =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("vitrion"));
        return line;
    }
    if (parser.isSet(version)) {
        line.outcome = Outcome::exit;
        line.output = QStringLiteral("vitrion %1\n").arg(QStringLiteral(VITRION_VERSION));
        return line;
    }
    if (words.commandMarker && words.command.isEmpty()) {
        return mistake(QStringLiteral("%1 needs a command to run.")
                           .arg(words.fromDashE ? QStringLiteral("-e") : QStringLiteral("--")));
    }

    LaunchOptions& options = line.options;
    options.command = words.fromDashE && words.command.size() == 1
                          ? commandFromOneWord(words.command.constFirst(), currentDirectory)
                          : words.command;
    if (parser.isSet(directory)) {
        options.workingDirectory = absoluteIn(currentDirectory, parser.value(directory));
    }
    if (parser.isSet(config)) {
        options.configPath = absoluteIn(currentDirectory, parser.value(config));
    }
    if (QDir::cleanPath(currentDirectory) != QLatin1String("/")) {
        options.startDirectory = currentDirectory;
    }
    options.title = parser.value(title);
    options.hold = parser.isSet(hold);
    options.windowClass = parser.value(windowClass);
    return line;
}
