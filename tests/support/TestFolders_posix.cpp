#include "support/TestFolders.h"

#include <QFile>
#include <QTemporaryDir>

void testsupport::useFoldersOfThisRun(const QTemporaryDir& configHome, const QTemporaryDir& cacheHome)
{
    if (configHome.isValid())
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    if (cacheHome.isValid())
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
}
