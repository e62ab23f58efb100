#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>

// How the parcel grid draws its cells and its title row: one line of text, two pixels from the
// left edge, cut at the right edge without an ellipsis.

// A cell as the style draws it, its text on one line; a text cut at the cell's edge, or a number
// with a mistyped check digit, is told in the cell's tooltip.
class GridCellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

// The title row: drawn like the style's header sections, its text placed as in the cells, the
// sort arrow on the column the rows are sorted by.
class GridHeader final : public QHeaderView
{
public:
    explicit GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
