#pragma once

// What the program sets in its own process before the application object exists. main() calls
// it first thing; the benchmarks call it too, so that they start the program as it starts.
class ProcessSetup
{
public:
    static void beforeApplication();
    // For a run that shows no window: the offscreen platform and no display whatever the
    // environment says, so that a timer or an ssh session can run it, and no logging but the
    // program's own. Called before the application object exists.
    static void withoutWindow();
};
