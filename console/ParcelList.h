#pragma once

#include "store/RunHistory.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>
#include <stdexcept>
#include <string>

// The parcels of a database file as text for a terminal or a spreadsheet: the grid's six
// columns, days in transit counted as the grid counts them, and whether a parcel is archived.
class ParcelList
{
public:
    struct Row
    {
        QString id;
        QString days; // empty without a first-event date, or when the date cannot be read
        QString track;
        QString status; // as stored: it may span lines and carry the page's tags
        QString shop;
        QString title;
        bool archived = false;
    };

    // Widest cell of each cut column in the terminal table, in characters; "…" ends a cut cell.
    static constexpr int kTrackWidth = 20;
    static constexpr int kStatusWidth = 40;
    static constexpr int kShopWidth = 16;
    static constexpr int kTitleWidth = 24;

    // A file that cannot be listed for a reason of the program's own: missing, or without `tracks`.
    class Unreadable : public std::runtime_error
    {
    public:
        explicit Unreadable(const QString& reason) : std::runtime_error(reason.toStdString()), m_reason(reason) {}
        // Why, in the program's language.
        const QString& reason() const { return m_reason; }

    private:
        QString m_reason;
    };

    // Every parcel of `fileName`, in ascending id. The file is opened read-only: it is never
    // created and never written. Raises Unreadable when the file is missing or has no table
    // `tracks`, ESQLiteException (SQLite's own words) when it is no database or cannot be read.
    // `newestRun`, when given, receives the check run recorded last, if any.
    static QList<Row> read(const std::string& fileName, const QDateTime& now, const QLocale& locale,
                           std::optional<RunRecord>* newestRun = nullptr);

    // A header line and a line per parcel, columns aligned for a terminal, each cell on one line;
    // when any parcel is archived, a last column "в архиве" says "да" for each of them.
    static QString table(const QList<Row>& rows);
    // RFC 4180: a header record and a record per parcel, CR LF after each, full texts, the status
    // on one line without markup. A text that a spreadsheet would take for a formula (it begins
    // with "=", "+", "-", "@", a tab or a CR) begins with "'" in its cell. The last column,
    // "в архиве", says "да" for an archived parcel and is empty for the others.
    static QString csv(const QList<Row>& rows);
};
