#include "tracking/extraction/Extraction.h"

#include "tracking/extraction/CellScan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace {

bool isDateTime(std::string_view cellText)
{
    if (cellText.size() < 17)
        return false;
    const bool dayFirst = cellText[2] == '.' && cellText[5] == '.';
    const bool yearFirst = cellText[4] == '-' && cellText[7] == '-';
    return (dayFirst || yearFirst) && cellText[13] == ':' && cellText[16] == ':';
}

// isDateTime() for UTF-8 text, counting characters rather than bytes: the first byte of a
// character outside ASCII is never one of the separators looked for.
bool isDateTimeUtf8(std::string_view cellText)
{
    std::string firstCharacters;
    for (const char c : cellText) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && firstCharacters.size() < 17)
            firstCharacters.push_back(c);
    }
    return isDateTime(firstCharacters);
}

// Appends `text` without its tags to `out` (see StripTags).
void appendStripped(std::string& out, std::string_view text)
{
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = text.find('<', pos);
        const std::size_t close = open == std::string_view::npos ? open : text.find('>', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(pos));
            return;
        }
        out.append(text.substr(pos, open - pos));
        pos = close + 1;
    }
}

void appendWithBlank(std::string& text, std::string_view cell)
{
    text.append(cell);
    text.push_back(' ');
}

// Cells cut out of a page are markup (Windows-1251) and lose their tags where the texts strip
// them; plain cell texts (UTF-8) are stored as they are.
enum class CellText { Markup, Plain };

bool isDateTimeCell(std::string_view cell, CellText kind)
{
    return kind == CellText::Markup ? isDateTime(cell) : isDateTimeUtf8(cell);
}

void appendCell(std::string& out, std::string_view cell, CellText kind)
{
    if (kind == CellText::Markup)
        appendStripped(out, cell);
    else
        out.append(cell);
}

template <typename Cell> std::string statusOf(const std::vector<Cell>& cells, CellText kind = CellText::Markup)
{
    const std::size_t completeRows = cells.size() / 3;
    std::string status;
    if (completeRows == 0) {
        for (const std::string_view cell : cells) {
            appendCell(status, cell, kind);
            status.push_back(' ');
        }
        return status;
    }
    // The newest complete row, so that the grid shows the latest event. With one row this is
    // the text of all cells: the row, CR LF, then the cells that do not fill another row.
    const std::size_t first = (completeRows - 1) * 3;
    for (std::size_t i = first; i < first + 3; ++i)
        appendWithBlank(status, cells[i]);
    status += "\r\n";
    for (std::size_t i = first + 3; i < cells.size(); ++i)
        appendWithBlank(status, cells[i]);
    return status;
}

template <typename Cell> std::string historyOf(const std::vector<Cell>& cells, CellText kind = CellText::Markup)
{
    std::string history;
    int cellsSinceDate = 0;
    for (const std::string_view cell : cells) {
        if (isDateTimeCell(cell, kind)) {
            // A new line starts at a date, unless the cell before was a date as well.
            if (cellsSinceDate > 0)
                history += "\r\n";
            cellsSinceDate = 0;
        } else {
            ++cellsSinceDate;
        }
        appendCell(history, cell, kind);
        history.push_back(' ');
    }
    return history;
}

template <typename Cell> std::string firstEventDateOf(const std::vector<Cell>& cells, CellText kind = CellText::Markup)
{
    for (const std::string_view cell : cells) {
        if (isDateTimeCell(cell, kind))
            return std::string(cell);
    }
    return {};
}

// --- event cells the pattern did not take ---
//
// The pattern takes a cell by the end of its style. When the site styles some event rows
// otherwise (the plain rows with "background-color: transparent", say), their cells are passed
// over and the texts hold only the other rows, which must not pass for the whole table. So the
// tables are walked as the page's writer leaves them: a table in which the pattern took cells
// must have taken every cell but the header's ("class=theader"). What the pattern took as a
// cell's text is content, whatever it holds; comments, and the text of elements such as SCRIPT,
// hold no cells; a nested table's cells are its own.

constexpr std::array<std::string_view, 8> kRawTextElements = {"SCRIPT",  "STYLE",    "XMP",      "IFRAME",
                                                              "NOEMBED", "NOFRAMES", "NOSCRIPT", "PLAINTEXT"};

char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when `text` at `pos` holds `upperWord`, compared without regard to case.
bool holdsAt(std::string_view text, std::size_t pos, std::string_view upperWord)
{
    if (pos > text.size() || text.size() - pos < upperWord.size())
        return false;
    for (std::size_t i = 0; i < upperWord.size(); ++i) {
        if (upperAscii(text[pos + i]) != upperWord[i])
            return false;
    }
    return true;
}

bool isName(std::string_view name, std::string_view upperName)
{
    return name.size() == upperName.size() && holdsAt(name, 0, upperName);
}

// The tag name that begins at `pos`: up to white space, "/" or ">".
std::string_view tagName(std::string_view page, std::size_t pos)
{
    std::size_t end = pos;
    while (end < page.size() && page[end] != '>' && page[end] != '/' && !isPageWhiteSpace(page[end]))
        ++end;
    return page.substr(pos, end - pos);
}

