#include "console/HelpText.h"

#include "console/ExitStatus.h"
#include "console/ParcelList.h"

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
                           "             статус до %2, магазин до %3, «что в ней» до %4.\n"
                           "  --csv      Вместе с --list: CSV по RFC 4180 в UTF-8 (без BOM) для электронной\n"
                           "             таблицы: строка заголовков, концы строк CR LF, тексты полностью,\n"
                           "             статус одной строкой без разметки.\n")
                .arg(ParcelList::kTrackWidth)
                .arg(ParcelList::kStatusWidth)
                .arg(ParcelList::kShopWidth)
                .arg(ParcelList::kTitleWidth);
    if (withCheck)
        text += QStringLiteral("  --check    Один раз проверяет все посылки на сайте Белпочты без окна (без дисплея\n"
                               "             программа сама берёт платформу offscreen). Файл database.db должен\n"
                               "             уже быть: он не создаётся. Каждая строка журнала сразу выводится в\n"
                               "             стандартный вывод в UTF-8; сообщения об ошибках выводятся в стандартный\n"
                               "             поток ошибок с теми же текстами и с причиной. В конце выводится по\n"
                               "             строке на каждую посылку, чей статус изменился (номер, магазин, что в\n"
                               "             ней, новый статус одной строкой), или что ничего не изменилось; если\n"
                               "             статус изменился, показывается одно уведомление на рабочем столе (если\n"
                               "             его не удалось показать, об этом говорит строка в потоке ошибок).\n"
                               "             Одновременно идёт только одна проверка одной базы, в окне или без него:\n"
                               "             её держит файл database.db.kurierix-lock рядом с базой.\n"
                               "             SIGTERM или Ctrl+C останавливают проверку на следующем шаге; после этого\n"
                               "             ничего не записывается.\n"
                               "  --quiet    Вместе с --check: выводит только итог.\n");
    text += QStringLiteral("  -h, --help Показывает эту справку.\n"
                           "\n"
                           "Стандартные параметры Qt для окна (-platform, -style, -session и другие)\n"
                           "открывают окно, как и без них.\n"
                           "\n"
                           "Коды завершения:\n"
                           "  %1   успешно")
                .arg(ExitStatus::Ok);
    if (withCheck)
        text += QStringLiteral(" (для --check: проверка прошла; ошибки отдельных посылок на это не влияют)");
    text +=
        QStringLiteral("\n  %1   базу данных не удалось открыть или прочитать\n").arg(ExitStatus::DatabaseUnreadable);
    if (withCheck)
        text += QStringLiteral("  %1   сайт Белпочты недоступен или не ответил\n"
                               "  %2   базу данных занимает другая проверка\n")
                    .arg(ExitStatus::SiteUnreachable)
                    .arg(ExitStatus::DatabaseBusy);
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
