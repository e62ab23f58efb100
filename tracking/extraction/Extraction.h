#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Cuts a parcel's results out of the tracking page's HTML. A page is Windows-1251 bytes, and so
// are the texts cut out of it (plain cells, below, are UTF-8). Nothing here fails and may be called from any thread: a
// page without event cells gives empty texts. Line breaks in the results are CR LF. The cell pattern is compiled once
// per process, at the first call; nothing else outlives a call.

// The status text: the newest complete row of the event table (untouched cell texts, each
// followed by a blank, then CR LF) and any cells after it; without a complete row, the
// tag-stripped cells, each followed by a blank.
std::string ExtractStatus(const std::string& pageHtml);

// Every event cell, tag-stripped and followed by a blank; a line per event, lines separated
// by CR LF, no line break at the end.
std::string ExtractHistory(const std::string& pageHtml);

// The untouched text of the first event cell that looks like a date and time, or empty.
std::string ExtractFirstEventDate(const std::string& pageHtml);

// `text` without its tags ("<" up to the next ">"). A "<" with no ">" after it is not a
// tag: it and the rest of the text stay as they are.
std::string StripTags(const std::string& text);

// True when `cellText` has at least 17 characters, "." at positions 3 and 6 or "-" at
// positions 5 and 8, and ":" at positions 14 and 17 (counting from 1). Nothing else is looked at.
bool IsDateTime(const std::string& cellText);

// What the check run stores for a found answer, all from one scan of the page: each text is
// what its own extraction above gives.
struct ExtractedResults
{
    std::string status;
    std::string history;
    std::string firstEventDate;
    // False when the texts do not hold the whole event table, and so must not pass for it: the
    // scan stopped at one of the bounds below before the end of the page, or a table in which the
    // cell pattern took cells has other cells it passed over (header cells, "class=theader",
    // aside), as when the site styles some event rows otherwise.
    bool readWhole = true;
};
ExtractedResults ExtractResults(const std::string& pageHtml);

// The same three texts for an event table given as its cell texts rather than as a page: three
// cells per event (date and time, event, post office), the oldest event first. The cells are
// plain text, not markup, so nothing of them is stripped; they are UTF-8, and the results are
// too (a date is looked for by characters, as in a page's one-byte text).
ExtractedResults ResultsFromPlainCells(const std::vector<std::string>& cells);

// Bounds of one search for an event cell. A search costs about one step per character of the
// cell text, so the step limit is the longest cell the scan follows (the tracking page's are
// below a few hundred characters); a longer one ends the scan and the cells before it stand.
// The pattern never nests, so a handful of backtracking frames is all it needs.
constexpr std::uint32_t kExtractionMatchLimit = 1'000'000;
constexpr std::uint32_t kExtractionDepthLimit = 1'000;
constexpr std::uint32_t kExtractionHeapLimitKiB = 1'024;
