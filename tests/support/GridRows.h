#pragma once

// The parcel grid's rows as the user sees them, counted as the window's design counts them:
// row 0 is the title row, rows 1 to n the parcels shown, top to bottom. Read and set through
// the grid's own model and selection, as a view would.
#include "parcels/ParcelGrid.h"

#include <QFont>
#include <QItemSelectionModel>

// The text of one cell; row 0 is the title row.
inline QString cellText(const ParcelGrid& grid, int row, int column)
{
    if (row == 0)
        return grid.model()->headerData(column, Qt::Horizontal).toString();
    return grid.model()->index(row - 1, column).data().toString();
}

// The current row among the selected ones (1..parcelRowCount()), or 0 when no parcel row is
// selected.
inline int selectedRow(const ParcelGrid& grid)
{
    const QModelIndex current = grid.currentIndex();
    if (current.isValid() && grid.selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return current.row() + 1;
    const QModelIndexList rows = grid.selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

// Selects parcel row `row` alone, as the current row; nothing for a row that is not there.
inline void setSelectedRow(ParcelGrid& grid, int row)
{
    if (row < 1 || row > grid.parcelRowCount())
        return;
    grid.selectionModel()->setCurrentIndex(grid.model()->index(row - 1, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Whether parcel row `row` is drawn in the bold face.
inline bool isRowBold(const ParcelGrid& grid, int row)
{
    const QVariant font = grid.model()->index(row - 1, 0).data(Qt::FontRole);
    return font.isValid() && font.value<QFont>().bold();
}
