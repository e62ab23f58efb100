#include "console/HelpText.h"

#include "console/ParcelList.h"
#include "tracking/ExitStatus.h"

QString HelpText::text(bool withCheck)
{
    QString text = QStringLiteral("Курьерикс 1.0: отслеживание посылок Белпочты.\n"
                                  "\n"
                                  "Использование:\n"
                                  "  kurierix                    открыть окно программы\n"
                                  "  kurierix --list [--csv]     вывести список посылок\n");
    if (withCheck)
        text += QStringLiteral("  kurierix --check [--quiet]  проверить посылки без окна\n");
    text += QStringLiteral("  kurierix --help             показать эту справку\n"
                           "\n"
                           "Программа работает с файлом database.db в текущем каталоге.\n"
                           "\n"
                           "Параметры:\n"
                           "  --list     Выводит посылки таблицей: id, дни в пути, номер, статус одной строкой\n"
                           "             без разметки, магазин, что в посылке. Файл открывается только для\n"
                           "             чтения: он не создаётся и не меняется. Столбцы выровнены для\n"
                           "             терминала; длинный текст обрезается с «…»: номер до %1 знаков,\n"
                           "             статус до %2, магазин до %3, «что в ней» до %4. Если в архиве есть\n"
                           "             посылки, последний столбец «в архиве» отмечает их словом «да». Под\n"
                           "             таблицей, после пустой строки, строка «Последняя проверка: …» говорит,\n"
                           "             когда посылки проверялись последний раз (в окне, в фоне или командой\n"
                           "             --check) и чем это кончилось.\n"
                           "  --csv      Вместе с --list: CSV по RFC 4180 в UTF-8 (без BOM) для электронной\n"
                           "             таблицы: строка заголовков, концы строк CR LF, тексты полностью,\n"
                           "             статус одной строкой без разметки; последний столбец «в архиве»\n"
                           "             есть всегда: «да» у посылки в архиве, пусто у остальных.\n")
                .arg(ParcelList::kTrackWidth)
                .arg(ParcelList::kStatusWidth)
                .arg(ParcelList::kShopWidth)
                .arg(ParcelList::kTitleWidth);
    if (withCheck)
        text += checkOption() + QStringLiteral("  --quiet    Вместе с --check: выводит только итог.\n");
    text += QStringLiteral("  -h, --help Показывает эту справку.\n"
                           "\n"
                           "Стандартные параметры Qt для окна (-platform, -style, -session и другие)\n"
                           "открывают окно, как и без них.\n"
                           "\n"
                           "Коды завершения:\n"
                           "  %1   успешно")
                .arg(ExitStatus::Ok);
    if (withCheck)
        text += QStringLiteral(" (для --check: проверка прошла; посылки без ответа сайта на это не влияют)");
    text +=
        QStringLiteral("\n  %1   базу данных не удалось открыть или прочитать\n").arg(ExitStatus::DatabaseUnreadable);
    if (withCheck)
        text += QStringLiteral("  %1   сайт Белпочты недоступен или не ответил: ответа нет ни по одной посылке,\n"
                               "       или проверка прервалась до последней\n"
                               "  %2   базу данных занимает другая проверка\n"
                               "  %3   ответ сайта хотя бы по одной посылке не удалось сохранить в базе данных\n"
                               "  %4   не удалось заблокировать базу данных для проверки (файл блокировки\n"
                               "       нельзя создать или заменить)\n"
                               "  %5   ответ сайта хотя бы по одной посылке имеет вид, который эта версия не\n"
                               "       читает: обновите программу или отправьте сохранённый ответ\n")
                    .arg(ExitStatus::SiteUnreachable)
                    .arg(ExitStatus::DatabaseBusy)
                    .arg(ExitStatus::StoreFailed)
                    .arg(ExitStatus::LockUnavailable)
                    .arg(ExitStatus::UnreadableAnswer);
    text += QStringLiteral("  %1  ошибка в командной строке\n"
                           "  %2  не удалось записать в стандартный вывод\n")
                .arg(ExitStatus::Usage)
                .arg(ExitStatus::OutputFailed);
    return text;
}

QString HelpText::hint()
{
    return QStringLiteral("Подробнее: kurierix --help\n");
}
