// The page driver in a real, headless Qt WebEngine against the tracking-site double on
// 127.0.0.1: the operations in the check run's order, the double's faults, and what the
// driver does when the page or the browser misbehaves.
#include "tracking/page/browser/PageDriver.h"

#include "tools/sitedouble/SiteDouble.h"
#include "tracking/page/browser/SilentPage.h"
#include "tracking/extraction/Extraction.h"

#include "support/TestSupport.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QPointer>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <optional>

using testsupport::cp1251;
using testsupport::waitUntil;

namespace {

bool contains(const std::string& text, const std::string& what)
{
    return text.find(what) != std::string::npos;
}

bool contains(const QString& text, const QString& what)
{
    return text.contains(what);
}

// A page of our own, handed over in the address itself.
QString dataUrl(const QString& html)
{
    return QStringLiteral("data:text/html;charset=utf-8,") + QString::fromLatin1(QUrl::toPercentEncoding(html));
}

using Kind = EPageError::Kind;
// The kind of the last error pageError caught.
Kind lastKind = Kind::Stopped;

// The message of the EPageError that `operation` raises, or nothing when it raises none.
template <typename Operation> std::optional<std::string> pageError(Operation operation)
{
    try {
        operation();
    } catch (const EPageError& error) {
        lastKind = error.kind();
        return std::string(error.what());
    }
    return std::nullopt;
}

const QList<SiteDouble::Event> kTwoEvents = {
    {QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Получение отправления от отправителя"),
     QStringLiteral("100614*")},
    {QStringLiteral("2013-03-17 14:16:00"), QStringLiteral("Отправка отправления из учреждения обмена"),
     QStringLiteral("BEIJING")},
};

class PageDriverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_site.start());
        PageDriverOptions options;
        options.scriptTimeout = [this] { return m_scriptTimeout; };
        options.pageCreated = [this](QWebEnginePage* page) { m_page = page; };
        m_driver = std::make_unique<PageDriver>(m_dir.filePath(QStringLiteral("browser")), std::move(options));
    }

    void TearDown() override
    {
        // The page goes first, so that its connections to the double are closed.
        m_driver.reset();
        m_site.stop();
    }

    void loadAndWait(const QString& url)
    {
        m_driver->loadPage(url);
        ASSERT_TRUE(waitUntil([&] { return m_driver->readyState() == 4; })) << url.toStdString();
    }
    void loadSite() { loadAndWait(m_site.url()); }

    // One parcel as the check run does it; gives the page text once no loading text is left.
    std::string search(const QString& number)
    {
        const QString loading = QStringLiteral("Загрузка");
        m_driver->selectAndEnterNumber(number);
        TrackingPage::Look look = m_driver->startSearchAndReadPage(loading);
        EXPECT_TRUE(waitUntil([&] {
            if (!contains(look.text, loading))
                return true;
            look = m_driver->readPage(loading);
            return false;
        }));
        if (look.html) {
            EXPECT_EQ(*look.html, m_driver->readPageHtml());
        }
        return cp1251(look.text);
    }

    // Runs a script in the page's own world, as the page's scripts would see things.
    QVariant pageScript(const QString& source)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        m_page->runJavaScript(source, [result](const QVariant& value) { *result = value; });
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }));
        return result->value_or(QVariant());
    }

    QTemporaryDir m_dir;
    SiteDouble m_site;
    // How long the driver waits for one operation; a test may shorten it.
    std::chrono::milliseconds m_scriptTimeout = PageDriver::kDefaultScriptTimeout;
    // The browser page the driver made last, while it lives.
    QPointer<QWebEnginePage> m_page;
    std::unique_ptr<PageDriver> m_driver;
};

