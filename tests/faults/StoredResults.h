#pragma once

#include "app/AppTestHarness.h"
#include "tools/sitedouble/SiteDouble.h"

#include <QList>
#include <QString>

#include <ostream>

// The three columns a check run writes, as read back from the file.
struct Stored
{
    apptest::Field status;
    apptest::Field date;
    apptest::Field history;
    bool operator==(const Stored&) const = default;
};

void PrintTo(const Stored& stored, std::ostream* out);
// Texts in failure messages, readable.
void PrintTo(const QString& text, std::ostream* out);

// What a check stores for well-formed events: the newest row's cells, each followed by a blank,
// then CR LF; a line per event, CR LF between lines; the first event's date.
Stored storedFor(const QList<SiteDouble::Event>& events);
