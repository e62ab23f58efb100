#pragma once

#include "app/ProgramSettings.h"

// What the program sets in its own process before the application object exists. The window
// calls it first thing; the benchmarks call it too, so that they start the program as it starts.
// Variables the session set itself (the settings say which) keep their values.
class ProcessSetup
{
public:
    static void beforeApplication(const ProgramSettings& settings);
};
