#pragma once

#include <QString>

#include <stdexcept>

// Every failure of the database layer. The message is text for a person (what() gives it in
// UTF-8, as every error of the program does). `code` is SQLite's extended result code of the
// failure, 0 when the layer itself refused (a value it will not store, a connection that is not
// open): callers that tell the user why a statement failed (the file busy, read-only, full or
// damaged) read it instead of the text.
class ESQLiteException : public std::runtime_error
{
public:
    explicit ESQLiteException(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code)
    {
    }
    const QString& message() const { return m_message; }
    int code() const { return m_code; }

private:
    QString m_message;
    int m_code = 0;
};
