#include "tracking/extraction/Extraction.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
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

// The compiled cell pattern with its tables, limits and match data. Made for one extraction
// and released with it; the tables live here because the compiled pattern points into them.
class CellMatcher
{
public:
    CellMatcher()
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
        m_matchData.reset(pcre2_match_data_create_from_pattern(m_code.get(), nullptr));
        m_matchContext.reset(pcre2_match_context_create(nullptr));
        if (!m_matchContext)
            return;
        pcre2_set_match_limit(m_matchContext.get(), kExtractionMatchLimit);
        pcre2_set_depth_limit(m_matchContext.get(), kExtractionDepthLimit);
        pcre2_set_heap_limit(m_matchContext.get(), kExtractionHeapLimitKiB);
    }

    bool ready() const { return m_code && m_matchData && m_matchContext; }

    enum class Found { Cell, NoMore, CutShort };

    // Searches `subject` from `start`; on a match sets the cell text's bounds and the match end.
    Found find(std::string_view subject, std::size_t start, std::string_view& cellText, std::size_t& matchEnd)
    {
        const int rc = pcre2_match(m_code.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                                   start, 0, m_matchData.get(), m_matchContext.get());
        if (rc == PCRE2_ERROR_NOMATCH)
            return Found::NoMore;
        // A limit reached on a hostile page, or any other failure: the rest cannot be read.
        if (rc <= 0)
            return Found::CutShort;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_matchData.get());
        cellText = {};
        if (rc > 2 && ovector[4] != PCRE2_UNSET)
            cellText = subject.substr(ovector[4], ovector[5] - ovector[4]);
        matchEnd = ovector[1];
        return Found::Cell;
    }

private:
    Tables m_tables{};
    std::unique_ptr<pcre2_code, CodeDeleter> m_code;
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> m_matchData;
    std::unique_ptr<pcre2_match_context, MatchContextDeleter> m_matchContext;
};

// The untouched texts of the page's event cells in page order: successive, non-overlapping
// searches for the cell pattern.
std::vector<std::string_view> eventCells(const std::string& pageHtml, bool* readToEnd = nullptr)
{
    if (readToEnd)
        *readToEnd = true;
    std::vector<std::string_view> cells;
    // Every cell ends in "</TD>", so nothing after the last one can match. Searching only up to
    // it also keeps the scan linear: an opening with no "</TD>" after it would otherwise send the
    // lazy group to the end of the page once per opening.
    const std::size_t lastEnd = pageHtml.rfind(kCellEnd);
    if (lastEnd == std::string::npos)
        return cells;
    const std::string_view subject(pageHtml.data(), lastEnd + kCellEnd.size());

    CellMatcher matcher;
    if (!matcher.ready()) {
        if (readToEnd)
            *readToEnd = false;
        return cells;
    }
    std::size_t start = 0;
    std::string_view cellText;
    std::size_t matchEnd = 0;
    while (start < subject.size()) {
        const CellMatcher::Found found = matcher.find(subject, start, cellText, matchEnd);
        if (found == CellMatcher::Found::NoMore)
            break;
        // A limit reached on a hostile page ends the scan; the cells before it stand, and the
        // caller can ask whether the table was read to its end.
        if (found == CellMatcher::Found::CutShort) {
            if (readToEnd)
                *readToEnd = false;
            break;
        }
        cells.push_back(cellText);
        start = matchEnd > start ? matchEnd : start + 1;
    }
    return cells;
}

void appendWithBlank(std::string& text, std::string_view cell)
{
    text.append(cell);
    text.push_back(' ');
}

}  // namespace

std::string ExtractStatus(const std::string& pageHtml)
{
    const std::vector<std::string_view> cells = eventCells(pageHtml);
    const std::size_t completeRows = cells.size() / 3;
    std::string status;
    if (completeRows == 0) {
        for (const std::string_view cell : cells)
            appendWithBlank(status, StripTags(std::string(cell)));
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

std::string ExtractHistory(const std::string& pageHtml)
{
    std::string history;
    int cellsSinceDate = 0;
    for (const std::string_view cell : eventCells(pageHtml)) {
        const std::string text(cell);
        if (IsDateTime(text)) {
            // A new line starts at a date, unless the cell before was a date as well.
            if (cellsSinceDate > 0)
                history += "\r\n";
            cellsSinceDate = 0;
        } else {
            ++cellsSinceDate;
        }
        appendWithBlank(history, StripTags(text));
    }
    return history;
}

std::string ExtractFirstEventDate(const std::string& pageHtml)
{
    for (const std::string_view cell : eventCells(pageHtml)) {
        std::string text(cell);
        if (IsDateTime(text))
            return text;
    }
    return {};
}

bool EventTableReadToEnd(const std::string& pageHtml)
{
    bool readToEnd = true;
    eventCells(pageHtml, &readToEnd);
    return readToEnd;
}

std::string StripTags(const std::string& text)
{
    std::string stripped;
    stripped.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = text.find('<', pos);
        const std::size_t close = open == std::string::npos ? open : text.find('>', open + 1);
        if (close == std::string::npos) {
            stripped.append(text, pos, std::string::npos);
            return stripped;
        }
        stripped.append(text, pos, open - pos);
        pos = close + 1;
    }
}

bool IsDateTime(const std::string& cellText)
{
    if (cellText.size() < 17)
        return false;
    const bool dayFirst = cellText[2] == '.' && cellText[5] == '.';
    const bool yearFirst = cellText[4] == '-' && cellText[7] == '-';
    return (dayFirst || yearFirst) && cellText[13] == ':' && cellText[16] == ':';
}
