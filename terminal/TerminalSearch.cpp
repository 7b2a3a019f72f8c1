// The search's slices on the event loop, the merge of what later output adds, and matching a line:
// plain text in its characters, a regular expression through QRegularExpression.
#include "TerminalSearch.h"

#include "Terminal.h"
#include "engine/SearchLines.h"
#include "engine/TerminalEngine.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int outputDelayMs = 50; // output comes in chunks: searched once they pause
constexpr int refineLines = 4096; // history lines counted a slice while a resize's estimate stands
// Lines tried at once by an expression: enough that a call's fixed cost fades, few enough that an
// expression's backtracking limit is never reached on text it would match line by line.
constexpr std::size_t batchLines = 128;
constexpr qsizetype batchText = 8192;

char32_t fold(char32_t c)
{
    if (c < 0x80) {
        return c >= U'A' && c <= U'Z' ? c + 32 : c;
    }
    return QChar::toLower(c);
}

// The match of the line's characters [from, to), widened to whole cells, as rows and columns.
void addMatch(const SearchLine& line, int from, int to, std::vector<SearchMatch>& out)
{
    const int length = static_cast<int>(line.text.size());
    // A match that ends inside a character's combining marks covers the whole cell.
    while (to < length &&
           line.cells[static_cast<std::size_t>(to)] == line.cells[static_cast<std::size_t>(to - 1)]) {
        ++to;
    }
    const auto [row, column] = line.position(line.cells[static_cast<std::size_t>(from)]);
    const auto [endRow, lastColumn] = line.position(line.cells[static_cast<std::size_t>(to)] - 1);
    out.push_back({row, column, lastColumn + 1, endRow});
}
void appendUtf16(std::u32string_view text, QString& to)
{
    const qsizetype size = to.size();
    const auto beyond = std::count_if(text.begin(), text.end(), [](char32_t c) { return c > 0xFFFF; });
    to.resize(size + static_cast<qsizetype>(text.size()) + beyond);
    QChar* out = to.data() + size;
    for (const char32_t c : text) {
        if (c <= 0xFFFF) {
            *out++ = QChar(static_cast<char16_t>(c));
        } else {
            *out++ = QChar(QChar::highSurrogate(c));
            *out++ = QChar(QChar::lowSurrogate(c));
        }
    }
}

// Whether lines joined by newlines (with ^ and $ at each line's ends) hide no match of a line: only
// lookarounds, inline options and the subject's own anchors could tell the joined text apart, and
// what the joined text matches beyond a line is checked line by line anyway.
bool joinable(const QString& pattern)
{
    for (qsizetype i = 0; i + 1 < pattern.size(); ++i) {
        const QChar next = pattern[i + 1];
        if (pattern[i] == u'(' && next == u'?' && (i + 2 >= pattern.size() || pattern[i + 2] != u':')) {
            return false;
        }
        if (pattern[i] == u'\\') {
            if (next == u'A' || next == u'Z' || next == u'z' || next == u'G') {
                return false;
            }
            ++i; // an escaped character is never the start of a group
        }
    }
    return true;
}
} // namespace

TerminalSearch::TerminalSearch(Terminal& terminal, QObject* parent)
    : QObject(parent), terminal_(terminal), slices_(new QTimer(this)), output_(new QTimer(this))
{
    slices_->setSingleShot(true);
    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, [this] { runSlice(); });
    output_->setSingleShot(true);
    output_->setInterval(outputDelayMs);
    connect(output_, &QTimer::timeout, this, &TerminalSearch::followOutput);
    connect(&terminal_, &Terminal::changed, this, [this] {
        if (expression_.isValid() && !query_.text.isEmpty() && !output_->isActive()) {
            output_->start();
        }
    });
}

TerminalSearch::~TerminalSearch() = default;

QRegularExpression TerminalSearch::expressionFor(const SearchQuery& query)
{
    QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
    if (!query.matchCase && query.text == query.text.toLower()) {
        options |= QRegularExpression::CaseInsensitiveOption;
    }
    return QRegularExpression(query.regularExpression ? query.text : QRegularExpression::escape(query.text),
                              options);
}

void TerminalSearch::setQuery(const SearchQuery& query)
{
    query_ = query;
    expression_ = expressionFor(query);
    foldCase_ = expression_.patternOptions() & QRegularExpression::CaseInsensitiveOption;
    plain_.clear();
    batched_ = query.regularExpression && expression_.isValid() && joinable(query.text);
    if (batched_) {
        batchExpression_ = QRegularExpression(query.text, expression_.patternOptions() |
                                                              QRegularExpression::MultilineOption);
    }
    if (!query.regularExpression) {
        for (const char32_t c : query.text.toUcs4()) {
            plain_.push_back(foldCase_ ? fold(c) : c);
        }
    }
    error_.clear();
    if (!query.text.isEmpty() && !expression_.isValid()) {
        error_ = expression_.errorString();
    }
    restart();
}

