// Writing the engine state as JSON: rows with their colour runs, cursor, interpreter fields.
#include "EngineJson.h"

#include "engine/Utf8Encoder.h"

#include <cmath>
#include <cstdio>

namespace {

const char* stateName(ControlSequenceState state)
{
    switch (state) {
    case ControlSequenceState::normal:
        return "normal";
    case ControlSequenceState::escape:
        return "escape";
    case ControlSequenceState::csi:
        return "csi";
    case ControlSequenceState::osc:
        return "osc";
    case ControlSequenceState::oscEscape:
        return "oscEscape";
    case ControlSequenceState::stringControl:
        return "stringControl";
    case ControlSequenceState::stringControlEscape:
        return "stringControlEscape";
    }
    return "normal";
}

// One scalar inside a JSON string: quotes, backslash and every control character (C0, DEL, C1)
// escaped; anything that is not a Unicode scalar value written as U+FFFD.
void appendJsonCharacter(std::string& out, char32_t c)
{
    char escape[8];
    if (c == U'"' || c == U'\\') {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
        out += escape;
    } else {
        appendUtf8(out, c);
    }
}

void appendNumber(std::string& out, float value)
{
    if (!std::isfinite(value)) {
        out += "null"; // JSON has no infinities; the engine never makes them
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    out += text;
}

void appendColor(std::string& out, Color c)
{
    out += '[';
    appendNumber(out, c.red);
    out += ", ";
    appendNumber(out, c.green);
    out += ", ";
    appendNumber(out, c.blue);
    out += ", ";
    appendNumber(out, c.alpha);
    out += ']';
}

void appendRow(std::string& out, std::span<const Cell> cells)
{
    out += "{\"text\": \"";
    for (const Cell& cell : cells) {
        appendJsonCharacter(out, cell.character);
    }
    out += "\", \"colors\": [";
    for (std::size_t from = 0; from < cells.size();) {
        std::size_t to = from + 1;
        while (to < cells.size() && cells[to].color == cells[from].color) {
            ++to;
        }
        out += from == 0 ? "" : ", ";
        out += "{\"from\": " + std::to_string(from) + ", \"to\": " + std::to_string(to) + ", \"color\": ";
        appendColor(out, cells[from].color);
        out += '}';
        from = to;
    }
    out += "]}";
}

void appendField(std::string& out, const char* name, const std::string& value)
{
    out += "  \"";
    out += name;
    out += "\": ";
    out += value;
    out += ",\n";
}

} // namespace

std::string engineStateJson(const TerminalEngine& engine, int renderCount)
{
    std::string out = "{\n";
    const auto boolean = [](bool b) { return std::string(b ? "true" : "false"); };
    appendField(out, "rows", std::to_string(engine.rows()));
    appendField(out, "columns", std::to_string(engine.columns()));
    appendField(out, "cursorRow", std::to_string(engine.cursorRow()));
    appendField(out, "cursorColumn", std::to_string(engine.cursorColumn()));
    appendField(out, "wrapPending", boolean(engine.wrapPending()));
    const SavedCursor saved = engine.savedCursor();
    appendField(out, "savedCursor",
                "{\"row\": " + std::to_string(saved.row) + ", \"column\": " + std::to_string(saved.column) +
                    "}");
    appendField(out, "bracketedPasteEnabled", boolean(engine.bracketedPasteEnabled()));
    appendField(out, "controlSequenceState",
                std::string("\"") + stateName(engine.controlSequenceState()) + "\"");
    std::string buffer = "\"";
    for (const char32_t c : engine.escapeBuffer()) {
        appendJsonCharacter(buffer, c);
    }
    appendField(out, "escapeBuffer", buffer + "\"");
    std::string color;
    appendColor(color, engine.currentColor());
    appendField(out, "currentColor", color);
    color.clear();
    appendColor(color, engine.baseTextColor());
    appendField(out, "baseTextColor", color);
    appendField(out, "renderCount", std::to_string(renderCount));
    out += "  \"screen\": [";
    for (std::size_t r = 0; r < engine.rowCount(); ++r) {
        out += r == 0 ? "\n    " : ",\n    ";
        appendRow(out, engine.row(r));
    }
    out += "\n  ]\n}\n";
    return out;
}
