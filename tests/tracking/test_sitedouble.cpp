// The tracking-site double over plain HTTP: the page contract, the answers and every fault,
// without a browser.
#include "tools/sitedouble/SiteDouble.h"

#include "support/TestSupport.h"

#include <httplib.h>

#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using testsupport::cp1251;
using testsupport::waitUntil;

namespace {

class SiteDoubleTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_site.start()); }

    httplib::Result get(const std::string& path)
    {
        httplib::Client client("127.0.0.1", m_site.port());
        client.set_read_timeout(10, 0);
        return client.Get(path.c_str());
    }

    std::string answer(const std::string& number, const std::string& kind = "2")
    {
        const auto result = get("/answer?item=" + QUrl::toPercentEncoding(QString::fromStdString(number)).toStdString()
                                + "&kind=" + kind);
        EXPECT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        return result ? result->body : std::string();
    }

    static int count(const std::string& text, const std::string& what)
    {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
            ++n;
        return n;
    }

    // The last <input ...> tag of a page.
    static std::string lastInput(const std::string& page)
    {
        const auto at = page.rfind("<input");
        return at == std::string::npos ? std::string() : page.substr(at, page.find('>', at) - at + 1);
    }

    SiteDouble m_site;
};

TEST_F(SiteDoubleTest, PageHonoursTheTrackingPageContract)
{
    const auto result = get("/");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=windows-1251");
    const std::string& page = result->body;
    EXPECT_NE(page.find(R"(id="internal-1" value="1")"), std::string::npos);
    EXPECT_NE(page.find(R"(id="internal-2" value="2")"), std::string::npos);
    EXPECT_NE(page.find(R"(type="text" id="item")"), std::string::npos);
    EXPECT_NE(page.find(R"(<div id="results">)"), std::string::npos);
    EXPECT_EQ(lastInput(page), cp1251(R"(<input type="submit" name="btn_seek" value="Искать">)"));
    // The loading text and image go into the results block before the answer is asked for.
    EXPECT_NE(page.find(cp1251("Загрузка...<br><img")), std::string::npos);
    EXPECT_LT(page.find(cp1251("Загрузка")), page.find("new XMLHttpRequest"));
    EXPECT_EQ(page, m_site.pageBytes().toStdString());
    EXPECT_EQ(m_site.pageRequests(), 1);
}

