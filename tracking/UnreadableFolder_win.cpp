#include "tracking/UnreadableCopies.h"

#include <QStandardPaths>

QString UnreadableCopies::defaultFolder()
{
    // The program's folder among the user's local application data (%LOCALAPPDATA%\kurierix),
    // which Windows keeps out of a roaming profile.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/kurierix/unreadable");
}
