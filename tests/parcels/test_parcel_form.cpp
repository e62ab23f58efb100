// The parcel dialog on its own: what it shows, what it hands to its acceptor, and what it gives
// back; and the numbers read out of a pasted list.
#include "support/TestSupport.h"

#include "parcels/PastedNumbers.h"
#include "parcels/TFm_Track.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

// Runs `body` once the dialog is shown by `ask`; the body must close it.
std::optional<Parcel> whileShown(TFm_Track& dialog, const std::function<std::optional<Parcel>()>& ask,
                                 const std::function<void()>& body)
{
    bool acted = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
        EXPECT_TRUE(dialog.isVisible());
        body();
        acted = true;
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog stayed open";
            dialog.reject();
        }
    });
    timer.start(0);
    std::optional<Parcel> given = ask();
    EXPECT_TRUE(acted);
    return given;
}

// A dialog whose boxes and acceptor calls are recorded.
struct Recorded
{
    std::vector<QString> boxes;
    std::vector<Parcel> offered;
    bool take = true;
    TFm_Track dialog{[this](const QString& text) { boxes.push_back(text); }};
    TFm_Track::Acceptor acceptor = [this](const Parcel& parcel) {
        offered.push_back(parcel);
        return take;
    };
};

} // namespace

TEST(ParcelForm, IsBuiltAsDesigned)
{
    TFm_Track dialog({});
    EXPECT_EQ(dialog.objectName(), QStringLiteral("Fm_Track"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Посылка"));
    EXPECT_EQ(dialog.size(), QSize(308, 179));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.pos(), QPoint(531, 240));
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 8, 289, 129));
    EXPECT_TRUE(dialog.GroupBox1->font().bold());
    EXPECT_EQ(dialog.GroupBox1->font().pixelSize(), 13);
    EXPECT_EQ(dialog.Edit_Track->geometry(), QRect(120, 32, 137, 24));
    EXPECT_EQ(dialog.Edit_Shop->geometry(), QRect(120, 64, 137, 24));
    EXPECT_EQ(dialog.Edit_Title->geometry(), QRect(120, 96, 137, 24));
    EXPECT_EQ(dialog.Edit_Komment->geometry(), QRect(120, 128, 137, 24));
    // The fields take the group's bold font; labels and buttons are regular.
    EXPECT_TRUE(dialog.Edit_Track->font().bold());
    EXPECT_FALSE(dialog.Label1->font().bold());
    EXPECT_FALSE(dialog.Button1->font().bold());
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Номер посылки"));
    EXPECT_EQ(dialog.Label2->text(), QStringLiteral("Магазин"));
    EXPECT_EQ(dialog.Label4->text(), QStringLiteral("Что в посылке"));
    EXPECT_EQ(dialog.Label3->text(), QStringLiteral("Комментарий"));
    EXPECT_EQ(dialog.Label1->pos(), QPoint(24, 32));
    EXPECT_EQ(dialog.Label2->pos(), QPoint(64, 68));
    EXPECT_EQ(dialog.Label4->pos(), QPoint(27, 102));
    EXPECT_EQ(dialog.Button1->geometry(), QRect(144, 144, 75, 25));
    EXPECT_EQ(dialog.Button2->geometry(), QRect(224, 144, 75, 25));
    EXPECT_TRUE(dialog.Edit_Komment->isHidden());
    EXPECT_TRUE(dialog.Label3->isHidden());
}

TEST(ParcelForm, AskNewShowsEmptyFieldsAndGivesWhatTheAcceptorTook)
{
    Recorded r;
    Parcel stored;
    stored.number = QStringLiteral("left over");
    stored.comments = QStringLiteral("left over");
    whileShown(
        r.dialog, [&] { return r.dialog.askEdit(stored); }, [&] { r.dialog.reject(); });

    const auto given = whileShown(
        r.dialog, [&] { return r.dialog.askNew(r.acceptor); },
        [&] {
            EXPECT_TRUE(r.dialog.Edit_Track->text().isEmpty());
            EXPECT_TRUE(r.dialog.Edit_Komment->text().isEmpty());
            EXPECT_EQ(r.dialog.GroupBox1->title(), QStringLiteral("Добавить посылку"));
            EXPECT_EQ(r.dialog.Button1->text(), QStringLiteral("Добавить"));
            QTest::keyClicks(r.dialog.Edit_Track, QStringLiteral("RR9"));
            QTest::keyClicks(r.dialog.Edit_Title, QStringLiteral("Book"));
            QTest::mouseClick(r.dialog.Button1, Qt::LeftButton);
        });
    Parcel typed;
    typed.number = QStringLiteral("RR9");
    typed.title = QStringLiteral("Book");
    EXPECT_EQ(r.offered, std::vector<Parcel>{typed});
    EXPECT_EQ(given, typed);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ParcelForm, AskEditShowsTheParcelAndGivesItBackWithTheTypedTextsAndTheHiddenComment)
{
    Recorded r;
    Parcel stored;
    stored.id = 7;
    stored.number = QStringLiteral("RR111");
    stored.shop = QStringLiteral("AliExpress");
    stored.title = QStringLiteral("Чехол");
    stored.comments = QStringLiteral("подарок маме");
    stored.status = QStringLiteral("Вручено");
    const auto given = whileShown(
        r.dialog, [&] { return r.dialog.askEdit(stored, r.acceptor); },
        [&] {
            EXPECT_EQ(r.dialog.Edit_Track->text(), QStringLiteral("RR111"));
            EXPECT_EQ(r.dialog.Edit_Shop->text(), QStringLiteral("AliExpress"));
            EXPECT_EQ(r.dialog.Edit_Komment->text(), QStringLiteral("подарок маме"));
            EXPECT_EQ(r.dialog.GroupBox1->title(), QStringLiteral("Изменить посылку"));
            EXPECT_EQ(r.dialog.Button1->text(), QStringLiteral("Сохранить"));
            r.dialog.Edit_Title->setText(QStringLiteral("Чехол кожаный"));
            QTest::mouseClick(r.dialog.Button1, Qt::LeftButton);
        });
    Parcel typed = stored;
    typed.title = QStringLiteral("Чехол кожаный");
    EXPECT_EQ(r.offered, std::vector<Parcel>{typed});
    EXPECT_EQ(given, typed);
}

