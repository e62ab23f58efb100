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
#include <optional>
#include <string>
#include <vector>

// The parcel grid: six columns under a fixed title row, one row per parcel. The title row is the
// table's horizontal header, which never scrolls, is never selected and is shown even when there
// are no parcels. Parcels are named by their ids here; the model holds them.
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
// not hold its text.
class FindBar;
class ParcelSortFilter;

class ParcelGrid : public QTableView
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = ParcelGridModel::kColumnCount;

    explicit ParcelGrid(QWidget* parent = nullptr);

    // Rewrites the grid from `parcels`, one parcel row each, the days in transit counted from
    // `now`. The selected parcels stay selected by their ids as far as they are still shown, and
    // the current one current; only when the current parcel is no longer shown does the
    // selection keep the row position (the last row when that position is gone; the first row
    // when the grid had no rows). A date that cannot be read leaves its cell empty and the rest
    // is written all the same; once the grid is complete, `fieldFailure` (a field the store could
    // not read and left empty), or else the first date's failure, is thrown.
    void fill(std::vector<Parcel> parcels, const QDateTime& now, const QLocale& locale,
              const std::string& fieldFailure = {});

    // How many parcel rows are shown (the find field may hide some).
    int parcelRowCount() const;
    // The parcel of the current row among the selected ones; nothing when no parcel row is
    // selected.
    std::optional<Parcel> currentParcel() const;
    // The parcels of every selected row, top to bottom.
    std::vector<Parcel> selectedParcels() const;
    // Selects the rows of the parcels with these ids that are shown, the first of them current;
    // false (the selection unchanged) when none is shown.
    bool selectParcels(const std::vector<std::int64_t>& ids);
    // Scrolls the current parcel's row into view without moving the selection.
    void scrollToCurrent();
    // Whether the grid shows the parcel with that id, the find field cleared and hidden first
    // when it is what hides the parcel.
    bool reveal(std::int64_t id);
    // The parcel with that id in the bold face of the grid's font, or back in the regular one.
    // Only the face changes: columns, row height and texts stay. A refresh keeps a parcel's face.
    void setBold(std::int64_t id, bool bold);
    bool isBold(std::int64_t id) const;
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
    // Selects shown row `row` (counted from 0) as the current row.
    void selectShownRow(int row, int column = 0);
    // The shown row of the current parcel among the selected ones; invalid without one.
    QModelIndex currentShown() const;
    // The shown row of the parcel with that id; invalid when it is not shown.
    QModelIndex shownIndexOf(std::int64_t id) const;
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
    int m_wheelRemainder = 0;
    QFont m_boldFont;
    std::array<int, kColumnCount> m_baseWidths{};
    // The width the longest id shown needs; 0 without rows.
    int m_idWidth = 0;
    bool m_layingOut = false;
};
