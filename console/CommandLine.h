#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. Parsing looks at the arguments only: it makes no
// application object, so the window's start-up costs nothing more for it.
struct CommandLine
{
    enum class Command {
        Window, // no arguments, or only Qt's own window options (-platform, -style, -session, …)
        Help,   // -h, --help
        List,   // --list [--csv]
        Check,  // --check [--quiet]
        Usage,  // anything else: `error` says what, in the program's language
    };

    Command command = Command::Window;
    bool csv = false;   // --list --csv
    bool quiet = false; // --check --quiet
    QString error;

    // `arguments` without the program name.
    static CommandLine parse(const QStringList& arguments);
    static CommandLine parse(int argc, char** argv);
};
