#include "app/ProcessSetup.h"

#include "tracking/page/BrowserModule.h"

#include <QtGlobal>

#include <fontconfig/fontconfig.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

namespace {

// The nice value of the start-up's helper threads (the process runs at 0).
constexpr int kBackgroundNice = 10;

} // namespace

void ProcessSetup::beforeApplication(const ProgramSettings& settings)
{
    // The browser engine comes later, with its module at the first check, but what it needs of
    // the process is settled here.
    BrowserModule::prepareProcess(settings.sandboxChosen);
    // The engine wants the application to share OpenGL contexts. With that attribute the
    // application makes a shared OpenGL context as it starts, and that loads the system's GL
    // driver: with Mesa some 55 MB more resident memory and 60 ms more start-up, for nothing,
    // since the windows are drawn without OpenGL and the tracking page is never shown. Without a
    // GL integration for X11 no context is made (Qt says so once on standard error) and the
    // engine renders the hidden page in software. A session that sets the variable keeps its
    // own choice.
    if (!settings.glIntegrationChosen)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // Fontconfig reads its configuration the first time a font is asked for (4-5 ms here), which
    // the window does as soon as it is built. Read on a thread of its own now, it is ready by
    // then: the application object takes longer to start, and waits on the display meanwhile.
    // Fontconfig makes its configuration once, whichever thread asks first.
    // At a lower priority, so that it takes the cores the application object and the display
    // server leave idle rather than slowing them down.
    std::thread([] {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBackgroundNice);
        FcInit();
    }).detach();
}
