#include "tracking/ModuleLoader.h"

#include <QFile>
#include <QFileInfo>

QString programFolder()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}
