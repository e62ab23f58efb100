#include "store/DatabaseErrorText.h"

#include "store/SQLiteException.h"

#include <sqlite3.h>

QString databaseErrorCause(int code)
{
    if (code == SQLITE_OK)
        return {};
    // The extended codes (SQLITE_BUSY_SNAPSHOT, SQLITE_READONLY_DIRECTORY, SQLITE_IOERR_WRITE...)
    // carry their primary code in the low byte.
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Файл базы данных занят другой программой: закройте её и попробуйте снова");
    case SQLITE_READONLY:
        return QStringLiteral("Файл базы данных открыт только для чтения: разрешите запись в него и в его папку и "
                              "попробуйте снова");
    case SQLITE_FULL:
        return QStringLiteral("На диске не хватает места для базы данных: освободите место и попробуйте снова");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("Файл базы данных повреждён: восстановите его из резервной копии");
    case SQLITE_IOERR:
        return QStringLiteral("Не удалось прочитать или записать файл базы данных: проверьте диск и попробуйте снова");
    case SQLITE_CANTOPEN:
        return QStringLiteral("Не удалось открыть файл базы данных или его журнал: проверьте, что файл и его папка "
                              "на месте и доступны для записи");
    default:
        return QStringLiteral("Не удалось выполнить действие с базой данных");
    }
}

QString databaseErrorText(const ESQLiteException& error)
{
    const QString cause = databaseErrorCause(error.code());
    if (cause.isEmpty())
        return {};
    return cause + QStringLiteral(" (") + error.message() + QStringLiteral(").");
}

QString reportedMessage(const std::exception& error)
{
    const auto* databaseError = dynamic_cast<const ESQLiteException*>(&error);
    const QString text = databaseError ? databaseErrorText(*databaseError) : QString();
    return text.isEmpty() ? QString::fromUtf8(error.what()) : text;
}

QString currentDatabaseErrorText()
{
    try {
        throw;
    } catch (const ESQLiteException& error) {
        return databaseErrorText(error);
    } catch (...) {
        return {};
    }
}