TEST_F(SiteDoubleTest, FixtureAnswersAreEventTablesOldestFirstAndEverySearchIsCounted)
{
    QString error;
    ASSERT_TRUE(m_site.loadFixture(QString::fromStdString(testsupport::dataPath("sitedouble/answers.json")), &error))
        << error.toStdString();

    const std::string table = answer("RR123456789CN");
    EXPECT_EQ(count(table, cp1251(R"(<td class="theader" style="background:none">Дата</td>)")), 1);
    EXPECT_EQ(count(table, R"(<td class="theader" style="background:none">)"), 3);
    EXPECT_EQ(count(table, "<!--<td></td>-->"), 4);
    // Rows alternate, the first event row highlighted, three cells each.
    EXPECT_EQ(count(table, R"(<td style="background:#8be3ff">)"), 6);
    EXPECT_EQ(count(table, R"(<td style="background: none">)"), 6);
    EXPECT_NE(table.find(R"(<tr><td style="background:#8be3ff">2013-03-16 12:30:00</td>)"), std::string::npos);
    EXPECT_NE(table.find(R"(<tr><td style="background: none">2013-03-17 14:16:00</td>)"), std::string::npos);
    EXPECT_LT(table.find("2013-03-16"), table.find("2013-03-17"));
    EXPECT_LT(table.find("2013-03-29"), table.find("2013-04-02"));
    EXPECT_NE(table.find(cp1251(R"(>Получение отправления от отправителя</td>)")), std::string::npos);

    const std::string notFound = cp1251("По вашему запросу ничего не найдено");
    EXPECT_NE(answer("CP000111222BY").find(notFound), std::string::npos);      // null in the fixture
    EXPECT_NE(answer("LZ000000000US").find(notFound), std::string::npos);      // unknown
    EXPECT_NE(answer("RR123456789CN", "1").find(notFound), std::string::npos); // domestic search
    EXPECT_EQ(answer("RR123456789CN").find(notFound), std::string::npos);

    EXPECT_EQ(m_site.searchCount(QStringLiteral("RR123456789CN")), 3);
    EXPECT_EQ(m_site.searchCount(QStringLiteral("LZ000000000US")), 1);
    EXPECT_EQ(m_site.totalSearches(), 5);
    const auto searches = m_site.searches();
    ASSERT_EQ(searches.size(), 5);
    EXPECT_EQ(searches.at(3).number, QStringLiteral("RR123456789CN"));
    EXPECT_EQ(searches.at(3).kind, QStringLiteral("1"));
    m_site.resetCounters();
    EXPECT_EQ(m_site.totalSearches(), 0);
}

TEST_F(SiteDoubleTest, NumbersArriveExactlyAndAnswersCanBeSetInCode)
{
    const QString number = QStringLiteral(" ra \"1'\\2 жд&<b> ");
    m_site.setAnswer(number, {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("A & <B>"), QStringLiteral("X")}});
    const std::string table = answer(number.toStdString());
    EXPECT_NE(table.find("A &amp; &lt;B&gt;"), std::string::npos); // plain text stays text
    EXPECT_EQ(m_site.searchCount(number), 1);

    m_site.setNotFound(number);
    EXPECT_NE(answer(number.toStdString()).find(cp1251("ничего не найдено")), std::string::npos);
}

TEST_F(SiteDoubleTest, UnusableFixturesAreRefusedWithTheReason)
{
    QString error;
    EXPECT_FALSE(m_site.loadFixture(QString::fromStdString(testsupport::dataPath("sitedouble/broken.json")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("RR123456789CN"))) << error.toStdString();
    EXPECT_FALSE(m_site.loadFixture(QStringLiteral("/nonexistent/answers.json"), &error));
    EXPECT_NE(answer("RR123456789CN").find(cp1251("ничего не найдено")), std::string::npos);
}

TEST_F(SiteDoubleTest, AnswerFaultsApplyToAllOrToOneNumber)
{
    m_site.setAnswer(QStringLiteral("A1"),
                     {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("E"), QStringLiteral("O")}});
    m_site.setAnswer(QStringLiteral("B2"), {});
    SiteDouble::AnswerFaults many;
    many.manyEvents = 50;
    m_site.setAnswerFaults(many);
    SiteDouble::AnswerFaults markup;
    markup.markupInCells = true;
    m_site.setAnswerFaults(QStringLiteral("A1"), markup);

    const std::string marked = answer("A1");
    EXPECT_NE(marked.find(R"(<td style="background:#8be3ff"><b>E</b></td>)"), std::string::npos);
    EXPECT_NE(marked.find(R"(<a href="#" title="O">O</a>)"), std::string::npos);
    EXPECT_EQ(count(answer("B2"), "<!--<td></td>-->"), 50);
    EXPECT_NE(answer("C3").find(cp1251("ничего не найдено")), std::string::npos); // not found stays so

    SiteDouble::AnswerFaults closing;
    closing.closeConnection = true;
    m_site.setAnswerFaults(QStringLiteral("A1"), closing);
    const auto dropped = get("/answer?item=A1&kind=2");
    EXPECT_FALSE(dropped && dropped->status == 200 && dropped->body.find("</table>") != std::string::npos);

    SiteDouble::AnswerFaults slow;
    slow.latency = std::chrono::milliseconds(300);
    m_site.setAnswerFaults(QStringLiteral("A1"), slow);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(answer("A1").find("</table>"), std::string::npos);
    EXPECT_GE(std::chrono::steady_clock::now() - started, slow.latency);
}

TEST_F(SiteDoubleTest, HeldAnswersAndPagesGoOnWhenReleased)
{
    SiteDouble::AnswerFaults silent;
    silent.noAnswer = true;
    m_site.setAnswerFaults(silent);
    SiteDouble::PageFaults stalled;
    stalled.loadNeverCompletes = true;
    m_site.setPageFaults(stalled);

    std::atomic<bool> answered{false};
    std::atomic<bool> pageDone{false};
    std::string body;
    std::string pageBody;
    std::thread search([&] {
        body = answer("A1");
        answered = true;
    });
    std::thread load([&] {
        const auto result = get("/");
        pageBody = result ? result->body : std::string();
        pageDone = true;
    });
    ASSERT_TRUE(waitUntil([&] { return m_site.searchCount(QStringLiteral("A1")) == 1 && m_site.pageRequests() == 1; }));
    EXPECT_FALSE(answered);
    EXPECT_FALSE(pageDone);
    m_site.releaseStalled();
    ASSERT_TRUE(waitUntil([&] { return answered && pageDone; }));
    search.join();
    load.join();
    EXPECT_NE(body.find(cp1251("ничего не найдено")), std::string::npos);
    EXPECT_EQ(pageBody, m_site.pageBytes().toStdString());
}

TEST_F(SiteDoubleTest, StopEndsHeldRequestsAndTheDoubleCanStartAgain)
{
    SiteDouble::AnswerFaults silent;
    silent.noAnswer = true;
    m_site.setAnswerFaults(silent);
    std::atomic<bool> returned{false};
    std::thread search([&] {
        httplib::Client client("127.0.0.1", m_site.port());
        client.Get("/answer?item=A1&kind=2");
        returned = true;
    });
    ASSERT_TRUE(waitUntil([&] { return m_site.totalSearches() == 1; }));
    m_site.stop();
    EXPECT_FALSE(m_site.isRunning());
    ASSERT_TRUE(waitUntil([&] { return returned.load(); }));
    search.join();

    ASSERT_TRUE(m_site.start());
    m_site.clearFaults();
    EXPECT_NE(answer("A1").find(cp1251("ничего не найдено")), std::string::npos);
}

TEST_F(SiteDoubleTest, PageFaultsChangeWhatTheNextLoadGets)
{
    SiteDouble::PageFaults faults;
    faults.noItemField = true;
    faults.inputAfterButton = true;
    faults.alertOnLoad = true;
    faults.noLoadingText = true;
    m_site.setPageFaults(faults);
    const std::string page = get("/")->body;
    EXPECT_EQ(page.find(R"(id="item")"), std::string::npos);
    EXPECT_NE(page.find(R"(id="barcode")"), std::string::npos);
    EXPECT_EQ(lastInput(page), R"(<input type="checkbox" id="remember" name="remember" value="1">)");
    EXPECT_NE(page.find("<script>alert("), std::string::npos);
    EXPECT_EQ(page.find(cp1251("Загрузка")), std::string::npos);

    faults = {};
    faults.httpStatus = 503;
    m_site.setPageFaults(faults);
    EXPECT_EQ(get("/")->status, 503);

    faults = {};
    faults.closeConnection = true;
    m_site.setPageFaults(faults);
    const auto dropped = get("/");
    EXPECT_FALSE(dropped && dropped->status == 200 && !dropped->body.empty());

    // The search of a page that keeps working starts its worker and beacon once it has asked for
    // the answer; the beacon's requests are counted.
    faults = {};
    faults.busyAfterSearchMs = 250;
    faults.hugeTextsChars = 1234;
    m_site.setPageFaults(faults);
    const std::string busy = get("/")->body;
    const auto asked = busy.find("request.send();");
    const auto searched = busy.find("return false;", asked);
    for (const char* part : {"new Worker(", "}, 250);", R"("x".repeat(1234))"}) {
        const auto at = busy.find(part);
        EXPECT_TRUE(asked < at && at < searched) << part;
    }
    EXPECT_EQ(m_site.beaconRequests(), 0);
    EXPECT_EQ(get("/beacon?t=1")->status, 200);
    EXPECT_EQ(m_site.beaconRequests(), 1);
}

TEST(SiteDoubleExecutable, ServesTheFixtureAtThePrintedAddressUntilTerminated)
{
    const QString program = QStringLiteral(KURIERIX_BINARY_DIR "/tools/sitedouble/kurierix-sitedouble");
    if (!std::filesystem::exists(program.toStdString()))
        GTEST_SKIP() << "kurierix-sitedouble is not built";
    QProcess process;
    process.start(program, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--fixture"),
                            QString::fromStdString(testsupport::dataPath("sitedouble/answers.json"))});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return process.canReadLine(); }));
    const QString url = QString::fromUtf8(process.readLine()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^http://127\\.0\\.0\\.1:(\\d+)/$")).match(url);
    ASSERT_TRUE(match.hasMatch()) << url.toStdString();

    httplib::Client client("127.0.0.1", match.captured(1).toInt());
    const auto result = client.Get("/answer?item=RR123456789CN&kind=2");
    ASSERT_TRUE(result);
    EXPECT_NE(result->body.find("2013-04-02 11:40:00"), std::string::npos);

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

} // namespace
