#include "FaultFiles.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>

namespace faultfiles {

FileState stateOf(const QString& path)
{
    FileState state;
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return state;
    state.exists = true;
    state.size = info.st_size;
    state.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        state.bytes = file.readAll();
    return state;
}

QStringList entriesOf(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::string integrityCheck(const QString& path)
{
    sqlite3* db = nullptr;
    std::string answer;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        answer = std::string("open: ") + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return answer;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK) {
        answer = std::string("prepare: ") + sqlite3_errmsg(db);
    } else if (sqlite3_step(statement) == SQLITE_ROW) {
        answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    } else {
        answer = std::string("step: ") + sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return answer;
}

bool copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace faultfiles