TEST_F(PageDriverTest, NothingStartsBeforeTheFirstLoadAndOperationsThenRaise)
{
    EXPECT_EQ(m_driver->readyState(), 0);
    EXPECT_EQ(m_page.data(), nullptr);
    const auto error = pageError([&] { cp1251(m_driver->readPageText()); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(contains(*error, "no tracking page has been loaded")) << *error;
    EXPECT_TRUE(pageError([&] { m_driver->loadPage("no address at all"); }));
    EXPECT_TRUE(pageError([&] { m_driver->loadPage("javascript:alert(1)"); }));
}

TEST_F(PageDriverTest, WholeSequenceForOneNumberShowsLoadingThenTheEventTable)
{
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    SiteDouble::AnswerFaults slow;
    slow.latency = std::chrono::milliseconds(300);
    m_site.setAnswerFaults(slow);

    m_driver->loadPage(m_site.url());
    EXPECT_EQ(m_driver->readyState(), 1);
    ASSERT_TRUE(waitUntil([&] { return m_driver->readyState() == 4; }));
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("Отслеживание почтовых отправлений")));

    m_driver->selectInternationalTracking();
    m_driver->enterNumber("RR123456789CN");
    m_driver->startSearch();
    // The page put its loading text in place within the click.
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("Загрузка...")));
    std::string text;
    ASSERT_TRUE(waitUntil([&] {
        text = cp1251(m_driver->readPageText());
        return !contains(text, cp1251("Загрузка"));
    }));
    EXPECT_TRUE(contains(text, cp1251("Отправка отправления из учреждения обмена")));
    EXPECT_FALSE(contains(text, cp1251("ничего не найдено")));

    const auto searches = m_site.searches();
    ASSERT_EQ(searches.size(), 1);
    EXPECT_EQ(searches.at(0).number, QStringLiteral("RR123456789CN"));
    EXPECT_EQ(searches.at(0).kind, QStringLiteral("2"));
    // The page's timers run at full speed although nothing shows it.
    EXPECT_EQ(pageScript(QStringLiteral("document.visibilityState")).toString(), QStringLiteral("visible"));
}

TEST_F(PageDriverTest, ThePageTellsOfEachChangeOfItsResultsOnceAndNotWhenSwitchedOff)
{
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    SiteDouble::AnswerFaults slow;
    slow.latency = std::chrono::milliseconds(300);
    m_site.setAnswerFaults(slow);
    const QString loading = QStringLiteral("Загрузка");
    m_driver->setChangeNotifications(true);
    loadSite();

    m_driver->selectAndEnterNumber("RR123456789CN");
    TrackingPage::Look look = m_driver->startSearchAndReadPage(loading);
    EXPECT_TRUE(contains(look.text, QStringLiteral("Загрузка...")));
    EXPECT_FALSE(look.html);
    // The loading text is what the look saw: no news, also once a round trip has passed.
    pageScript(QStringLiteral("1"));
    EXPECT_FALSE(m_driver->hasUnseenChange());
    ASSERT_TRUE(waitUntil([&] { return m_driver->hasUnseenChange(); }));
    look = m_driver->readPage(loading);
    EXPECT_FALSE(m_driver->hasUnseenChange());
    EXPECT_TRUE(contains(look.text, QStringLiteral("BEIJING")));
    ASSERT_TRUE(look.html);
    EXPECT_TRUE(contains(*look.html, QStringLiteral("BEIJING</TD>")));
    EXPECT_EQ(m_site.searches().value(0).kind, QStringLiteral("2"));

    // The results block replaced by another is a change too.
    pageScript(QStringLiteral("var block = document.createElement('div'); block.id = 'results';"
                              "document.getElementById('results').replaceWith(block); 1"));
    EXPECT_TRUE(waitUntil([&] { return m_driver->hasUnseenChange(); }));

    m_driver->setChangeNotifications(false);
    loadSite();
    search("RR123456789CN");
    pageScript(QStringLiteral("document.getElementById('results').textContent = 'x'; 1"));
    pageScript(QStringLiteral("1")); // a round trip after the change
    EXPECT_FALSE(m_driver->hasUnseenChange());
}

