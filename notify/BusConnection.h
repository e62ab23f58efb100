#pragma once

#include "notify/BusSocket.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

// Builds the body of a D-Bus message: each value aligned as the protocol wants it (the body
// starts on an 8-byte boundary, so alignment counts from its start), little-endian.
class BusWriter
{
public:
    struct Array
    {
        qsizetype lengthAt = 0;
        qsizetype start = 0;
    };

    void align(int boundary);
    void byte(quint8 value);
    void u32(quint32 value);
    void i32(qint32 value) { u32(quint32(value)); }
    // UTF-8 with its length; a NUL, which the protocol does not carry, is left out.
    void string(const QString& value);
    void signature(const QByteArray& value);
    // An array of elements aligned to `elementAlignment`, its length set by endArray.
    Array beginArray(int elementAlignment);
    void endArray(const Array& array);

    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

// A connection to a D-Bus message bus, spoken by the program itself over the bus's Unix socket:
// enough of the protocol to call a method and read its reply, without a D-Bus library (whose
// libraries would weigh more than the whole check's own code).
class BusConnection
{
public:
    struct Reply
    {
        enum class Kind {
            Returned, // `strings`: the first argument, when it is an array of strings
            Error,    // `errorName` and `errorMessage` (may be empty)
            NoReply,  // nothing within the deadline
        };
        Kind kind = Kind::NoReply;
        QString errorName;
        QString errorMessage;
        QStringList strings;
    };

    // Connects to the first of the addresses in `address` ("unix:path=…" or "unix:abstract=…",
    // separated by ';') that listens, authenticates as this user and says hello to the bus. False
    // with `why` (in the words of the system or of the bus) when there is no bus.
    bool open(const QString& address, QDeadlineTimer deadline, QString* why);

    // Calls `member` and waits for its reply; `body` is made with BusWriter after `signature`.
    Reply call(const QString& destination, const QString& path, const QString& interface, const QString& member,
               const QByteArray& signature, const QByteArray& body, QDeadlineTimer deadline);

private:
    bool authenticate(QDeadlineTimer deadline, QString* why);

    BusSocket m_socket;
    quint32 m_serial = 0;
    QByteArray m_in;
};
