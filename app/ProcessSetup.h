#pragma once

// What the program sets in its own process before the application object exists. main() calls
// it first thing; the benchmarks call it too, so that they start the program as it starts.
class ProcessSetup
{
public:
    static void beforeApplication();
    // For a run that shows no window: without a display (neither DISPLAY nor WAYLAND_DISPLAY),
    // and unless QT_QPA_PLATFORM says otherwise, the offscreen platform, so that a timer or an
    // ssh session can run it. Called before the application object exists.
    static void withoutWindow();
};
