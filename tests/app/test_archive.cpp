// The archive: parcels put away from the grid's menu, shown greyed on request, left out of the
// window's check runs, and delivered parcels offered for it once.
#include "AppTestHarness.h"

#include "tracking/page/TrackingPage.h"

#include <QTcpServer>

using apptest::cp;
using apptest::Harness;

namespace {

// Answers every number with one event that says the parcel was handed over, and counts the
// numbers it was asked about.
class DeliveredPage : public TrackingPage
{
public:
    explicit DeliveredPage(QStringList& asked) : m_asked(asked) {}

    void loadPage(const QString&) override {}
    int readyState() override { return 4; }
    void selectInternationalTracking() override {}
    void enterNumber(const QString& number) override { m_asked += number; }
    void startSearch() override {}
    QString readPageText() override { return QStringLiteral("found"); }
    QString readPageHtml() override
    {
        return QStringLiteral("<TD style=\"BACKGROUND: #8be3ff\">2013-03-16 12:30:00</TD>"
                              "<TD style=\"BACKGROUND: #8be3ff\">Вручение отправления адресату</TD>"
                              "<TD style=\"BACKGROUND: #8be3ff\">220050</TD>");
    }

private:
    QStringList& m_asked;
};

std::vector<QString> numbersShown(const Harness& h)
{
    std::vector<QString> numbers;
    for (int row = 1; row <= h.grid().parcelRowCount(); ++row)
        numbers.push_back(cellText(h.grid(), row, 2));
    return numbers;
}

bool greyed(const Harness& h, int row)
{
    return h.grid().model()->index(row - 1, 3).data(Qt::ForegroundRole).isValid();
}

} // namespace

TEST(Archive, SelectedParcelsGoToTheArchiveAndBackAndShowArchiveShowsThemGreyed)
{
    Harness h;
    h.db().create();
    for (const char* number : {"RR1", "RR2", "RR3"})
        h.db().addParcel(number, "Shop", "Title");
    const auto tracksBefore = h.db().rows();
    TMainForm& window = h.start();
    const MainFormView view(window);

    // Several rows at once with Ctrl; the current row is the one clicked last. Only the items
    // that can act on them are offered.
    h.clickRow(1);
    QTest::mouseClick(h.grid().viewport(), Qt::LeftButton, Qt::ControlModifier, h.rowCentre(3));
    EXPECT_EQ(selectedRow(h.grid()), 3);
    EXPECT_TRUE(view.toArchiveAction->isEnabled());
    EXPECT_FALSE(view.fromArchiveAction->isEnabled());
    view.toArchiveAction->trigger();
    EXPECT_EQ(numbersShown(h), (std::vector<QString>{"RR2"}));
    EXPECT_EQ(h.db().rows(), tracksBefore);
    EXPECT_EQ(h.db().rows("SELECT id FROM kurierix_archive WHERE archived ORDER BY id").size(), 2u);
    EXPECT_TRUE(h.log().endsWith(QStringLiteral("\n Перенесено в архив посылок: 2"))) << h.log().toStdString();

    // The parcel chosen stays chosen when the archived ones come in above it.
    view.showArchiveAction->trigger();
    ASSERT_EQ(numbersShown(h), (std::vector<QString>{"RR1", "RR2", "RR3"}));
    EXPECT_EQ(h.grid().currentParcel()->number, QStringLiteral("RR2"));
    EXPECT_TRUE(greyed(h, 1));
    EXPECT_FALSE(greyed(h, 2));
    EXPECT_TRUE(greyed(h, 3));
    // A reload after another program wrote keeps several selected rows selected.
    h.clickRow(1);
    QTest::mouseClick(h.grid().viewport(), Qt::LeftButton, Qt::ControlModifier, h.rowCentre(3));
    h.db().exec("UPDATE tracks SET s_status='x' WHERE id=2");
    ASSERT_TRUE(testsupport::waitUntil([&] { return cellText(h.grid(), 2, 3) == QStringLiteral("x"); }));
    EXPECT_EQ(h.grid().selectedParcels().size(), 2u);
    EXPECT_EQ(selectedRow(h.grid()), 3);
    h.clickRow(3);
    EXPECT_FALSE(view.toArchiveAction->isEnabled());
    EXPECT_TRUE(view.fromArchiveAction->isEnabled());
    view.fromArchiveAction->trigger();
    EXPECT_FALSE(greyed(h, 3));
    EXPECT_TRUE(h.log().endsWith(QStringLiteral("\n Возвращено из архива посылок: 1")));
    view.showArchiveAction->trigger();
    EXPECT_EQ(numbersShown(h), (std::vector<QString>{"RR2", "RR3"}));

    // A deleted parcel's mark goes with the next write to the table.
    h.db().exec("DELETE FROM tracks WHERE id=1");
    window.RefreshGrid();
    h.clickRow(1);
    view.toArchiveAction->trigger();
    EXPECT_EQ(h.db().rows("SELECT id FROM kurierix_archive WHERE archived ORDER BY id"),
              (std::vector<apptest::Row>{{{"id", "2"}}}));
    EXPECT_TRUE(h.prompts.shown().empty());
}

