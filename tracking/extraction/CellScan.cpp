#include "tracking/extraction/CellScan.h"

#include "tracking/extraction/Extraction.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <array>
#include <cstdint>
#include <memory>

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

} // namespace

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
