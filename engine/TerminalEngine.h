// The non-visual half of the terminal as its owner sees it: a Screen driven by a VtParser, one chunk
// of shell output at a time, with a redraw after each. What the owner reads is the Screen's.
#pragma once

#include "ParserLimits.h"
#include "Screen.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

template <class Sink> class VtParser;

class TerminalEngine : private Screen {
public:
    using Screen::columnLimit;
    using Screen::replyLimit;
    using Screen::rowLimit;
    static constexpr std::size_t escapeBufferLimit = ParserLimits::sequence;
    static constexpr std::size_t stringLimit = ParserLimits::oscString;

    TerminalEngine();
    ~TerminalEngine();
    TerminalEngine(const TerminalEngine&) = delete;
    TerminalEngine& operator=(const TerminalEngine&) = delete;

    // The owner's redraw; called once per consume, append and effective resizeGrid.
    void setRenderHook(std::function<void()> renderScreen);

    // --- entry points -------------------------------------------------------------------------
    void consume(std::span<const std::uint8_t> bytes);
    void consume(std::string_view bytes); // convenience for tests and tools
    // Text of the owner's own (a message), never interpreted: \n moves down, other controls drop.
    void append(std::string_view utf8Text, Color color);
    void resizeGrid(int rows, int columns);

    // --- operations, public so they can be tested alone ---------------------------------------
    using Screen::applyGraphicRendition;
    using Screen::deleteCharacters;
    using Screen::eraseCharacters;
    using Screen::eraseDisplay;
    using Screen::eraseLine;
    using Screen::insertCharacters;
    using Screen::write;
    // Down one row, scrolling at the bottom margin; new-line mode does not apply.
    void lineFeed() { index(); }
    using Screen::ansiColor;
    using Screen::paletteColor;

    // --- configuration and read-only state (Screen.h) -----------------------------------------
    using Screen::folderAt;
    using Screen::history;
    using Screen::historyLimits;
    using Screen::historyRows;
    using Screen::markedRowAfter;
    using Screen::markedRowBefore;
    using Screen::markedRows;
    using Screen::refineHistory;
    using Screen::rowMarks;
    using Screen::rowPadded;
    using Screen::rowWrapped;
    using Screen::setBaseTextColor;
    using Screen::setCellPixelSize;
    using Screen::setCurrentColor;
    using Screen::setHistoryLimit;
    using Screen::setPalette;
    using Screen::setReportedColors;

    using Screen::alternateScreenActive;
    using Screen::ansiColors;
    using Screen::baseTextColor;
    using Screen::bracketedPasteEnabled;
    using Screen::cellText;
    using Screen::columns;
    using Screen::currentColor;
    using Screen::cursorColumn;
    using Screen::cursorLine;
    using Screen::cursorRow;
    using Screen::cursorStyle;
    using Screen::droppedRows;
    using Screen::hyperlink;
    using Screen::hyperlinkId;
    using Screen::modes;
    using Screen::pen;
    using Screen::resolveBackground;
    using Screen::resolveForeground;
    using Screen::row;
    using Screen::rowCount;
    using Screen::rows;
    using Screen::rowsGeneration;
    using Screen::rowStamp;
    using Screen::savedCursor;
    using Screen::screenTop;
    using Screen::scrollBottom;
    using Screen::scrollTop;
    using Screen::tabStop;
    using Screen::title;
    using Screen::underlineColor;
    using Screen::workingDirectory;
    using Screen::wrapPending;

    // --- what the owner drains after consume --------------------------------------------------
    using Screen::pendingReplies;
    using Screen::takeEvents;
    using Screen::takeReplies;

private:
    void render();

    std::unique_ptr<VtParser<Screen>> parser_;
    std::function<void()> renderScreen_;
};
