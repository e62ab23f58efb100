#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Tells the window when another process may have written the database file (a check run without
// a window, another copy of the program): the file changed, its write-ahead log changed, or a
// journal came or went in its folder. A burst of such signals makes one call of `look`, soon
// after; the window's own writes make it too, and the window tells them apart itself.
class DatabaseWatch : public QObject
{
    Q_OBJECT

public:
    DatabaseWatch(const QString& databasePath, std::function<void()> look, QObject* parent = nullptr);

    // One call of `look` once the events now queued are handled.
    void lookSoon();
    // One call of `look` a little later: the window was busy, or the file was locked.
    void lookLater();

private:
    void watchFiles();

    QString m_databasePath;
    std::function<void()> m_look;
    QFileSystemWatcher m_watcher;
    QTimer m_soon;
    QTimer m_later;
};
