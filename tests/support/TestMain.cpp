// One main for every test executable: the Qt application object the code under test needs,
// headless, then GoogleTest.
#include "support/TestFolders.h"

#include <gtest/gtest.h>

#ifdef KURIERIX_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef KURIERIX_BROWSER_MODULE_BUILT
    // The tests are not beside the program, where it looks for its modules: they name the ones
    // built, for the programs they start too.
    if (!qEnvironmentVariableIsSet("KURIERIX_BROWSER_MODULE"))
        qputenv("KURIERIX_BROWSER_MODULE", KURIERIX_BROWSER_MODULE_BUILT);
#endif
#ifdef KURIERIX_SERVICE_MODULE_BUILT
    if (!qEnvironmentVariableIsSet("KURIERIX_SERVICE_MODULE"))
        qputenv("KURIERIX_SERVICE_MODULE", KURIERIX_SERVICE_MODULE_BUILT);
#endif
    const QTemporaryDir configHome;
    const QTemporaryDir cacheHome;
    testsupport::useFoldersOfThisRun(configHome, cacheHome);
    // The doubles need no politeness: the service road asks without a pause unless a test says.
    if (!qEnvironmentVariableIsSet("KURIERIX_SERVICE_PACE"))
        qputenv("KURIERIX_SERVICE_PACE", "0");
#ifdef KURIERIX_TEST_GUI
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The offscreen platform's own screen is 800 x 600, smaller than the window: the tests see a
    // desktop's 1920 x 1080, so that the window takes its designed place and size. No frame: a
    // window's place is its client area's, maximised or not.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && configHome.isValid()) {
        const QString screens = configHome.filePath(QStringLiteral("offscreen-screens.json"));
        QFile file(screens);
        if (file.open(QIODevice::WriteOnly)
            && file.write(R"({"windowFrameMargins": false,
                              "screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1920, "height": 1080,
                                           "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                   > 0) {
            file.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
        }
    }
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
