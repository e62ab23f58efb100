// Hostile values through the parcel dialog and through the tracking page: quotes, statement
// fragments, column names, 1 MB texts, characters the code page lacks, line breaks and NUL.
// Each is stored exactly as given or refused with the operation's box (in the dialog, a box that
// names the characters the code page lacks, the dialog staying open); a row never ends up with
// part of a value, or with some of its columns changed and others not.
#include "StoredResults.h"
#include "app/AppTestHarness.h"
#include "store/Cp1251.h"
#include "tools/sitedouble/SiteDouble.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

using apptest::cp;
using apptest::Field;
using apptest::Harness;
using apptest::Row;

using namespace apptest::boxes;

namespace {

// About a megabyte of text. (From the page, text that mixes scripts takes the browser engine
// far longer to lay out; that case belongs to the hostile pages.)
QString megabyteText(const QString& piece = QStringLiteral("Ёжик в тумане, hedgehog in the fog, № 1234567890. "))
{
    QString text;
    text.reserve(1 << 20);
    while (text.size() + piece.size() <= (1 << 20))
        text += piece;
    return text;
}

struct Value
{
    const char* name;
    QString text;
};

// Values that the store must keep byte for byte.
std::vector<Value> storableValues()
{
    return {
        {"statement fragment", QStringLiteral("'); DROP TABLE tracks; --")},
        {"apostrophes and backslashes", QStringLiteral("O'Brien \\ \\n %_* ;")},
        {"column name id", QStringLiteral("id")},
        {"column name s_track", QStringLiteral("s_track")},
        {"rowid", QStringLiteral("rowid")},
        {"NULL", QStringLiteral("NULL")},
        {"table name", QStringLiteral("tracks")},
        {"code page punctuation", QStringLiteral("Ёжик №5 — €10 «ёлка» …")},
        {"CR LF", QStringLiteral("строка 1\r\nстрока 2")},
        {"tab and LF", QStringLiteral("a\tb\nc")},
        {"1 MB", megabyteText()},
    };
}

// Values that the store refuses and that must be refused whole.
std::vector<Value> refusedValues()
{
    return {
        {"double quote", QStringLiteral("Лампа \"Ночник\"")},
        {"NUL", QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")},
    };
}

// As a user puts text into a field that holds it already: select all, paste.
void paste(QLineEdit* field, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

class HostileDialogValues : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_h.db().create();
        m_h.db().addParcel("RR100000001CN", "eBay", "Lamp", cp("коммент"), cp("в пути"), "2013-03-01 10:00:00",
                           cp("история"));
        m_window = &m_h.start();
    }

    // Adds a parcel with `text` in all four fields; false when the dialog did not take it as given.
    bool add(const QString& text) { return saveThroughDialog(ui(*m_window).Add, text); }

    bool editFirst(const QString& text)
    {
        setSelectedRow(m_h.grid(), 1);
        return saveThroughDialog(ui(*m_window).edit, text);
    }

    // Opens the dialog with `command`, pastes `text` into all four fields and saves; false when
    // a field did not take the text as pasted.
    bool saveThroughDialog(QAction* command, const QString& text)
    {
        bool typed = true;
        m_h.inDialog([&] { command->trigger(); },
                     [&](TFm_Track& dialog) {
                         for (QLineEdit* field : {controls(dialog).Edit_Track, controls(dialog).Edit_Shop,
                                                  controls(dialog).Edit_Title, controls(dialog).Edit_Komment}) {
                             paste(field, text);
                             typed = typed && field->text() == text;
                         }
                         QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
                         // A refused save keeps the dialog open with what was typed; the user then cancels.
                         if (dialog.isVisible())
                             QTest::mouseClick(controls(dialog).Button2, Qt::LeftButton);
                     });
        return typed;
    }

    Harness m_h;
    TMainForm* m_window = nullptr;
};

TEST_F(HostileDialogValues, StorableValuesAreStoredByteForByteByAddAndEdit)
{
    for (const Value& value : storableValues()) {
        SCOPED_TRACE(value.name);
        const std::string bytes = toCp1251(value.text);
        ASSERT_EQ(fromCp1251(bytes), value.text) << "not a value of the code page";
        m_h.prompts.clear();
        const std::vector<Row> before = m_h.db().rows();

        EXPECT_TRUE(add(value.text)) << "the field did not take the text as pasted";
        std::vector<Row> rows = m_h.db().rows();
        ASSERT_EQ(rows.size(), before.size() + 1);
        for (const char* column : {"s_track", "s_shop", "s_title", "s_comments"})
            EXPECT_TRUE(rows.back().at(column) == Field(bytes)) << column << " differs";

        EXPECT_TRUE(editFirst(value.text)) << "the field did not take the text as pasted";
        rows = m_h.db().rows();
        for (const char* column : {"s_track", "s_shop", "s_title", "s_comments"})
            EXPECT_TRUE(rows.front().at(column) == Field(bytes)) << column << " differs";
        for (const char* column : {"id", "s_status", "s_date", "s_trackfull", "i_type"})
            EXPECT_EQ(rows.front().at(column), before.front().at(column)) << column;

        EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{});
        // The grid shows what was stored (a cell shows the first line of a multi-line value).
        EXPECT_EQ(m_h.grid().parcelRowCount(), int(rows.size()));
    }
}

