// The engine's whole state as one strict JSON object (RFC 8259), as vitrion-replay prints it.
#pragma once

#include "engine/TerminalEngine.h"

#include <string>

std::string engineStateJson(const TerminalEngine& engine, int renderCount);
