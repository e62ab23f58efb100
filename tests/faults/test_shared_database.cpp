// The window and `kurierix --check` (the background timer's run) on one database.db, as two real
// processes: one check run at a time, whoever starts it, through the lock beside the file; a lock
// left by a killed run holds nobody up; and while a run without a window writes, the open window
// edits, deletes and refreshes without an error box on either side, and every write lands. And two
// windows on one file: a parcel one deletes is gone for the other, which says so.
#include "app/AppTestHarness.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/RunLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

#include <csignal>

using apptest::cp;
using apptest::Harness;
using apptest::Row;

using namespace apptest::boxes;

namespace {

const QList<SiteDouble::Event> kEvents = {
    {QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Прием отправления"), QStringLiteral("SHENZHEN")},
    {QStringLiteral("2013-03-20 08:05:00"), QStringLiteral("Поступление в учреждение обмена"),
     QStringLiteral("MINSK PI 2")},
};

QString numberOf(int i)
{
    return QStringLiteral("RS%1CN").arg(i, 9, 10, QLatin1Char('0'));
}

class SharedDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_site.start());
        m_h.db().create();
    }

    void TearDown() override
    {
        m_site.releaseStalled();
        m_site.stop();
    }

    void addParcels(int count)
    {
        for (int i = 0; i < count; ++i) {
            m_h.db().addParcel(numberOf(i).toStdString(), "Shop", cp("Товар ") + std::to_string(i));
            m_site.setAnswer(numberOf(i), kEvents);
        }
    }

    MainFormOptions options()
    {
        MainFormOptions options = m_h.options();
        options.endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
        return options;
    }

    // `kurierix --check` in the window's folder, as the timer starts it.
    void startCheck(QProcess& program)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KURIERIX_TRACKING_URL"), m_site.url());
        environment.insert(QStringLiteral("KURIERIX_PROBE"), QStringLiteral("127.0.0.1:%1").arg(m_site.port()));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_h.dirPath() + QStringLiteral("/cache"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(m_h.dirPath());
        program.start(QStringLiteral(KURIERIX_PROGRAM), {QStringLiteral("--check"), QStringLiteral("--quiet")});
        ASSERT_TRUE(program.waitForStarted(10000));
    }

    bool ended(QProcess& program, std::chrono::milliseconds within = std::chrono::seconds(90))
    {
        return testsupport::waitUntil([&] { return program.state() == QProcess::NotRunning; }, within);
    }

    // The program's own lines of standard error, without what the browser engine says there and
    // without the notification that no bus could show.
    static QStringList ownErrors(QProcess& program)
    {
        QStringList own;
        for (const QString& line : QString::fromUtf8(program.readAllStandardError()).split(u'\n'))
            if (line.startsWith(QStringLiteral("kurierix: ")) && !line.contains(QStringLiteral("уведомление")))
                own += line;
        return own;
    }

    std::vector<QString> errorBoxes() const
    {
        std::vector<QString> texts;
        for (const auto& box : m_h.prompts.shown())
            if (box.icon == Prompts::Icon::Error)
                texts.push_back(box.text);
        return texts;
    }

    QString lockPath() const { return RunLock::pathFor(m_h.databasePath()); }

    SiteDouble m_site;
    Harness m_h;
};

TEST_F(SharedDatabase, OneCheckRunAtATimeWhoeverStartsItAndAKilledRunsLockHoldsNobodyUp)
{
    addParcels(2);
    SiteDouble::AnswerFaults held;
    held.noAnswer = true;
    m_site.setAnswerFaults(numberOf(0), held);
    TMainForm& window = m_h.start(options());
    const QString logBefore = m_h.log();

    // A run without a window holds the database: the menu's run says so and does nothing.
    QProcess background;
    startCheck(background);
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_site.searchCount(numberOf(0)) > 0; }, std::chrono::seconds(60)));
    ASSERT_TRUE(QFile::exists(lockPath()));
    ui(window).N4->trigger();
    ASSERT_EQ(m_h.prompts.shown().size(), 1u);
    EXPECT_EQ(m_h.prompts.shown()[0].text, QStringLiteral("Посылки уже проверяются в фоне. Попробуйте позже."));
    EXPECT_EQ(m_h.prompts.shown()[0].icon, Prompts::Icon::Information);
    EXPECT_EQ(m_h.log(), logBefore);
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    EXPECT_TRUE(m_h.grid().isEnabled());

    // Killed mid-run, it leaves its lock behind; the next run takes it over and goes through.
    ::kill(static_cast<pid_t>(background.processId()), SIGKILL);
    ASSERT_TRUE(ended(background));
    EXPECT_TRUE(QFile::exists(lockPath()));
    m_site.clearFaults();
    m_site.releaseStalled();
    QProcess next;
    startCheck(next);
    ASSERT_TRUE(ended(next));
    EXPECT_EQ(next.exitCode(), 0) << ownErrors(next).join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(lockPath()));

    // The window's run holds the database: a run without a window started meanwhile ends at once
    // with 4, and the window's run goes on to its end.
    TSQLiteDatabase(m_h.databasePath()).Execute("UPDATE tracks SET s_status=NULL");
    SiteDouble::AnswerFaults slow;
    slow.latency = std::chrono::milliseconds(1500);
    m_site.setAnswerFaults(numberOf(1), slow);
    int duringRun = -1;
    QTimer starter;
    QObject::connect(&starter, &QTimer::timeout, [&] {
        if (m_site.searchCount(numberOf(1)) == 0 || duringRun != -1)
            return;
        QProcess meanwhile;
        startCheck(meanwhile);
        meanwhile.waitForFinished(30000);
        duringRun = meanwhile.exitCode();
    });
    starter.start(20);
    m_h.prompts.clear();
    ui(window).N4->trigger();
    starter.stop();
    EXPECT_EQ(duringRun, 4);
    EXPECT_TRUE(m_h.prompts.shown().empty());
    EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    for (const Row& row : m_h.db().rows())
        EXPECT_TRUE(row.at("s_status").has_value());
}

