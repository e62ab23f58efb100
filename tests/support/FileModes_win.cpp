#include "FileModes.h"

namespace testsupport {

// Not asked: the modes Qt reports here are made up from the read-only attribute.
bool othersMayRead(const QString&)
{
    return false;
}

} // namespace testsupport
