#pragma once

#include "store/RunHistory.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class QLabel;

// The status bar's line: when the parcels were last checked and what came of it, whoever ran the
// check, and when the next one runs by itself. A failed background run is shown as a fault until
// the next run.
class LastCheckFoot : public QObject
{
    Q_OBJECT

public:
    struct Sources
    {
        std::function<std::optional<RunRecord>()> newestRun; // as the database has it
        std::function<std::optional<QDateTime>()> nextCheck;
        std::function<QDateTime()> now;
    };

    LastCheckFoot(QLabel* text, QLabel* faultMark, Sources sources, QObject* parent = nullptr);

    // Reads the newest run again and shows it: at start, and after every reload of the list.
    void update();
    // A run of this window ended. One whose row could not be written is shown all the same,
    // until the database has a newer one.
    void windowRun(const RunRecord& run, bool stored);
    // Shows again what was read last (the next check, or the day, may have changed).
    void render();

signals:
    // The next check the line names is past: whoever knows it may look again.
    void nextCheckPassed();

private:
    QLabel* m_text;
    QLabel* m_faultMark;
    Sources m_sources;
    std::optional<RunRecord> m_newest;
    std::optional<RunRecord> m_unstored;
    // "сегодня" turns into "вчера" at midnight without anything being written.
    QTimer m_minutes;
};
