#pragma once

// Finding the event cells of a result page: the cell pattern on PCRE2, with the page's own white
// space, searched only where a cell can begin.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The page's event cells, in page order; see CellScan.
CellScan scanCells(const std::string& pageHtml);

// One of the five characters of the page's white space (blank, tab, line feed, form feed, CR).
inline bool isPageWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
