#pragma once

#include <QString>

// The text of `kurierix --help`, in the program's language.
class HelpText
{
public:
    // The whole text. `withCheck` adds --check and --quiet, their exit statuses 3 to 6 and what
    // stopping a run does; the program has them, a build of the command line alone does not.
    static QString text(bool withCheck);
    // The line that follows a mistake on the command line.
    static QString hint();

private:
    // The --check option's paragraph: what the check does differs between systems.
    static QString checkOption();
};
