#include "tracking/extraction/Extraction.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using testsupport::cp1251;

namespace {

const std::string kHighlighted = "BACKGROUND: #8be3ff";
const std::string kPlain = "BACKGROUND: none transparent scroll repeat 0% 0%";
const std::string kCrLf = "\r\n";

std::string styledCell(const std::string& style, const std::string& text)
{
    return "<TD style=\"" + style + "\">" + text + "</TD>\r\n";
}

// A result page as the old browser control wrote it: the search form's plain cells, the header
// row, then the given cells in rows of three with alternating styles (highlighted first), each
// row followed by the commented-out lower-case cell.
std::string resultPage(const std::vector<std::string>& cells, const std::string& plainRowStyle = kPlain)
{
    std::string html = "<HEAD><TITLE>Tracking</TITLE></HEAD>\r\n<BODY>\r\n<TABLE>\r\n<TBODY>\r\n<TR>\r\n";
    html += "<TD>" + cp1251("Номер отправления:") + "</TD>\r\n";
    html += "<TD><INPUT id=item name=item></TD></TR></TBODY></TABLE>\r\n<TABLE class=tbl>\r\n<TBODY>\r\n<TR>\r\n";
    for (const char* title : {"Дата", "Событие", "POST OFFICE"})
        html += "<TD style=\"" + kPlain + "\" class=theader>" + cp1251(title) + "</TD>\r\n";
    html += "<!--<td></td>--></TR>\r\n";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i % 3 == 0)
            html += "<TR>\r\n";
        html += styledCell((i / 3) % 2 == 0 ? kHighlighted : plainRowStyle, cells[i]);
        if (i % 3 == 2 || i + 1 == cells.size())
            html += "<!--<td></td>--></TR>\r\n";
    }
    return html + "</TBODY></TABLE>\r\n</BODY>";
}

