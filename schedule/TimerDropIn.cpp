#include "schedule/TimerDropIn.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

TimerDropIn::TimerDropIn(QString configHome) : m_configHome(std::move(configHome))
{
    if (m_configHome.isEmpty())
        m_configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (m_configHome.isEmpty())
        m_configHome = QDir::homePath() + QStringLiteral("/.config");
}

QString TimerDropIn::path() const
{
    return m_configHome + QStringLiteral("/systemd/user/kurierix-check.timer.d/interval.conf");
}

std::optional<QByteArray> TimerDropIn::content(CheckInterval interval)
{
    if (interval == checkintervals::kDefault)
        return std::nullopt;
    // An empty OnCalendar= first: a drop-in's calendar adds to the unit's otherwise.
    return QByteArray("# Курьерикс: как часто проверять посылки в фоне (меню «Проверять в фоне…»).\n"
                      "# Файл пишет программа; для проверки каждые 6 часов она его удаляет.\n"
                      "[Unit]\n"
                      "Description=Курьерикс: проверка посылок ")
           + checkintervals::caption(interval).toUtf8()
           + "\n"
             "\n"
             "[Timer]\n"
             "OnCalendar=\n"
             "OnCalendar="
           + checkintervals::calendar(interval) + "\n";
}

bool TimerDropIn::apply(CheckInterval interval, QString* failure) const
{
    const std::optional<QByteArray> text = content(interval);
    if (!text) {
        QFile file(path());
        if (!file.exists() || file.remove())
            return true;
        *failure = QStringLiteral("Не удалось удалить файл %1 (%2).").arg(path(), file.errorString());
        return false;
    }
    const QString folder = QFileInfo(path()).path();
    if (!QDir().mkpath(folder)) {
        *failure = QStringLiteral("Не удалось создать папку %1.").arg(folder);
        return false;
    }
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly) || file.write(*text) != text->size() || !file.commit()) {
        *failure = QStringLiteral("Не удалось записать файл %1 (%2).").arg(path(), file.errorString());
        return false;
    }
    return true;
}

CheckInterval TimerDropIn::read() const
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return checkintervals::kDefault;
    // The calendar the manager takes from the file is its last one.
    QByteArray calendar;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("OnCalendar="))
            calendar = line.mid(int(qstrlen("OnCalendar="))).trimmed();
    }
    for (const CheckInterval interval : checkintervals::kAll) {
        if (!calendar.isEmpty() && checkintervals::calendar(interval) == calendar)
            return interval;
    }
    return checkintervals::kDefault;
}
