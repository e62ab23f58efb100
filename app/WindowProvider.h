#pragma once

#include <QtPlugin>

class QWidget;
struct ProgramSettings;

// What the window module offers the program: the application object of a desktop program and
// the main window over it, which only the module links (Qt Widgets, Gui and what they pull in).
// The program loads it when it starts without a command, so that `kurierix --check`, `--list`
// and `--help` map none of it. The module is a Qt plugin; its root object implements this.
class WindowProvider
{
public:
    // Marks along the start-up, for a benchmark that starts the window as the program does.
    class StartMarks
    {
    public:
        virtual ~StartMarks() = default;
        virtual void reached(const char* step) = 0;
        // The main window is built and about to be shown.
        virtual void built(QWidget& window) = 0;
    };

    virtual ~WindowProvider() = default;

    // Makes the application object over the command line (Qt's own options such as -platform
    // are read there), shows the main window and runs the event loop until it closes. Gives the
    // exit status. `marks` may be nullptr.
    virtual int run(int& argc, char** argv, const ProgramSettings& settings, StartMarks* marks) = 0;
};

#define WindowProvider_iid "org.kurierix.WindowProvider/1"
Q_DECLARE_INTERFACE(WindowProvider, WindowProvider_iid)