TEST_F(HostileDialogValues, ValuesThatCannotBeStoredAsGivenAreRefusedWholeWithTheBox)
{
    const std::vector<Row> before = m_h.db().rows();
    for (const Value& value : refusedValues()) {
        SCOPED_TRACE(value.name);
        m_h.prompts.clear();

        add(value.text);
        EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kAddFailed}));
        editFirst(value.text);
        EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kAddFailed, kSaveFailed}));

        EXPECT_EQ(m_h.db().rows(), before);
    }
    // One bad field is enough: the good ones of the same save are not written either.
    m_h.prompts.clear();
    setSelectedRow(m_h.grid(), 1);
    m_h.inDialog([&] { ui(*m_window).edit->trigger(); },
                 [&](TFm_Track& dialog) {
                     paste(controls(dialog).Edit_Track, QStringLiteral("RR999999999CN"));
                     paste(controls(dialog).Edit_Title, QStringLiteral("Лампа \"Ночник\""));
                     QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
                     QTest::mouseClick(controls(dialog).Button2, Qt::LeftButton);
                 });
    EXPECT_EQ(m_h.boxTexts(), (std::vector<QString>{kSaveFailed}));
    EXPECT_EQ(m_h.db().rows(), before);
}

TEST_F(HostileDialogValues, CharactersTheCodePageLacksAreNamedAndTheDialogKeepsWhatWasTyped)
{
    const std::vector<Row> before = m_h.db().rows();
    const QString shop = QStringLiteral("München");
    const QString title = QStringLiteral("Чехол 中文 😀 中");
    for (QAction* command : {ui(*m_window).Add, ui(*m_window).edit}) {
        SCOPED_TRACE(command->objectName().toStdString());
        m_h.prompts.clear();
        m_h.inDialog([&] { command->trigger(); },
                     [&](TFm_Track& dialog) {
                         paste(controls(dialog).Edit_Track, QStringLiteral("RR999999999CN"));
                         paste(controls(dialog).Edit_Shop, shop);
                         paste(controls(dialog).Edit_Title, title);
                         QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
                         EXPECT_TRUE(dialog.isVisible());
                         EXPECT_EQ(controls(dialog).Edit_Track->text(), QStringLiteral("RR999999999CN"));
                         EXPECT_EQ(controls(dialog).Edit_Shop->text(), shop);
                         EXPECT_EQ(controls(dialog).Edit_Title->text(), title);
                         QTest::mouseClick(controls(dialog).Button2, Qt::LeftButton);
                     });
        EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{QStringLiteral("Нельзя сохранить знаки: «ü», «中», «文», «😀». "
                                                                      "Замените или удалите их.")});
        EXPECT_EQ(m_h.prompts.shown().front().caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(m_h.db().rows(), before);
    }
}

