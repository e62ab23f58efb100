#include "parcels/ParcelSortFilter.h"

#include <QLocale>

#include <array>

namespace {

// The id and the days in transit are numbers; an empty days cell (no event yet) comes first.
constexpr int kIdColumn = 0;
constexpr int kDaysColumn = 1;
// Number, status, shop and what it holds: what the find field looks in.
constexpr std::array<int, 4> kFoundColumns = {2, 3, 4, 5};

} // namespace

ParcelSortFilter::ParcelSortFilter(QObject* parent)
    : QSortFilterProxyModel(parent), m_collator(QLocale(QLocale::Russian, QLocale::Russia))
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
    setDynamicSortFilter(true);
}

void ParcelSortFilter::setFindText(const QString& text)
{
    if (text == m_findText)
        return;
    m_findText = text;
    invalidateRowsFilter();
}

int ParcelSortFilter::compare(const QString& a, const QString& b, int column) const
{
    if (column == kIdColumn || column == kDaysColumn) {
        bool aNumber = false;
        bool bNumber = false;
        const qlonglong x = a.toLongLong(&aNumber);
        const qlonglong y = b.toLongLong(&bNumber);
        if (aNumber != bNumber)
            return aNumber ? 1 : -1;
        if (aNumber)
            return x < y ? -1 : (x > y ? 1 : 0);
    }
    return m_collator.compare(a, b);
}

bool ParcelSortFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int order = compare(left.data().toString(), right.data().toString(), left.column());
    // Rows that compare equal stay in the store's order, however they came into the grid.
    return order != 0 ? order < 0 : left.row() < right.row();
}

bool ParcelSortFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_findText.isEmpty())
        return true;
    for (const int column : kFoundColumns) {
        const QString text = sourceModel()->index(sourceRow, column, sourceParent).data().toString();
        if (text.contains(m_findText, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
