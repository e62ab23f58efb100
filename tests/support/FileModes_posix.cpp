#include "FileModes.h"

#include <QFileInfo>

namespace testsupport {

bool othersMayRead(const QString& path)
{
    return (QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) != 0;
}

} // namespace testsupport
