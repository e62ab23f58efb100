#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// How the background check's timer stands, as the user's service manager told it (or that no
// manager could be asked).
struct TimerState
{
    enum class Reach {
        Ready,        // the manager answers and the timer's unit file is installed
        NoManager,    // no bus, or no user manager on it; no such manager at all on Windows
        NotInstalled, // the manager knows no kurierix-check.timer
        Failed,       // the manager answered with an error of another kind: `failure` says it
    };

    Reach reach = Reach::NoManager;
    bool on = false; // enabled, or running
    std::optional<QDateTime> nextElapse;
    QString failure; // a sentence, the manager's own words in parentheses
};
