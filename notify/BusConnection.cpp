#include "notify/BusConnection.h"

#include <QtEndian>

#include <optional>

namespace {

enum MessageType : quint8 { MethodCall = 1, MethodReturn = 2, Error = 3 };
enum HeaderField : quint8 {
    Path = 1,
    Interface = 2,
    Member = 3,
    ErrorName = 4,
    ReplySerial = 5,
    Destination = 6,
    Signature = 8
};

// A message bigger than this is taken for a broken stream.
constexpr quint32 kMaxMessage = 64 * 1024 * 1024;

// Reads values of a message as its first byte says they are ordered; any value that runs past the
// end makes `ok` false.
class BusReader
{
public:
    BusReader(const QByteArray& data, qsizetype pos, qsizetype end)
        : m_data(data), m_pos(pos), m_end(end), m_little(!data.isEmpty() && data.at(0) == 'l')
    {
    }

    bool ok() const { return m_ok; }
    qsizetype pos() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_end; }

    void align(int boundary) { m_pos = (m_pos + boundary - 1) / boundary * boundary; }
    quint8 byte() { return take(1) ? quint8(m_data.at(m_pos - 1)) : 0; }
    quint32 u32()
    {
        align(4);
        if (!take(4))
            return 0;
        const uchar* at = reinterpret_cast<const uchar*>(m_data.constData() + m_pos - 4);
        return m_little ? qFromLittleEndian<quint32>(at) : qFromBigEndian<quint32>(at);
    }
    QString string()
    {
        const quint32 length = u32();
        return take(qsizetype(length) + 1) ? QString::fromUtf8(m_data.constData() + m_pos - length - 1, length)
                                           : QString();
    }
    QByteArray signature()
    {
        const quint8 length = byte();
        return take(qsizetype(length) + 1) ? m_data.mid(m_pos - length - 1, length) : QByteArray();
    }
    // One value of a basic type: its text for strings, names and signatures, its number for the
    // others; false for a type no header field has.
    std::optional<QString> basic(char type)
    {
        switch (type) {
        case 's':
        case 'o':
            return string();
        case 'g':
            return QString::fromLatin1(signature());
        case 'y':
            return QString::number(byte());
        case 'b':
        case 'u':
        case 'i':
            return QString::number(u32());
        default:
            m_ok = false;
            return std::nullopt;
        }
    }

private:
    bool take(qsizetype count)
    {
        if (!m_ok || count < 0 || m_pos + count > m_end) {
            m_ok = false;
            return false;
        }
        m_pos += count;
        return true;
    }

    const QByteArray& m_data;
    qsizetype m_pos;
    qsizetype m_end;
    bool m_little;
    bool m_ok = true;
};

struct Message
{
    quint8 type = 0;
    quint32 replySerial = 0;
    QString errorName;
    QByteArray signature;
    QByteArray data;
    qsizetype bodyStart = 0;
};

// The whole message at the front of `in`, taken out of it; nothing while it is not all there.
// `broken` is set when the stream cannot be read as messages.
std::optional<Message> takeMessage(QByteArray& in, bool& broken)
{
    if (in.size() < 16)
        return std::nullopt;
    if (in.at(0) != 'l' && in.at(0) != 'B') {
        broken = true;
        return std::nullopt;
    }
    BusReader fixed(in, 4, 16);
    const quint32 bodyLength = fixed.u32();
    fixed.u32(); // serial
    const quint32 fieldsLength = fixed.u32();
    if (bodyLength > kMaxMessage || fieldsLength > kMaxMessage) {
        broken = true;
        return std::nullopt;
    }
    const qsizetype fieldsEnd = 16 + qsizetype(fieldsLength);
    const qsizetype bodyStart = (fieldsEnd + 7) / 8 * 8;
    const qsizetype total = bodyStart + qsizetype(bodyLength);
    if (in.size() < total)
        return std::nullopt;

    Message message;
    message.type = quint8(in.at(1));
    message.data = in.left(total);
    message.bodyStart = bodyStart;
    in.remove(0, total);
    BusReader fields(message.data, 16, fieldsEnd);
    while (fields.ok() && !fields.atEnd()) {
        fields.align(8);
        const quint8 code = fields.byte();
        const QByteArray type = fields.signature();
        const std::optional<QString> value = type.size() == 1 ? fields.basic(type.at(0)) : std::nullopt;
        if (!value) {
            broken = true;
            return std::nullopt;
        }
        if (code == ReplySerial)
            message.replySerial = value->toUInt();
        else if (code == ErrorName)
            message.errorName = *value;
        else if (code == Signature)
            message.signature = value->toLatin1();
    }
    if (!fields.ok())
        broken = true;
    return message;
}

BusConnection::Reply replyOf(const Message& message)
{
    BusConnection::Reply reply;
    BusReader body(message.data, message.bodyStart, message.data.size());
    if (message.type == Error) {
        reply.kind = BusConnection::Reply::Kind::Error;
        reply.errorName = message.errorName;
        if (message.signature.startsWith('s'))
            reply.errorMessage = body.string();
        return reply;
    }
    reply.kind = BusConnection::Reply::Kind::Returned;
    if (message.signature.startsWith("as")) {
        const quint32 length = body.u32();
        body.align(4);
        const qsizetype end = body.pos() + qsizetype(length);
        while (body.ok() && body.pos() < end)
            reply.strings += body.string();
    }
    return reply;
}

