#include "tracking/UnreadableCopies.h"

#include <QStandardPaths>

QString UnreadableCopies::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
           + QStringLiteral("/kurierix/unreadable");
}
