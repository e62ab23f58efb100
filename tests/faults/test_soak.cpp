// A long check run over parcels whose answers carry a random mix of the double's faults: the
// run ends, and every parcel is accounted for, in row order, in the status log by the outcome
// its fault calls for, with its row changed or left alone to match.
//
// KURIERIX_SOAK_PARCELS sets the number of parcels (default 40; scripts/faults runs 1000),
// KURIERIX_FAULTS_SEED the random seed (printed).
#include "FaultFiles.h"

#include "app/AppTestHarness.h"
#include "tools/sitedouble/SiteDouble.h"
#include "tracking/CheckSession.h"
#include "tracking/CheckWords.h"

#include <QElapsedTimer>

#include <cstdio>
#include <random>

using apptest::cp;
using apptest::Field;
using apptest::Harness;
using apptest::Row;

namespace {

int setting(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

enum class Outcome { Stored, NothingFound, NoAnswer, Unreadable, Refused };

const char* nameOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Stored:
        return "stored";
    case Outcome::NothingFound:
        return "nothing found";
    case Outcome::NoAnswer:
        return "no answer";
    case Outcome::Unreadable:
        return "unreadable";
    case Outcome::Refused:
        return "refused";
    }
    return "?";
}

struct Parcel
{
    QString number;
    const char* fault = "";
    Outcome outcome = Outcome::Stored;
    QString firstDate; // of a stored answer
};

constexpr int kSearchBoundMs = 3000;

// Picks a fault for `parcel`, sets it up in the double and notes the outcome it calls for.
void arrange(SiteDouble& site, Parcel& parcel, std::mt19937& random)
{
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    QList<SiteDouble::Event> events;
    const int count = pick(1, 5);
    for (int e = 0; e < count; ++e)
        events.append({QStringLiteral("2013-03-%1 %2:15:00").arg(10 + e).arg(10 + pick(0, 9)),
                       QStringLiteral("Событие %1").arg(e), QStringLiteral("OFFICE %1").arg(pick(100000, 999999))});
    site.setAnswer(parcel.number, events);
    parcel.firstDate = events.front().date;

    SiteDouble::AnswerFaults faults;
    const int roll = pick(0, 99);
    if (roll < 30) {
        parcel.fault = "none";
    } else if (roll < 40) {
        parcel.fault = "not found";
        site.setNotFound(parcel.number);
        parcel.outcome = Outcome::NothingFound;
    } else if (roll < 50) {
        parcel.fault = "slow";
        faults.latency = std::chrono::milliseconds(pick(20, 300));
    } else if (roll < 54) {
        // Held past the run's bound; the double lets go later, so its threads are not used up.
        parcel.fault = "no answer";
        faults.latency = std::chrono::milliseconds(kSearchBoundMs + 1500);
        parcel.outcome = Outcome::NoAnswer;
    } else if (roll < 60) {
        parcel.fault = "connection dropped";
        faults.closeConnection = true;
        parcel.outcome = Outcome::Unreadable;
    } else if (roll < 68) {
        // The links in the cells keep their attribute quotes, which the store refuses.
        parcel.fault = "markup in cells";
        faults.markupInCells = true;
        parcel.outcome = Outcome::Refused;
    } else if (roll < 73) {
        parcel.fault = "many events";
        faults.manyEvents = pick(200, 1500);
        parcel.firstDate = QStringLiteral("2013-03-01 08:00:00");
    } else if (roll < 78) {
        parcel.fault = "empty table";
        site.setAnswer(parcel.number, {});
        parcel.outcome = Outcome::Unreadable;
    } else if (roll < 83) {
        parcel.fault = "double quote";
        events.back().event = QStringLiteral("Посылка \"%1\"").arg(pick(1, 9));
        site.setAnswer(parcel.number, events);
        parcel.outcome = Outcome::Refused;
    } else if (roll < 87) {
        parcel.fault = "padded answer";
        faults.paddingBytes = pick(100, 1000) * 1024;
    } else if (roll < 92) {
        parcel.fault = "unclosed cells";
        faults.unclosedCells = true;
    } else {
        parcel.fault = "slow and marked up";
        faults.latency = std::chrono::milliseconds(pick(20, 200));
        faults.markupInCells = true;
        parcel.outcome = Outcome::Refused;
    }
    site.setAnswerFaults(parcel.number, faults);
}

// The status log's lines for one parcel by outcome, after "- посылка №<number>".
QStringList linesFor(Outcome outcome)
{
    const QString sent = QStringLiteral("- отправка данных");
    const QString received = QStringLiteral("- получение данных");
    switch (outcome) {
    case Outcome::Stored:
    case Outcome::Refused:
        return {sent, received};
    case Outcome::NothingFound:
        return {sent, received, QStringLiteral("- нет данных по номеру")};
    case Outcome::NoAnswer:
        return {sent, QStringLiteral("- нет ответа по номеру")};
    case Outcome::Unreadable:
        // The last line names the file that keeps the answer; only its start is fixed.
        return {sent, received, QStringLiteral("- ответ сайта не удалось прочитать, данные не изменены"),
                QStringLiteral("- ответ сохранён в файле ")};
    }
    return {};
}

