#pragma once

// One parcel's way from its sender abroad to its addressee in four events, as the tests that run
// a whole check give them to the doubles.
#include "tools/sitedouble/SiteDouble.h"

namespace testsupport {

inline const QList<SiteDouble::Event> kFourEvents = {
    {QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Получение отправления от отправителя"),
     QStringLiteral("100614*")},
    {QStringLiteral("2013-03-17 14:16:00"), QStringLiteral("Отправка отправления из учреждения обмена"),
     QStringLiteral("BEIJING")},
    {QStringLiteral("2013-03-29 08:05:00"), QStringLiteral("Поступление в учреждение обмена"),
     QStringLiteral("MINSK PI 2")},
    {QStringLiteral("2013-04-02 10:40:00"), QStringLiteral("Вручение адресату"), QStringLiteral("220030")},
};

} // namespace testsupport
