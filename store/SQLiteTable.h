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

    std::int32_t RowCount() const { return m_rowCount; }
    std::int32_t ColumnCount() const { return m_columnCount; }
    bool AtEnd() const { return m_currentRow >= m_rowCount; }
    bool NextRow();
    bool Rewind();

    std::int32_t ColumnIndex(const std::string& name) const;
    std::string FieldText(std::int32_t column) const;
    std::string FieldText(const std::string& columnName) const;

    // Upper-cased column names and their kinds (empty for a result without rows).
    const std::vector<std::string>& ColumnNames() const { return m_columnNames; }
    const std::vector<ColumnKind>& ColumnKinds() const { return m_columnKinds; }

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
