#include "parcels/ParcelGrid.h"

#include "store/DaysInTransit.h"
#include "parcels/FindBar.h"
#include "parcels/GridPainting.h"
#include "parcels/ParcelSortFilter.h"
#include "parcels/Tahoma.h"
#include "parcels/VisibleText.h"
#include "store/Cp1251.h"
#include "store/SQLiteException.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <exception>
#include <unordered_map>

namespace {

constexpr int kRowHeight = 24;
constexpr std::array<int, ParcelGrid::kColumnCount> kColumnWidths = {24, 40, 104, 260, 80, 148};
constexpr int kWheelStep = 120; // one notch of a standard wheel
constexpr int kTextMargin = 2;  // the cells' text stands two pixels from the left edge
constexpr int kIdColumn = 0;
constexpr int kStatusColumn = 3;
// The grid's width in the window at its designed size.
constexpr int kDesignedWidth = 685;
constexpr int kMinimumColumnWidth = 16;
constexpr int kMaximumColumnWidth = 2000;

} // namespace

ParcelGrid::ParcelGrid(QWidget* parent)
    : QTableView(parent), m_model(new ParcelGridModel(this)), m_view(new ParcelSortFilter(this))
{
    m_view->setSourceModel(m_model);
    setModel(m_view);
    setFont(tahoma::font(tahoma::k10pt));
    m_boldFont = font();
    m_boldFont.setBold(true);
    m_model->setBoldFont(m_boldFont);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setDragEnabled(false);
    setCornerButtonEnabled(false);
    setItemDelegate(new GridCellDelegate(this));
    setHorizontalHeader(new GridHeader(this));

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* columns = horizontalHeader();
    columns->setFont(font());
    columns->setFixedHeight(kRowHeight);
    // A click on a title sorts by its column; no arrow until the first click.
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(false);
    connect(columns, &QHeaderView::sectionClicked, this, &ParcelGrid::sortByTitle);
    columns->setSectionsMovable(false);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The user widens a column by dragging its border; the grid keeps the widths at the designed
    // size and lays them out again for every other width.
    columns->setMinimumSectionSize(kMinimumColumnWidth);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    std::copy(kColumnWidths.begin(), kColumnWidths.end(), m_baseWidths.begin());
    layoutColumns();
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { columnDragged(column, width); });

    // The right button asks for the owner's menu wherever it lands on the grid: the rows, the
    // title row and the scroll bar, whose own menu ("Scroll here", "Top", ...) is not offered.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { emit menuRequested(viewport()->mapToGlobal(at)); });
    columns->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(columns, &QWidget::customContextMenuRequested, this,
            [this, columns](const QPoint& at) { emit menuRequested(columns->viewport()->mapToGlobal(at)); });
    QScrollBar* bar = verticalScrollBar();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QWidget::customContextMenuRequested, this,
            [this, bar](const QPoint& at) { emit menuRequested(bar->mapToGlobal(at)); });

    m_find = new FindBar(this);
    connect(m_find, &QLineEdit::textChanged, this, [this](const QString& text) { find(text.trimmed()); });
    connect(m_find, &FindBar::dismissed, this, [this] {
        setFocus(Qt::OtherFocusReason);
        if (currentIndex().isValid())
            scrollTo(currentIndex());
    });
}

