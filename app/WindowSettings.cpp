#include "app/WindowSettings.h"

#include "parcels/ParcelGrid.h"

#include <QStringList>

#include <vector>

namespace {

const QString kSortColumn = QStringLiteral("grid/sortColumn");
const QString kSortOrder = QStringLiteral("grid/sortOrder");
const QString kColumnWidths = QStringLiteral("grid/columnWidths");

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

void keepColumnWidths(ParcelGrid& grid)
{
    // Six whole numbers, or nothing taken: a file edited by hand must not leave a column out.
    const QStringList kept = WindowSettings().value(kColumnWidths).toStringList();
    std::vector<int> widths;
    for (const QString& text : kept) {
        bool number = false;
        widths.push_back(text.toInt(&number));
        if (!number)
            return;
    }
    grid.setColumnWidths(widths);
}

void saveColumnWidths(const ParcelGrid& grid)
{
    QStringList widths;
    for (const int width : grid.columnWidths())
        widths += QString::number(width);
    WindowSettings().setValue(kColumnWidths, widths);
}
