#include "store/RowIds.h"

#include "store/SQLiteTable.h"

#include <charconv>
#include <string>
#include <system_error>

std::optional<std::int64_t> wholeNumber(std::string_view text)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::unordered_set<std::int64_t> idsOfFirstColumn(TSQLiteTable& table)
{
    std::unordered_set<std::int64_t> ids;
    for (; !table.AtEnd(); table.NextRow()) {
        if (const auto id = wholeNumber(table.FieldText(0)))
            ids.insert(*id);
    }
    return ids;
}
