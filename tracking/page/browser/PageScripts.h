#pragma once

#include <QString>

#include <initializer_list>

class QJsonValue;

// The scripts the driver runs in the page, kept beside it as resources (tracking.qrc) and read
// once. Each but the page-quieting one evaluates to a function; the driver runs a call of it.
enum class PageScript {
    ChangeWatch,         // change_watch.js: watches the results block (token)
    EnterNumber,         // enter_number.js: (number) -> "ok" | "missing"
    LegacyWriter,        // legacy_writer.js: () -> the page's HTML as the old control wrote it
    Look,                // look.js: (action, htmlUnless, writer) -> a look at the page
    QuietPage,           // quiet_page.js: run as it stands, in the page's own world
    SelectAndEnter,      // select_and_enter.js: (number) -> "ok" | "no radio" | "no item"
    SelectInternational, // select_international.js: () -> "ok" | "missing"
    StartSearch,         // start_search.js: () -> "ok" | "missing"
};

namespace PageScripts {

// The script's source; empty if it is missing from the program.
const QString& source(PageScript script);
// A call of the function `script` evaluates to, with `arguments` as they stand (see literal()).
QString call(PageScript script, std::initializer_list<QString> arguments = {});
// `value` as a script literal: whatever it holds (quotes, backslashes, line breaks, markup)
// stays data and is never read as script.
QString literal(const QJsonValue& value);

} // namespace PageScripts