void TerminalSearch::restart()
{
    matches_.clear();
    current_ = -1;
    olderWanted_ = false;
    limitReached_ = false;
    reader_.reset();
    refining_ = false;
    slices_->stop();
    output_->stop();
    TerminalEngine& engine = terminal_.engine();
    generation_ = engine.rowsGeneration();
    alternate_ = engine.alternateScreenActive();
    columns_ = engine.columns();
    if (query_.text.isEmpty() || !error_.isEmpty()) {
        emit changed();
        return;
    }
    refining_ = true;
    runSlice();
}

bool TerminalSearch::searchLine(const SearchLine& line)
{
    matchLine(line, matches_);
    if (matches_.size() >= matchLimit) {
        matches_.resize(matchLimit);
        limitReached_ = true;
        return false;
    }
    return true;
}

void TerminalSearch::runSlice(bool whole)
{
    if (refining_) {
        // Rows of history a resize only estimated are counted first, in slices of their own: a
        // match's row must not move under it.
        TerminalEngine& engine = terminal_.engine();
        while (engine.refineHistory(refineLines)) {
            if (!whole) {
                slices_->start();
                return;
            }
        }
        refining_ = false;
        generation_ = engine.rowsGeneration();
        reader_ = std::make_unique<SearchLines>(engine);
        tailRow_ = reader_->tailRow();
    }
    if (!reader_) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    SearchLine line;
    std::int64_t last = 0;
    const bool firstWanted = matches_.empty();
    for (int n = 1;; ++n) {
        if (!searchNext(line, last)) {
            reader_.reset();
            break;
        }
        // The first match shows at once; the count goes on in the next slices.
        if (firstWanted && !matches_.empty() && last < reader_->tailRow()) {
            break;
        }
        // The screen's lines are searched in one go: output may change them before the next slice. An
        // expression may take long on one line: the clock is read after each.
        const bool look = plain_.empty() || n % 32 == 0;
        if (!whole && look && last < reader_->tailRow() && clock.elapsed() >= sliceMs) {
            break;
        }
    }
    if (reader_) {
        slices_->start();
    }
    if (current_ < 0 && !matches_.empty()) {
        setCurrent(0);
    } else if (olderWanted_ && current_ + 1 < static_cast<int>(matches_.size())) {
        olderWanted_ = false;
        setCurrent(current_ + 1);
    }
    emit changed();
}

bool TerminalSearch::searchNext(SearchLine& line, std::int64_t& last)
{
    if (batched_) {
        return searchBatch(last);
    }
    if (!reader_->previous(line)) {
        return false;
    }
    last = line.firstRow;
    return searchLine(line);
}

bool TerminalSearch::searchBatch(std::int64_t& last)
{
    batchText_.resize(0); // keeps its storage, unlike clear()
    batchText_.reserve(batchText + 512);
    batchStarts_.clear();
    std::size_t count = 0;
    bool more = true;
    while (count < batchLines && batchText_.size() < batchText) {
        if (count == batch_.size()) {
            batch_.emplace_back();
        }
        if (!(more = reader_->previous(batch_[count]))) {
            break;
        }
        if (count > 0) {
            batchText_.append(u'\n');
        }
        batchStarts_.push_back(batchText_.size());
        appendUtf16(batch_[count].text, batchText_);
        ++count;
    }
    if (count == 0) {
        return false;
    }
    last = batch_[count - 1].firstRow;
    const QRegularExpressionMatch hit = batchExpression_.match(batchText_);
    if (hit.hasMatch()) {
        // The lines before the one the first hit starts in have no match of their own.
        const auto from = std::upper_bound(batchStarts_.begin(), batchStarts_.end(), hit.capturedStart()) -
                          batchStarts_.begin() - 1;
        for (auto i = static_cast<std::size_t>(std::max<std::ptrdiff_t>(from, 0)); i < count; ++i) {
            if (!searchLine(batch_[i])) {
                return false;
            }
        }
    }
    return more;
}

void TerminalSearch::finish()
{
    output_->stop();
    followOutput();
    runSlice(true);
}

void TerminalSearch::followOutput()
{
    if (query_.text.isEmpty() || !expression_.isValid() || refining_) {
        return; // (once the rows are counted, the reader reads everything there is)
    }
    const TerminalEngine& engine = terminal_.engine();
    if (engine.rowsGeneration() != generation_ || engine.alternateScreenActive() != alternate_ ||
        engine.columns() != columns_) {
        restart(); // rows were rearranged: no match is where it was
        return;
    }
    // Matches in lines the history has dropped are gone.
    const auto dropped = static_cast<std::int64_t>(engine.droppedRows());
    while (!matches_.empty() && matches_.back().row < dropped) {
        matches_.pop_back();
    }
    // The rows from the last search's screen on may have changed; older ones are history.
    SearchLines tail(engine, tailRow_);
    std::vector<SearchMatch> fresh;
    SearchLine line;
    while (tail.previous(line)) {
        matchLine(line, fresh);
    }
    const auto kept = std::find_if(matches_.begin(), matches_.end(),
                                   [this](const SearchMatch& m) { return m.row < tailRow_; });
    const int replaced = static_cast<int>(kept - matches_.begin());
    const bool unchanged = std::equal(fresh.begin(), fresh.end(), matches_.begin(), kept);
    const bool currentReplaced = current_ >= 0 && current_ < replaced;
    const SearchMatch was = currentReplaced ? matches_[static_cast<std::size_t>(current_)] : SearchMatch{};
    matches_.erase(matches_.begin(), kept);
    matches_.insert(matches_.begin(), fresh.begin(), fresh.end());
    if (matches_.size() > matchLimit) {
        matches_.resize(matchLimit);
        limitReached_ = true;
    }
    tailRow_ = tail.tailRow();
    const int count = static_cast<int>(matches_.size());
    if (currentReplaced) {
        // The same match where it still is, else the nearest one that is new.
        const auto same = std::find(fresh.begin(), fresh.end(), was);
        current_ = same != fresh.end() ? static_cast<int>(same - fresh.begin())
                   : fresh.empty()     ? (count > 0 ? 0 : -1)
                                       : std::min(current_, static_cast<int>(fresh.size()) - 1);
    } else if (current_ >= 0) {
        current_ = std::min(current_ - replaced + static_cast<int>(fresh.size()), count - 1);
    } else if (count > 0) {
        current_ = 0;
    }
    if (!unchanged || replaced != static_cast<int>(fresh.size())) {
        emit changed();
    }
}