TEST(ParcelForm, CancelAndTheCloseBoxGiveNothingAndOfferNothing)
{
    Recorded r;
    EXPECT_FALSE(whileShown(
        r.dialog, [&] { return r.dialog.askNew(r.acceptor); },
        [&] { QTest::mouseClick(r.dialog.Button2, Qt::LeftButton); }));
    EXPECT_FALSE(whileShown(
        r.dialog, [&] { return r.dialog.askNew(r.acceptor); }, [&] { r.dialog.close(); }));
    EXPECT_TRUE(r.offered.empty());
}

TEST(ParcelForm, ARefusedSaveOrAnUnstorableCharacterKeepsTheDialogOpenWithWhatWasTyped)
{
    Recorded r;
    r.take = false;
    const auto given = whileShown(
        r.dialog, [&] { return r.dialog.askNew(r.acceptor); },
        [&] {
            r.dialog.Edit_Track->setText(QStringLiteral("RR1 中"));
            QTest::mouseClick(r.dialog.Button1, Qt::LeftButton);
            // Never offered: the database could not hold it.
            EXPECT_TRUE(r.offered.empty());
            EXPECT_EQ(r.boxes,
                      std::vector<QString>{QStringLiteral("Нельзя сохранить знаки: «中». Замените или удалите их.")});

            r.dialog.Edit_Track->setText(QStringLiteral("RR1"));
            QTest::mouseClick(r.dialog.Button1, Qt::LeftButton);
            EXPECT_EQ(r.offered.size(), 1u);
            EXPECT_TRUE(r.dialog.isVisible());
            EXPECT_EQ(r.dialog.Edit_Track->text(), QStringLiteral("RR1"));

            r.take = true;
            QTest::mouseClick(r.dialog.Button1, Qt::LeftButton);
        });
    EXPECT_EQ(r.offered.size(), 2u);
    ASSERT_TRUE(given);
    EXPECT_EQ(given->number, QStringLiteral("RR1"));
}

TEST(ParcelForm, LaterShowingsKeepThePlaceTheUserLeftItAt)
{
    Recorded r;
    whileShown(
        r.dialog, [&] { return r.dialog.askNew(); },
        [&] {
            r.dialog.move(100, 120);
            QTest::mouseClick(r.dialog.Button2, Qt::LeftButton);
        });
    whileShown(
        r.dialog, [&] { return r.dialog.askNew(); },
        [&] {
            EXPECT_EQ(r.dialog.pos(), QPoint(100, 120));
            QTest::mouseClick(r.dialog.Button2, Qt::LeftButton);
        });
}

TEST(PastedNumbers, EachLineIsReadForNumbersAndWhatIsNoNumberIsNamed)
{
    struct Case
    {
        QString text;
        QStringList numbers;
        QStringList lines = {};
        QStringList wrongLength = {};
        QStringList badCheckDigit = {};
    };
    const std::vector<Case> cases = {
        {QStringLiteral("  rr999999995by \r\n\n"), {QStringLiteral("RR999999995BY")}},
        {QStringLiteral("RZ 2468 1357 6 CN"), {QStringLiteral("RZ246813576CN")}},
        {QStringLiteral("Трек: RR999999995BY"), {QStringLiteral("RR999999995BY")}},
        {QStringLiteral("Трек-номер посылки:\u00a0RZ 2468 1357 6 CN."), {QStringLiteral("RZ246813576CN")}},
        {QStringLiteral("RR999999995BY, RZ246813576CN;LP00123456789012 (№RR999999995BY)"),
         {QStringLiteral("RR999999995BY"), QStringLiteral("RZ246813576CN"), QStringLiteral("LP00123456789012"),
          QStringLiteral("RR999999995BY")}},
        {QStringLiteral("Заказ отправлен 12.05.2024, 3 шт.\nhello world"),
         {},
         {QStringLiteral("Заказ отправлен 12.05.2024, 3 шт."), QStringLiteral("hello world")}},
        {QStringLiteral("RA12345678BY\nRA 1234 5678 90 BY"),
         {},
         {},
         {QStringLiteral("RA12345678BY"), QStringLiteral("RA1234567890BY")}},
        {QStringLiteral("RA123456780CN"), {QStringLiteral("RA123456780CN")}, {}, {}, {QStringLiteral("RA123456780CN")}},
    };
    for (const Case& c : cases) {
        const PastedNumbers read = PastedNumbers::read(c.text);
        EXPECT_EQ(read.numbers, c.numbers) << c.text.toStdString();
        EXPECT_EQ(read.lines, c.lines) << c.text.toStdString();
        EXPECT_EQ(read.wrongLength, c.wrongLength) << c.text.toStdString();
        EXPECT_EQ(read.badCheckDigit, c.badCheckDigit) << c.text.toStdString();
    }
}
