#pragma once

#include "console/CommandLine.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>

// The program's commands without a window. main() hands it the command line first: it runs a
// command it knows and gives the exit status, or gives nothing and the window starts as always.
// Commands write UTF-8 to standard output; mistakes and failures go to standard error as one
// line that begins with "kurierix: ".
class Console
{
public:
    // Runs `kurierix --check [--quiet]` and gives its exit status. The program brings it: the
    // check needs an application object and the browser page, which this room does not make.
    using CheckCommand = std::function<int(bool quiet)>;

    static std::optional<int> run(int argc, char** argv, const CheckCommand& check);
    static int run(const CommandLine& line, const CheckCommand& check);

    // Writes `text` as UTF-8; false when it could not be written whole. The first failure is said
    // on standard error, the later ones are not.
    static bool writeOut(const QString& text);
    static void writeError(const QString& line);

private:
    static int list(bool csv);
};
