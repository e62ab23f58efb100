#include "app/StoredNumbers.h"

#include "store/ParcelStore.h"

StoredNumbers::StoredNumbers(ParcelStore& store)
{
    for (const Parcel& parcel : store.parcels()) {
        const QString number = comparable(parcel.number);
        const auto known = m_archived.constFind(number);
        m_archived.insert(number, parcel.archived && (known == m_archived.constEnd() || *known));
    }
}

QString StoredNumbers::comparable(const QString& number)
{
    return number.trimmed().toUpper();
}

QString StoredNumbers::named(const QString& comparableNumber) const
{
    return m_archived.value(comparableNumber) ? comparableNumber + QStringLiteral(" (в архиве)") : comparableNumber;
}
