#pragma once

#include <QString>

#include <exception>

class ESQLiteException;

// What a failed statement means to the person at the keyboard. Every window, and any host
// without one, that reports a database failure words it the same way from here.

// One Russian sentence, without a full stop, that says why a statement failed and what to do,
// by SQLite's extended result code: the file busy in another program, read-only, the disk full,
// the file damaged, unreadable or unopenable; a general sentence for any other SQLite failure.
// Empty for 0: the access layer refused by itself, and its own message is all there is to say.
QString databaseErrorCause(int code);

// The cause followed by the access layer's own message in parentheses and a full stop:
// "Файл базы данных занят другой программой: закройте её и попробуйте снова (database is
// locked)." Empty when the error has no cause of its own (code 0).
QString databaseErrorText(const ESQLiteException& error);

// Called inside a catch handler: what a fixed error box adds under its text for the failure being
// handled, databaseErrorText() of a database failure, and nothing for any other.
QString currentDatabaseErrorText();

// The message of any failure as a report shows it: a database failure worded as above, any other
// error, and a database failure without a cause of its own, in its own words (every error of the
// program says what() in UTF-8).
QString reportedMessage(const std::exception& error);
