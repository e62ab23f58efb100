#include "tracking/RunLock.h"

#include <QFileInfo>

RunLock::RunLock(const std::string& databasePath) : m_path(pathFor(databasePath))
{
}

RunLock::~RunLock()
{
    release();
}

QString RunLock::pathFor(const std::string& databasePath)
{
    return QFileInfo(QString::fromStdString(databasePath)).absoluteFilePath() + QStringLiteral(".kurierix-lock");
}
