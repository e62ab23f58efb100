#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Answers the program could not read, each kept whole in a file of its own, so that a user can
// send one to whoever maintains the program when the operator changes its answers. The folder
// keeps the newest kKept; the program never reads them back.
class UnreadableCopies
{
public:
    struct Copy
    {
        QString number;  // as the row holds it
        QString road;    // "service" or "page"
        QString address; // what was asked
        int httpStatus = 0;
        QString why; // what could not be read
        QByteArray received;
        QDateTime at;
    };

    static constexpr int kKept = 20;

    // $XDG_CACHE_HOME/kurierix/unreadable (~/.cache/kurierix/unreadable without it); on Windows
    // %LOCALAPPDATA%\kurierix\unreadable.
    static QString defaultFolder();

    explicit UnreadableCopies(QString folder = defaultFolder());
    const QString& folder() const { return m_folder; }

    // Writes `copy` as one new file (the folder and the file readable by the user alone) and
    // removes the oldest beyond kKept. The file's path; empty, with `error` set, when it could
    // not be written.
    QString save(const Copy& copy, QString* error = nullptr) const;

    // The file's whole content: a header of "name: value" lines, an empty line, then the answer
    // byte for byte as received.
    static QByteArray content(const Copy& copy);

private:
    void prune() const;

    QString m_folder;
};
