// Another program holds database.db in a write transaction while the user adds, edits,
// deletes, refreshes and checks: every operation gives its box straight away instead of
// waiting for the lock, changes nothing, and all of them work again once the lock is gone.
#include "LockHolder.h"

#include "app/AppTestHarness.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/CheckSession.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

using apptest::cp;
using apptest::Field;
using apptest::Harness;
using apptest::Row;

using namespace apptest::boxes;

namespace {

// A program that waited on the lock (a busy time-out) would sit in the operation until the
// other program lets go, which here is never; SQLite without one answers in microseconds.
constexpr qint64 kNoWaitingMs = 2000;

const QList<SiteDouble::Event> kEvents = {
    {QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Получение отправления от отправителя"),
     QStringLiteral("100614*")},
    {QStringLiteral("2013-03-20 08:05:00"), QStringLiteral("Поступление в учреждение обмена"),
     QStringLiteral("MINSK PI 2")},
};

class LockedDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_site.start());
        for (const char* number : {"RR100000001CN", "RR100000002CN", "RR100000003CN"})
            m_site.setAnswer(QString::fromLatin1(number), kEvents);
        m_h.db().create();
        m_h.db().addParcel("RR100000001CN", "AliExpress", cp("Чехол"), cp("подарок"), cp("в пути"),
                           "2013-03-01 10:00:00", cp("история 1"));
        m_h.db().addParcel("RR100000002CN", "eBay", "Lamp", "", cp("в пути"), "2013-03-02 10:00:00", cp("история 2"));
        m_h.db().addParcel("RR100000003CN", "Amazon", "Kindle");
        MainFormOptions options = m_h.options();
        options.endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
        // The check run is timed with the rest, and a page that tells it nothing (notifications
        // switched off) is looked at only on the fallback schedule.
        options.checkRunLimits.fallbackLookMs = 100;
        m_window = &m_h.start(options);
        m_before = m_h.db().rows();
        ASSERT_EQ(m_before.size(), 3u);
    }

    void TearDown() override { m_site.stop(); }

    // Runs one user operation and returns the texts of the boxes it showed.
    std::vector<QString> operation(const std::function<void()>& act)
    {
        m_h.prompts.clear();
        QElapsedTimer timer;
        timer.start();
        act();
        EXPECT_LT(timer.elapsed(), kNoWaitingMs) << "the operation waited for the lock";
        return m_h.boxHeads();
    }

    void add(const QString& track)
    {
        m_h.inDialog([&] { ui(*m_window).Add->trigger(); },
                     [&](TFm_Track& dialog) {
                         controls(dialog).Edit_Track->setText(track);
                         controls(dialog).Edit_Shop->setText(QStringLiteral("Shop"));
                         controls(dialog).Edit_Title->setText(QStringLiteral("Что-то"));
                         apptest::saveOrCancel(dialog);
                     });
    }

    void editFirstRow(const QString& title)
    {
        setSelectedRow(m_h.grid(), 1);
        m_h.inDialog([&] { ui(*m_window).edit->trigger(); },
                     [&](TFm_Track& dialog) {
                         controls(dialog).Edit_Title->setText(title);
                         apptest::saveOrCancel(dialog);
                     });
    }

    void deleteLastRow()
    {
        setSelectedRow(m_h.grid(), m_h.grid().parcelRowCount());
        m_h.prompts.answerNext(Prompts::Button::Yes);
        ui(*m_window).N3->trigger();
    }

    SiteDouble m_site;
    Harness m_h;
    TMainForm* m_window = nullptr;
    std::vector<Row> m_before;
};

TEST_F(LockedDatabase, WriteLockOfAnotherProgramFailsEveryWriteAtOnceAndChangesNothing)
{
    LockHolder other;
    ASSERT_TRUE(other.lock(QString::fromStdString(m_h.databasePath()), LockHolder::Mode::Immediate))
        << other.error().toStdString();

    EXPECT_EQ(operation([&] { add(QStringLiteral("RR999999999CN")); }), (std::vector<QString>{kAddFailed}));
    EXPECT_EQ(operation([&] { editFirstRow(QStringLiteral("Изменено")); }), (std::vector<QString>{kSaveFailed}));
    EXPECT_EQ(operation([&] { deleteLastRow(); }),
              (std::vector<QString>{QStringLiteral("Удалить выбранную запись?"), kDeleteFailed}));
    // Reading is still allowed under another program's write lock.
    EXPECT_EQ(operation([&] { m_window->RefreshGrid(); }), std::vector<QString>{});
    EXPECT_EQ(m_h.grid().parcelRowCount(), 3);

    // The check run: each of the three statements fails with its box, the run goes on and ends.
    EXPECT_EQ(operation([&] { ui(*m_window).N4->trigger(); }),
              (std::vector<QString>{kStoreFailed, kStoreFailed, kStoreFailed}));
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    EXPECT_TRUE(m_h.grid().isEnabled());
    EXPECT_EQ(m_site.totalSearches(), 3);

    EXPECT_EQ(m_h.db().rows(), m_before);
    EXPECT_TRUE(other.holding());
}

