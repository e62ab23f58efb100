#pragma once

// What the program sets in its own process before the application object exists. main() calls
// it first thing; the benchmarks call it too, so that they start the program as it starts.
class ProcessSetup
{
public:
    static void beforeApplication();
};
