#include "tracking/CheckWords.h"

namespace checkwords {

QString parcelsAfterOutOf(qsizetype count)
{
    // "из 1 посылки", "из 21 посылки", but "из 11 посылок", "из 3 посылок".
    return count % 10 == 1 && count % 100 != 11 ? QStringLiteral("посылки") : QStringLiteral("посылок");
}

QString unreadableSentence(qsizetype unreadable, qsizetype asked)
{
    if (unreadable == 1)
        return QStringLiteral("Ответ сайта по 1 из %1 %2 не удалось прочитать: данные этой посылки не изменены.")
            .arg(asked)
            .arg(parcelsAfterOutOf(asked));
    return QStringLiteral("Ответы сайта по %1 из %2 %3 не удалось прочитать: данные этих посылок не изменены.")
        .arg(unreadable)
        .arg(asked)
        .arg(parcelsAfterOutOf(asked));
}

} // namespace checkwords
