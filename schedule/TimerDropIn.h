#pragma once

#include "schedule/CheckInterval.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The background timer's interval, kept where the user manager reads the user's own additions to
// a unit: $XDG_CONFIG_HOME/systemd/user/kurierix-check.timer.d/interval.conf (~/.config when the
// variable is unset). The file is the program's own: written whole (a temporary file renamed
// over it, so that the manager never reads half of one), and removed when the interval is the
// timer's own. The timer's other settings, its random delay among them, stay the unit's.
class TimerDropIn
{
public:
    // `configHome` empty: $XDG_CONFIG_HOME, or ~/.config.
    explicit TimerDropIn(QString configHome = {});

    QString path() const;
    // What the file holds for `interval`; nothing for the default, which needs no file.
    static std::optional<QByteArray> content(CheckInterval interval);

    // Writes the file for `interval`, or removes it for the default. False, with a sentence that
    // names the file and the system's words in `failure`, when it could not.
    bool apply(CheckInterval interval, QString* failure) const;
    // The interval the file sets; the default when there is none, or it is none of ours.
    CheckInterval read() const;

private:
    QString m_configHome;
};
