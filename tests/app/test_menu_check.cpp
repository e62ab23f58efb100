// "Проверить посылки" from the grid's menu, with the real hidden browser page against the
// tracking-site double on 127.0.0.1: the window's side of a whole check run and of its lock.
#include "AppTestHarness.h"

#include "tools/sitedouble/SiteDouble.h"
#include "tracking/RunLock.h"

using apptest::Field;
using apptest::Harness;

TEST(MenuCheck, CheckingFromTheMenuFillsTheRowsThroughTheHiddenPage)
{
    SiteDouble site;
    ASSERT_TRUE(site.start());
    site.setAnswer(QStringLiteral("RR123456789CN"),
                   {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Получение отправления от отправителя"),
                     QStringLiteral("100614*")},
                    {QStringLiteral("2013-03-17 14:16:00"), QStringLiteral("Отправка"), QStringLiteral("BEIJING")}});
    site.setNotFound(QStringLiteral("RA000000000BY"));

    Harness h;
    h.db().create();
    h.db().addParcel("RR123456789CN", "Shop", "Book");
    h.db().addParcel("RA000000000BY", "Shop", "Lamp");
    MainFormOptions options = h.options();
    options.endpoints.trackingUrl = site.url().toStdString();
    options.endpoints.probeHost = "127.0.0.1";
    options.endpoints.probePort = site.port();
    TMainForm& window = h.start(options);

    ui(window).N4->trigger();

    EXPECT_TRUE(h.prompts.shown().empty())
        << (h.prompts.shown().empty() ? "" : h.prompts.shown().front().text.toStdString());
    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("s_date"), Field("2013-03-16 12:30:00"));
    EXPECT_EQ(rows[1].at("s_status"), Field(apptest::cp("Пока, нет информации!")));
    EXPECT_EQ(cellText(h.grid(), 1, 1), QStringLiteral("15"));
    EXPECT_EQ(cellText(h.grid(), 2, 3), QStringLiteral("Пока, нет информации!"));
    EXPECT_EQ(h.label(), QStringLiteral("Статус: ok"));
    EXPECT_TRUE(h.grid().isEnabled());
    EXPECT_TRUE(h.log().contains(QStringLiteral("- посылка №RR123456789CN")));
    EXPECT_TRUE(h.log().contains(QStringLiteral("- нет данных по номеру")));

    h.clickRow(1);
    EXPECT_TRUE(
        h.history().startsWith(QStringLiteral("2013-03-16 12:30:00 Получение отправления от отправителя 100614* \n")));
    site.stop();
}

TEST(MenuCheck, ALockThatCannotBeTakenOverIsSaidInAnErrorBoxAndOneNobodyHoldsIsTakenOver)
{
    SiteDouble site;
    ASSERT_TRUE(site.start());
    site.setNotFound(QStringLiteral("RA000000000BY"));
    Harness h;
    h.db().create();
    h.db().addParcel("RA000000000BY", "Shop", "Lamp");
    MainFormOptions options = h.options();
    options.endpoints = {site.url().toStdString(), "127.0.0.1", site.port()};
    TMainForm& window = h.start(options);
    const auto rows = h.db().rows();
    const QString log = h.log();

    // Something nobody holds and no run may remove: the box names it and says what to do, and
    // the run does nothing.
    const QString lock = RunLock::pathFor(h.databasePath());
    ASSERT_TRUE(QDir().mkpath(lock + QStringLiteral("/inside")));
    ui(window).N4->trigger();
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_EQ(h.prompts.shown()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(h.prompts.shown()[0].icon, Prompts::Icon::Error);
    EXPECT_TRUE(h.prompts.shown()[0].text.startsWith(
        QStringLiteral("Проверка не начата: файл блокировки %1 остался от прерванной проверки или испорчен, и заменить "
                       "его не удалось. Удалите его и начните проверку снова (")
            .arg(lock)))
        << h.prompts.shown()[0].text.toStdString();
    EXPECT_EQ(h.log(), log);
    EXPECT_EQ(site.pageRequests(), 0);
    EXPECT_EQ(h.db().rows(), rows);
    EXPECT_TRUE(h.grid().isEnabled());

    // What a power cut between making the file and writing it leaves: taken over.
    ASSERT_TRUE(QDir(lock).removeRecursively());
    ASSERT_TRUE(QFile(lock).open(QIODevice::WriteOnly));
    h.prompts.clear();
    ui(window).N4->trigger();
    EXPECT_TRUE(h.prompts.shown().empty()) << h.prompts.shown().front().text.toStdString();
    EXPECT_EQ(h.db().rows()[0].at("s_status"), apptest::Field(apptest::cp("Пока, нет информации!")));
    EXPECT_FALSE(QFile::exists(lock));
    site.stop();
}
