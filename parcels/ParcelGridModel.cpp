#include "parcels/ParcelGridModel.h"

#include "parcels/NumberCheck.h"

#include <QBrush>
#include <QColor>

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
        const QString typo = numbercheck::typoText(row.texts[2]);
        return typo.isEmpty() ? QVariant() : QVariant(typo);
    }
    case Qt::ForegroundRole:
        return row.greyed ? QVariant(QBrush(QColor(0x80, 0x80, 0x80))) : QVariant();
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

void ParcelGridModel::setRowCount(int count)
{
    const int had = rowCount();
    count = std::max(0, count);
    if (count > had) {
        beginInsertRows(QModelIndex(), had, count - 1);
        m_rows.resize(std::size_t(count));
        endInsertRows();
    } else if (count < had) {
        beginRemoveRows(QModelIndex(), count, had - 1);
        m_rows.resize(std::size_t(count));
        endRemoveRows();
    }
}

void ParcelGridModel::setTexts(std::vector<RowTexts> texts)
{
    // Only the rows whose texts differ are announced: a refresh that changed nothing (or one
    // parcel) leaves the view with nothing (or one row) to draw again.
    const std::size_t rows = std::min(texts.size(), m_rows.size());
    int first = -1;
    int last = -1;
    for (std::size_t r = 0; r < rows; ++r) {
        if (m_rows[r].texts == texts[r])
            continue;
        m_rows[r].texts = std::move(texts[r]);
        if (first < 0)
            first = int(r);
        last = int(r);
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, kColumnCount - 1), {Qt::DisplayRole, Qt::EditRole});
}

QString ParcelGridModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount)
        return {};
    return m_rows[std::size_t(row)].texts[std::size_t(column)];
}

void ParcelGridModel::setBoldFont(const QFont& font)
{
    m_boldFont = font;
}

void ParcelGridModel::setBold(int row, bool bold)
{
    if (row < 0 || row >= rowCount() || m_rows[std::size_t(row)].bold == bold)
        return;
    m_rows[std::size_t(row)].bold = bold;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::FontRole});
}

bool ParcelGridModel::isBold(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[std::size_t(row)].bold;
}

void ParcelGridModel::setGreyed(int row, bool greyed)
{
    if (row < 0 || row >= rowCount() || m_rows[std::size_t(row)].greyed == greyed)
        return;
    m_rows[std::size_t(row)].greyed = greyed;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::ForegroundRole});
}

bool ParcelGridModel::isGreyed(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[std::size_t(row)].greyed;
}
