#include "SQLiteTable.h"

#include "Cp1251.h"
#include "FloatText.h"
#include "SQLiteException.h"

#include <sqlite3.h>

#include <cstring>
#include <limits>

namespace {

ColumnKind kindOfDeclaredType(const char* declared, int firstRowStorageClass)
{
    if (!declared)
        return static_cast<ColumnKind>(firstRowStorageClass);
    // Compared whole and with case significant: "integer" or "INT" read as text.
    if (std::strcmp(declared, "INTEGER") == 0 || std::strcmp(declared, "BOOLEAN") == 0)
        return ColumnKind::Integer;
    if (std::strcmp(declared, "NUMERIC") == 0 || std::strcmp(declared, "FLOAT") == 0
        || std::strcmp(declared, "DOUBLE") == 0 || std::strcmp(declared, "REAL") == 0)
        return ColumnKind::Float;
    if (std::strcmp(declared, "BLOB") == 0)
        return ColumnKind::Blob;
    return ColumnKind::Text;
}

} // namespace

void TSQLiteTable::appendRow(sqlite3_stmt* statement)
{
    if (m_rowCount == std::numeric_limits<std::int32_t>::max())
        throw ESQLiteException("Too many rows in result");
    if (m_rowCount == 0) {
        m_columnCount = sqlite3_column_count(statement);
        for (int c = 0; c < m_columnCount; ++c) {
            const char* name = sqlite3_column_name(statement, c);
            m_columnNames.push_back(upperCp1251(name ? name : ""));
            m_columnKinds.push_back(
                kindOfDeclaredType(sqlite3_column_decltype(statement, c), sqlite3_column_type(statement, c)));
        }
    }
    ++m_rowCount;
    for (int c = 0; c < m_columnCount; ++c) {
        if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
            m_cells.emplace_back(std::monostate{});
            continue;
        }
        switch (m_columnKinds[static_cast<std::size_t>(c)]) {
        case ColumnKind::Integer:
            m_cells.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(statement, c)));
            break;
        case ColumnKind::Float:
            m_cells.emplace_back(sqlite3_column_double(statement, c));
            break;
        case ColumnKind::Blob: {
            const void* bytes = sqlite3_column_blob(statement, c);
            const int size = sqlite3_column_bytes(statement, c);
            if (size <= 0 || !bytes)
                m_cells.emplace_back(std::monostate{});
            else
                m_cells.emplace_back(std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size)));
            break;
        }
        case ColumnKind::Text:
        case ColumnKind::Null: {
            // Held by its length: a NUL byte inside (written by another tool) is part of the text,
            // so that a number is asked whole and a reader can tell that a text holds more than
            // it shows. The length is asked after the text, which it describes.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
            const int size = sqlite3_column_bytes(statement, c);
            if (!text || size <= 0)
                m_cells.emplace_back(std::string());
            else
                m_cells.emplace_back(std::string(text, static_cast<std::size_t>(size)));
            break;
        }
        }
    }
}

bool TSQLiteTable::NextRow()
{
    if (AtEnd())
        return false;
    ++m_currentRow;
    return true;
}

bool TSQLiteTable::Rewind()
{
    if (m_rowCount == 0)
        return false;
    m_currentRow = 0;
    return true;
}

std::int32_t TSQLiteTable::ColumnIndex(const std::string& name) const
{
    if (m_columnNames.empty())
        throw ESQLiteException(fromCp1251("Field " + name + " Not found. Empty dataset"));
    const std::string wanted = upperCp1251(name);
    for (std::size_t i = 0; i < m_columnNames.size(); ++i) {
        if (m_columnNames[i] == wanted)
            return static_cast<std::int32_t>(i);
    }
    throw ESQLiteException(fromCp1251("Field not found in dataset: " + name));
}

std::string TSQLiteTable::FieldText(const std::string& columnName) const
{
    return FieldText(ColumnIndex(columnName));
}

std::string TSQLiteTable::FieldText(std::int32_t column) const
{
    if (AtEnd())
        throw ESQLiteException("Table is at End of File");
    if (column < 0 || column >= m_columnCount)
        throw ESQLiteException(QStringLiteral("Field index out of range: %1").arg(column));
    const Cell& cell = m_cells[static_cast<std::size_t>(m_currentRow) * static_cast<std::size_t>(m_columnCount)
                               + static_cast<std::size_t>(column)];
    switch (m_columnKinds[static_cast<std::size_t>(column)]) {
    case ColumnKind::Integer:
        if (const auto* value = std::get_if<std::int64_t>(&cell))
            return std::to_string(*value);
        return "0";
    case ColumnKind::Float:
        if (const auto* value = std::get_if<double>(&cell))
            return floatToText(*value);
        return "0";
    case ColumnKind::Text:
    case ColumnKind::Blob:
    case ColumnKind::Null:
        if (const auto* value = std::get_if<std::string>(&cell))
            return *value;
        return {};
    }
    return {};
}
