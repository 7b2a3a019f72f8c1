// Find in a terminal's text: the matches of a query (plain text or a regular expression, smart case)
// over the active screen and its history, newest first. The lines nearest the bottom are searched at
// once; the rest of the history a few milliseconds at a time from the event loop, so that typing
// never waits for the count. Output that arrives meanwhile is searched as it comes; a resize starts
// the search again.
#pragma once

#include <QObject>
#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QTimer;
class SearchLines;
struct SearchLine;
class Terminal;

// From the cell at (row, column) to just before (endRow, endColumn); rows are absolute (the index
// among the kept rows plus the rows dropped so far).
struct SearchMatch {
    std::int64_t row = 0;
    int column = 0;
    int endColumn = 0;
    std::int64_t endRow = 0;

    friend bool operator==(const SearchMatch&, const SearchMatch&) = default;
};

struct SearchQuery {
    QString text;
    bool regularExpression = false;
    bool matchCase = false; // otherwise smart: case-sensitive once the text has a capital
};

class TerminalSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int sliceMs = 8;                  // of searching per turn of the event loop
    static constexpr std::size_t matchLimit = 1000000; // counted beyond this only as "more"

    explicit TerminalSearch(Terminal& terminal, QObject* parent = nullptr);
    ~TerminalSearch() override;

    // Searches anew from the newest line; an empty text clears the matches.
    void setQuery(const SearchQuery& query);
    const SearchQuery& query() const { return query_; }
    // Why the regular expression cannot be used, empty when it can.
    QString error() const { return error_; }

    // Newest first: by row and column from the bottom up.
    const std::vector<SearchMatch>& matches() const { return matches_; }
    bool counting() const { return refining_ || reader_ != nullptr; }
    bool limitReached() const { return limitReached_; }
    // The current match's index in matches(), -1 for none.
    int current() const { return current_; }
    const SearchMatch* currentMatch() const;
    // To the next older match (up), or the next newer one; wraps around once the count is done.
    void step(bool older);
    // The matches that touch the absolute rows [first, last], for painting.
    std::pair<std::size_t, std::size_t> matchesOn(std::int64_t first, std::int64_t last) const;
    // Searches everything that is left at once (tests and tools).
    void finish();

    // The expression a query searches with (invalid for a bad regular expression).
    static QRegularExpression expressionFor(const SearchQuery& query);

signals:
    // The matches, the count or the current match changed.
    void changed();
    // The current match moved to a different place: the view scrolls to it.
    void currentMoved();

private:
    void restart();
    void runSlice(bool whole = false);
    bool searchLine(const SearchLine& line);
    // The next lines, newest first; false once the reader is done or the match limit reached.
    // `last` becomes the first row of the last line searched.
    bool searchNext(SearchLine& line, std::int64_t& last);
    bool searchBatch(std::int64_t& last);
    // The matches of one line, newest (rightmost) first, appended to `out`.
    void matchLine(const SearchLine& line, std::vector<SearchMatch>& out);
    void matchPlain(const SearchLine& line, std::vector<SearchMatch>& out);
    void followOutput();
    void setCurrent(int index);

    Terminal& terminal_;
    SearchQuery query_;
    QRegularExpression expression_;
    // Plain text is matched without the expression: its characters, folded to lower case unless
    // the case must match.
    std::u32string plain_;
    bool foldCase_ = false;
    std::u32string folded_; // a line folded, reused
    QString utf16_;         // a line for the expression, reused
    // A regular expression that finds in lines joined by newlines whatever it finds in each: the
    // history is then tried many lines at a time and only lines from the first hit on one by one.
    // Not used when the expression could see across a line's ends (lookarounds, options, \A, \z).
    QRegularExpression batchExpression_;
    bool batched_ = false;
    std::vector<SearchLine> batch_;
    std::vector<qsizetype> batchStarts_; // where each line of the batch starts in batchText_
    QString batchText_;
    QString error_;
    std::vector<SearchMatch> matches_;
    std::unique_ptr<SearchLines> reader_;
    QTimer* slices_;
    QTimer* output_;
    int current_ = -1;
    bool olderWanted_ = false; // a step past the last match found so far waits for the next
    bool limitReached_ = false;
    bool refining_ = false;    // waiting for the history's rows to be counted before reading
    std::int64_t tailRow_ = 0; // rows from here on may change with output; older ones are history
    std::uint64_t generation_ = 0;
    bool alternate_ = false;
    int columns_ = 0;
};