TEST_F(LockedDatabase, ExclusiveLockFailsReadsAndWritesAtOnceAndTheCheckRunEndsCleanly)
{
    LockHolder other;
    ASSERT_TRUE(other.lock(QString::fromStdString(m_h.databasePath()), LockHolder::Mode::Exclusive))
        << other.error().toStdString();

    EXPECT_EQ(operation([&] { m_window->RefreshGrid(); }), (std::vector<QString>{kRefreshFailed}));
    // The grid keeps what it showed: a failed list query changes neither grid nor result.
    EXPECT_EQ(m_h.grid().parcelRowCount(), 3);
    EXPECT_EQ(operation([&] { add(QStringLiteral("RR999999999CN")); }), (std::vector<QString>{kAddFailed}));
    // The edit load fails: its box, and no dialog whose empty fields a save could write.
    setSelectedRow(m_h.grid(), 1);
    EXPECT_EQ(operation([&] { ui(*m_window).edit->trigger(); }), (std::vector<QString>{kLoadFailed}));
    EXPECT_FALSE(m_h.dialog().isVisible());
    EXPECT_EQ(operation([&] { deleteLastRow(); }), (std::vector<QString>{kDeleteFailed, kRefreshFailed}));

    // The run cannot take its snapshot: the general error report, and nothing is left disabled.
    const std::vector<QString> boxes = operation([&] { ui(*m_window).N4->trigger(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(m_h.prompts.shown().front().caption, QStringLiteral("Курьерикс 1.0"));
    // What the lock means to the user first, the access layer's own words after it.
    EXPECT_EQ(boxes.front(), QStringLiteral("Файл базы данных занят другой программой: закройте её и попробуйте снова "
                                            "(Could not prepare SQL statement)."));
    EXPECT_TRUE(m_h.grid().isEnabled());
    EXPECT_FALSE(m_window->findChild<CheckSession*>()->running());
    EXPECT_EQ(m_site.totalSearches(), 0);

    other.release();
    EXPECT_EQ(m_h.db().rows(), m_before);
}

TEST_F(LockedDatabase, EverythingWorksAgainOnceTheLockIsGone)
{
    {
        LockHolder other;
        ASSERT_TRUE(other.lock(QString::fromStdString(m_h.databasePath()), LockHolder::Mode::Exclusive))
            << other.error().toStdString();
        operation([&] { add(QStringLiteral("RR999999999CN")); });
        operation([&] { ui(*m_window).N4->trigger(); });
    }
    EXPECT_EQ(m_h.db().rows(), m_before);

    EXPECT_EQ(operation([&] { add(QStringLiteral("RR100000004CN")); }), std::vector<QString>{});
    EXPECT_EQ(operation([&] { editFirstRow(QStringLiteral("Изменено")); }), std::vector<QString>{});
    EXPECT_EQ(operation([&] { deleteLastRow(); }), (std::vector<QString>{QStringLiteral("Удалить выбранную запись?")}));
    EXPECT_EQ(operation([&] { m_window->RefreshGrid(); }), std::vector<QString>{});
    EXPECT_EQ(operation([&] { ui(*m_window).N4->trigger(); }), std::vector<QString>{});

    const auto rows = m_h.db().rows();
    ASSERT_EQ(rows.size(), 3u); // three, one added, the added one deleted again
    EXPECT_EQ(rows[0].at("s_title"), Field(cp("Изменено")));
    EXPECT_EQ(rows[0].at("s_comments"), Field(cp("подарок")));
    for (const Row& row : rows) {
        EXPECT_EQ(row.at("s_date"), Field("2013-03-16 12:30:00")) << *row.at("s_track");
        EXPECT_NE(row.at("s_track"), Field("RR100000004CN"));
    }
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    EXPECT_EQ(m_h.grid().parcelRowCount(), 3);
}

} // namespace
