#include "tracking/RunLock.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// How often a run looks again when what it found at the lock's path changed under it (another
// run letting go of it, or taking over the same stale file); more than that is another run at
// work, which holds it.
constexpr int kAttempts = 5;

} // namespace

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

RunLock::Taken RunLock::take()
{
    m_holder = 0;
    if (m_fd >= 0) {
        m_holder = QCoreApplication::applicationPid();
        return Taken::HeldByOther;
    }
    m_problem = {};
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (const std::optional<Taken> taken = look(attempt + 1 == kAttempts))
            return *taken;
    }
    // The file changed under every look: other runs are taking it at this moment.
    return Taken::HeldByOther;
}
