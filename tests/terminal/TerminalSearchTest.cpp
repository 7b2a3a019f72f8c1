// Find over a terminal's screen and history: which cells each query matches, as a table, then the
// count and the current match as output arrives, rows are dropped and the screen is resized.
#include "terminal/TerminalSearch.h"

#include "engine/HistoryLimit.h"
#include "engine/TerminalEngine.h"
#include "terminal/Terminal.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Rows counted from the first kept row; end column exclusive.
struct Place {
    int row, column, endRow, endColumn;
    friend bool operator==(const Place&, const Place&) = default;
};

std::vector<Place> placesOf(Terminal& terminal, const SearchQuery& query)
{
    TerminalSearch search(terminal);
    search.setQuery(query);
    search.finish();
    const auto dropped = static_cast<std::int64_t>(terminal.engine().droppedRows());
    std::vector<Place> places;
    for (const SearchMatch& m : search.matches()) {
        places.push_back(
            {static_cast<int>(m.row - dropped), m.column, static_cast<int>(m.endRow - dropped), m.endColumn});
    }
    return places;
}

struct Case {
    const char* name;
    const char* output; // fed to a 4 x 10 terminal keeping 100 lines
    SearchQuery query;
    std::vector<Place> expected; // newest first
};

TEST(TerminalSearchTest, FindsWhatEachQueryMatchesInTheHistoryAndOnTheScreen)
{
    const std::vector<Case> cases = {
        {"plain, newest first, in history and on screen",
         "foo\r\nbar foo\r\n1\r\n2\r\n3\r\nfoo",
         {"foo"},
         {{5, 0, 5, 3}, {1, 4, 1, 7}, {0, 0, 0, 3}}},
        {"smart case: lower case finds any case", "Foo fOO\r\n", {"foo"}, {{0, 4, 0, 7}, {0, 0, 0, 3}}},
        {"smart case: a capital makes it exact", "Foo foo\r\n", {"Foo"}, {{0, 0, 0, 3}}},
        {"match case asked for", "Foo foo\r\n", {"foo", false, true}, {{0, 4, 0, 7}}},
        {"regular expression", "a1 b22 c\r\n", {"[0-9]+", true}, {{0, 4, 0, 6}, {0, 1, 0, 2}}},
        {"plain text is not an expression", "a.b axb\r\n", {"a.b"}, {{0, 0, 0, 3}}},
        {"across an automatic wrap", "xxxxxxxhttp://a.b\r\n", {"http://a.b"}, {{0, 7, 1, 7}}},
        {"across a wrap, scrolled into the history",
         "xxxxxxxhttp://a.b\r\n1\r\n2\r\n3\r\n4\r\n",
         {"http://a.b"},
         {{0, 7, 1, 7}}},
        {"a line going on from the history onto the screen",
         "1\r\n2\r\n3\r\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxhttp://a.b",
         {"xhttp://a"},
         {{6, 4, 7, 3}}},
        {"wide characters take two cells", "\u4e2d\u6587ab\r\n", {"\u6587a"}, {{0, 2, 0, 5}}},
        {"a wide character moved past the edge", "xxxxxxxxx\u4e2d\u6587\r\n", {"x\u4e2d"}, {{0, 8, 1, 2}}},
        {"combining marks belong to their cell", "cafe\u0301 ok\r\n", {"cafe"}, {{0, 0, 0, 4}}},
        {"beyond the first plane", "\U0001D400z\r\n", {"z"}, {{0, 1, 0, 2}}},
        {"no match", "hello\r\n", {"bye"}, {}},
        {"the alternate screen's text", "old\r\n\x1b[?1049hnew on alt", {"on alt"}, {{1, 4, 1, 10}}},
        {"not the primary screen's under it", "old\r\n\x1b[?1049hnew on alt", {"old"}, {}},
        {"an invalid expression finds nothing", "a(b\r\n", {"a(", true}, {}},
        {"blanks after the text are not text", "ab\r\n", {"b ", false}, {}},
        // Expressions try history lines many at once: what each line alone matches, no more, no less.
        {"^ and $ at each line's ends",
         "ab\r\nb\r\nba\r\n1\r\n2\r\n3\r\n4\r\n",
         {"^b$", true},
         {{1, 0, 1, 1}}},
        {"a hit across lines, a match after it",
         "bc\r\ncd\r\nab\r\n1\r\n2\r\n3\r\n4\r\n",
         {"b\\s*c", true},
         {{0, 0, 0, 2}}},
        {"a lookbehind at a line's start",
         "a\r\nx\r\n1\r\n2\r\n3\r\n4\r\n",
         {"(?<!\\s)a", true},
         {{0, 0, 0, 1}}},
        {"\\A at each line's start", "ab\r\nba\r\n1\r\n2\r\n3\r\n4\r\n", {"\\Aa", true}, {{0, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal terminal;
        terminal.resize({4, 10});
        terminal.setHistoryLimit(HistoryLimit{100});
        terminal.receive(std::string_view(c.output));
        EXPECT_EQ(placesOf(terminal, c.query), c.expected);
    }
}

TEST(TerminalSearchTest, AnExpressionFindsEachMatchAcrossManyLines)
{
    Terminal terminal;
    terminal.resize({4, 20});
    terminal.setHistoryLimit(HistoryLimit{1000});
    for (int n = 0; n < 600; ++n) {
        terminal.receive("line " + std::to_string(n) + "\r\n");
    }
    EXPECT_EQ(placesOf(terminal, {"^line (0|127|128|599)$", true}),
              (std::vector<Place>{{599, 0, 599, 8}, {128, 0, 128, 8}, {127, 0, 127, 8}, {0, 0, 0, 6}}));
}

TEST(TerminalSearchTest, ReportsAnInvalidExpression)
{
    Terminal terminal;
    TerminalSearch search(terminal);
    search.setQuery({"a(", true});
    EXPECT_FALSE(search.error().isEmpty());
    search.setQuery({"a(", false});
    EXPECT_TRUE(search.error().isEmpty());
}

TEST(TerminalSearchTest, FollowsOutputDropsAndResizes)
{
    Terminal terminal;
    terminal.resize({4, 20});
    terminal.setHistoryLimit(HistoryLimit{6});
    terminal.receive(std::string_view("needle 1\r\nhay\r\nneedle 2\r\n"));
    TerminalSearch search(terminal);
    search.setQuery({"needle"});
    search.finish();
    ASSERT_EQ(search.matches().size(), 2u);
    search.step(true); // up to the older one
    EXPECT_EQ(search.current(), 1);

    // New output: the new match comes first, the current one stays the same match.
    terminal.receive(std::string_view("needle 3\r\n"));
    search.finish();
    ASSERT_EQ(search.matches().size(), 3u);
    EXPECT_EQ(search.current(), 2);

    // Lines that scrolled out of the kept history take their matches with them.
    for (int i = 0; i < 8; ++i) {
        terminal.receive(std::string_view("x\r\n"));
    }
    search.finish();
    const auto dropped = static_cast<std::int64_t>(terminal.engine().droppedRows());
    for (const SearchMatch& m : search.matches()) {
        EXPECT_GE(m.row, dropped);
    }
    EXPECT_LT(search.current(), static_cast<int>(search.matches().size()));

    // A narrower screen re-wraps the rows: the search starts over and finds the same text.
    terminal.receive(std::string_view("abcdefghij needle\r\n"));
    terminal.resize({4, 8});
    search.finish();
    ASSERT_FALSE(search.matches().empty());
    const SearchMatch& newest = search.matches().front();
    EXPECT_NE(newest.row, newest.endRow); // now over a wrap
}

// After a width change the history's older rows are only estimated until counted: the search counts
// them first (in slices), so the match it reports is on the row that shows it.
TEST(TerminalSearchTest, FindsTheRowThatShowsTheMatchAfterAWidthChange)
{
    Terminal terminal;
    terminal.resize({4, 60});
    terminal.setHistoryLimit(HistoryLimit{20000});
    std::string wide;
    for (int i = 0; i < 30; ++i) {
        wide += "\u4e2d";
    }
    terminal.receive(std::string_view("x needle\r\n"));
    for (int i = 0; i < 9000; ++i) {
        terminal.receive(wide + "a\r\n");
    }
    terminal.resize({4, 41}); // 61 cells a line: two rows, a wide character moved past the edge
    ASSERT_TRUE(terminal.engine().history().refining()); // the older rows are estimated
    TerminalSearch search(terminal);
    search.setQuery({"needle"});
    search.finish();
    ASSERT_EQ(search.matches().size(), 1u);
    const SearchMatch& m = search.matches().front();
    const TerminalEngine& engine = terminal.engine();
    const auto row =
        engine.row(static_cast<std::size_t>(m.row - static_cast<std::int64_t>(engine.droppedRows())));
    EXPECT_EQ(row[static_cast<std::size_t>(m.column)].character, U'n');
    EXPECT_EQ(m.column, 2);
}

TEST(TerminalSearchTest, StepsWrapAroundOnceCounted)
{
    Terminal terminal;
    terminal.receive(std::string_view("a\r\na\r\na\r\n"));
    TerminalSearch search(terminal);
    search.setQuery({"a"});
    search.finish();
    EXPECT_EQ(search.current(), 0);
    search.step(false);
    EXPECT_EQ(search.current(), 2);
    search.step(true);
    EXPECT_EQ(search.current(), 0);
}

} // namespace
