// The find and prompt-jump figures: a million numbered lines fed through a Terminal, searched and
// jumped through on the event loop as the window would.
#include "FindFigures.h"

#include "engine/HistoryLimit.h"
#include "engine/LineMarks.h"
#include "engine/TerminalEngine.h"
#include "terminal/Terminal.h"
#include "terminal/TerminalSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <string>

namespace {

// `lines` numbered lines with the word `mark` on line `at` (1-based; 0 for none) and a prompt mark
// every `promptEvery` lines (0 for none; 1 puts one on the first line only).
void fill(Terminal& terminal, long lines, long at, long promptEvery)
{
    std::string chunk;
    for (long n = 1; n <= lines; ++n) {
        if (promptEvery > 0 && (n == 1 || (promptEvery > 1 && n % promptEvery == 0))) {
            chunk += "\x1b]133;A\a";
        }
        chunk += "line " + std::to_string(n);
        if (n == at) {
            chunk += " findme";
        }
        chunk += "\r\n";
        if (chunk.size() > (1 << 20)) {
            terminal.receive(chunk);
            chunk.clear();
        }
    }
    terminal.receive(chunk);
}

// Runs the event loop until the search has a match (or finished counting); the time since the query.
double untilFirstMatch(TerminalSearch& search, const QString& word, double& longestSlice, bool regex = false)
{
    QElapsedTimer clock;
    clock.start();
    search.setQuery({word, regex});
    while (search.matches().empty() && search.counting()) {
        QElapsedTimer slice;
        slice.start();
        QCoreApplication::processEvents();
        longestSlice = std::max(longestSlice, slice.nsecsElapsed() / 1e6);
    }
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

FindResult measureFind(long lines)
{
    FindResult result;
    Terminal terminal;
    terminal.resize({40, 120});
    terminal.setHistoryLimit(HistoryLimit{static_cast<std::size_t>(lines)});
    fill(terminal, lines, 1, 1); // the word and the only prompt at the oldest line
    result.historyLines = static_cast<long>(terminal.engine().historyRows());

    TerminalSearch search(terminal);
    terminal.receive(std::string_view("a findme here\r\n"));
    result.firstOnScreenMs = untilFirstMatch(search, QStringLiteral("findme"), result.longestSliceMs);
    result.firstOldestMs = untilFirstMatch(search, QStringLiteral("line 1 findme"), result.longestSliceMs);
    result.firstOldestRegexMs =
        untilFirstMatch(search, QStringLiteral("line 1 f[a-z]+"), result.longestSliceMs, true);

    QElapsedTimer clock;
    clock.start();
    search.setQuery({QStringLiteral("line")});
    while (search.counting()) {
        QElapsedTimer slice;
        slice.start();
        QCoreApplication::processEvents();
        result.longestSliceMs = std::max(result.longestSliceMs, slice.nsecsElapsed() / 1e6);
    }
    result.countMs = clock.nsecsElapsed() / 1e6;
    result.counted = static_cast<long>(search.matches().size());

    const TerminalEngine& engine = terminal.engine();
    clock.restart();
    const std::int64_t oldest =
        engine.markedRowBefore(static_cast<std::int64_t>(engine.rowCount()), LineMarks::prompt);
    result.jumpToOldestMs = clock.nsecsElapsed() / 1e6;

    Terminal prompts;
    prompts.resize({40, 120});
    prompts.setHistoryLimit(HistoryLimit{static_cast<std::size_t>(lines)});
    fill(prompts, lines, lines / 2, 100);
    TerminalSearch half(prompts);
    double unused = 0.0;
    result.firstHalfWayMs = untilFirstMatch(half, QStringLiteral("findme"), unused);
    const TerminalEngine& marked = prompts.engine();
    std::int64_t row = static_cast<std::int64_t>(marked.rowCount());
    for (int i = 0; i < 200 && row >= 0; ++i) {
        clock.restart();
        row = marked.markedRowBefore(row, LineMarks::prompt);
        result.jumpMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    result.complete = oldest == 0 && result.counted > lines / 2 && !half.matches().empty();
    return result;
}
