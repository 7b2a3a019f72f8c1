// Link detection: URLs in text as a table (trailing punctuation, brackets, quotes, schemes), then on
// the grid: across an automatic wrap, next to wide characters, OSC 8 cells grouped by their link
// (with and without ids, across rows) and links scrolled into the history.
#include "view/LinkFinder.h"

#include "engine/ScreenReader.h"
#include "engine/TerminalEngine.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::u32string utf32(std::string_view ascii)
{
    return {ascii.begin(), ascii.end()};
}

TEST(LinkFinderTest, UrlsInTextEndWhereAReaderWouldEndThem)
{
    struct Case {
        const char32_t* text;
        const char32_t* url; // the first URL found, empty for none
    };
    const Case cases[] = {
        {U"see https://example.com/a.", U"https://example.com/a"},
        {U"(https://example.com/stats)", U"https://example.com/stats"},
        {U"https://en.wikipedia.org/wiki/Heroes_(album)", U"https://en.wikipedia.org/wiki/Heroes_(album)"},
        {U"[docs](https://example.com/x_(y)).", U"https://example.com/x_(y)"},
        {U"a, http://host:8080/p?q=1&r=2#frag, b", U"http://host:8080/p?q=1&r=2#frag"},
        {U"\"https://example.com/q\"", U"https://example.com/q"},
        {U"'ftp://ftp.example.org/pub/'", U"ftp://ftp.example.org/pub/"},
        {U"<https://example.com/x>", U"https://example.com/x"},
        {U"HTTPS://EXAMPLE.COM/", U"HTTPS://EXAMPLE.COM/"},
        {U"open file:///home/me/a%20b.txt!", U"file:///home/me/a%20b.txt"},
        {U"mail mailto:me@example.org?", U"mailto:me@example.org"},
        {U"https://example.com/caf\u00e9", U"https://example.com/caf\u00e9"},
        {U"\u4e2d\u6587https://example.com/\u4e2d\u6587", U"https://example.com/"},
        {U"https://example.com/a\u3002next", U"https://example.com/a"},
        {U"xhttps://example.com", U""}, // inside a word
        {U"http:// nothing", U""},      // no host
        {U"https://.", U""},            // only punctuation
        {U"javascript:alert(1)", U""},  // not a scheme found in text
        {U"gopher://old.example", U""}, // nor this one
        {U"http://a|b", U"http://a"},   // a character URLs leave out
    };
    for (const Case& c : cases) {
        const std::u32string_view text = c.text;
        const auto found = LinkFinder::findUrls(text);
        const std::u32string url =
            found.empty() ? std::u32string()
                          : std::u32string(text.substr(found[0].begin, found[0].end - found[0].begin));
        EXPECT_EQ(url, std::u32string(c.url)) << std::string(text.begin(), text.end());
    }
    const auto two = LinkFinder::findUrls(utf32("http://a.b/1 and https://c.d/2"));
    EXPECT_EQ(two, (std::vector<LinkFinder::Range>{{0, 12}, {17, 30}}));
}

class LinkGridTest : public ::testing::Test {
protected:
    void SetUp() override { engine.resizeGrid(6, 20); }
    std::optional<FoundLink> at(int row, int column) const
    {
        return LinkFinder::linkAt(screen, {row, column}, 0, static_cast<int>(screen.rowCount()) - 1);
    }
    TerminalEngine engine;
    ScreenReader screen{engine};
};

TEST_F(LinkGridTest, AUrlBrokenByAnAutomaticWrapIsOneLink)
{
    engine.consume("go https://example.com/long/path now\r\nhttps://x.org/");
    const auto link = at(1, 2);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "https://example.com/long/path");
    EXPECT_FALSE(link->hyperlink);
    EXPECT_EQ(link->spans, (std::vector<LinkSpan>{{0, 3, 20}, {1, 0, 12}}));
    EXPECT_EQ(at(0, 5), link);
    EXPECT_FALSE(at(0, 1));  // "go"
    EXPECT_FALSE(at(1, 14)); // "now"
    // A line ended by a line feed does not continue on the next row.
    ASSERT_TRUE(at(2, 0));
    EXPECT_EQ(at(2, 0)->target, "https://x.org/");
}

