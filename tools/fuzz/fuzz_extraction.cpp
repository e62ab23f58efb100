// Feeds arbitrary bytes to the extractions and StripTags, and checks what must hold for any
// page: the results never outgrow what they are made from, and the first-event date is a cell
// that passes the date-time test.
#include "tracking/extraction/Extraction.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string page(reinterpret_cast<const char*>(data), size);

    const std::string stripped = StripTags(page);
    if (stripped.size() > page.size())
        std::abort();
    // What is left holds no tag: at most an unclosed "<" with the rest of the text after it.
    const std::size_t open = stripped.find('<');
    if (open != std::string::npos && stripped.find('>', open) != std::string::npos)
        std::abort();
    if (StripTags(stripped) != stripped)
        std::abort();

    const std::string date = ExtractFirstEventDate(page);
    if (!date.empty() && (!IsDateTime(date) || page.find(date) == std::string::npos))
        std::abort();

    // A cell takes at least ten bytes of markup besides its text, and a result adds at most a
    // blank and a line break per cell: no result outgrows the page.
    const std::string status = ExtractStatus(page);
    const std::string history = ExtractHistory(page);
    if (status.size() > page.size() || history.size() > page.size())
        std::abort();
    if (page.find("</TD>") == std::string::npos && !(status.empty() && history.empty() && date.empty()))
        std::abort();

    // The one scan the check run makes gives the same three texts.
    const ExtractedResults results = ExtractResults(page);
    if (results.status != status || results.history != history || results.firstEventDate != date)
        std::abort();
    return 0;
}
