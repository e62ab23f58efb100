#pragma once

#include <QString>

// Sentences about a whole check run that the window and `kurierix --check` both say.
namespace checkwords {

// "посылки" or "посылок", as "из N …" wants it.
QString parcelsAfterOutOf(qsizetype count);

// "Ответы сайта по 3 из 5 посылок не удалось прочитать: данные этих посылок не изменены."
QString unreadableSentence(qsizetype unreadable, qsizetype asked);

} // namespace checkwords
