#pragma once

#include <string>

// Runs a regular expression over a text the way the result extraction does (case-sensitive,
// '.' matching line breaks, successive non-overlapping searches) and counts the matches. The
// hidden test buttons use it to exercise the patterns on the saved page.
class PatternProbe
{
public:
    // The block of search results on the tracking page.
    static const std::string& resultsPattern();
    // One event cell of the results table; the white space is exactly blank, tab, LF, FF and CR.
    static const std::string& cellPattern();

    // Number of matches of `pattern` in `text` (8-bit text); -1 when the pattern does not compile.
    static int countMatches(const std::string& pattern, const std::string& text);
};
