// A VtParser sink that writes each action down as a line of text: bytes in, actions out. Text is
// merged into one "print" per run, and the fast forms are written as their general forms would be
// (CUP and EL from their bytes as from a collected sequence), so that the same bytes in any chunks
// record the same lines.
#pragma once

#include "engine/CsiParameters.h"
#include "engine/Utf8Encoder.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace enginetest {

struct RecordingSink {
    std::vector<std::string> actions;

    void printAscii(const std::uint8_t* text, std::size_t length)
    {
        printed(std::string_view(reinterpret_cast<const char*>(text), length));
    }
    const std::uint8_t* printText(const std::uint8_t* p, const std::uint8_t*, char32_t first, int length)
    {
        print(first);
        return p + length;
    }
    void print(char32_t scalar)
    {
        std::string text;
        appendUtf8(text, scalar);
        printed(text);
    }
    void execute(char32_t control) { add("execute " + hex(control)); }
    void escape(char32_t intermediate, char32_t final)
    {
        std::string line = "esc ";
        appendUtf8(line, intermediate == 0 ? U' ' : intermediate);
        appendUtf8(line, final);
        add(line);
    }
    void controlSequence(std::uint32_t key, std::span<const std::int64_t> values)
    {
        if (key == CsiParameters::key('H') && values.size() <= 2) {
            cursorPosition(values[0], values.size() > 1 ? values[1] : 0);
        } else if (key == CsiParameters::key('K') && values.size() == 1) {
            eraseLine(values[0]);
        } else {
            std::string line = "csi ";
            line += static_cast<char>(key >> 16 == 0 ? ' ' : key >> 16);
            line += static_cast<char>((key >> 8 & 0xFF) == 0 ? ' ' : key >> 8 & 0xFF);
            line += static_cast<char>(key & 0xFF);
            add(line + " " + joined(values, {}));
        }
    }
    // An empty rendition and a lone 0 both reset.
    void rendition(std::span<const std::int64_t> values, std::span<const std::uint8_t> groups)
    {
        add("sgr " + (values.empty() ? std::string("0") : joined(values, groups)));
    }
    void cursorPosition(std::int64_t row, std::int64_t column)
    {
        add("cup " + std::to_string(row) + ";" + std::to_string(column));
    }
    void eraseLine(std::int64_t mode) { add("el " + std::to_string(mode)); }
    void osc(std::string_view text, bool endedByBel)
    {
        add("osc " + std::string(text) + (endedByBel ? " (bel)" : " (st)"));
    }
    void dcs(std::string_view text) { add("dcs " + std::string(text)); }
    void skipped() {}

private:
    void add(std::string line)
    {
        actions.push_back(std::move(line));
        merging_ = false;
    }
    void printed(std::string_view text)
    {
        if (!merging_) {
            actions.emplace_back("print ");
            merging_ = true;
        }
        actions.back() += text;
    }
    static std::string hex(char32_t c)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(c));
        return text;
    }
    // Values with ';' between groups and ':' inside a colon group.
    static std::string joined(std::span<const std::int64_t> values, std::span<const std::uint8_t> groups)
    {
        std::string out;
        std::size_t groupEnd = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) {
                out += i < groupEnd ? ":" : ";";
            }
            if (i >= groupEnd) {
                groupEnd = i + (groups.empty() ? 1 : groups[i]);
            }
            out += std::to_string(values[i]);
        }
        return out;
    }

    bool merging_ = false;
};

} // namespace enginetest