std::string readFixture(const std::string& name)
{
    std::ifstream in(testsupport::dataPath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kDate1 = "2013-03-16 12:30:00";
const std::string kDate2 = "2013-03-17 14:16:00";

std::vector<std::string> firstEvent()
{
    return {kDate1, cp1251("Получение отправления от отправителя"), "100614*"};
}

std::vector<std::string> twoEvents()
{
    std::vector<std::string> cells = firstEvent();
    for (const std::string& cell :
         {kDate2, cp1251("Отправка отправления из учреждения обмена"), std::string("BEIJING")})
        cells.push_back(cell);
    return cells;
}

std::string line1()
{
    return kDate1 + " " + cp1251("Получение отправления от отправителя") + " 100614* ";
}

std::string line2()
{
    return kDate2 + " " + cp1251("Отправка отправления из учреждения обмена") + " BEIJING ";
}

} // namespace

TEST(ExtractionExample, TwoEventsGiveALinePerEventAndTheNewestRowAsStatus)
{
    const std::string html = resultPage(twoEvents());
    EXPECT_EQ(ExtractHistory(html), line1() + kCrLf + line2());
    EXPECT_EQ(ExtractFirstEventDate(html), kDate1);
    EXPECT_EQ(ExtractStatus(html), line2() + kCrLf);
}

TEST(ExtractionExample, OneEventGivesItsLineAndAStatusEndingInCrLf)
{
    const std::string html = resultPage(firstEvent());
    EXPECT_EQ(ExtractHistory(html), line1());
    EXPECT_EQ(ExtractFirstEventDate(html), kDate1);
    EXPECT_EQ(ExtractStatus(html), line1() + kCrLf);
}

TEST(ExtractionExample, SavedPageOfFourEvents)
{
    const std::string html = readFixture("page_four_events.html");
    ASSERT_GT(html.size(), 7000u);
    const std::string last =
        "2013-04-02 10:47:00 " + cp1251("Поступление в учреждение доставки") + " " + cp1251("МИНСК 90") + " ";
    EXPECT_EQ(ExtractHistory(html), line1() + kCrLf + line2() + kCrLf + "2013-03-29 09:05:00 "
                                        + cp1251("Поступление в учреждение обмена") + " MINSK PI 2 " + kCrLf + last);
    EXPECT_EQ(ExtractFirstEventDate(html), kDate1);
    EXPECT_EQ(ExtractStatus(html), last + kCrLf);
}

TEST(ExtractionCells, PagesWithoutEventCellsGiveEmptyTexts)
{
    const std::string headerOnly = resultPage({});
    const std::string unstyled = "<TABLE><TR><TD>" + kDate1 + "</TD><TD>a</TD><TD>b</TD></TR></TABLE>";
    // The header's style followed by its class, and a style that goes on after the colour.
    const std::string notAtTagEnd = "<TD style=\"" + kPlain + "\" class=theader>" + kDate1 + "</TD>"
                                    + "<TD style=\"BACKGROUND: #8be3ff; COLOR: red\">" + kDate1 + "</TD>";
    for (const std::string& html : {std::string(), headerOnly, unstyled, notAtTagEnd}) {
        EXPECT_EQ(ExtractStatus(html), "") << html;
        EXPECT_EQ(ExtractHistory(html), "") << html;
        EXPECT_EQ(ExtractFirstEventDate(html), "") << html;
    }
}

TEST(ExtractionCells, MatchingIsCaseSensitive)
{
    EXPECT_EQ(ExtractHistory("<TD style=\"BACKGROUND: #8BE3FF\">a</TD>"), "");
    // A lower-case end tag does not end the cell: its text runs on to the next "</TD>".
    const std::string html = "<TD style=\"" + kHighlighted + "\">a</td><td>b</TD>" + styledCell(kHighlighted, "c");
    EXPECT_EQ(ExtractHistory(html), "ab c ");
    EXPECT_EQ(ExtractStatus(html), "ab c ");
}

TEST(ExtractionCells, WhiteSpaceBeforeZeroPercentIsExactlyFiveCharacters)
{
    const auto cellAfter = [](char space) {
        return std::string("<TD style=\"BACKGROUND: none transparent scroll repeat 0%") + space + "0%\">x</TD>";
    };
    for (const char space : {' ', '\t', '\n', '\f', '\r'})
        EXPECT_EQ(ExtractHistory(cellAfter(space)), "x ") << int(space);
    // Vertical tab, the no-break space and other characters some locales call blank.
    for (const char other : {'\v', '\xA0', '\x85', '\x1C', '\0'})
        EXPECT_EQ(ExtractHistory(cellAfter(other)), "") << int(static_cast<unsigned char>(other));
}

TEST(ExtractionCells, ACellSpanningLinesKeepsItsLineBreaks)
{
    const std::string event = cp1251("Получение отправления\r\nот отправителя");
    const std::string html = resultPage({kDate1, event, "100614*"});
    EXPECT_EQ(ExtractHistory(html), kDate1 + " " + event + " 100614* ");
    EXPECT_EQ(ExtractStatus(html), kDate1 + " " + event + " 100614* " + kCrLf);
}

TEST(IsDateTime, LooksAtLengthAndFourPositionsOnly)
{
    for (const char* passes : {"16.03.2013 12:30:00", "2013-03-16 12:30:00", "2013-03-16T12:30:00Z",
                               "xx.xx.xxxx xx:xx:", "2013-03-16 12:30:00 and more"})
        EXPECT_TRUE(IsDateTime(passes)) << passes;
    for (const char* fails : {"", "2013-03-16", "2013-03-16 12:30", "2013-03-16\r\n12:30:00", "2013.03.16 12:30:00",
                              "16-03-2013 12:30:00", "2013-03-16 12.30.00", "<B>2013-03-16 12:30:00</B>"})
        EXPECT_FALSE(IsDateTime(fails)) << fails;
    // At the bounds: 17 characters pass, 16 do not, and each separator is needed on its own.
    for (const std::string shortest : {"2013-03-16 12:30:", "16.03.2013 12:30:"}) {
        EXPECT_TRUE(IsDateTime(shortest)) << shortest;
        EXPECT_FALSE(IsDateTime(shortest.substr(0, 16))) << shortest;
        const bool dayFirst = shortest[2] == '.';
        for (const std::size_t at : {dayFirst ? 2u : 4u, dayFirst ? 5u : 7u, 13u, 16u}) {
            std::string wrong = shortest;
            wrong[at] = '0';
            EXPECT_FALSE(IsDateTime(wrong)) << wrong;
        }
    }
}

TEST(ExtractionHistory, LineBreaksGoOnlyBeforeADateThatFollowsOtherCells)
{
    // Cells before the first date make a line of their own; two dates in a row share a line.
    const std::string html = resultPage({"a", "b", kDate1, kDate2, "c", "d"});
    EXPECT_EQ(ExtractHistory(html), "a b " + kCrLf + kDate1 + " " + kDate2 + " c d ");
    EXPECT_EQ(ExtractFirstEventDate(html), kDate1);
}

TEST(ExtractionHistory, ADateCarryingMarkupFailsTheTestButStaysStripped)
{
    const std::string marked = "<B>" + kDate2 + "</B>";
    std::vector<std::string> cells = firstEvent();
    for (const std::string& cell : {marked, std::string("e"), std::string("o")})
        cells.push_back(cell);
    EXPECT_EQ(ExtractHistory(resultPage(cells)), line1() + kDate2 + " e o ");
    EXPECT_EQ(ExtractFirstEventDate(resultPage({marked, "e", "o", kDate1, "e", "o"})), kDate1);
    EXPECT_EQ(ExtractFirstEventDate(resultPage({marked, "e", "o"})), "");
}

TEST(ExtractionStatus, FollowsTheNumberOfEventCells)
{
    // Without a complete row: the cells tag-stripped.
    EXPECT_EQ(ExtractStatus(resultPage({"<B>a</B>"})), "a ");
    EXPECT_EQ(ExtractStatus(resultPage({"<B>a</B>", "b&nbsp;"})), "a b&nbsp; ");
    // One complete row: untouched texts, CR LF, then the cells that do not fill a row.
    EXPECT_EQ(ExtractStatus(resultPage({"<B>a</B>", "b", "c"})), "<B>a</B> b c " + kCrLf);
    EXPECT_EQ(ExtractStatus(resultPage({"a", "b", "c", "<I>d</I>", "e"})), "a b c " + kCrLf + "<I>d</I> e ");
    // More rows: the newest complete row in the same form.
    EXPECT_EQ(ExtractStatus(resultPage({"a", "b", "c", "d", "<I>e</I>", "f"})), "d <I>e</I> f " + kCrLf);
    EXPECT_EQ(ExtractStatus(resultPage({"a", "b", "c", "d", "e", "f", "g", "h"})), "d e f " + kCrLf + "g h ");
    EXPECT_EQ(ExtractStatus(resultPage({"a", "b", "c", "d", "e", "f", "g", "h", "i"})), "g h i " + kCrLf);
}

TEST(StripTags, RemovesEachTagAndLeavesTheRestAlone)
{
    EXPECT_EQ(StripTags("a<b>c</b>d"), "acd");
    EXPECT_EQ(StripTags("no tags &nbsp; here\r\n"), "no tags &nbsp; here\r\n");
    EXPECT_EQ(StripTags("1 > 0 <B>bold</B>"), "1 > 0 bold");
    EXPECT_EQ(StripTags("<A\r\nhref=x>link</A>"), "link");
    EXPECT_EQ(StripTags("<<B>>x"), ">x");
    // A "<" that opens no tag stays, with everything after it.
    EXPECT_EQ(StripTags("a<b>c<d"), "ac<d");
    EXPECT_EQ(StripTags("x < y <B>z"), "x z");
    EXPECT_EQ(StripTags("<B>x</B> < y"), "x < y");
    EXPECT_EQ(StripTags(""), "");
}

TEST(ExtractionReadWhole, OneScanGivesTheThreeTextsAndRowsThePatternPassesOverAreNoticed)
{
    // Read whole: header cells, commented-out cells, other tables, markup and a table of its own
    // inside a cell. The one scan gives what the three extractions give.
    const std::string nested = "<TABLE><TBODY><TR><TD>a</TD><TD>b</TD></TR></TBODY></TABLE>";
    for (const std::string& html : {readFixture("page_four_events.html"), resultPage(twoEvents()),
                                    resultPage({kDate1, nested, "<B>o</B>", kDate2, "e", "o"})}) {
        const ExtractedResults results = ExtractResults(html);
        EXPECT_EQ(results.status, ExtractStatus(html));
        EXPECT_EQ(results.history, ExtractHistory(html));
        EXPECT_EQ(results.firstEventDate, ExtractFirstEventDate(html));
        EXPECT_TRUE(results.readWhole) << html;
    }

    // The plain rows styled otherwise, as the page's writer puts "background-color: transparent":
    // the pattern takes the highlighted rows alone, and the answer does not pass for the table.
    const std::string transparent = "BACKGROUND-COLOR: transparent";
    std::vector<std::string> threeEvents = twoEvents();
    for (const std::string& cell : {std::string("2013-03-18 09:00:00"), std::string("e"), std::string("o")})
        threeEvents.push_back(cell);
    for (const std::vector<std::string>& cells : {twoEvents(), threeEvents}) {
        const ExtractedResults results = ExtractResults(resultPage(cells, transparent));
        EXPECT_TRUE(results.history.starts_with(line1())) << results.history;
        EXPECT_EQ(results.history.find(kDate2), std::string::npos);
        EXPECT_FALSE(results.readWhole) << cells.size() / 3 << " events";
    }
}

TEST(ExtractionHostile, OpeningsWithoutAnEndChangeNothing)
{
    // Thousands of cell openings with no "</TD>" after them, in less text than the match limit:
    // followed one by one to the end of the page, they would cost the square of the page size.
    const std::string fixture = readFixture("page_four_events.html");
    std::string html = fixture;
    const std::string opening =
        "<TD style=\"" + kHighlighted + "\">" + std::string(100, 'x') + "<TD style=\"" + kPlain + "\">";
    while (html.size() + opening.size() < kExtractionMatchLimit * 9 / 10)
        html += opening;
    EXPECT_EQ(ExtractHistory(html), ExtractHistory(fixture));
    EXPECT_EQ(ExtractStatus(html), ExtractStatus(fixture));
    EXPECT_EQ(ExtractFirstEventDate(html), kDate1);
    // The same openings in front of the table: the first one runs to the first "</TD>".
    const std::string swallowed = ExtractHistory(html.substr(fixture.size()) + fixture);
    EXPECT_EQ(swallowed.substr(0, 100), std::string(100, 'x'));
    EXPECT_TRUE(swallowed.ends_with(" \r\n" + ExtractHistory(fixture)));
}

TEST(ExtractionHostile, MegabytesOfEventsAreAllRead)
{
    const std::string fixture = readFixture("page_four_events.html");
    std::string html;
    for (int i = 0; i < 600; ++i)
        html += fixture;
    const std::string history = ExtractHistory(html);
    std::size_t lines = 1;
    for (std::size_t pos = history.find(kCrLf); pos != std::string::npos; pos = history.find(kCrLf, pos + 1))
        ++lines;
    EXPECT_EQ(lines, 2400u);
    EXPECT_EQ(ExtractStatus(html), ExtractStatus(fixture));
    EXPECT_EQ(ExtractFirstEventDate(html), kDate1);
}

TEST(ExtractionHostile, ACellLongerThanTheMatchLimitEndsTheScan)
{
    const std::string shortCell(kExtractionMatchLimit / 2, 's');
    const std::string longCell(kExtractionMatchLimit * 2, 'l');
    const std::string withShort = resultPage({kDate1, shortCell, "a", kDate2, "b", "c"});
    EXPECT_EQ(ExtractHistory(withShort), kDate1 + " " + shortCell + " a " + kCrLf + kDate2 + " b c ");
    EXPECT_TRUE(ExtractResults(withShort).readWhole);

    // The cells before the long one stand; the scan does not go past it, and says so.
    const std::string withLong = resultPage({kDate1, "a", "b", kDate2, longCell, "c", "2013-03-18 10:00:00"});
    EXPECT_EQ(ExtractHistory(withLong), kDate1 + " a b " + kCrLf + kDate2 + " ");
    EXPECT_EQ(ExtractStatus(withLong), kDate1 + " a b " + kCrLf + kDate2 + " ");
    EXPECT_EQ(ExtractFirstEventDate(withLong), kDate1);
    EXPECT_FALSE(ExtractResults(withLong).readWhole);
    // Many openings before one far-away end: the first search gives up, nothing is found.
    std::string openings;
    while (openings.size() < kExtractionMatchLimit * 2)
        openings += "<TD style=\"" + kHighlighted + "\">x";
    EXPECT_EQ(ExtractHistory(openings + "</TD>"), "");
}
