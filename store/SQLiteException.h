#pragma once

#include <stdexcept>
#include <string>

// Every failure of the database layer. The message is Windows-1251 text, as all program text.
class ESQLiteException : public std::runtime_error
{
public:
    explicit ESQLiteException(const std::string& message) : std::runtime_error(message) {}
};
