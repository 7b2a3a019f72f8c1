// Shared pieces of the suites that run real shells: the Qt event loop, a private home folder, waiting on the
// loop for a condition, and reading the engine's grid as text.
#pragma once

#include "engine/TerminalEngine.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace ShellTest {

void ensureApplication(); // the QCoreApplication the notifiers need
QString homePath();       // HOME for every shell the suites start
bool waitUntil(const std::function<bool()>& condition, int milliseconds = 10000);
void spinFor(int milliseconds); // runs the event loop for a while

// Every row of the grid, trailing blanks dropped, as UTF-8.
std::vector<std::string> screenLines(const TerminalEngine& engine);
int lineIndex(const TerminalEngine& engine, const std::string& line); // -1 when absent
int lineCount(const TerminalEngine& engine, const std::string& line);
std::string screenDump(const TerminalEngine& engine); // for failure messages

bool processExists(long pid); // a zombie still counts: its /proc entry remains until reaped

} // namespace ShellTest
