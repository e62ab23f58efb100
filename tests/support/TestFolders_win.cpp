#include "support/TestFolders.h"

#include <QStandardPaths>
#include <QTemporaryDir>

void testsupport::useFoldersOfThisRun(const QTemporaryDir&, const QTemporaryDir&)
{
    // Windows' folders come from the user's profile, not from the environment: a program a test
    // starts uses those of the user the tests run as (under Wine, the prefix's).
    QStandardPaths::setTestModeEnabled(true);
}
