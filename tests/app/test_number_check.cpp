// The check digit of international numbers, an empty number and a number already in the list, as
// the parcel dialog and the grid show them.
#include "AppTestHarness.h"

#include "parcels/NumberCheck.h"

#include <QLabel>

using apptest::Field;
using apptest::Harness;

namespace {

const QString kTypo = QStringLiteral("Похоже, в номере опечатка: контрольная цифра должна быть %1");

} // namespace

TEST(NumberCheck, NamesAWrongCheckDigitRefusesAnEmptyNumberAndAsksBeforeADuplicate)
{
    // Weighted sums giving a remainder of 6 (check 5), 1 (10 → 0) and 0 (11 → 5).
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral("RA123456785CN")), std::nullopt);
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral("RA123456789CN")), 5);
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral("RR003000000CN")), std::nullopt);
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral("RR003000001CN")), 0);
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral(" rr000000000cn ")), 5);
    // Domestic numbers and other forms are never judged.
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral("14500012345678")), std::nullopt);
    EXPECT_EQ(numbercheck::expectedCheckDigit(QStringLiteral("R1123456789CN")), std::nullopt);

    Harness h;
    h.db().create();
    h.db().addParcel("RA123456789CN", "eBay", "Lamp");
    h.db().addParcel("RA123456785CN", "eBay", "Lamp");
    TMainForm& window = h.start();

    // A stored number with a wrong check digit says so in its row's tooltip; a good one does not.
    const QAbstractItemModel& model = *h.grid().model();
    EXPECT_EQ(model.index(0, 0).data(Qt::ToolTipRole).toString(), kTypo.arg(5));
    EXPECT_FALSE(model.index(1, 2).data(Qt::ToolTipRole).isValid());

    h.inDialog([&] { ui(window).Add->trigger(); },
               [&](TFm_Track& dialog) {
                   auto* line = dialog.findChild<QLabel*>(QStringLiteral("numberCheckLabel"));
                   ASSERT_NE(line, nullptr);
                   EXPECT_FALSE(line->isVisible());
                   // Named as it is typed, the fields below moving down; mended, all is as before.
                   h.typeInto(controls(dialog).Edit_Track, QStringLiteral("RR003000001CN"));
                   EXPECT_TRUE(line->isVisible());
                   EXPECT_EQ(line->text(), kTypo.arg(0));
                   EXPECT_GT(dialog.height(), 179);
                   EXPECT_GE(controls(dialog).Edit_Shop->y(), line->geometry().bottom());
                   QTest::keyClick(controls(dialog).Edit_Track, Qt::Key_Backspace);
                   EXPECT_FALSE(line->isVisible());
                   EXPECT_EQ(dialog.size(), QSize(308, 179));
                   EXPECT_EQ(controls(dialog).Edit_Shop->geometry(), QRect(120, 64, 137, 24));
                   EXPECT_EQ(controls(dialog).Button1->geometry(), QRect(144, 144, 75, 25));

                   // An empty number is refused and the dialog stays.
                   controls(dialog).Edit_Track->setText(QStringLiteral("  "));
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
                   EXPECT_TRUE(dialog.isVisible());
                   ASSERT_EQ(h.boxTexts().size(), 1u);
                   EXPECT_EQ(h.boxTexts()[0], QStringLiteral("Введите номер посылки: без номера её нельзя проверить."));

                   // A number in the list already: asked, and "Нет" keeps the dialog with it.
                   h.prompts.clear();
                   controls(dialog).Edit_Track->setText(QStringLiteral(" RA123456785CN"));
                   h.prompts.answerNext(Prompts::Button::No);
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
                   EXPECT_TRUE(dialog.isVisible());
                   ASSERT_EQ(h.prompts.shown().size(), 1u);
                   EXPECT_EQ(h.prompts.shown()[0].text,
                             QStringLiteral("Посылка с номером RA123456785CN уже есть в списке. Добавить её ещё раз?"));
                   EXPECT_EQ(h.prompts.shown()[0].defaultButton, Prompts::Button::No);
                   // A mistyped number is still saved.
                   controls(dialog).Edit_Track->setText(QStringLiteral("RA123456789CN"));
                   h.prompts.answerNext(Prompts::Button::Yes);
                   QTest::mouseClick(controls(dialog).Button1, Qt::LeftButton);
               });
    const auto rows = h.db().rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].at("s_track"), Field("RA123456789CN"));
}
