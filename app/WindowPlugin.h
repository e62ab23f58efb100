#pragma once

#include "app/WindowProvider.h"

#include <QObject>

// The root object of the window module: it starts the desktop program.
class WindowPlugin : public QObject, public WindowProvider
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID WindowProvider_iid)
    Q_INTERFACES(WindowProvider)
public:
    int run(int& argc, char** argv, const ProgramSettings& settings, StartMarks* marks) override;
};