void ParcelGrid::fill(std::vector<Parcel> parcels, const QDateTime& now, const QLocale& locale,
                      const std::string& fieldFailure)
{
    const int hadRows = m_view->rowCount();
    const int position = currentIndex().row();
    // The parcels chosen stay chosen by their ids, the current one first: a row position would
    // stand on another parcel once a row above it has gone.
    std::vector<std::int64_t> chosenIds;
    if (const Parcel* current = selectedParcel(); current && current->id) {
        chosenIds.push_back(*current->id);
        for (const Parcel* parcel : selectedParcels()) {
            if (parcel->id && parcel != current)
                chosenIds.push_back(*parcel->id);
        }
    }
    const int rows = static_cast<int>(parcels.size());

    // A date that cannot be read leaves its one cell empty, as a field the store could not read
    // did: every other cell of every row is still written, so no parcel vanishes from the list
    // and no row is left without its id. The first failure is raised once the grid is complete.
    std::exception_ptr firstFailure;
    std::vector<ParcelGridModel::RowTexts> texts(parcels.size());
    QString longestId;
    for (std::size_t row = 0; row < parcels.size(); ++row) {
        const Parcel& parcel = parcels[row];
        ParcelGridModel::RowTexts& cells = texts[row];
        cells[0] = visibleText(parcel.idText);
        if (cells[0].size() > longestId.size())
            longestId = cells[0];
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

    m_parcels = std::move(parcels);
    m_model->setRowCount(rows);
    m_model->setTexts(std::move(texts));
    for (int row = 0; row < rows; ++row)
        m_model->setGreyed(row, m_parcels[std::size_t(row)].archived);
    // Bold rows are wider: the id column fits the longest id in the bold face.
    m_idWidth = longestId.isEmpty() ? 0 : 2 * kTextMargin + QFontMetrics(m_boldFont).horizontalAdvance(longestId);
    layoutColumns();
    // Only when the current parcel is gone (or hidden by the find field) does the selection
    // keep its position (the last row when that position is gone; the first row when the grid
    // had no rows).
    const int shown = m_view->rowCount();
    if (!chosenIds.empty() && rowOf(chosenIds.front()) != 0)
        selectParcels(chosenIds);
    else if (shown > 0)
        selectTableRow((hadRows == 0 || position < 0) ? 0 : std::min(position, shown - 1));
    if (!fieldFailure.empty())
        throw ESQLiteException(fieldFailure);
    if (firstFailure)
        std::rethrow_exception(firstFailure);
}

void ParcelGrid::setColumnWidths(const std::vector<int>& widths)
{
    if (widths.size() != m_baseWidths.size())
        return;
    for (std::size_t c = 0; c < widths.size(); ++c)
        m_baseWidths[c] = std::clamp(widths[c], kMinimumColumnWidth, kMaximumColumnWidth);
    layoutColumns();
}

void ParcelGrid::layoutColumns()
{
    // A grid wider than designed gives the difference to "Статус"; an id column widened to show
    // its longest id whole takes its room from there too.
    const int idGrowth = std::max(0, m_idWidth - m_baseWidths[0]);
    const int extra = std::max(0, width() - kDesignedWidth);
    m_layingOut = true;
    QHeaderView* columns = horizontalHeader();
    for (int c = 0; c < kColumnCount; ++c) {
        int columnWidth = m_baseWidths[std::size_t(c)];
        if (c == kIdColumn)
            columnWidth += idGrowth;
        else if (c == kStatusColumn)
            columnWidth = std::max(kMinimumColumnWidth, columnWidth + extra - idGrowth);
        if (columns->sectionSize(c) != columnWidth)
            columns->resizeSection(c, columnWidth);
    }
    m_layingOut = false;
}

void ParcelGrid::columnDragged(int column, int width)
{
    if (m_layingOut || column < 0 || column >= kColumnCount)
        return;
    // Kept as the width at the designed size, so that the next wider or narrower window lays
    // the columns out from it.
    const int idGrowth = std::max(0, m_idWidth - m_baseWidths[0]);
    int base = width;
    if (column == kStatusColumn)
        base = width - std::max(0, this->width() - kDesignedWidth) + idGrowth;
    m_baseWidths[std::size_t(column)] = std::clamp(base, kMinimumColumnWidth, kMaximumColumnWidth);
}

void ParcelGrid::selectTableRow(int tableRow, int column)
{
    selectionModel()->setCurrentIndex(m_view->index(tableRow, column),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int ParcelGrid::sourceRow(int row) const
{
    if (row < 1 || row > m_view->rowCount())
        return -1;
    return m_view->mapToSource(m_view->index(row - 1, 0)).row();
}

int ParcelGrid::parcelRowCount() const
{
    return m_view->rowCount();
}

int ParcelGrid::selectedRow() const
{
    // With several rows selected, the commands on one parcel act on the current one.
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return current.row() + 1;
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

std::vector<const Parcel*> ParcelGrid::selectedParcels() const
{
    std::vector<const Parcel*> parcels;
    for (int row = 1; row <= parcelRowCount(); ++row) {
        if (selectionModel()->isRowSelected(row - 1, QModelIndex()))
            parcels.push_back(parcelAt(row));
    }
    return parcels;
}

void ParcelGrid::setSelectedRow(int row)
{
    if (row < 1 || row > parcelRowCount())
        return;
    selectTableRow(row - 1);
}

void ParcelGrid::scrollToRow(int row)
{
    if (row < 1 || row > parcelRowCount())
        return;
    // Right after a refresh that added rows the scroll range is not updated yet.
    executeDelayedItemsLayout();
    scrollTo(m_view->index(row - 1, 0), QAbstractItemView::EnsureVisible);
}

const Parcel* ParcelGrid::parcelAt(int row) const
{
    const int source = sourceRow(row);
    if (source < 0 || source >= static_cast<int>(m_parcels.size()))
        return nullptr;
    return &m_parcels[static_cast<std::size_t>(source)];
}

int ParcelGrid::rowOf(std::int64_t id) const
{
    for (std::size_t source = 0; source < m_parcels.size(); ++source) {
        if (m_parcels[source].id == id) {
            // 0 when the find field hides it.
            const QModelIndex shown = m_view->mapFromSource(m_model->index(static_cast<int>(source), 0));
            return shown.isValid() ? shown.row() + 1 : 0;
        }
    }
    return 0;
}

bool ParcelGrid::selectParcels(const std::vector<std::int64_t>& ids)
{
    // One pass over the rows, however many parcels are chosen (a thousand numbers added at once).
    std::unordered_map<std::int64_t, std::size_t> sources;
    if (ids.size() > 1) {
        for (std::size_t source = 0; source < m_parcels.size(); ++source) {
            if (m_parcels[source].id)
                sources.emplace(*m_parcels[source].id, source);
        }
    }
    const auto shownRow = [&](std::int64_t id) {
        if (ids.size() <= 1)
            return rowOf(id);
        const auto found = sources.find(id);
        if (found == sources.end())
            return 0;
        const QModelIndex shown = m_view->mapFromSource(m_model->index(static_cast<int>(found->second), 0));
        return shown.isValid() ? shown.row() + 1 : 0;
    };
    QItemSelection rows;
    int current = 0;
    for (const std::int64_t id : ids) {
        const int row = shownRow(id);
        if (row == 0)
            continue;
        if (current == 0)
            current = row;
        rows.select(m_view->index(row - 1, 0), m_view->index(row - 1, kColumnCount - 1));
    }
    if (current == 0)
        return false;
    selectionModel()->setCurrentIndex(m_view->index(current - 1, 0), QItemSelectionModel::NoUpdate);
    selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

int ParcelGrid::reveal(std::int64_t id)
{
    const bool held = std::any_of(m_parcels.begin(), m_parcels.end(), [id](const Parcel& p) { return p.id == id; });
    if (held && rowOf(id) == 0 && !m_find->text().isEmpty()) {
        m_find->clear();
        m_find->hide();
    }
    return rowOf(id);
}

QString ParcelGrid::cellText(int row, int column) const
{
    if (column < 0 || column >= kColumnCount)
        return {};
    if (row == 0)
        return m_model->headerData(column, Qt::Horizontal).toString();
    return m_model->text(sourceRow(row), column);
}

void ParcelGrid::setRowBold(int row, bool bold)
{
    m_model->setBold(sourceRow(row), bold);
}

bool ParcelGrid::isRowBold(int row) const
{
    return m_model->isBold(sourceRow(row));
}

void ParcelGrid::setBoldWhere(const std::function<bool(const Parcel&)>& bold)
{
    for (std::size_t source = 0; source < m_parcels.size(); ++source)
        m_model->setBold(static_cast<int>(source), bold(m_parcels[source]));
}

void ParcelGrid::sortByTitle(int column)
{
    const Qt::SortOrder order =
        (column == m_sortColumn && m_sortOrder == Qt::AscendingOrder) ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortBy(column, order);
    emit sortChanged(m_sortColumn, m_sortOrder);
}

void ParcelGrid::sortBy(int column, Qt::SortOrder order)
{
    m_sortColumn = (column >= 0 && column < kColumnCount) ? column : -1;
    m_sortOrder = order == Qt::DescendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    // The selected parcel stays selected wherever its row goes, and stays in view.
    m_view->sort(m_sortColumn, m_sortOrder);
    QHeaderView* columns = horizontalHeader();
    columns->setSortIndicator(m_sortColumn, m_sortOrder);
    columns->setSortIndicatorShown(m_sortColumn >= 0);
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

void ParcelGrid::showFind()
{
    // Not while the grid is taken from the user (a check run): the field would take no typing.
    if (!isEnabled())
        return;
    placeFindBar();
    m_find->show();
    m_find->raise();
    m_find->setFocus(Qt::ShortcutFocusReason);
    m_find->selectAll();
}

void ParcelGrid::find(const QString& text)
{
    // The selected parcel stays selected while it is found; when it is hidden the first row
    // found is selected and its history shown.
    const Parcel* before = selectedParcel();
    m_view->setFindText(text);
    if (selectedRow() == 0 && parcelRowCount() > 0)
        selectTableRow(0);
    if (currentIndex().isValid())
        scrollTo(currentIndex());
    // Selected by the field, not by the user: its history is shown, but it does not count as seen.
    if (selectedParcel() != before)
        emit shownParcelReplaced();
}

void ParcelGrid::placeFindBar()
{
    const int height = m_find->sizeHint().height();
    const int frame = frameWidth();
    m_find->setGeometry(frame, this->height() - frame - height, width() - 2 * frame, height);
}

void ParcelGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    layoutColumns();
    placeFindBar();
}

void ParcelGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        // As lists on the desktop do: the row under the pointer is selected (and its history
        // shown) before the context menu, which comes after this press, acts on the selection.
        // Beside the rows the selection stays.
        if (index.isValid() && !selectionModel()->isRowSelected(index.row(), QModelIndex())) {
            setFocus(Qt::MouseFocusReason);
            selectTableRow(index.row(), index.column());
            emit gridClicked();
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (!index.isValid()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
    emit gridClicked();
}

void ParcelGrid::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging with a button held does not sweep the selection over other rows.
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void ParcelGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click counts as one more click; nothing is edited.
    mousePressEvent(event);
}

void ParcelGrid::wheelEvent(QWheelEvent* event)
{
    event->accept();
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / kWheelStep;
    m_wheelRemainder -= steps * kWheelStep;
    const int rows = parcelRowCount();
    if (steps == 0 || rows == 0)
        return;
    const int from = std::max(0, currentIndex().row());
    const int to = std::clamp(from - steps, 0, rows - 1);
    if (to == from && selectedRow() != 0)
        return;
    selectTableRow(to, std::max(0, currentIndex().column()));
    scrollTo(m_view->index(to, 0));
    emit gridClicked();
}

void ParcelGrid::keyPressEvent(QKeyEvent* event)
{
    const int before = selectedRow();
    QTableView::keyPressEvent(event);
    if (selectedRow() != before && selectedRow() != 0)
        emit gridClicked();
}

QItemSelectionModel::SelectionFlags ParcelGrid::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    // Whole rows, one unless Ctrl or Shift add more (for the archive commands); no clearing on a
    // click beside the rows.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    if (event && event->type() == QEvent::MouseButtonRelease)
        return QItemSelectionModel::NoUpdate;
    // A click with Ctrl or Shift, or a key with Shift; Ctrl with a key (Ctrl+End) only moves.
    const bool click = event && event->type() == QEvent::MouseButtonPress;
    const bool key = event && event->type() == QEvent::KeyPress;
    const Qt::KeyboardModifiers modifiers =
        (click || key) ? static_cast<const QInputEvent*>(event)->modifiers() : Qt::NoModifier;
    if ((click && (modifiers & (Qt::ControlModifier | Qt::ShiftModifier)))
        || (key && (modifiers & Qt::ShiftModifier))) {
        // The last selected row stays selected: some parcel is always the current one.
        if (selectionModel()->selectedRows().size() == 1 && selectionModel()->isRowSelected(index.row(), QModelIndex())
            && !(modifiers & Qt::ShiftModifier))
            return QItemSelectionModel::NoUpdate;
        return QTableView::selectionCommand(index, event);
    }
    return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
}

void ParcelGrid::keyboardSearch(const QString&)
{
    // Typing letters does not jump between rows.
}
