#pragma once

#include <stdexcept>
#include <string>

// Every failure of the database layer. The message is Windows-1251 text, as all program text.
// `code` is SQLite's extended result code of the failure, 0 when the layer itself refused
// (a value it will not store, a connection that is not open): callers that tell the user why
// a statement failed (the file busy, read-only, full or damaged) read it instead of the text.
class ESQLiteException : public std::runtime_error
{
public:
    explicit ESQLiteException(const std::string& message, int code = 0) : std::runtime_error(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code = 0;
};
