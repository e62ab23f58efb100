#include "tracking/extraction/Extraction.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// An event cell: the opening tag ends in the highlighted row style ("#8be3ff") or in the plain
// one ("... 0% 0%"), directly followed by the tag's ">"; header cells carry "class=theader"
// after the style and so never match. Group 2 is the cell text.
constexpr std::string_view kCellPattern = R"((8be3ff">|\s0%">)(.*?)</TD>)";
static_assert(kCellPattern.size() == 27);

// The same cells with the white space spelled out, for a PCRE2 whose character tables are laid
// out differently from the one we know how to edit.
constexpr std::string_view kCellPatternExplicitSpace = "(8be3ff\">|[ \\t\\n\\f\\r]0%\">)(.*?)</TD>";

constexpr std::string_view kCellEnd = "</TD>";

// PCRE2's character tables as pcre2_maketables() builds them: lower-case map (256 bytes),
// case-flip map (256), ten 32-byte class bitmaps starting with the white-space class, then one
// type byte per character whose bit 0x01 means white space. "\s" outside a class reads the type
// byte; the start-of-match optimisation reads the bitmap. Both must agree.
constexpr std::size_t kTablesLength = 1088;
constexpr std::size_t kSpaceBitmapOffset = 512;
constexpr std::size_t kCharTypesOffset = 832;
constexpr std::uint8_t kCharTypeSpace = 0x01;

// The page's white space: Perl's "\s" also takes the vertical tab, and the locale may add more
// (the no-break space in a Cyrillic 8-bit locale); neither separates a style from its ">".
constexpr std::array<unsigned char, 5> kWhiteSpace = {' ', '\t', '\n', '\f', '\r'};