// "%41" and the like in an address's values.
QByteArray unescaped(const QString& value)
{
    return QByteArray::fromPercentEncoding(value.toUtf8());
}

} // namespace

void BusWriter::align(int boundary)
{
    while (m_data.size() % boundary != 0)
        m_data.append('\0');
}

void BusWriter::byte(quint8 value)
{
    m_data.append(char(value));
}

void BusWriter::u32(quint32 value)
{
    align(4);
    char bytes[4];
    qToLittleEndian(value, bytes);
    m_data.append(bytes, 4);
}

void BusWriter::string(const QString& value)
{
    QByteArray utf8 = value.toUtf8();
    utf8.replace('\0', QByteArray());
    u32(quint32(utf8.size()));
    m_data.append(utf8);
    m_data.append('\0');
}

void BusWriter::signature(const QByteArray& value)
{
    byte(quint8(value.size()));
    m_data.append(value);
    m_data.append('\0');
}

BusWriter::Array BusWriter::beginArray(int elementAlignment)
{
    u32(0);
    Array array;
    array.lengthAt = m_data.size() - 4;
    align(elementAlignment);
    array.start = m_data.size();
    return array;
}

void BusWriter::endArray(const Array& array)
{
    qToLittleEndian(quint32(m_data.size() - array.start), m_data.data() + array.lengthAt);
}

bool BusConnection::open(const QString& address, QDeadlineTimer deadline, QString* why)
{
    *why = QStringLiteral("no address of a bus this program can reach in \"%1\"").arg(address);
    for (const QString& entry : address.split(u';', Qt::SkipEmptyParts)) {
        if (!entry.startsWith(QStringLiteral("unix:")))
            continue;
        for (const QString& pair : entry.mid(5).split(u',')) {
            const qsizetype equals = pair.indexOf(u'=');
            const QString key = pair.left(equals);
            if (equals < 0 || (key != QStringLiteral("path") && key != QStringLiteral("abstract")))
                continue;
            if (m_socket.connectUnix(unescaped(pair.mid(equals + 1)), key == QStringLiteral("abstract"), deadline, why)
                && authenticate(deadline, why)) {
                const Reply hello =
                    call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("Hello"), {}, {}, deadline);
                if (hello.kind == Reply::Kind::Returned)
                    return true;
                *why = hello.kind == Reply::Kind::Error ? hello.errorName + QStringLiteral(": ") + hello.errorMessage
                                                        : QStringLiteral("the bus did not answer");
                return false;
            }
        }
    }
    return false;
}

bool BusConnection::authenticate(QDeadlineTimer deadline, QString* why)
{
    // The credentials go with the socket: the bus compares them with the user named here.
    const QByteArray hello = QByteArray(1, '\0') + "AUTH EXTERNAL " + BusSocket::userId().toHex() + "\r\n";
    if (!m_socket.write(hello, deadline)) {
        *why = QStringLiteral("the bus closed the connection");
        return false;
    }
    QByteArray line;
    while (!line.contains("\r\n")) {
        if (!m_socket.readSome(line, deadline)) {
            *why = QStringLiteral("the bus did not take this user");
            return false;
        }
    }
    if (!line.startsWith("OK ")) {
        *why = QStringLiteral("the bus did not take this user: ") + QString::fromUtf8(line.trimmed());
        return false;
    }
    m_in = line.mid(line.indexOf("\r\n") + 2);
    return m_socket.write("BEGIN\r\n", deadline);
}

BusConnection::Reply BusConnection::call(const QString& destination, const QString& path, const QString& interface,
                                         const QString& member, const QByteArray& signature, const QByteArray& body,
                                         QDeadlineTimer deadline)
{
    const quint32 serial = ++m_serial;
    BusWriter header;
    header.byte('l');
    header.byte(MethodCall);
    header.byte(0);
    header.byte(1);
    header.u32(quint32(body.size()));
    header.u32(serial);
    const BusWriter::Array fields = header.beginArray(8);
    const auto field = [&header](HeaderField code, char type, const QString& value) {
        header.align(8);
        header.byte(code);
        header.signature(QByteArray(1, type));
        if (type == 'g')
            header.signature(value.toLatin1());
        else
            header.string(value);
    };
    field(Path, 'o', path);
    field(Interface, 's', interface);
    field(Member, 's', member);
    field(Destination, 's', destination);
    if (!signature.isEmpty())
        field(Signature, 'g', QString::fromLatin1(signature));
    header.endArray(fields);
    header.align(8);

    Reply reply;
    bool broken = !m_socket.write(header.data() + body, deadline);
    for (;;) {
        while (const std::optional<Message> message = broken ? std::nullopt : takeMessage(m_in, broken)) {
            // Signals (the bus's NameAcquired) and replies to nothing of ours are passed over.
            if ((message->type == MethodReturn || message->type == Error) && message->replySerial == serial)
                return replyOf(*message);
        }
        if (broken || !m_socket.readSome(m_in, deadline)) {
            if (!deadline.hasExpired()) {
                reply.kind = Reply::Kind::Error;
                reply.errorName = QStringLiteral("org.freedesktop.DBus.Error.Disconnected");
                reply.errorMessage = QStringLiteral("the bus closed the connection");
            }
            return reply;
        }
    }
}
