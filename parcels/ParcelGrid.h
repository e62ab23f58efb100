#pragma once

#include "parcels/ParcelGridModel.h"
#include "store/Parcel.h"

#include <QDateTime>
#include <QLocale>
#include <QFont>
#include <QTableView>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The parcel grid: six columns under a fixed title row, one row per parcel. Row numbers in this
// interface count the title row as row 0, so parcel rows are 1..parcelRowCount(); the title row
// is the table's horizontal header, which never scrolls, is never selected and is shown even
// when there are no parcels.
//
// At least one whole parcel row is selected whenever there are parcel rows; Ctrl and Shift with
// a click or the arrow keys select more, and the commands on one parcel act on the current row
// among them. A left click, the
// keyboard and the mouse wheel (one row per step) move the selection and raise gridClicked();
// so does a right click on another row, before the context menu asks for menuRequested(). A
// right click on the title row, the scroll bar or below the rows leaves the selection alone. A
// cell whose text is cut at its edge shows the whole text as its tooltip; a NUL byte in a text
// shows as "␀".
//
// A click on a column title sorts the rows by it (again: the other way round); until then they
// come in the store's order. The find field over the bottom of the grid hides the rows that do
// not hold its text. Row numbers here are the rows as shown, in that order and without the
// hidden ones.
//
// The texts are held by a model of the grid's own, one row of six texts per parcel, filled in
// one pass: a grid of items (one object per cell, each announced to the view as it is set) made
// the refresh at start-up several times slower.
class FindBar;
class ParcelSortFilter;

class ParcelGrid : public QTableView
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = ParcelGridModel::kColumnCount;

    explicit ParcelGrid(QWidget* parent = nullptr);

    // Rewrites the grid from `parcels`, one parcel row each, the days in transit counted from
    // `now`, and keeps the parcels for parcelAt(). The selected parcels stay selected by their
    // ids as far as they are still shown, and the current one current; only when the current
    // parcel is no longer shown does the selection keep the row position (the last row when that
    // position is gone; the first row when the grid had no rows). A date that cannot be read
    // leaves its cell empty and the rest is written all the same; once the grid is complete,
    // `fieldFailure` (a field the store could not read and left empty), or else the first date's
    // failure, is thrown.
    void fill(std::vector<Parcel> parcels, const QDateTime& now, const QLocale& locale,
              const std::string& fieldFailure = {});

    int parcelRowCount() const;
    // The current row among the selected ones (1..parcelRowCount()), or 0 when no parcel row is
    // selected.
    int selectedRow() const;
    void setSelectedRow(int row);
    // Scrolls parcel row `row` into view without moving the selection.
    void scrollToRow(int row);
    // The parcel shown in parcel row `row` (1..parcelRowCount()), or nullptr.
    const Parcel* parcelAt(int row) const;
    // The parcels of every selected row, top to bottom.
    std::vector<const Parcel*> selectedParcels() const;
    // The parcel of the selected row; nullptr when no parcel row is selected.
    const Parcel* selectedParcel() const { return parcelAt(selectedRow()); }
    // The parcel row that shows the parcel with that id; 0 when none does.
    int rowOf(std::int64_t id) const;
    // Selects the rows of the parcels with these ids that are shown, the first of them current;
    // false (the selection unchanged) when none is shown.
    bool selectParcels(const std::vector<std::int64_t>& ids);
    // The row of the parcel with that id, the find field cleared and hidden first when it is what
    // hides the parcel; 0 when the grid does not hold the parcel.
    int reveal(std::int64_t id);
    // The text of one cell; row 0 is the title row.
    QString cellText(int row, int column) const;
    // Parcel row `row` in the bold face of the grid's font, or back in the regular one. Only the
    // face changes: columns, row height and texts stay. A refresh keeps a row's face.
    void setRowBold(int row, bool bold);
    bool isRowBold(int row) const;
    // Every parcel, shown or hidden by the find field, in bold where `bold` says so.
    void setBoldWhere(const std::function<bool(const Parcel&)>& bold);

    // The column the rows are sorted by (-1: none, the store's order), and which way.
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    // Sorts by `column` (-1: back to the store's order), shown by an arrow in its title.
    void sortBy(int column, Qt::SortOrder order);
    // Shows the find field with the cursor in it; nothing while the grid is disabled.
    void showFind();
    // The column widths as the user left them, for the grid at its designed width (685 px): a
    // wider grid gives the extra width to "Статус", and an id column too narrow for the longest
    // id shown is widened at the cost of "Статус". Widths outside 16..2000 px are brought within.
    std::vector<int> columnWidths() const { return {m_baseWidths.begin(), m_baseWidths.end()}; }
    void setColumnWidths(const std::vector<int>& widths);
    FindBar* findBar() const { return m_find; }

signals:
    void gridClicked();
    // A right click (or the menu key) on the rows, the title row or the scroll bar, at `globalPosition`.
    void menuRequested(const QPoint& globalPosition);
    // The user sorted by another column, or reversed the order, by clicking a title.
    void sortChanged(int column, Qt::SortOrder order);
    // The find field replaced the selected parcel by another one, or by none when it hides every
    // row. The user did not choose it.
    void shownParcelReplaced();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void keyboardSearch(const QString& search) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Selects table row `tableRow` (the title row not counted) as the current row.
    void selectTableRow(int tableRow, int column = 0);
    // The model's row of parcel row `row` as shown; -1 when there is none.
    int sourceRow(int row) const;
    void sortByTitle(int column);
    void find(const QString& text);
    void placeFindBar();
    void layoutColumns();
    void columnDragged(int column, int width);

    ParcelGridModel* m_model = nullptr;
    ParcelSortFilter* m_view = nullptr;
    FindBar* m_find = nullptr;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<Parcel> m_parcels;
    int m_wheelRemainder = 0;
    QFont m_boldFont;
    std::array<int, kColumnCount> m_baseWidths{};
    // The width the longest id shown needs; 0 without rows.
    int m_idWidth = 0;
    bool m_layingOut = false;
};