TEST_F(SharedDatabase, WindowEditsDeletesAndRefreshesWhileARunWithoutAWindowWritesAndNeitherShowsAnError)
{
    constexpr int kParcels = 40;
    addParcels(kParcels);
    SiteDouble::AnswerFaults quick;
    quick.latency = std::chrono::milliseconds(10);
    m_site.setAnswerFaults(quick);
    TMainForm& window = m_h.start(options());

    QProcess background;
    startCheck(background);
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_site.totalSearches() > 0; }, std::chrono::seconds(60)));
    int edits = 0;
    int deletes = 0;
    const QDeadlineTimer runBound(std::chrono::minutes(2));
    while (background.state() != QProcess::NotRunning) {
        // Edit the first row's title; every tenth turn delete the last row; refresh in between.
        m_h.grid().setSelectedRow(1);
        const QString title = QStringLiteral("правка %1").arg(++edits);
        m_h.inDialog([&] { ui(window).edit->trigger(); },
                     [&](TFm_Track& dialog) {
                         dialog.Edit_Title->setText(title);
                         QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                     });
        window.RefreshGrid();
        if (edits % 10 == 0 && m_h.grid().parcelRowCount() > 1) {
            m_h.grid().setSelectedRow(m_h.grid().parcelRowCount());
            m_h.prompts.answerNext(Prompts::Button::Yes);
            ui(window).N3->trigger();
            ++deletes;
        }
        ASSERT_FALSE(runBound.hasExpired()) << "the run without a window does not end";
    }
    EXPECT_EQ(background.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(background.exitCode(), 0);
    const QStringList errors = ownErrors(background);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    EXPECT_TRUE(errorBoxes().empty()) << errorBoxes().front().toStdString();
    std::printf("shared: %d edits and %d deletes while the run wrote\n", edits, deletes);
    EXPECT_GT(edits, 5);

    // Both sides' writes are there: the last edit, the deletes, and every remaining row checked.
    const std::vector<Row> rows = m_h.db().rows();
    ASSERT_EQ(rows.size(), std::size_t(kParcels - deletes));
    EXPECT_EQ(rows[0].at("s_title"), apptest::Field(testsupport::cp1251(QStringLiteral("правка %1").arg(edits))));
    for (const Row& row : rows)
        EXPECT_EQ(row.at("s_date"), apptest::Field("2013-03-16 12:30:00")) << *row.at("s_track");
}

TEST_F(SharedDatabase, TwoWindowsOnOneFileAParcelOneDeletesIsNeitherSavedNorDeletedByTheOtherWhichSaysSo)
{
    addParcels(4);
    TMainForm& window = m_h.start(options());
    RecordingPrompts otherPrompts;
    MainFormOptions otherOptions = options();
    otherOptions.prompts = &otherPrompts;
    otherOptions.browserStorageDir = m_h.dirPath() + QStringLiteral("/browser-other");
    TMainForm other(otherOptions);
    other.show();
    const auto deleteInOther = [&](int row) {
        ui(other).StringGrid2->setSelectedRow(row);
        otherPrompts.answerNext(Prompts::Button::Yes);
        ui(other).N3->trigger();
    };

    // This window edits the fourth parcel; the other deletes it meanwhile; the save changes no row.
    m_h.grid().setSelectedRow(4);
    m_h.inDialog([&] { ui(window).edit->trigger(); },
                 [&](TFm_Track& dialog) {
                     dialog.Edit_Title->setText(QStringLiteral("правка"));
                     deleteInOther(4);
                     QTest::mouseClick(dialog.Button1, Qt::LeftButton);
                     EXPECT_TRUE(dialog.isVisible());
                     EXPECT_EQ(dialog.Edit_Track->text(), numberOf(3));
                     EXPECT_EQ(dialog.Edit_Title->text(), QStringLiteral("правка"));
                     QTest::mouseClick(dialog.Button2, Qt::LeftButton);
                 });
    EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{kParcelGoneOnSave});
    EXPECT_EQ(m_h.grid().parcelRowCount(), 3);

    // The menu is open on the third when the other deletes it; the grid is not reloaded under an
    // open menu, so it still shows the parcel. No dialog opens for it.
    m_h.prompts.clear();
    m_h.grid().setSelectedRow(3);
    ui(window).PopupMenu1->popup(window.mapToGlobal(QPoint(100, 100)));
    deleteInOther(3);
    QTest::qWait(300);
    ASSERT_EQ(m_h.grid().parcelRowCount(), 3);
    EXPECT_FALSE(m_h.showsDialog([&] { ui(window).edit->trigger(); }));
    ui(window).PopupMenu1->hide();
    EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{kParcelGone});
    EXPECT_EQ(m_h.grid().parcelRowCount(), 2);

    // Nor does a delete pretend to have deleted it.
    m_h.prompts.clear();
    deleteInOther(2);
    m_h.grid().setSelectedRow(2);
    m_h.prompts.answerNext(Prompts::Button::Yes);
    ui(window).N3->trigger();
    EXPECT_EQ(m_h.boxHeads(), (std::vector<QString>{QStringLiteral("Удалить выбранную запись?"), kParcelGone}));
    EXPECT_EQ(m_h.grid().parcelRowCount(), 1);

    EXPECT_TRUE(otherPrompts.shown().size() == 3u) << otherPrompts.shown().size();
    const std::vector<Row> rows = m_h.db().rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("s_track"), apptest::Field(numberOf(0).toStdString()));
}

} // namespace
