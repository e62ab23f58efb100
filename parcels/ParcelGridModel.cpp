#include "parcels/ParcelGridModel.h"

#include "parcels/NumberCheck.h"
#include "parcels/VisibleText.h"
#include "store/Cp1251.h"
#include "store/DaysInTransit.h"

#include <QBrush>
#include <QColor>
#include <QSet>

#include <algorithm>

namespace {

const std::array<QString, ParcelGridModel::kColumnCount>& headerTexts()
{
    static const std::array<QString, ParcelGridModel::kColumnCount> texts = {
        QStringLiteral("id"),     QStringLiteral("в пути"),  QStringLiteral("Номер посылки"),
        QStringLiteral("Статус"), QStringLiteral("Магазин"), QStringLiteral("Что в ней"),
    };
    return texts;
}

constexpr int kNumberColumn = 2;

} // namespace

ParcelGridModel::ParcelGridModel(QObject* parent) : QAbstractTableModel(parent)
{
}

int ParcelGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ParcelGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ParcelGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount)
        return {};
    const Row& row = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.texts[std::size_t(index.column())];
    case Qt::FontRole:
        return row.bold ? QVariant(m_boldFont) : QVariant();
    case Qt::ToolTipRole: {
        // Worked out when asked: only a hovered row asks.
        const QString typo = numbercheck::typoText(row.texts[kNumberColumn]);
        return typo.isEmpty() ? QVariant() : QVariant(typo);
    }
    case Qt::ForegroundRole:
        // An archived parcel's row is drawn in grey.
        return row.parcel.archived ? QVariant(QBrush(QColor(0x80, 0x80, 0x80))) : QVariant();
    case ParcelRole:
        return QVariant::fromValue(row.parcel);
    case IdRole:
        return row.parcel.id ? QVariant(qint64(*row.parcel.id)) : QVariant();
    default:
        return {};
    }
}

QVariant ParcelGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return headerTexts()[std::size_t(section)];
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

Qt::ItemFlags ParcelGridModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

std::exception_ptr ParcelGridModel::setParcels(std::vector<Parcel> parcels, const QDateTime& now, const QLocale& locale)
{
    // A date that cannot be read leaves its one cell empty, as a field the store could not read
    // did: every other cell of every row is still written, so no parcel vanishes from the list
    // and no row is left without its id.
    std::exception_ptr firstFailure;
    std::vector<RowTexts> texts(parcels.size());
    m_longestId.clear();
    for (std::size_t row = 0; row < parcels.size(); ++row) {
        const Parcel& parcel = parcels[row];
        RowTexts& cells = texts[row];
        cells[0] = visibleText(parcel.idText);
        if (cells[0].size() > m_longestId.size())
            m_longestId = cells[0];
        if (!parcel.firstEventDate.isEmpty()) {
            try {
                cells[1] = QString::number(daysInTransit(toCp1251(parcel.firstEventDate), now, locale));
            } catch (...) {
                if (!firstFailure)
                    firstFailure = std::current_exception();
            }
        }
        cells[2] = visibleText(parcel.number);
        cells[3] = visibleText(parcel.status);
        cells[4] = visibleText(parcel.shop);
        cells[5] = visibleText(parcel.title);
    }

    // A face goes with its parcel, wherever the parcel's row goes.
    QSet<std::int64_t> boldIds;
    for (const Row& row : m_rows) {
        if (row.bold && row.parcel.id)
            boldIds.insert(*row.parcel.id);
    }
    const auto boldFor = [&boldIds](const Parcel& parcel) { return parcel.id && boldIds.contains(*parcel.id); };

    const std::size_t had = m_rows.size();
    const std::size_t count = parcels.size();
    if (count < had) {
        beginRemoveRows(QModelIndex(), int(count), int(had) - 1);
        m_rows.resize(count);
        endRemoveRows();
    }
    // Only the kept rows whose parcel differs are announced: a refresh that changed nothing (or
    // one parcel) leaves the view with nothing (or one row) to draw again.
    const std::size_t kept = std::min(had, count);
    int first = -1;
    int last = -1;
    for (std::size_t r = 0; r < kept; ++r) {
        Row& row = m_rows[r];
        const bool bold = boldFor(parcels[r]);
        if (row.bold == bold && row.parcel == parcels[r] && row.texts == texts[r])
            continue;
        row.bold = bold;
        row.parcel = std::move(parcels[r]);
        row.texts = std::move(texts[r]);
        if (first < 0)
            first = int(r);
        last = int(r);
    }
    if (count > had) {
        beginInsertRows(QModelIndex(), int(had), int(count) - 1);
        m_rows.reserve(count);
        for (std::size_t r = had; r < count; ++r) {
            const bool bold = boldFor(parcels[r]);
            m_rows.push_back(Row{std::move(parcels[r]), std::move(texts[r]), bold});
        }
        endInsertRows();
    }
    m_rowOfId.clear();
    m_rowOfId.reserve(qsizetype(count));
    for (std::size_t r = 0; r < count; ++r) {
        if (const auto& id = m_rows[r].parcel.id)
            m_rowOfId.insert(*id, int(r));
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, kColumnCount - 1),
                         {Qt::DisplayRole, Qt::EditRole, Qt::FontRole, Qt::ForegroundRole, ParcelRole, IdRole});
    return firstFailure;
}

QModelIndex ParcelGridModel::indexOf(std::int64_t id) const
{
    const auto found = m_rowOfId.constFind(id);
    return found == m_rowOfId.constEnd() ? QModelIndex() : index(*found, 0);
}

void ParcelGridModel::setBoldFont(const QFont& font)
{
    m_boldFont = font;
}

void ParcelGridModel::setRowBold(int row, bool bold)
{
    if (row < 0 || row >= rowCount() || m_rows[std::size_t(row)].bold == bold)
        return;
    m_rows[std::size_t(row)].bold = bold;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::FontRole});
}

void ParcelGridModel::setBold(std::int64_t id, bool bold)
{
    setRowBold(indexOf(id).row(), bold);
}

bool ParcelGridModel::isBold(std::int64_t id) const
{
    const QModelIndex at = indexOf(id);
    return at.isValid() && m_rows[std::size_t(at.row())].bold;
}

void ParcelGridModel::setBoldWhere(const std::function<bool(const Parcel&)>& bold)
{
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        setRowBold(int(row), bold(m_rows[row].parcel));
}