TEST_F(PageDriverTest, TwentyNumbersOneAfterAnotherOnOnceLoadedPage)
{
    QStringList numbers;
    for (int i = 0; i < 20; ++i) {
        const QString number = QStringLiteral("RR%1BY").arg(100000000 + i);
        numbers << number;
        if (i % 3 == 2)
            m_site.setNotFound(number);
        else
            m_site.setAnswer(number, {{QStringLiteral("2013-03-16 12:30:00"), QStringLiteral("Приём"),
                                       QStringLiteral("OFFICE-%1X").arg(i)}});
    }
    loadSite();
    for (int i = 0; i < numbers.size(); ++i) {
        const std::string text = search(numbers.at(i));
        if (i % 3 == 2) {
            EXPECT_TRUE(contains(text, cp1251("По вашему запросу ничего не найдено"))) << i;
        } else {
            EXPECT_TRUE(contains(text, "OFFICE-" + std::to_string(i) + "X")) << i << ": " << text;
            EXPECT_TRUE(contains(cp1251(m_driver->readPageHtml()), "OFFICE-" + std::to_string(i) + "X</TD>")) << i;
        }
    }
    EXPECT_EQ(m_site.pageRequests(), 1);
    for (const QString& number : numbers)
        EXPECT_EQ(m_site.searchCount(number), 1) << number.toStdString();
}

TEST_F(PageDriverTest, TheNumberReachesTheFieldExactlyAndRunsNoScript)
{
    loadSite();
    const std::string numbers[] = {
        " rr 123 456 789 cn ",
        R"(RA"1'2\3\\4)",
        R"(X</script><script>document.title='pwned'</script><img src=x onerror="document.title='pwned'">)",
        cp1251("жд123456789BY"),
    };
    for (const std::string& number : numbers) {
        m_driver->enterNumber(testsupport::fromCp1251(number));
        EXPECT_EQ(pageScript(QStringLiteral("document.getElementById('item').value")).toString(),
                  testsupport::fromCp1251(number));
        m_driver->startSearch();
        ASSERT_TRUE(waitUntil([&] { return m_site.searchCount(testsupport::fromCp1251(number)) == 1; })) << number;
    }
    // A single-line field drops line breaks, as any browser does; the rest arrives.
    m_driver->enterNumber("AB\r\nCD\n");
    EXPECT_EQ(pageScript(QStringLiteral("document.getElementById('item').value")).toString(), QStringLiteral("ABCD"));
    EXPECT_NE(pageScript(QStringLiteral("document.title")).toString(), QStringLiteral("pwned"));
}

