#include "app/WindowSettings.h"

#include "parcels/ParcelGrid.h"

namespace {

const QString kSortColumn = QStringLiteral("grid/sortColumn");
const QString kSortOrder = QStringLiteral("grid/sortOrder");

} // namespace

WindowSettings::WindowSettings()
    : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kurierix"), QStringLiteral("kurierix"))
{
}

void keepGridSort(ParcelGrid& grid)
{
    {
        const WindowSettings settings;
        bool known = false;
        const int column = settings.value(kSortColumn).toInt(&known);
        const bool descending = settings.value(kSortOrder).toString() == QLatin1String("descending");
        if (known)
            grid.sortBy(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    QObject::connect(&grid, &ParcelGrid::sortChanged, &grid, [](int column, Qt::SortOrder order) {
        WindowSettings settings;
        settings.setValue(kSortColumn, column);
        settings.setValue(kSortOrder,
                          order == Qt::DescendingOrder ? QStringLiteral("descending") : QStringLiteral("ascending"));
    });
}