TEST(Archive, ARunChecksOnlyTheParcelsOutsideTheArchiveAndOffersTheDeliveredOnce)
{
    Harness h;
    h.db().create();
    h.db().exec("CREATE TABLE kurierix_archive (id INTEGER PRIMARY KEY, archived INTEGER NOT NULL DEFAULT 0,"
                " offered INTEGER NOT NULL DEFAULT 0)");
    for (int i = 1; i <= 500; ++i) {
        h.db().addParcel("RR" + std::to_string(i), "Shop", "Title");
        if (i % 5 != 0)
            h.db().exec("INSERT INTO kurierix_archive (id, archived) VALUES (?1, 1)", {std::to_string(i)});
    }
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    QStringList asked;
    MainFormOptions options = h.options();
    options.endpoints = {"http://127.0.0.1:9/", "127.0.0.1", probe.serverPort()};
    options.checkRunLimits.pauseBeforeProbeMs = 0;
    options.pageFactory = [&asked] { return std::unique_ptr<TrackingPage>(std::make_unique<DeliveredPage>(asked)); };
    options.notifyChanged = [](const QList<ChangedParcel>&) {};
    TMainForm& window = h.start(options);
    const MainFormView view(window);

    // The focus, in the history before the run, is back on the grid after it.
    ui(window).Memo_history->setFocus();
    h.prompts.answerNext(Prompts::Button::No);
    view.N4->trigger();
    ASSERT_EQ(asked.size(), 100);
    for (const QString& number : asked)
        EXPECT_EQ(number.mid(2).toInt() % 5, 0) << number.toStdString();
    const QString offer = QStringLiteral(" Вручённых посылок, которые можно перенести в архив: 100 (меню «В архив»)");
    EXPECT_EQ(h.log().count(offer), 1) << h.log().toStdString();
    ASSERT_EQ(h.prompts.shown().size(), 1u);
    EXPECT_EQ(
        h.prompts.shown()[0].text,
        QStringLiteral("Переместить в архив 100 доставленных посылок?\n\nRR5\nRR10\nRR15\nRR20\nRR25\nRR30\nRR35\n"
                       "RR40\nRR45\nRR50\nи ещё 90"));
    EXPECT_EQ(h.db().rows("SELECT id FROM kurierix_archive WHERE archived").size(), 400u);
    EXPECT_EQ(window.focusWidget(), &h.grid());

    // Offered once: the next run (over the last five, to keep it short) names none.
    h.db().exec("UPDATE kurierix_archive SET archived=1 WHERE id<=475");
    view.N4->trigger();
    EXPECT_EQ(asked.size(), 105);
    EXPECT_EQ(h.log().count(QStringLiteral("можно перенести в архив")), 1);
    EXPECT_EQ(h.prompts.shown().size(), 1u);

    // "Да" archives exactly the parcels named, not one delivered while the question was open.
    h.db().exec("UPDATE kurierix_archive SET archived=1");
    h.db().addParcel("RR501", "Shop", "Title");
    h.prompts.onShow([&](const Prompts::Box&) { h.db().addParcel("RR502", "Shop", "Title", {}, cp("Вручено")); });
    h.prompts.answerNext(Prompts::Button::Yes);
    view.N4->trigger();
    h.prompts.onShow({});
    ASSERT_EQ(h.prompts.shown().size(), 2u);
    EXPECT_EQ(h.prompts.shown()[1].text, QStringLiteral("Переместить в архив 1 доставленных посылок?\n\nRR501"));
    EXPECT_EQ(h.db().rows("SELECT id FROM kurierix_archive WHERE archived").size(), 501u);
    EXPECT_EQ(h.db().rows("SELECT id FROM kurierix_archive WHERE id=502").size(), 0u);
    EXPECT_TRUE(h.log().endsWith(QStringLiteral("\n Перенесено в архив посылок: 1"))) << h.log().toStdString();
}
