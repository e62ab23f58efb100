#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>

// Between the grid's model and its view: the order the user chose by clicking a column title,
// and the rows left by the find field. Nothing is sorted until a column is chosen, so the
// rows first come in the order the store gives them (by id). Rows that compare equal keep that
// order.
class ParcelSortFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ParcelSortFilter(QObject* parent = nullptr);

    // Keeps the rows whose number, status, shop or contents hold `text`, in any letter case; an
    // empty text keeps every row.
    void setFindText(const QString& text);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    // Below, equal to or above 0 as `a` comes before, with or after `b` in `column`.
    int compare(const QString& a, const QString& b, int column) const;

    QCollator m_collator;
    QString m_findText;
};