TEST_F(PageDriverTest, MissingElementsRaiseErrorsThatNameThem)
{
    SiteDouble::PageFaults faults;
    faults.noItemField = true;
    m_site.setPageFaults(faults);
    loadSite();
    m_driver->selectInternationalTracking();
    auto error = pageError([&] { m_driver->enterNumber("RR123456789CN"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, R"(enter number: the page has no element with the id "item")");
    EXPECT_EQ(lastKind, Kind::PageChanged);
    EXPECT_EQ(pageError([&] { m_driver->selectAndEnterNumber("RR123456789CN"); }), *error);

    loadAndWait(dataUrl(QStringLiteral("<p>Технические работы</p>")));
    error = pageError([&] { m_driver->selectInternationalTracking(); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(contains(*error, R"(id "internal-2")")) << *error;
    EXPECT_EQ(pageError([&] { m_driver->selectAndEnterNumber("RR123456789CN"); }), error);
    error = pageError([&] { m_driver->startSearch(); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(contains(*error, "no input element")) << *error;
    EXPECT_EQ(pageError([&] { m_driver->startSearchAndReadPage("x"); }), error);
}

TEST_F(PageDriverTest, StartSearchClicksTheLastInputEvenWhenItIsNotTheButton)
{
    SiteDouble::PageFaults faults;
    faults.inputAfterButton = true;
    m_site.setPageFaults(faults);
    loadSite();
    m_driver->selectInternationalTracking();
    m_driver->enterNumber("RR123456789CN");
    m_driver->startSearch();
    EXPECT_TRUE(pageScript(QStringLiteral("document.getElementById('remember').checked")).toBool());
    EXPECT_TRUE(pageScript(QStringLiteral("document.getElementById('internal-2').checked")).toBool());
    EXPECT_FALSE(contains(cp1251(m_driver->readPageText()), cp1251("Загрузка")));
    EXPECT_EQ(m_site.totalSearches(), 0);
}

TEST_F(PageDriverTest, ASearchThatNavigatesIsStartedAndLoadsLikeAnyPage)
{
    loadAndWait(dataUrl(QStringLiteral("<form action=\"%1\" method=\"get\"><input type=\"text\" name=\"q\">"
                                       "<input type=\"submit\" value=\"go\"></form>")
                            .arg(m_site.url())));
    m_driver->startSearch();
    ASSERT_TRUE(waitUntil([&] { return m_site.pageRequests() == 1 && m_driver->readyState() == 4; }));
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("Номер отправления")));
}

TEST_F(PageDriverTest, WithoutLoadingTextTheFirstReadGivesThePageBeforeTheAnswer)
{
    SiteDouble::PageFaults faults;
    faults.noLoadingText = true;
    m_site.setPageFaults(faults);
    SiteDouble::AnswerFaults held;
    held.noAnswer = true;
    m_site.setAnswerFaults(held);
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    loadSite();

    const std::string before = cp1251(m_driver->readPageText());
    m_driver->selectInternationalTracking();
    m_driver->enterNumber("RR123456789CN");
    m_driver->startSearch();
    EXPECT_EQ(cp1251(m_driver->readPageText()), before);

    ASSERT_TRUE(waitUntil([&] { return m_site.totalSearches() == 1; }));
    m_site.releaseStalled();
    ASSERT_TRUE(waitUntil([&] { return contains(cp1251(m_driver->readPageText()), "BEIJING"); }));
}

TEST_F(PageDriverTest, AnAnswerThatNeverComesKeepsTheLoadingTextAndADroppedOneShowsTheSitesError)
{
    SiteDouble::AnswerFaults never;
    never.noAnswer = true;
    m_site.setAnswerFaults(QStringLiteral("RR000000001CN"), never);
    SiteDouble::AnswerFaults dropped;
    dropped.closeConnection = true;
    m_site.setAnswerFaults(QStringLiteral("RR000000002CN"), dropped);
    loadSite();

    m_driver->selectInternationalTracking();
    m_driver->enterNumber("RR000000001CN");
    m_driver->startSearch();
    EXPECT_FALSE(waitUntil([&] { return !contains(cp1251(m_driver->readPageText()), cp1251("Загрузка")); },
                           std::chrono::milliseconds(500)));

    // A new search replaces the one still waiting; its late answer must not overwrite it.
    const std::string text = search("RR000000002CN");
    EXPECT_TRUE(contains(text, cp1251("Сервис временно недоступен"))) << text;
    m_site.releaseStalled();
    EXPECT_FALSE(waitUntil([&] { return contains(cp1251(m_driver->readPageText()), cp1251("ничего не найдено")); },
                           std::chrono::milliseconds(300)));
}

TEST_F(PageDriverTest, DialogsAndPopupsOfThePageBlockNothing)
{
    SiteDouble::PageFaults faults;
    faults.alertOnLoad = true;
    m_site.setPageFaults(faults);
    loadSite();
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("Номер отправления")));
    EXPECT_FALSE(pageScript(QStringLiteral("confirm('Продолжить?')")).toBool());
    EXPECT_TRUE(pageScript(QStringLiteral("prompt('Номер?', 'x') === null")).toBool());
    EXPECT_EQ(pageScript(QStringLiteral("window.open('about:blank') === null")).toBool(), true);
}

TEST_F(PageDriverTest, HugeTextsOfThePageAreNeitherKeptNorPassedOn)
{
    // Each search gives the page a title, a console message, an uncaught error and a new address
    // fragment of a million characters each. Every fragment would stay in the page's history in
    // this process, and the message and the error's report would be handed over whole.
    SiteDouble::PageFaults faults;
    faults.hugeTextsChars = 1000000;
    m_site.setPageFaults(faults);
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    loadSite();
    qsizetype longestMessage = 0;
    QObject::connect(qobject_cast<SilentPage*>(m_page.data()), &SilentPage::consoleMessage,
                     [&](const QString& message) { longestMessage = std::max(longestMessage, message.size()); });
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(contains(search("RR123456789CN"), "BEIJING")) << i;
        ASSERT_TRUE(waitUntil([&] {
            const QString fragment = m_page.data()->url().fragment();
            return fragment.size() > 1000000 && fragment.startsWith(QString::number(i + 1) + u'x');
        })) << i;
        EXPECT_EQ(m_page.data()->history()->count(), 1) << i;
    }
    EXPECT_LT(longestMessage, 1000);
}

TEST_F(PageDriverTest, ReadyStateStaysBelowFourWhileALoadIsUnderWay)
{
    loadSite();
    // A server that takes the request and never answers: the old document stays in place and
    // still reports "complete"; the driver must not.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    m_driver->loadPage(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
    EXPECT_EQ(m_driver->readyState(), 1);
    ASSERT_TRUE(waitUntil([&] { return silent.hasPendingConnections(); }));
    EXPECT_EQ(m_driver->readyState(), 1);

    // A page that arrives in part and never completes.
    SiteDouble::PageFaults faults;
    faults.loadNeverCompletes = true;
    m_site.setPageFaults(faults);
    m_driver->loadPage(m_site.url());
    ASSERT_TRUE(waitUntil([&] { return m_site.pageRequests() == 2; }));
    EXPECT_FALSE(waitUntil([&] { return m_driver->readyState() == 4; }, std::chrono::milliseconds(500)));
    EXPECT_EQ(m_driver->readyState(), 1);

    m_site.releaseStalled();
    EXPECT_TRUE(waitUntil([&] { return m_driver->readyState() == 4; }));
}

TEST_F(PageDriverTest, FailedLoadsRaiseSayingWhatHappenedAndANewLoadRecovers)
{
    SiteDouble gone;
    ASSERT_TRUE(gone.start());
    const QString goneUrl = gone.url();
    gone.stop();

    const auto loadError = [&](const QString& url) {
        m_driver->loadPage(url);
        std::optional<std::string> error;
        EXPECT_TRUE(waitUntil([&] {
            error = pageError([&] { m_driver->readyState(); });
            return error.has_value();
        }));
        return error.value_or("");
    };

    EXPECT_TRUE(contains(loadError(goneUrl), "ERR_CONNECTION_REFUSED"));
    EXPECT_EQ(lastKind, Kind::NotLoaded);
    const auto refused = pageError([&] { cp1251(m_driver->readPageText()); });
    ASSERT_TRUE(refused);
    EXPECT_TRUE(
        contains(*refused, "read page text: the tracking page " + goneUrl.toStdString() + " could not be loaded"))
        << *refused;

    SiteDouble::PageFaults faults;
    faults.httpStatus = 503;
    m_site.setPageFaults(faults);
    EXPECT_TRUE(contains(loadError(m_site.url()), "HTTP status 503"));
    EXPECT_EQ(lastKind, Kind::ErrorAnswer);
    // The server's error page is on screen, but it is no page to search on.
    EXPECT_TRUE(pageError([&] { m_driver->selectInternationalTracking(); }));

    faults = {};
    faults.closeConnection = true;
    m_site.setPageFaults(faults);
    EXPECT_TRUE(contains(loadError(m_site.url()), "could not be loaded"));

    m_site.clearFaults();
    loadSite();
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("Номер отправления")));
}

