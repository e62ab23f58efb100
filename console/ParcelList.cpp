#include "console/ParcelList.h"

#include "readings/DaysInTransit.h"
#include "readings/PlainLine.h"
#include "store/ParcelStore.h"
#include "tracking/CommandLineWords.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

// The grid's header texts, in its column order.
const std::array<QString, 6> kHeaders = {
    QStringLiteral("id"),     QStringLiteral("в пути"),  QStringLiteral("Номер посылки"),
    QStringLiteral("Статус"), QStringLiteral("Магазин"), QStringLiteral("Что в ней")};

// The column that marks archived parcels, and its mark.
const QString kArchivedHeader = QStringLiteral("в архиве");
const QString kArchivedMark = QStringLiteral("да");

// The columns before it (id, days in transit) are the program's numbers, the rest texts.
constexpr std::size_t kFirstTextColumn = 2;

// Both forms show the status on one line without the page's markup: a spreadsheet cell full of
// tags and line breaks is harder to read, and nothing of the status's words is lost.
std::array<QString, 6> fields(const ParcelList::Row& row)
{
    return {row.id, row.days, row.track, plainLine(row.status), row.shop, row.title};
}

// One line that a terminal shows as it is: line breaks and runs of blanks become one blank, and
// control characters (an escape sequence in a foreign file, say) become "?".
QString terminalCell(const QString& text)
{
    QString cell = text.simplified();
    for (QChar& c : cell) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return cell;
}

// Every character the cells can hold came from Windows-1251, whose characters all take one
// terminal column: the width of a cell is its length.
QString cut(const QString& cell, qsizetype width)
{
    if (cell.size() <= width)
        return cell;
    return cell.left(width - 1) + QChar(0x2026);
}

// A cell that a spreadsheet would read as a formula, and run: "=HYPERLINK(…)" from a shop's name,
// "=cmd|…" from a status the site sent. A leading "'" makes the spreadsheet show the text as it
// is, as OWASP advises for CSV files. The program's own numbers (id, days in transit) never get
// it: they are no one's text, and a quote would make a number text to the spreadsheet.
QString neutralised(const QString& text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        return u'\'' + text;
    return text;
}

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QList<ParcelList::Row> ParcelList::read(const std::string& fileName, const QDateTime& now, const QLocale& locale,
                                        std::optional<RunRecord>* newestRun)
{
    ParcelStore store;
    switch (store.open(fileName, ParcelStore::Role::List)) {
    case ParcelStore::OpenResult::Missing:
        throw Unreadable(checkwords::missingFileReason());
    case ParcelStore::OpenResult::NoTracks:
        throw Unreadable(checkwords::noTracksReason());
    case ParcelStore::OpenResult::Opened:
        break;
    default:
        throw ESQLiteException(store.lastOpenError());
    }

    QString fieldFailure;
    const std::vector<Parcel> parcels = store.parcels(&fieldFailure);
    // A listing is all or nothing: a table without one of the grid's columns is no list of parcels.
    if (!fieldFailure.isEmpty())
        throw ESQLiteException(fieldFailure);
    QList<Row> rows;
    rows.reserve(static_cast<qsizetype>(parcels.size()));
    for (const Parcel& parcel : parcels) {
        Row row;
        row.id = parcel.idText;
        if (!parcel.firstEventDate.isEmpty()) {
            try {
                row.days = QString::number(daysInTransit(parcel.firstEventDate, now, locale));
            } catch (const std::runtime_error&) {
                // An unreadable date costs its own cell only, as in the grid.
            }
        }
        row.track = parcel.number;
        row.status = parcel.status;
        row.shop = parcel.shop;
        row.title = parcel.title;
        row.archived = parcel.archived;
        rows += row;
    }
    if (newestRun)
        *newestRun = store.newestRun();
    return rows;
}

QString ParcelList::table(const QList<Row>& rows)
{
    // Columns without a cap (id, days) are as wide as their widest cell.
    constexpr std::array<qsizetype, 6> caps = {-1, -1, kTrackWidth, kStatusWidth, kShopWidth, kTitleWidth};
    constexpr std::array<bool, 6> rightAligned = {true, true, false, false, false, false};

    // A list without archived parcels looks as it always did.
    const bool anyArchived = std::any_of(rows.begin(), rows.end(), [](const Row& row) { return row.archived; });
    QList<std::array<QString, 7>> lines;
    lines.reserve(rows.size() + 1);
    lines += std::array<QString, 7>{kHeaders[0],
                                    kHeaders[1],
                                    kHeaders[2],
                                    kHeaders[3],
                                    kHeaders[4],
                                    kHeaders[5],
                                    anyArchived ? kArchivedHeader : QString()};
    for (const Row& row : rows) {
        const std::array<QString, 6> texts = fields(row);
        std::array<QString, 7> line;
        for (std::size_t c = 0; c < texts.size(); ++c)
            line[c] = caps[c] < 0 ? terminalCell(texts[c]) : cut(terminalCell(texts[c]), caps[c]);
        line[6] = row.archived ? kArchivedMark : QString();
        lines += line;
    }

    std::array<qsizetype, 7> widths{};
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size());
    }

    QString text;
    for (const auto& line : lines) {
        QString out;
        for (std::size_t c = 0; c < (anyArchived ? line.size() : line.size() - 1); ++c) {
            if (c > 0)
                out += QStringLiteral("  ");
            out += c < rightAligned.size() && rightAligned[c] ? line[c].rightJustified(widths[c])
                                                              : line[c].leftJustified(widths[c]);
        }
        // No blanks after the last column's text.
        while (out.endsWith(u' '))
            out.chop(1);
        text += out + u'\n';
    }
    return text;
}

QString ParcelList::csv(const QList<Row>& rows)
{
    QString text;
    const auto record = [&text](const std::array<QString, 6>& values, const QString& archived) {
        for (std::size_t c = 0; c < values.size(); ++c) {
            if (c > 0)
                text += u',';
            text += csvField(values[c]);
        }
        text += u',' + archived + QStringLiteral("\r\n");
    };
    record(kHeaders, kArchivedHeader);
    for (const Row& row : rows) {
        std::array<QString, 6> values = fields(row);
        for (std::size_t c = kFirstTextColumn; c < values.size(); ++c)
            values[c] = neutralised(values[c]);
        record(values, row.archived ? kArchivedMark : QString());
    }
    return text;
}
