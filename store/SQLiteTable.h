#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct sqlite3_stmt;

// Column kinds: SQLite's own storage-class codes.
enum class ColumnKind : std::int32_t { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

// A complete in-memory copy of the rows of one query, with a row cursor. Fields of the
// current row are read as text (Windows-1251 bytes, as stored).
class TSQLiteTable
{
public:
    // A null cell holds no value (std::monostate).
    using Cell = std::variant<std::monostate, std::int64_t, double, std::string>;

    TSQLiteTable() = default;
    virtual ~TSQLiteTable() = default;

    // The number of rows read.
    std::int32_t RowCount() const { return m_rowCount; }
    // Whether the cursor stands past the last row (always, without rows).
    bool AtEnd() const { return m_currentRow >= m_rowCount; }
    // Moves the cursor to the next row; false, and nothing moves, at the end.
    bool NextRow();
    // Moves the cursor back to the first row; false without rows.
    bool Rewind();

    // The 0-based index of a column, its name compared ignoring case.
    std::int32_t ColumnIndex(const std::string& name) const;
    // The current row's value of a column, as text by the column's kind.
    std::string FieldText(std::int32_t column) const;
    std::string FieldText(const std::string& columnName) const;

private:
    friend class TSQLiteDatabase;
    void appendRow(sqlite3_stmt* statement);

    std::vector<Cell> m_cells;
    std::int32_t m_rowCount = 0;
    std::int32_t m_columnCount = 0;
    std::vector<std::string> m_columnNames;
    std::vector<ColumnKind> m_columnKinds;
    std::int32_t m_currentRow = 0;
};