TEST_F(PageDriverTest, AScriptThatNeverAnswersClosesThePageAndEndsItsRenderProcessAtTheDeadline)
{
    loadSite();
    const std::string expected = cp1251(m_driver->readPageText());
    // The page's own script never returns, so nothing of ours runs any more.
    m_page.data()->runJavaScript(QStringLiteral("for (;;) {}"));
    const qint64 renderer = m_page.data()->renderProcessPid();
    ASSERT_GT(renderer, 0);
    m_scriptTimeout = std::chrono::milliseconds(200);
    const auto error = pageError([&] { cp1251(m_driver->readPageText()); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(contains(*error, "read page text: the page gave no answer within 200 ms")) << *error;
    EXPECT_EQ(lastKind, Kind::NoAnswer);
    EXPECT_EQ(m_page.data(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return ::kill(static_cast<pid_t>(renderer), 0) != 0; })) << renderer;

    // Until the next load there is no page; then a new one works.
    EXPECT_TRUE(pageError([&] { cp1251(m_driver->readPageText()); }));
    m_scriptTimeout = PageDriver::kDefaultScriptTimeout;
    loadSite();
    EXPECT_EQ(cp1251(m_driver->readPageText()), expected);
}

TEST_F(PageDriverTest, ANavigationEndsAWaitAtOnce)
{
    loadSite();
    m_page.data()->runJavaScript(QStringLiteral("var t = Date.now(); while (Date.now() - t < 1500) {}"));
    QTimer::singleShot(50, m_driver.get(), [&] { m_driver->loadPage(dataUrl(QStringLiteral("<p>другая</p>"))); });
    const auto error = pageError([&] { cp1251(m_driver->readPageText()); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(contains(*error, "began loading another document")) << *error;
    ASSERT_TRUE(waitUntil([&] { return m_driver->readyState() == 4; }));
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("другая")));
}

TEST_F(PageDriverTest, AGoneRenderProcessRaisesUntilThePageIsLoadedAgain)
{
    loadSite();
    bool terminated = false;
    QObject::connect(m_page.data(), &QWebEnginePage::renderProcessTerminated, [&] { terminated = true; });
    const qint64 pid = m_page.data()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_TRUE(waitUntil([&] { return terminated; }));

    const auto error = pageError([&] { cp1251(m_driver->readPageText()); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(contains(*error, "render process")) << *error;
    EXPECT_EQ(lastKind, Kind::BrowserFailed);
    EXPECT_TRUE(pageError([&] { m_driver->readyState(); }));

    loadSite();
    EXPECT_TRUE(contains(cp1251(m_driver->readPageText()), cp1251("Номер отправления")));
}

TEST_F(PageDriverTest, TheHtmlWriterGivesTheOldControlsFormsForTheEventTable)
{
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    loadSite();
    search("RR123456789CN");
    const std::string html = cp1251(m_driver->readPageHtml());
    EXPECT_TRUE(contains(
        html, cp1251(R"(<TD style="BACKGROUND: none transparent scroll repeat 0% 0%" class=theader>Дата</TD>)")))
        << html;
    EXPECT_TRUE(contains(html, R"(<TR><TD style="BACKGROUND: #8be3ff">2013-03-16 12:30:00</TD>)"));
    EXPECT_TRUE(contains(html, cp1251(R"(<TD style="BACKGROUND: #8be3ff">Получение отправления от отправителя</TD>)")));
    EXPECT_TRUE(contains(html, R"(<TD style="BACKGROUND: #8be3ff">100614*</TD><!--<td></td>--></TR>)"));
    EXPECT_TRUE(
        contains(html, R"(<TR><TD style="BACKGROUND: none transparent scroll repeat 0% 0%">2013-03-17 14:16:00</TD>)"));
    EXPECT_TRUE(contains(
        html, R"(<TD style="BACKGROUND: none transparent scroll repeat 0% 0%">BEIJING</TD><!--<td></td>--></TR>)"));
    EXPECT_TRUE(contains(html, R"(<INPUT type=submit name=btn_seek value=)" + cp1251("Искать>")));
    EXPECT_TRUE(contains(html, R"(<DIV id=results><TABLE class=events cellspacing=1 cellpadding=3>)"));
}

TEST_F(PageDriverTest, TheHtmlWriterFollowsTheOldControlsRules)
{
    loadAndWait(dataUrl(QStringLiteral(
        "<html><head><title>Т&amp;t</title><style>p > b { color: red; }</style></head><body>"
        "<p id=a title=\"Почта\" class=\"x y\" style=\"color:Red;BACKGROUND: #8BE3FF;font-weight : bold ;\">a&lt;b "
        "&amp; c&gt;d&nbsp;e</p>"
        "<!-- Comment <td>x</td> -->"
        "<input type=\"checkbox\" checked name=n value='a \"b\"'><br><img src=\"x.gif\" alt=\"\"><hr>"
        "<table><tr><td style=\"background: transparent none\">Я€ ✓</td><td style=\"background:url(a;b.png) red\">"
        "</td></tr></table>"
        "<script>var s = \"<b>&amp;</b>\";</script></body></html>")));
    EXPECT_EQ(
        cp1251(m_driver->readPageHtml()),
        cp1251("<HEAD><TITLE>Т&amp;t</TITLE><STYLE>p > b { color: red; }</STYLE></HEAD><BODY>"
               "<P style=\"COLOR: Red; BACKGROUND: #8be3ff; FONT-WEIGHT: bold\" id=a title=Почта class=\"x y\">"
               "a&lt;b &amp; c&gt;d&nbsp;e</P>"
               "<!-- Comment <td>x</td> -->"
               "<INPUT type=checkbox checked=\"\" name=n value=\"a &quot;b&quot;\"><BR><IMG src=x.gif alt=\"\"><HR>"
               "<TABLE><TBODY><TR><TD style=\"BACKGROUND: none transparent scroll repeat 0% 0%\">Я€ ?</TD>"
               "<TD style=\"BACKGROUND: url(a;b.png) red\"></TD></TR></TBODY></TABLE>"
               "<SCRIPT>var s = \"<b>&amp;</b>\";</SCRIPT></BODY>"));
}

TEST_F(PageDriverTest, ExtractionOnTheDriversOutputGivesTheExpectedTexts)
{
    m_site.setAnswer(QStringLiteral("RA987654321CN"), {kTwoEvents.first()});
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    SiteDouble::AnswerFaults markup;
    markup.markupInCells = true;
    m_site.setAnswerFaults(QStringLiteral("RR000000001CN"), markup);
    m_site.setAnswer(QStringLiteral("RR000000001CN"), kTwoEvents);
    loadSite();

    const std::string line1 = cp1251("2013-03-16 12:30:00 Получение отправления от отправителя 100614* ");
    const std::string line2 = cp1251("2013-03-17 14:16:00 Отправка отправления из учреждения обмена BEIJING ");

    search("RA987654321CN");
    std::string html = cp1251(m_driver->readPageHtml());
    EXPECT_EQ(ExtractStatus(html), line1 + "\r\n");
    EXPECT_EQ(ExtractHistory(html), line1);
    EXPECT_EQ(ExtractFirstEventDate(html), "2013-03-16 12:30:00");

    search("RR123456789CN");
    html = cp1251(m_driver->readPageHtml());
    EXPECT_EQ(ExtractHistory(html), line1 + "\r\n" + line2);
    EXPECT_EQ(ExtractFirstEventDate(html), "2013-03-16 12:30:00");
    EXPECT_TRUE(contains(ExtractStatus(html), "BEIJING"));

    // Markup inside the cells stays in the status, and is stripped from the history.
    search("RR000000001CN");
    html = cp1251(m_driver->readPageHtml());
    EXPECT_EQ(ExtractHistory(html), line1 + "\r\n" + line2);
    EXPECT_EQ(ExtractFirstEventDate(html), "2013-03-16 12:30:00");
    EXPECT_TRUE(contains(ExtractStatus(html), R"(<A href="#" title=BEIJING>BEIJING</A>)")) << ExtractStatus(html);
}

TEST_F(PageDriverTest, ManyEventsAreReadWhole)
{
    SiteDouble::AnswerFaults many;
    many.manyEvents = 400;
    m_site.setAnswerFaults(many);
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    loadSite();
    search("RR123456789CN");
    const std::string html = cp1251(m_driver->readPageHtml());
    std::size_t cells = 0;
    for (auto at = html.find("<!--<td></td>-->"); at != std::string::npos; at = html.find("<!--<td></td>-->", at + 1))
        ++cells;
    EXPECT_EQ(cells, 400u);
    EXPECT_EQ(ExtractFirstEventDate(html), "2013-03-01 08:00:00");
    const std::string history = ExtractHistory(html);
    EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 399);
}

TEST_F(PageDriverTest, PlainRowsStyledOtherwiseAreNoticedInTheWritersOutput)
{
    m_site.setAnswer(QStringLiteral("RR123456789CN"), kTwoEvents);
    m_site.setAnswer(QStringLiteral("RT123456789CN"), kTwoEvents);
    SiteDouble::AnswerFaults transparent;
    transparent.transparentPlainRows = true;
    m_site.setAnswerFaults(QStringLiteral("RT123456789CN"), transparent);
    loadSite();

    search("RR123456789CN");
    EXPECT_TRUE(ExtractResults(cp1251(m_driver->readPageHtml())).readWhole);

    search("RT123456789CN");
    const std::string html = cp1251(m_driver->readPageHtml());
    EXPECT_TRUE(contains(html, R"(<TR><TD style="BACKGROUND-COLOR: transparent">2013-03-17 14:16:00</TD>)")) << html;
    const ExtractedResults results = ExtractResults(html);
    EXPECT_EQ(results.history, cp1251("2013-03-16 12:30:00 Получение отправления от отправителя 100614* "));
    EXPECT_FALSE(results.readWhole);
}

} // namespace