// --- through the page ---------------------------------------------------------------------------

const QString kDate1 = QStringLiteral("2013-03-16 12:30:00");
const QString kDate2 = QStringLiteral("2013-03-18 09:00:00");

class HostilePageValues : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_site.start());
        m_h.db().create();
    }
    void TearDown() override
    {
        m_h.window.reset();
        m_site.stop();
    }

    // A parcel with results of an earlier check, so that a half-written row would show.
    void addParcel(const QString& number)
    {
        m_h.db().addParcel(number.toStdString(), "Shop", "Thing", "", cp("прежний статус"), "2013-01-01 00:00:00",
                           cp("прежняя история"));
    }

    Stored storedOf(std::size_t row)
    {
        const std::vector<Row> rows = m_h.db().rows();
        if (row >= rows.size())
            return {};
        return {rows[row].at("s_status"), rows[row].at("s_date"), rows[row].at("s_trackfull")};
    }

    // A run that ends normally; `unreadable` of its answers may be unreadable, which its label says.
    void check(int unreadable = 0)
    {
        MainFormOptions options = m_h.options();
        options.endpoints = {m_site.url().toStdString(), "127.0.0.1", m_site.port()};
        TMainForm& window = m_h.start(options);
        ui(window).N4->trigger();
        const std::vector<QString> boxes = m_h.boxTexts();
        const QString ok = QStringLiteral("Статус: ok");
        EXPECT_TRUE(m_h.label() == ok || (unreadable > 0 && m_h.label().startsWith(QStringLiteral("Статус: Ответ"))))
            << m_h.label().toStdString() << "\n"
            << m_h.log().toStdString()
            << "\nboxes: " << QStringList(boxes.begin(), boxes.end()).join(u'|').toStdString();
    }

    const Stored m_unchanged{cp("прежний статус"), "2013-01-01 00:00:00", cp("прежняя история")};
    SiteDouble m_site;
    Harness m_h;
};

