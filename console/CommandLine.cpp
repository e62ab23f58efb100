#include "console/CommandLine.h"

namespace {

// Options that QGuiApplication and QApplication read themselves. A desktop session restores a
// program with -session, and developers start windows with -platform or -style: such a command
// line still opens the window, which hands the options to Qt as before.
bool onlyWindowOptions(const QStringList& arguments)
{
    static const QStringList flags = QStringLiteral("reverse widgetcount nograb dograb sync").split(u' ');
    static const QStringList valued =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon qwindowtitle "
                       "session display geometry style stylesheet qmljsdebugger name title")
            .split(u' ');
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        if (name.size() < 2 || !name.startsWith(u'-'))
            return false;
        // Qt takes "--platform" for "-platform".
        name.remove(0, name.startsWith(QStringLiteral("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(u'=');
        if (equals >= 0) {
            if (!valued.contains(name.left(equals)))
                return false;
        } else if (valued.contains(name) && i + 1 < arguments.size()) {
            ++i;
        } else if (!flags.contains(name)) {
            return false;
        }
    }
    return true;
}

CommandLine usage(const QString& error)
{
    CommandLine line;
    line.command = CommandLine::Command::Usage;
    line.error = error;
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    if (arguments.isEmpty() || onlyWindowOptions(arguments))
        return {};

    bool help = false;
    bool list = false;
    bool csv = false;
    bool check = false;
    bool quiet = false;
    for (const QString& argument : arguments) {
        if (argument == u"--help" || argument == u"-h")
            help = true;
        else if (argument == u"--list")
            list = true;
        else if (argument == u"--csv")
            csv = true;
        else if (argument == u"--check")
            check = true;
        else if (argument == u"--quiet")
            quiet = true;
        else if (argument.startsWith(u'-'))
            return usage(QStringLiteral("неизвестный параметр «%1»").arg(argument));
        else
            return usage(QStringLiteral("лишний аргумент «%1»").arg(argument));
    }

    CommandLine line;
    if (help) {
        line.command = Command::Help;
        return line;
    }
    if (list && check)
        return usage(QStringLiteral("--list и --check нельзя давать вместе"));
    if (csv && !list)
        return usage(QStringLiteral("--csv действует только вместе с --list"));
    if (quiet && !check)
        return usage(QStringLiteral("--quiet действует только вместе с --check"));
    if (check) {
        line.command = Command::Check;
        line.quiet = quiet;
        return line;
    }
    line.command = Command::List;
    line.csv = csv;
    return line;
}

CommandLine CommandLine::parse(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);
    return parse(arguments);
}
