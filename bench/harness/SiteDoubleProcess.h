#pragma once

#include <QProcess>
#include <QString>

#include <sys/types.h>

// The tracking-site double as a process of its own, so that the CPU time it spends answering
// is not counted as the program's.
class SiteDoubleProcess
{
public:
    SiteDoubleProcess() = default;
    ~SiteDoubleProcess();
    SiteDoubleProcess(const SiteDoubleProcess&) = delete;
    SiteDoubleProcess& operator=(const SiteDoubleProcess&) = delete;

    // Starts `executable` on a free port of 127.0.0.1 with the answers of `fixture`; false,
    // with the reason in `error`, when it does not come up within ten seconds.
    bool start(const QString& executable, const QString& fixture, QString* error);
    void stop();

    // "http://127.0.0.1:<port>/"
    QString url() const { return m_url; }
    // "127.0.0.1:<port>", for the reachability probe.
    QString hostPort() const;
    pid_t pid() const;

private:
    QProcess m_process;
    QString m_url;
};
