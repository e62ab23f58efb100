#pragma once

// What the fault cases look at on disk: whether a file was altered, and whether a database
// file is still sound, read through SQLite directly rather than through the program's store.
#include <QByteArray>
#include <QString>

#include <string>

namespace faultfiles {

// Everything of a file that the program could have altered.
struct FileState
{
    bool exists = false;
    QByteArray bytes;
    qint64 modifiedNs = 0;
    qint64 size = -1;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const QString& path);

// The names in the directory other than "." and "..", sorted.
QStringList entriesOf(const QString& directory);

// The first line of "PRAGMA integrity_check" ("ok" for a sound file), or SQLite's error.
std::string integrityCheck(const QString& path);

bool copyFile(const QString& from, const QString& to);

} // namespace faultfiles
