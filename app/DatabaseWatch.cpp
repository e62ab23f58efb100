#include "app/DatabaseWatch.h"

#include <QFileInfo>

#include <utility>

namespace {

// Signals of one commit come within milliseconds of each other.
constexpr int kSettleMs = 50;
// Long enough for another process to finish a commit, short enough to feel immediate.
constexpr int kRetryMs = 500;

} // namespace

DatabaseWatch::DatabaseWatch(const QString& databasePath, std::function<void()> look, QObject* parent)
    : QObject(parent), m_databasePath(QFileInfo(databasePath).absoluteFilePath()), m_look(std::move(look))
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(kSettleMs);
    m_later.setSingleShot(true);
    m_later.setInterval(kRetryMs);
    // Named like the window's controls: while it runs, the window has looked and waits to look again.
    m_later.setParent(this);
    m_later.setObjectName(QStringLiteral("databaseLookLater"));
    connect(&m_soon, &QTimer::timeout, this, [this] { m_look(); });
    connect(&m_later, &QTimer::timeout, this, [this] { m_look(); });

    const auto changed = [this] {
        watchFiles();
        lookSoon();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    m_watcher.addPath(QFileInfo(m_databasePath).absolutePath());
    watchFiles();
}

void DatabaseWatch::lookSoon()
{
    if (!m_soon.isActive())
        m_soon.start();
}

void DatabaseWatch::lookLater()
{
    if (!m_later.isActive())
        m_later.start();
}

void DatabaseWatch::watchFiles()
{
    // A watch ends with the file it watched (the log is removed when the last connection closes),
    // so each signal watches again what is there now.
    const QStringList watched = m_watcher.files();
    for (const QString& path : {m_databasePath, m_databasePath + QStringLiteral("-wal")}) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_watcher.addPath(path);
    }
}
