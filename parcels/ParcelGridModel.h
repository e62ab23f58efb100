#pragma once

#include "store/Parcel.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QFont>
#include <QHash>
#include <QLocale>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

// The parcels the grid shows, one row each in the store's order, as the last refresh gave them:
// each parcel with its six texts (the days in transit counted at the refresh), whether its row is
// bold, and the six column titles as the horizontal header. Views take the parcel of a row
// through ParcelRole and its id through IdRole; rows are found by id. Nothing is worked out
// when a cell is drawn: a view asks for the texts as they are held.
class ParcelGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = 6;
    enum Role {
        // The row's Parcel, as a QVariant holding it.
        ParcelRole = Qt::UserRole + 1,
        // The row's id as a qint64; nothing for a row whose id is not a whole number.
        IdRole,
    };

    explicit ParcelGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Holds `parcels` from now on, their days in transit counted from `now`. Rows beyond the new
    // count go and new rows come regular, announced as removed or inserted rows, so that a view
    // keeps its selection and scroll position as far as they still exist; of the rows kept, only
    // those whose parcel, texts or face changed are announced. A parcel keeps its face. A date
    // that cannot be read leaves its days cell empty; the first such failure is given back.
    std::exception_ptr setParcels(std::vector<Parcel> parcels, const QDateTime& now, const QLocale& locale);
    // The row of the parcel with that id, or an invalid index.
    QModelIndex indexOf(std::int64_t id) const;
    // The longest id text shown, for the width of the id column.
    const QString& longestIdText() const { return m_longestId; }

    // The face a bold row is drawn in.
    void setBoldFont(const QFont& font);
    void setBold(std::int64_t id, bool bold);
    bool isBold(std::int64_t id) const;
    // Every row bold where `bold` says so of its parcel.
    void setBoldWhere(const std::function<bool(const Parcel&)>& bold);

private:
    using RowTexts = std::array<QString, kColumnCount>;
    struct Row
    {
        Parcel parcel;
        RowTexts texts;
        bool bold = false;
    };

    void setRowBold(int row, bool bold);

    std::vector<Row> m_rows;
    // Row of each parcel with an id.
    QHash<std::int64_t, int> m_rowOfId;
    QString m_longestId;
    QFont m_boldFont;
};

Q_DECLARE_METATYPE(Parcel)
