#include "parcels/GridPainting.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTextDocument>
#include <QToolTip>

namespace {

// Text two pixels from the cell's left edge, cut off at its right edge without an ellipsis, so
// that short columns such as "в пути" (40 px) show their whole text.
constexpr int kTextIndent = 2;

// One line, vertically centred, never wrapped: the text runs on under the clip at the cell's edge.
void drawCellText(QPainter* painter, const QRect& rect, const QString& text)
{
    const QFontMetrics metrics(painter->font());
    const int baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(QPoint(rect.left() + kTextIndent, baseline), text);
}

// One line per cell, as the grid always drew it: line breaks in a status show as blanks.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = oneLine(cell.text);
    cell.text.clear();
    cell.state &= ~QStyle::State_HasFocus;
    const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    const QPalette::ColorGroup group = (cell.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setClipRect(cell.rect);
    painter->setFont(cell.font);
    painter->setPen(
        cell.palette.color(group, (cell.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    drawCellText(painter, cell.rect, text);
    painter->restore();
}

// The columns keep their widths, so a text cut at the cell's edge (an id from 1000, a long
// status) is shown whole as the cell's tooltip; a text that fits has none.
bool GridCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const int needed = kTextIndent + QFontMetrics(cell.font).horizontalAdvance(oneLine(cell.text));
    // A number with a mistyped check digit is named in its row's tooltip.
    const QString typo = index.data(Qt::ToolTipRole).toString();
    if (needed <= cell.rect.width() && typo.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QString text = needed <= cell.rect.width() ? QString() : cell.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (!typo.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + typo;
    // Shown as the plain text it is, even when it looks like markup.
    if (Qt::mightBeRichText(text))
        text = Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
    QToolTip::showText(event->globalPos(), text, view->viewport(), cell.rect);
    return true;
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader section;
    initStyleOption(&section);
    section.rect = rect;
    section.section = logicalIndex;
    section.state |= isEnabled() ? QStyle::State_Enabled : QStyle::State_None;
    section.text.clear();
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &section, painter, this);
    painter->setClipRect(rect);
    painter->setFont(font());
    painter->setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, QPalette::ButtonText));
    const QString text = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    drawCellText(painter, rect, text);
    painter->restore();
    // The column the rows are sorted by has the style's arrow at its right; where the title
    // leaves no room for it (the narrow "id" and "в пути"), a small one above the title's middle,
    // so that the arrow never covers the title's last letters.
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex) {
        section.sortIndicator =
            sortIndicatorOrder() == Qt::AscendingOrder ? QStyleOptionHeader::SortDown : QStyleOptionHeader::SortUp;
        const QRect beside = style()->subElementRect(QStyle::SE_HeaderArrow, &section, this);
        const int textRight = rect.left() + kTextIndent + QFontMetrics(font()).horizontalAdvance(text);
        section.rect = textRight < beside.left() ? beside : QRect(rect.center().x() - 4, rect.top() + 2, 9, 6);
        style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &section, painter, this);
    }
}
