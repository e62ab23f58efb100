#pragma once

#include <QStringList>

struct ProgramSettings;

// The main window lives in a module of its own, a Qt plugin that alone links Qt Widgets and Gui;
// the program loads it when it starts without a command, before any application object exists.
class WindowModule
{
public:
    // Beside the program (the build tree), then where the install puts it, found from the
    // program's own folder so that any install prefix works.
    static QStringList candidates();

    // Starts the window from the first of the candidates and gives the exit status; when the
    // module cannot be had, says why on standard error.
    static int run(int& argc, char** argv, const ProgramSettings& settings);
};
