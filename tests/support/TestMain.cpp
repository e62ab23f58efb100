// One main for every test executable: the Qt application object the code under test needs,
// headless, then GoogleTest.
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
    // The tests are not beside the program, where it looks for the browser module: they name
    // the one built, for the programs they start too.
    if (!qEnvironmentVariableIsSet("KURIERIX_BROWSER_MODULE"))
        qputenv("KURIERIX_BROWSER_MODULE", KURIERIX_BROWSER_MODULE_BUILT);
#endif
    // What the window remembers (and the programs a test starts) goes to a folder of this run,
    // never to the settings of whoever runs the tests.
    QTemporaryDir configHome;
    if (configHome.isValid())
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
#ifdef KURIERIX_TEST_GUI
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
