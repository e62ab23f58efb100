#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include <array>
#include <vector>

// What the parcel grid shows: six texts per parcel row as the last refresh wrote them, which
// rows are bold, and the six column titles as the horizontal header. Rows count from 0 here;
// the grid adds the title row. Nothing is worked out when a cell is drawn: a view asks for
// the texts as they are held.
class ParcelGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = 6;
    using RowTexts = std::array<QString, kColumnCount>;

    explicit ParcelGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows beyond `count` go and new rows come empty and regular, announced as removed or
    // inserted rows, so that a view keeps its selection and scroll position as far as they
    // still exist.
    void setRowCount(int count);
    // The texts of every row, one entry per row (rowCount() of them); the rows that changed are
    // announced as one change.
    void setTexts(std::vector<RowTexts> texts);
    QString text(int row, int column) const;

    // The face a bold row is drawn in.
    void setBoldFont(const QFont& font);
    void setBold(int row, bool bold);
    bool isBold(int row) const;
    // An archived parcel's row, drawn in grey.
    void setGreyed(int row, bool greyed);
    bool isGreyed(int row) const;

private:
    struct Row
    {
        RowTexts texts;
        bool bold = false;
        bool greyed = false;
    };

    std::vector<Row> m_rows;
    QFont m_boldFont;
};
