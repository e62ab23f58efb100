#pragma once

class QTemporaryDir;

namespace testsupport {

// What the window remembers and what a run keeps go to folders of this test run, never to the
// settings or the cache of whoever runs the tests: on POSIX systems the XDG folders, for the
// programs a test starts too; on Windows, whose folders Qt asks of the system, Qt's test folders
// for this process.
void useFoldersOfThisRun(const QTemporaryDir& configHome, const QTemporaryDir& cacheHome);

} // namespace testsupport
