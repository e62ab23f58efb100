#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

// The stream socket a D-Bus connection runs on, met through the system's calls: a Unix socket
// by path or in the abstract namespace. Every wait ends at the caller's deadline.
class BusSocket
{
public:
    BusSocket() = default;
    ~BusSocket();
    BusSocket(const BusSocket&) = delete;
    BusSocket& operator=(const BusSocket&) = delete;

    // False with `why` (the system's words) when nothing listens there. A socket connected before
    // is closed first.
    bool connectUnix(const QByteArray& name, bool abstract, QDeadlineTimer deadline, QString* why);
    // False when not all of `data` went out before the deadline or the peer went away.
    bool write(const QByteArray& data, QDeadlineTimer deadline);
    // Appends what came in to `into`; false at the deadline, at the end of the stream or on an
    // error.
    bool readSome(QByteArray& into, QDeadlineTimer deadline);
    // The user the bus authenticates us as, in its text form.
    static QByteArray userId();

private:
    int m_fd = -1;
};
