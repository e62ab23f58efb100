#include "app/PatternProbe.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace {

struct CodeFree
{
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataFree
{
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

} // namespace

const std::string& PatternProbe::resultsPattern()
{
    static const std::string pattern = "<DIV id=results>(.*?)</DIV>";
    return pattern;
}

const std::string& PatternProbe::cellPattern()
{
    static const std::string pattern = "(8be3ff\">|[ \\t\\n\\f\\r]0%\">)(.*?)</TD>";
    return pattern;
}

int PatternProbe::countMatches(const std::string& pattern, const std::string& text)
{
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    std::unique_ptr<pcre2_code, CodeFree> code(pcre2_compile(
        reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), PCRE2_DOTALL, &errorCode, &errorOffset, nullptr));
    if (!code)
        return -1;
    std::unique_ptr<pcre2_match_data, MatchDataFree> data(pcre2_match_data_create_from_pattern(code.get(), nullptr));
    if (!data)
        return -1;

    int count = 0;
    PCRE2_SIZE start = 0;
    while (start <= text.size()) {
        const int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), start, 0,
                                   data.get(), nullptr);
        if (rc < 0)
            break;
        ++count;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        // An empty match moves on by one character so the scan always ends.
        start = ovector[1] > ovector[0] ? ovector[1] : ovector[0] + 1;
    }
    return count;
}