bool containsWithoutCase(std::string_view text, std::string_view upperWord)
{
    for (std::size_t pos = 0; pos + upperWord.size() <= text.size(); ++pos) {
        if (holdsAt(text, pos, upperWord))
            return true;
    }
    return false;
}

// The ">" that ends the tag whose attributes begin at `from`; one inside a quoted value does not
// end it. npos when the tag does not end.
std::size_t tagEnd(std::string_view page, std::size_t from)
{
    char previous = 0; // the last character that is not white space
    for (std::size_t i = from; i < page.size(); ++i) {
        const char c = page[i];
        if (c == '>')
            return i;
        if ((c == '"' || c == '\'') && previous == '=') {
            const std::size_t close = page.find(c, i + 1);
            if (close == std::string_view::npos)
                return page.find('>', from);
            i = close;
        }
        if (!isPageWhiteSpace(c))
            previous = c;
    }
    return std::string_view::npos;
}

// The "<" of the end tag of the raw-text element `upperName` whose text begins at `from`, or npos.
std::size_t rawTextEnd(std::string_view page, std::size_t from, std::string_view upperName)
{
    for (std::size_t pos = from; (pos = page.find("</", pos)) != std::string_view::npos; ++pos) {
        if (isName(tagName(page, pos + 2), upperName))
            return pos;
    }
    return std::string_view::npos;
}

bool hasUntakenEventCells(std::string_view page, const CellScan& scan)
{
    struct TableCells
    {
        std::size_t taken = 0;
        std::size_t untaken = 0;
        bool partlyTaken() const { return taken > 0 && untaken > 0; }
    };
    // The page itself is the outermost table, for cells outside any.
    std::vector<TableCells> tables(1);
    std::size_t next = 0; // the first match that does not end before the current tag
    std::size_t pos = 0;
    while ((pos = page.find('<', pos)) != std::string_view::npos) {
        if (page.substr(pos + 1, 3) == "!--") {
            const std::size_t close = page.find("-->", pos + 4);
            if (close == std::string_view::npos)
                break;
            pos = close + 3;
            continue;
        }
        const bool endTag = pos + 1 < page.size() && page[pos + 1] == '/';
        const std::size_t nameStart = endTag ? pos + 2 : pos + 1;
        const std::string_view name = tagName(page, nameStart);
        if (name.empty() || upperAscii(name.front()) < 'A' || upperAscii(name.front()) > 'Z') {
            ++pos;
            continue;
        }
        const std::size_t end = tagEnd(page, nameStart + name.size());
        if (end == std::string_view::npos)
            break;
        std::size_t resume = end + 1;

        if (endTag) {
            if (isName(name, "TABLE") && tables.size() > 1) {
                if (tables.back().partlyTaken())
                    return true;
                tables.pop_back();
            }
        } else if (isName(name, "TABLE")) {
            tables.emplace_back();
        } else if (isName(name, "TD")) {
            while (next < scan.matches.size() && scan.matches[next].second <= pos)
                ++next;
            if (next < scan.matches.size() && scan.matches[next].first < pos) {
                // Markup inside the text of a cell the pattern took.
            } else if (next < scan.matches.size() && scan.matches[next].first < end) {
                ++tables.back().taken;
            } else if (!containsWithoutCase(page.substr(pos, end - pos), "THEADER")) {
                ++tables.back().untaken;
            }
        } else {
            for (const std::string_view element : kRawTextElements) {
                if (isName(name, element)) {
                    resume = rawTextEnd(page, end + 1, element);
                    break;
                }
            }
            if (resume == std::string_view::npos)
                break;
        }
        pos = resume;
    }
    return std::any_of(tables.begin(), tables.end(), [](const TableCells& table) { return table.partlyTaken(); });
}

} // namespace

std::string ExtractStatus(const std::string& pageHtml)
{
    return statusOf(scanCells(pageHtml).cells);
}

std::string ExtractHistory(const std::string& pageHtml)
{
    return historyOf(scanCells(pageHtml).cells);
}

std::string ExtractFirstEventDate(const std::string& pageHtml)
{
    return firstEventDateOf(scanCells(pageHtml).cells);
}

ExtractedResults ExtractResults(const std::string& pageHtml)
{
    const CellScan scan = scanCells(pageHtml);
    const bool readWhole = scan.readToEnd && (scan.cells.empty() || !hasUntakenEventCells(pageHtml, scan));
    return {statusOf(scan.cells), historyOf(scan.cells), firstEventDateOf(scan.cells), readWhole};
}

ExtractedResults ResultsFromPlainCells(const std::vector<std::string>& cells)
{
    return {statusOf(cells, CellText::Plain), historyOf(cells, CellText::Plain),
            firstEventDateOf(cells, CellText::Plain), true};
}

std::string StripTags(const std::string& text)
{
    std::string stripped;
    stripped.reserve(text.size());
    appendStripped(stripped, text);
    return stripped;
}

bool IsDateTime(const std::string& cellText)
{
    return isDateTime(cellText);
}