const SearchMatch* TerminalSearch::currentMatch() const
{
    return current_ >= 0 && current_ < static_cast<int>(matches_.size())
               ? &matches_[static_cast<std::size_t>(current_)]
               : nullptr;
}

void TerminalSearch::setCurrent(int index)
{
    current_ = index;
    emit changed();
    emit currentMoved();
}

void TerminalSearch::step(bool older)
{
    const int count = static_cast<int>(matches_.size());
    if (count == 0) {
        olderWanted_ = older && counting();
        return;
    }
    if (older) {
        if (current_ + 1 < count) {
            setCurrent(current_ + 1);
        } else if (counting()) {
            olderWanted_ = true;
        } else {
            setCurrent(0);
        }
    } else if (current_ > 0) {
        setCurrent(current_ - 1);
    } else if (!counting()) {
        setCurrent(count - 1);
    }
}

std::pair<std::size_t, std::size_t> TerminalSearch::matchesOn(std::int64_t first, std::int64_t last) const
{
    // Newest first and never overlapping: both the starts and the ends go down.
    const auto from = std::partition_point(matches_.begin(), matches_.end(),
                                           [last](const SearchMatch& m) { return m.row > last; });
    const auto to = std::partition_point(from, matches_.end(),
                                         [first](const SearchMatch& m) { return m.endRow >= first; });
    return {static_cast<std::size_t>(from - matches_.begin()),
            static_cast<std::size_t>(to - matches_.begin())};
}

void TerminalSearch::matchPlain(const SearchLine& line, std::vector<SearchMatch>& out)
{
    std::u32string_view text = line.text;
    if (foldCase_) {
        folded_.resize(text.size());
        std::transform(text.begin(), text.end(), folded_.begin(), fold);
        text = folded_;
    }
    const std::size_t first = out.size();
    for (std::size_t at = text.find(plain_); at != std::u32string_view::npos; at = text.find(plain_, at)) {
        addMatch(line, static_cast<int>(at), static_cast<int>(at + plain_.size()), out);
        at += plain_.size();
    }
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
}

void TerminalSearch::matchLine(const SearchLine& line, std::vector<SearchMatch>& out)
{
    if (line.text.empty()) {
        return;
    }
    if (!plain_.empty()) {
        matchPlain(line, out);
        return;
    }
    // A line of the first plane is copied into storage kept from line to line; one beyond it is
    // made anew.
    const auto length = static_cast<qsizetype>(line.text.size());
    const bool firstPlane =
        std::all_of(line.text.begin(), line.text.end(), [](char32_t c) { return c <= 0xFFFF; });
    if (firstPlane) {
        utf16_.resize(length);
        char16_t* to = reinterpret_cast<char16_t*>(utf16_.data());
        std::transform(line.text.begin(), line.text.end(), to,
                       [](char32_t c) { return static_cast<char16_t>(c); });
    } else {
        utf16_ = QString::fromUcs4(line.text.data(), length);
    }
    const QString& text = utf16_;
    // UTF-16 positions to characters, where a character beyond the first plane takes two.
    std::vector<int> characterAt;
    if (!firstPlane) {
        for (std::size_t i = 0; i < line.text.size(); ++i) {
            characterAt.push_back(static_cast<int>(i));
            if (line.text[i] > 0xFFFF) {
                characterAt.push_back(static_cast<int>(i));
            }
        }
        characterAt.push_back(static_cast<int>(line.text.size()));
    }
    const auto character = [&](qsizetype at) {
        return characterAt.empty() ? static_cast<int>(at) : characterAt[static_cast<std::size_t>(at)];
    };
    const std::size_t first = out.size();
    if (!expression_.match(text).hasMatch()) {
        return; // most lines: one match attempt, no iterator
    }
    for (auto it = expression_.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedLength() > 0) {
            addMatch(line, character(match.capturedStart()), character(match.capturedEnd()), out);
        }
    }
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
}
