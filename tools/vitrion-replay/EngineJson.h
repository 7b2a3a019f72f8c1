// The engine's whole state as one strict JSON object (RFC 8259), as vitrion-replay prints it.
#pragma once

#include "engine/TerminalEngine.h"

#include <string>

std::string engineStateJson(const TerminalEngine& engine, int renderCount);

// The visible screen as plain text: a line of size, cursor and screen, the title, then each row (its
// trailing blanks removed) with a line of its style runs under it when it has any.
std::string engineScreenText(const TerminalEngine& engine);