// The log from `line` on, each line cut to the length of the one expected there.
QStringList linesAt(const QStringList& log, int line, const QStringList& expected)
{
    QStringList seen = log.mid(line, int(expected.size()));
    for (qsizetype i = 0; i < seen.size(); ++i) {
        if (expected[i].endsWith(u' '))
            seen[i].truncate(expected[i].size());
    }
    return seen;
}

TEST(Soak, EveryParcelOfALongRunWithMixedFaultsIsAccountedFor)
{
    const int count = setting("KURIERIX_SOAK_PARCELS", 40);
    const unsigned seed = static_cast<unsigned>(setting("KURIERIX_FAULTS_SEED", int(std::random_device{}() >> 1)));
    std::printf("soak: %d parcels, seed %u\n", count, seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);

    SiteDouble site;
    ASSERT_TRUE(site.start());
    Harness h;
    h.db().create();
    std::vector<Parcel> parcels(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Parcel& parcel = parcels[std::size_t(i)];
        parcel.number = QStringLiteral("RS%1BY").arg(i, 9, 10, QLatin1Char('0'));
        arrange(site, parcel, random);
        h.db().addParcel(parcel.number.toStdString(), "Shop", "Thing", "", cp("прежний статус"), "2013-01-01 00:00:00",
                         cp("прежняя история"));
    }
    const std::vector<Row> before = h.db().rows();

    MainFormOptions options = h.options();
    options.endpoints = {site.url().toStdString(), "127.0.0.1", site.port()};
    options.checkRunLimits.searchMs = kSearchBoundMs;
    TMainForm& window = h.start(options);
    QElapsedTimer timer;
    timer.start();
    ui(window).N4->trigger();
    const double seconds = timer.elapsed() / 1000.0;

    // The run ended normally.
    EXPECT_FALSE(window.findChild<CheckSession*>()->running());
    EXPECT_TRUE(h.grid().isEnabled());
    QStringList log = h.log().split(u'\n');
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log.mid(0, 3),
              (QStringList{QStringLiteral("Жду Вашу комманду..."), QStringLiteral(" Проверка интернета..."),
                           QStringLiteral(" Сайт БелПочты доступен")}));

    // Every parcel in row order, each with the lines of its outcome and the row to match.
    const std::vector<Row> rows = h.db().rows();
    ASSERT_EQ(rows.size(), parcels.size());
    int line = 3;
    int refused = 0;
    std::map<std::string, int> tally;
    for (std::size_t i = 0; i < parcels.size(); ++i) {
        const Parcel& parcel = parcels[i];
        SCOPED_TRACE(parcel.number.toStdString() + " (" + parcel.fault + ")");
        ++tally[nameOf(parcel.outcome)];
        const QStringList expected =
            QStringList{QStringLiteral("- посылка №") + parcel.number} + linesFor(parcel.outcome);
        ASSERT_EQ(linesAt(log, line, expected), expected) << "status log from line " << line;
        line += int(expected.size());

        const Row& row = rows[i];
        switch (parcel.outcome) {
        case Outcome::Stored:
            EXPECT_EQ(row.at("s_date"), Field(parcel.firstDate.toStdString()));
            EXPECT_NE(row.at("s_status"), before[i].at("s_status"));
            EXPECT_NE(row.at("s_trackfull"), before[i].at("s_trackfull"));
            break;
        case Outcome::NothingFound:
            EXPECT_EQ(row.at("s_status"), Field(cp("Пока, нет информации!")));
            EXPECT_EQ(row.at("s_date"), before[i].at("s_date"));
            EXPECT_EQ(row.at("s_trackfull"), before[i].at("s_trackfull"));
            break;
        case Outcome::Refused:
            ++refused;
            [[fallthrough]];
        case Outcome::NoAnswer:
        case Outcome::Unreadable:
            EXPECT_EQ(row, before[i]);
            break;
        }
    }
    // The elapsed time, then what the run could not read, in the log and in the label.
    ASSERT_LT(line, log.size());
    EXPECT_TRUE(log[line].startsWith(QStringLiteral(" Время работы (сек) "))) << log[line].toStdString();
    const int unreadable = tally[nameOf(Outcome::Unreadable)];
    if (unreadable == 0) {
        EXPECT_EQ(line, log.size() - 1) << "lines after the last parcel";
        EXPECT_EQ(h.label(), QStringLiteral("Статус: ok"));
    } else {
        const QString sentence = checkwords::unreadableSentence(unreadable, count);
        EXPECT_EQ(log.mid(line + 1), QStringList{u' ' + sentence});
        EXPECT_EQ(h.label(), QStringLiteral("Статус: ") + sentence);
    }
    const std::vector<QString> boxes = h.boxTexts();
    EXPECT_EQ(int(boxes.size()), refused);
    for (const QString& box : boxes)
        EXPECT_EQ(box, QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка"));
    EXPECT_EQ(faultfiles::integrityCheck(QString::fromStdString(h.databasePath())), "ok");

    std::printf("soak: %d parcels in %.1f s:", count, seconds);
    for (const auto& [outcome, n] : tally)
        std::printf(" %s %d,", outcome.c_str(), n);
    std::printf(" %d page loads\n", site.pageRequests());
    h.window.reset();
    site.stop();
}

} // namespace
