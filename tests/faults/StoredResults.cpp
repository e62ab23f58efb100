#include "StoredResults.h"

#include "store/Cp1251.h"

void PrintTo(const Stored& stored, std::ostream* out)
{
    const auto field = [](const apptest::Field& f) {
        return f ? "\"" + fromCp1251(f->substr(0, 300)).toStdString() + "\"" : "NULL";
    };
    *out << "{status " << field(stored.status) << ", date " << field(stored.date) << ", history "
         << field(stored.history) << "}";
}

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.left(300).toStdString() << '"';
}

Stored storedFor(const QList<SiteDouble::Event>& events)
{
    QString history;
    for (const SiteDouble::Event& e : events) {
        if (!history.isEmpty())
            history += QStringLiteral("\r\n");
        history += e.date + u' ' + e.event + u' ' + e.office + u' ';
    }
    const SiteDouble::Event& last = events.back();
    return {toCp1251(last.date + u' ' + last.event + u' ' + last.office + QStringLiteral(" \r\n")),
            toCp1251(events.front().date), toCp1251(history)};
}