TEST_F(HostilePageValues, PageTextsAreStoredWholeOrTheRowIsLeftAsItWas)
{
    const QList<SiteDouble::Event> fragments = {
        {kDate1, QStringLiteral("s_status"), QStringLiteral("id")},
        {kDate2, QStringLiteral("'); DROP TABLE tracks; --"), QStringLiteral("rowid")}};
    const QList<SiteDouble::Event> huge = {
        {kDate1, QStringLiteral("Приём"), QStringLiteral("MINSK")},
        {kDate2, megabyteText(QStringLiteral("Ёжик в тумане, ёлка. ")), QStringLiteral("220030")}};
    const QList<SiteDouble::Event> quoted = {{kDate1, QStringLiteral("Посылка \"Срочно\""), QStringLiteral("MINSK")}};
    // Character references reach the page as the characters themselves.
    const QList<SiteDouble::Event> foreign = {
        {kDate1, QStringLiteral("Приём &#x4E2D;&#x6587; &#x1F600;"), QStringLiteral("M&uuml;nchen")}};
    const QList<SiteDouble::Event> breaks = {
        {kDate1, QStringLiteral("строка 1<br>строка 2\r\nстрока 3"), QStringLiteral("MINSK")}};

    const std::vector<std::pair<QString, QList<SiteDouble::Event>>> parcels = {
        {QStringLiteral("RH000000001CN"), fragments},
        {QStringLiteral("RH000000002CN"), huge},
        {QStringLiteral("RH000000003CN"), quoted},
        {QStringLiteral("RH000000004CN"), foreign},
        {QStringLiteral("RH000000005CN"), breaks}};
    for (const auto& [number, events] : parcels) {
        addParcel(number);
        m_site.setAnswer(number, events);
    }
    SiteDouble::AnswerFaults raw;
    raw.rawCells = true;
    m_site.setAnswerFaults(QStringLiteral("RH000000004CN"), raw);
    m_site.setAnswerFaults(QStringLiteral("RH000000005CN"), raw);

    check(1);

    // Statement fragments and column names are texts like any other.
    EXPECT_EQ(storedOf(0), storedFor(fragments));
    // A megabyte of event text is stored whole, or the answer counts as unreadable.
    const Stored hugeStored = storedOf(1);
    EXPECT_TRUE(hugeStored == storedFor(huge) || hugeStored == m_unchanged)
        << "history of " << (hugeStored.history ? hugeStored.history->size() : 0) << " bytes, status "
        << (hugeStored.status ? hugeStored.status->substr(0, 80) : "NULL");
    if (hugeStored == m_unchanged) {
        EXPECT_TRUE(m_h.log().contains(QStringLiteral("- посылка №RH000000002CN\n- отправка данных\n"
                                                      "- получение данных\n"
                                                      "- ответ сайта не удалось прочитать, данные не изменены")));
        EXPECT_EQ(m_h.label(), QStringLiteral("Статус: Ответ сайта по 1 из 5 посылок не удалось прочитать: данные "
                                              "этой посылки не изменены."));
    } else {
        EXPECT_EQ(m_h.label(), QStringLiteral("Статус: ok"));
    }
    // A double quote is refused with the box; the row keeps what it had.
    EXPECT_EQ(storedOf(2), m_unchanged);
    EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{kStoreFailed});
    // Characters the code page lacks become "?", as everywhere the program takes text from the
    // page; the row gets all three texts of the answer.
    const QList<SiteDouble::Event> foreignAsRead = {
        {kDate1, QStringLiteral("Приём 中文 😀"), QStringLiteral("München")}};
    EXPECT_EQ(storedOf(3), storedFor(foreignAsRead));
    EXPECT_EQ(storedOf(3).history, Field(cp("2013-03-16 12:30:00 Приём ?? ? M?nchen ")));
    // Line breaks inside a cell stay inside that event's texts.
    const Stored broken = storedOf(4);
    EXPECT_EQ(broken.date, Field(toCp1251(kDate1)));
    ASSERT_TRUE(broken.history && broken.status);
    EXPECT_TRUE(broken.history->find(cp("строка 3 MINSK ")) != std::string::npos) << *broken.history;
    EXPECT_TRUE(broken.status->find(cp("строка 3")) != std::string::npos) << *broken.status;
}

TEST_F(HostilePageValues, NulFromThePageIsStoredExactlyOrRefusedWithTheBox)
{
    const QList<SiteDouble::Event> events = {{kDate1, QStringLiteral("Приём"), QStringLiteral("MINSK")},
                                             {kDate2, QStringLiteral("Вручено"), QStringLiteral("220030")}};
    addParcel(QStringLiteral("RZ000000001CN"));
    m_site.setAnswer(QStringLiteral("RZ000000001CN"), events);
    SiteDouble::PageFaults nul;
    nul.nulInCells = true;
    m_site.setPageFaults(nul);

    check();

    const Stored stored = storedOf(0);
    std::printf("NUL from the page: %s\n", m_h.boxTexts().empty() ? "stored" : "refused with the box");
    if (m_h.boxTexts().empty()) {
        // Stored: every cell text with its NUL in front, nothing cut off at a NUL.
        ASSERT_TRUE(stored.history);
        EXPECT_EQ(std::count(stored.history->begin(), stored.history->end(), '\0'), 6);
        EXPECT_TRUE(stored.history->find(cp("220030")) != std::string::npos);
    } else {
        EXPECT_EQ(m_h.boxTexts(), std::vector<QString>{kStoreFailed});
        EXPECT_EQ(stored, m_unchanged);
    }
}

} // namespace
