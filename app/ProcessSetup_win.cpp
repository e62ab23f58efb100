#include "app/ProcessSetup.h"

void ProcessSetup::beforeApplication(const ProgramSettings&)
{
    // Nothing to settle before the application object on Windows: there is no browser engine
    // (the page road is not built there), the system's own fonts need no early reading, and the
    // platform plugin draws with GDI whatever the session says.
}
