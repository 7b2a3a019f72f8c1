// Writing the engine state as JSON (rows with their colour runs, cursor, modes, the visible screen
// with its style runs) and as plain text for goldens that review well.
#include "EngineJson.h"

#include "engine/Utf8Encoder.h"

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

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

// The text of a row: a wide character's second cell adds nothing, combining marks follow their base.
std::u32string rowText(const TerminalEngine& engine, std::span<const Cell> cells)
{
    std::u32string text;
    for (const Cell& cell : cells) {
        text.append(engine.cellText(cell));
    }
    return text;
}

void appendRow(std::string& out, const TerminalEngine& engine, std::span<const Cell> cells)
{
    out += "{\"text\": \"";
    for (const char32_t c : rowText(engine, cells)) {
        appendJsonCharacter(out, c);
    }
    out += "\", \"colors\": [";
    const auto color = [&](std::size_t i) { return engine.resolveForeground(cells[i].style.foreground); };
    for (std::size_t from = 0; from < cells.size();) {
        std::size_t to = from + 1;
        while (to < cells.size() && color(to) == color(from)) {
            ++to;
        }
        out += from == 0 ? "" : ", ";
        out += "{\"from\": " + std::to_string(from) + ", \"to\": " + std::to_string(to) + ", \"color\": ";
        appendColor(out, color(from));
        out += '}';
        from = to;
    }
    out += "]}";
}

// null for the default, the palette index, or "#rrggbb".
std::string colorName(std::uint32_t color)
{
    if (CellColor::isIndexed(color)) {
        return std::to_string(CellColor::index(color));
    }
    if (CellColor::isRgb(color)) {
        char text[16];
        std::snprintf(text, sizeof text, "\"#%06x\"", static_cast<unsigned>(color & 0xFFFFFF));
        return text;
    }
    return "null";
}

std::vector<const char*> flagNames(std::uint16_t flags)
{
    static constexpr std::pair<std::uint16_t, const char*> names[] = {
        {CellFlags::bold, "bold"},     {CellFlags::faint, "faint"},
        {CellFlags::italic, "italic"}, {CellFlags::underlineMask, "underline"},
        {CellFlags::blink, "blink"},   {CellFlags::inverse, "inverse"},
        {CellFlags::hidden, "hidden"}, {CellFlags::strikethrough, "strikethrough"},
    };
    std::vector<const char*> out;
    for (const auto& [bit, name] : names) {
        if (flags & bit) {
            out.push_back(name);
        }
    }
    return out;
}

// Maximal runs of cells with the same colours and attributes (the wide-character marks aside).
struct StyleRun {
    std::size_t from;
    std::size_t to;
    CellStyle style;
};

std::vector<StyleRun> styleRuns(std::span<const Cell> cells)
{
    std::vector<StyleRun> runs;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        CellStyle style = cells[i].style;
        style.flags &= static_cast<std::uint16_t>(~CellFlags::wide);
        style.link = 0;
        if (!runs.empty() && runs.back().style == style) {
            runs.back().to = i + 1;
        } else {
            runs.push_back({i, i + 1, style});
        }
    }
    return runs;
}

std::string utf8(std::u32string_view text)
{
    std::string out;
    for (const char32_t c : text) {
        appendUtf8(out, c);
    }
    return out;
}