TEST_F(LinkGridTest, WideCharactersBesideAUrlKeepTheirCells)
{
    engine.consume("\xe4\xb8\xad https://a.cn/\xe6\x96\x87");
    // 中 takes cells 0-1, the URL cells 3-15, 文 cells 16-17.
    const auto link = at(0, 3);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "https://a.cn/");
    EXPECT_EQ(link->spans, (std::vector<LinkSpan>{{0, 3, 16}}));
    EXPECT_FALSE(at(0, 16));
    EXPECT_FALSE(at(0, 17)); // the second cell of the wide character
    EXPECT_FALSE(at(0, 1));
}

TEST_F(LinkGridTest, HyperlinkCellsAreGroupedByTheirLink)
{
    // Links to other targets stay apart; one with an id continues on a later row.
    engine.consume(
        "\x1b]8;;http://t/\x1b\\one\x1b]8;;http://m/\x1b\\ \x1b]8;;http://u/\x1b\\two\x1b]8;;\x1b\\\r\n");
    engine.consume("\x1b]8;id=7;file:///etc/hosts\x1b\\hosts\x1b]8;;\x1b\\ https://u.v/\r\n");
    engine.consume("\x1b]8;id=7;file:///etc/hosts\x1b\\ file\x1b]8;;\x1b\\");
    const auto one = at(0, 1);
    ASSERT_TRUE(one);
    EXPECT_TRUE(one->hyperlink);
    EXPECT_EQ(one->target, "http://t/");
    EXPECT_EQ(one->spans, (std::vector<LinkSpan>{{0, 0, 3}}));
    EXPECT_EQ(at(0, 5)->spans, (std::vector<LinkSpan>{{0, 4, 7}}));
    const auto hosts = at(2, 2);
    ASSERT_TRUE(hosts);
    EXPECT_EQ(hosts->target, "file:///etc/hosts");
    EXPECT_EQ(hosts->spans, (std::vector<LinkSpan>{{1, 0, 5}, {2, 0, 5}}));
    // Rows outside the range given are not looked at, the pointer's own row always is.
    EXPECT_EQ(LinkFinder::linkAt(screen, {2, 2}, 2, 2)->spans, (std::vector<LinkSpan>{{2, 0, 5}}));
    EXPECT_EQ(at(1, 8)->target, "https://u.v/");
    EXPECT_FALSE(at(1, 5));
}

TEST_F(LinkGridTest, ALinkPrintedAgainAndAgainStaysALink)
{
    // A pager redrawing its page prints the same links on every redraw.
    for (int i = 0; i < 5000; ++i) {
        engine.consume("\x1b[H\x1b]8;;https://same/\x1b\\page\x1b]8;;\x1b\\ "
                       "\x1b]8;id=x;https://named/\x1b\\n\x1b]8;;\x1b\\");
    }
    ASSERT_TRUE(at(0, 0));
    EXPECT_EQ(at(0, 0)->target, "https://same/");
    ASSERT_TRUE(at(0, 5));
    EXPECT_EQ(at(0, 5)->target, "https://named/");
}

TEST_F(LinkGridTest, LinksScrolledIntoTheHistoryAreStillFound)
{
    engine.consume("\x1b]8;;https://kept/\x1b\\kept\x1b]8;;\x1b\\ http://p.ex/\r\n");
    for (int i = 0; i < 10; ++i) {
        engine.consume("line\r\n");
    }
    ASSERT_GT(screen.screenTop(), 0);
    EXPECT_EQ(at(0, 1)->target, "https://kept/");
    EXPECT_EQ(at(0, 1)->spans, (std::vector<LinkSpan>{{0, 0, 4}}));
    EXPECT_EQ(at(0, 8)->target, "http://p.ex/");
}

} // namespace
