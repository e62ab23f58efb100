// The browser module the program loads for its first check: when it is missing or is no such
// module, the check ends as after a page error, with the reason (or, when there is none where
// the install puts it, the package to install), and the program goes on.
#include "app/AppTestHarness.h"
#include "tracking/BrowserModule.h"

#include <QFile>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTcpServer>

using apptest::Harness;

TEST(BrowserModule, AnUnusableModuleEndsEachCheckWithItsReasonAndTheProgramGoesOn)
{
    Harness h;
    h.db().create();
    h.db().addParcel("RB000000001CN", "Shop", "Thing");
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    MainFormOptions options = h.options();
    options.endpoints = {"http://127.0.0.1:9/", "127.0.0.1", probe.serverPort()};
    TMainForm& window = h.start(options);

    const QString notAPlugin = h.dirPath() + QStringLiteral("/not-a-plugin.so");
    QFile text(notAPlugin);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a shared library\n");
    text.close();
    const QString otherPlugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqoffscreen.so");
    ASSERT_TRUE(QFile::exists(otherPlugin));

    const QByteArray built = qgetenv(BrowserModule::kOverrideVariable);
    for (const QString& module : {h.dirPath() + QStringLiteral("/missing.so"), notAPlugin, otherPlugin}) {
        qputenv(BrowserModule::kOverrideVariable, module.toLocal8Bit());
        for (int attempt = 0; attempt < 2; ++attempt) {
            h.prompts.clear();
            ui(window).N4->trigger();
            const std::vector<QString> boxes = h.boxTexts();
            ASSERT_EQ(boxes.size(), 1u) << module.toStdString();
            EXPECT_TRUE(boxes.front().startsWith(QStringLiteral("Не удалось загрузить компонент проверки посылок: ")))
                << boxes.front().toStdString();
            EXPECT_TRUE(boxes.front().contains(module)) << boxes.front().toStdString();
            EXPECT_EQ(h.prompts.shown().front().caption, QStringLiteral("Курьерикс 1.0"));
            EXPECT_TRUE(h.log().endsWith(QStringLiteral(" Ошибка при загрузке сайта БелПочты")));
            EXPECT_EQ(h.label(), QStringLiteral("Статус: Ошибка, попробуйте позже."));
            EXPECT_TRUE(h.grid().isEnabled());
        }
    }
    // Nothing named, and no module where the program looks (beside it, or where the install puts
    // it): the page road's package is not installed, and the box says which one to install.
    qunsetenv(BrowserModule::kOverrideVariable);
    h.prompts.clear();
    ui(window).N4->trigger();
    const std::vector<QString> boxes = h.boxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes.front().startsWith(QStringLiteral(
        "Для проверки на странице отслеживания нужен пакет kurierix-browser, а он не установлен: установите его "
        "командой «sudo apt install kurierix-browser»")))
        << boxes.front().toStdString();
    EXPECT_TRUE(h.grid().isEnabled());
    qputenv(BrowserModule::kOverrideVariable, built);

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   dialog.Edit_Track->setText(QStringLiteral("RB000000002CN"));
                   QTest::mouseClick(dialog.Button1, Qt::LeftButton);
               });
    EXPECT_EQ(h.grid().parcelRowCount(), 2);
}
