#pragma once

#include <QString>

namespace testsupport {

// Whether the file's mode lets its group or other users read it (FileModes_posix.cpp). Windows
// keeps a user's files from others through the access lists its profile folders pass on, not
// through modes, and Qt shows them as readable by all there: FileModes_win.cpp says no.
bool othersMayRead(const QString& path);

} // namespace testsupport