std::string jsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        appendJsonCharacter(out, static_cast<unsigned char>(c) < 0x80 ? static_cast<char32_t>(c) : U'\uFFFD');
    }
    return out + "\"";
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
        appendRow(out, engine, engine.row(r));
    }
    out += "\n  ],\n";
    out += "  \"visible\": [";
    const std::size_t top = static_cast<std::size_t>(engine.screenTop());
    for (std::size_t r = top; r < engine.rowCount(); ++r) {
        const auto cells = engine.row(r);
        out += r == top ? "\n    " : ",\n    ";
        out += "{\"text\": \"";
        for (const char32_t c : rowText(engine, cells)) {
            appendJsonCharacter(out, c);
        }
        out += "\", \"runs\": [";
        bool first = true;
        for (const StyleRun& run : styleRuns(cells)) {
            out += first ? "" : ", ";
            first = false;
            out += "{\"from\": " + std::to_string(run.from) + ", \"to\": " + std::to_string(run.to) +
                   ", \"fg\": " + colorName(run.style.foreground) +
                   ", \"bg\": " + colorName(run.style.background) + ", \"flags\": [";
            const auto names = flagNames(run.style.flags);
            for (std::size_t i = 0; i < names.size(); ++i) {
                out += (i == 0 ? "\"" : ", \"") + std::string(names[i]) + "\"";
            }
            out += "]}";
        }
        out += "]}";
    }
    out += "\n  ],\n";
    // The kept lines above the screen, oldest first: their text and whether each wrapped into the
    // next (its blanks are then text too).
    out += "  \"history\": [";
    for (std::size_t r = 0; r < top; ++r) {
        std::u32string text = rowText(engine, engine.row(r));
        const bool wrapped = engine.rowWrapped(r);
        if (!wrapped) {
            text.erase(text.find_last_not_of(U' ') + 1);
        }
        out += r == 0 ? "\n    {\"text\": \"" : ",\n    {\"text\": \"";
        for (const char32_t c : text) {
            appendJsonCharacter(out, c);
        }
        out += "\", \"wrapped\": " + boolean(wrapped) + "}";
    }
    out += "\n  ],\n";
    appendField(out, "visibleCursor",
                "{\"row\": " + std::to_string(engine.cursorRow()) +
                    ", \"column\": " + std::to_string(engine.cursorColumn()) +
                    ", \"visible\": " + boolean(engine.modes().cursorVisible) + "}");
    appendField(out, "alternateScreen", boolean(engine.alternateScreenActive()));
    appendField(out, "title", jsonString(engine.title()));
    out += "  \"replies\": " + jsonString(engine.pendingReplies()) + "\n}\n";
    return out;
}

std::string engineScreenText(const TerminalEngine& engine)
{
    std::string out = "size " + std::to_string(engine.rows()) + "x" + std::to_string(engine.columns()) +
                      ", cursor " + std::to_string(engine.cursorRow()) + "," +
                      std::to_string(engine.cursorColumn()) +
                      (engine.modes().cursorVisible ? "" : " hidden") + ", " +
                      (engine.alternateScreenActive() ? "alternate" : "primary") + " screen\n";
    if (!engine.title().empty()) {
        out += "title " + engine.title() + "\n";
    }
    const std::size_t top = static_cast<std::size_t>(engine.screenTop());
    for (std::size_t r = top; r < engine.rowCount(); ++r) {
        const auto cells = engine.row(r);
        std::string text = utf8(rowText(engine, cells));
        text.erase(text.find_last_not_of(' ') + 1);
        char number[8];
        std::snprintf(number, sizeof number, "%2zu", r - top);
        out += std::string(number) + "|" + text + "\n";
        // Only runs that are not plain: the column range, then what is set.
        std::string styles;
        for (const StyleRun& run : styleRuns(cells)) {
            if (run.style == CellStyle{}) {
                continue;
            }
            styles += styles.empty() ? "" : "; ";
            styles += std::to_string(run.from) + "-" + std::to_string(run.to);
            if (!CellColor::isDefault(run.style.foreground)) {
                styles += " fg=" + colorName(run.style.foreground);
            }
            if (!CellColor::isDefault(run.style.background)) {
                styles += " bg=" + colorName(run.style.background);
            }
            for (const char* name : flagNames(run.style.flags)) {
                styles += std::string(" ") + name;
            }
        }
        if (!styles.empty()) {
            std::erase(styles, '"');
            out += "  |  " + styles + "\n";
        }
    }
    return out;
}
