#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_set>

class TSQLiteTable;

// An id names a parcel only as a whole decimal number. An empty grid cell, or "1 OR 1=1" in a
// file whose id column another tool declared TEXT, names none: no statement is sent for it.
std::optional<std::int64_t> wholeNumber(std::string_view text);

// The whole numbers in the first column of `table`'s rows, from where its cursor stands; a cell
// that is no whole number names no parcel and is left out.
std::unordered_set<std::int64_t> idsOfFirstColumn(TSQLiteTable& table);
