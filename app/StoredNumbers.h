#pragma once

#include <QHash>
#include <QString>

class ParcelStore;

// The tracking numbers stored now, as the add commands compare a typed number with them: blanks
// around a number and its letter case do not count.
class StoredNumbers
{
public:
    // Reads every parcel of `store`; raises as the store does.
    explicit StoredNumbers(ParcelStore& store);

    // `number` as the user compares it.
    static QString comparable(const QString& number);
    bool contains(const QString& comparableNumber) const { return m_archived.contains(comparableNumber); }
    // Every number stored, as comparable().
    QList<QString> numbers() const { return m_archived.keys(); }
    // The number as a question names it: marked when every parcel of it is in the archive, where
    // the user no longer sees it.
    QString named(const QString& comparableNumber) const;

private:
    QHash<QString, bool> m_archived;
};
