#include "notify/ChangedParcel.h"

#include "tracking/CheckOutcome.h"

QList<ChangedParcel> ChangedParcel::fromOutcome(const CheckOutcome& outcome)
{
    QList<ChangedParcel> changed;
    for (const ParcelOutcome& parcel : outcome.changed())
        changed += ChangedParcel{parcel.number, parcel.shop, parcel.title, parcel.statusAfter};
    return changed;
}