struct TablesDeleter
{
    void operator()(const std::uint8_t* tables) const { pcre2_maketables_free(nullptr, tables); }
};
struct CompileContextDeleter
{
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct CodeDeleter
{
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchContextDeleter
{
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataDeleter
{
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

using Tables = std::array<std::uint8_t, kTablesLength>;

// Fills `tables` with PCRE2's tables for the current locale, white space cut down to the five
// page characters. False when this PCRE2 keeps its tables in another layout.
bool buildCellTables(Tables& tables)
{
    std::uint32_t length = 0;
    if (pcre2_config(PCRE2_CONFIG_TABLES_LENGTH, &length) < 0 || length != kTablesLength)
        return false;
    const std::unique_ptr<const std::uint8_t, TablesDeleter> made(pcre2_maketables(nullptr));
    if (!made)
        return false;
    std::copy(made.get(), made.get() + kTablesLength, tables.begin());

    for (std::size_t c = 0; c < 256; ++c) {
        tables[kSpaceBitmapOffset + c / 8] &= static_cast<std::uint8_t>(~(1u << (c % 8)));
        tables[kCharTypesOffset + c] &= static_cast<std::uint8_t>(~kCharTypeSpace);
    }
    for (const unsigned char c : kWhiteSpace) {
        tables[kSpaceBitmapOffset + c / 8] |= static_cast<std::uint8_t>(1u << (c % 8));
        tables[kCharTypesOffset + c] |= kCharTypeSpace;
    }
    return true;
}

// The compiled cell pattern with its tables and limits, made once per process: compiling it
// and building the tables cost more than a scan of a result page. A compiled pattern and a match
// context that is never changed may be shared by threads; each scan brings its own match data.
// The tables are built for the locale of the first call, which does not matter: of what they
// hold, the pattern only uses the white-space class, and that is cut down to the page's own.
class CellPattern
{
public:
    static const CellPattern& instance()
    {
        static const CellPattern pattern;
        return pattern;
    }

    bool ready() const { return m_code && m_matchContext; }
    const pcre2_code* code() const { return m_code.get(); }
    pcre2_match_context* matchContext() const { return m_matchContext.get(); }

private:
    CellPattern()
    {
        const bool ownTables = buildCellTables(m_tables);
        const std::string_view pattern = ownTables ? kCellPattern : kCellPatternExplicitSpace;

        const std::unique_ptr<pcre2_compile_context, CompileContextDeleter> compileContext(
            pcre2_compile_context_create(nullptr));
        if (!compileContext)
            return;
        if (ownTables)
            pcre2_set_character_tables(compileContext.get(), m_tables.data());

        int errorCode = 0;
        PCRE2_SIZE errorOffset = 0;
        m_code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   PCRE2_DOTALL | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP, &errorCode, &errorOffset,
                                   compileContext.get()));
        if (!m_code)
            return;
        m_matchContext.reset(pcre2_match_context_create(nullptr));
        if (!m_matchContext)
            return;
        pcre2_set_match_limit(m_matchContext.get(), kExtractionMatchLimit);
        pcre2_set_depth_limit(m_matchContext.get(), kExtractionDepthLimit);
        pcre2_set_heap_limit(m_matchContext.get(), kExtractionHeapLimitKiB);
    }

    // The compiled pattern points into the tables, so they live as long as it does.
    Tables m_tables{};
    std::unique_ptr<pcre2_code, CodeDeleter> m_code;
    std::unique_ptr<pcre2_match_context, MatchContextDeleter> m_matchContext;
};

// The page's event cells in page order, found by successive, non-overlapping searches for the
// cell pattern, each as its untouched cell text (a view into the page).
struct CellScan
{
    std::vector<std::string_view> cells;
    // Where each cell's match begins (inside the cell's opening tag) and ends (after its "</TD>").
    std::vector<std::pair<std::size_t, std::size_t>> matches;
    // False when a bound of the search ended the scan before the end of the page.
    bool readToEnd = true;
};

// One of the five characters of kWhiteSpace.
bool isPageWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The first position from `start` at which the pattern's first group matches: "8be3ff" or a
// white-space character and "0%", then the quote and ">". Neither alternative holds `">` before
// its end, so the first `">` that ends one of them gives the first position.
std::size_t nextOpening(std::string_view subject, std::size_t start)
{
    for (std::size_t close = start; (close = subject.find("\">", close)) != std::string_view::npos; ++close) {
        if (close >= start + 6 && subject.substr(close - 6, 6) == "8be3ff")
            return close - 6;
        if (close >= start + 3 && isPageWhiteSpace(subject[close - 3]) && subject.substr(close - 2, 2) == "0%")
            return close - 3;
    }
    return std::string_view::npos;
}

// A search for the pattern tries every position in turn, and wherever its first group cannot
// match the try fails at once. On a page those tries are most of the work (every blank is one),
// so each search starts, anchored, where the first group matches. The bounds count per position
// tried, so the cells found and where a bound ends the scan are the same as the plain search's.
CellScan scanCells(const std::string& pageHtml)
{
    CellScan scan;
    // Every cell ends in "</TD>", so nothing after the last one can match. Searching only up to
    // it also keeps the scan linear: an opening with no "</TD>" after it would otherwise send the
    // lazy group to the end of the page once per opening.
    const std::size_t lastEnd = pageHtml.rfind(kCellEnd);
    if (lastEnd == std::string::npos)
        return scan;
    const std::string_view subject(pageHtml.data(), lastEnd + kCellEnd.size());

    const CellPattern& pattern = CellPattern::instance();
    const std::unique_ptr<pcre2_match_data, MatchDataDeleter> matchData(
        pattern.ready() ? pcre2_match_data_create_from_pattern(pattern.code(), nullptr) : nullptr);
    if (!matchData) {
        scan.readToEnd = false;
        return scan;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matchData.get());
    std::size_t start = 0;
    for (;;) {
        const std::size_t opening = nextOpening(subject, start);
        if (opening == std::string_view::npos)
            break;
        const int rc = pcre2_match(pattern.code(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                                   opening, PCRE2_ANCHORED, matchData.get(), pattern.matchContext());
        if (rc == PCRE2_ERROR_NOMATCH) {
            start = opening + 1;
            continue;
        }
        // A limit reached on a hostile page, or any other failure, ends the scan; the cells
        // before it stand, and the caller learns that the table was not read to its end.
        if (rc <= 0) {
            scan.readToEnd = false;
            break;
        }
        std::string_view cellText;
        if (rc > 2 && ovector[4] != PCRE2_UNSET)
            cellText = subject.substr(ovector[4], ovector[5] - ovector[4]);
        scan.cells.push_back(cellText);
        scan.matches.emplace_back(ovector[0], ovector[1]);
        start = ovector[1] > start ? ovector[1] : start + 1;
    }
    return scan;
}

bool isDateTime(std::string_view cellText)
{
    if (cellText.size() < 17)
        return false;
    const bool dayFirst = cellText[2] == '.' && cellText[5] == '.';
    const bool yearFirst = cellText[4] == '-' && cellText[7] == '-';
    return (dayFirst || yearFirst) && cellText[13] == ':' && cellText[16] == ':';
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

// Cells cut out of a page are markup and lose their tags where the texts strip them; plain cell
// texts are stored as they are.
enum class CellText { Markup, Plain };

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
        if (isDateTime(cell)) {
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

template <typename Cell> std::string firstEventDateOf(const std::vector<Cell>& cells)
{
    for (const std::string_view cell : cells) {
        if (isDateTime(cell))
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
    return {statusOf(cells, CellText::Plain), historyOf(cells, CellText::Plain), firstEventDateOf(cells), true};
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
