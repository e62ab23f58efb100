// The parcel dialog on its own, with an editor that records what the dialog asks of it.
#include "support/TestSupport.h"

#include "parcels/ParcelEditor.h"
#include "parcels/TFm_Track.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

class RecordingEditor : public ParcelEditor
{
public:
    std::vector<std::string> calls;
    std::vector<std::string> errors;
    bool failWrite = false;

    bool loadForEditing(TFm_Track& dialog) override
    {
        calls.push_back("load:" + dialog.Edit_Track->text().toStdString());
        dialog.Edit_Track->setText(QStringLiteral("RR-LOADED"));
        dialog.Edit_Komment->setText(QStringLiteral("stored comment"));
        return true;
    }
    bool writeFromDialog(TFm_Track& dialog) override
    {
        calls.push_back("write:" + dialog.DialogMode.toStdString() + ":" + dialog.Edit_Track->text().toStdString() + ":"
                        + dialog.Edit_Komment->text().toStdString());
        if (failWrite)
            throw std::runtime_error("write failed");
        return true;
    }
    void refreshGrid() override { calls.push_back("refresh"); }
    void runGuarded(const std::function<void()>& body) override
    {
        try {
            body();
        } catch (const std::exception& error) {
            errors.push_back(error.what());
        }
    }
};

// Shows the dialog modally, runs `body` inside, and returns once it has closed.
void showModal(TFm_Track& dialog, const std::function<void()>& body)
{
    bool acted = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
        body();
        acted = true;
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog stayed open";
            dialog.reject();
        }
    });
    timer.start(0);
    dialog.exec();
    EXPECT_TRUE(acted);
}

} // namespace

TEST(ParcelForm, IsBuiltAsDesigned)
{
    RecordingEditor editor;
    TFm_Track dialog(editor);
    EXPECT_EQ(dialog.objectName(), QStringLiteral("Fm_Track"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Посылка"));
    EXPECT_EQ(dialog.size(), QSize(308, 179));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.pos(), QPoint(531, 240));
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog.DialogMode.isEmpty());

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

TEST(ParcelForm, ModeNewClearsEveryFieldAndLoadsNothing)
{
    RecordingEditor editor;
    TFm_Track dialog(editor);
    dialog.Edit_Komment->setText(QStringLiteral("left over"));
    dialog.Edit_Track->setText(QStringLiteral("left over"));
    dialog.DialogMode = QStringLiteral("new");
    showModal(dialog, [&] {
        EXPECT_TRUE(dialog.Edit_Track->text().isEmpty());
        EXPECT_TRUE(dialog.Edit_Komment->text().isEmpty());
        EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral("Добавить посылку"));
        EXPECT_EQ(dialog.Button1->text(), QStringLiteral("Добавить"));
        QTest::keyClicks(dialog.Edit_Track, QStringLiteral("RR9"));
        QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    });
    EXPECT_EQ(editor.calls, (std::vector<std::string>{"write:new:RR9:", "refresh"}));
}

TEST(ParcelForm, ModeEditClearsThenLoadsAndWritesTheHiddenCommentBack)
{
    RecordingEditor editor;
    TFm_Track dialog(editor);
    dialog.Edit_Track->setText(QStringLiteral("stale"));
    dialog.DialogMode = QStringLiteral("edit");
    showModal(dialog, [&] {
        EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("RR-LOADED"));
        EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral("Изменить посылку"));
        EXPECT_EQ(dialog.Button1->text(), QStringLiteral("Сохранить"));
        QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    });
    // The fields were emptied before the load.
    EXPECT_EQ(editor.calls, (std::vector<std::string>{"load:", "write:edit:RR-LOADED:stored comment", "refresh"}));
}

TEST(ParcelForm, CancelAndTheCloseBoxWriteNothingAndRefreshNothing)
{
    RecordingEditor editor;
    TFm_Track dialog(editor);
    dialog.DialogMode = QStringLiteral("new");
    showModal(dialog, [&] { QTest::mouseClick(dialog.Button2, Qt::LeftButton); });
    showModal(dialog, [&] { dialog.close(); });
    EXPECT_TRUE(editor.calls.empty());
}

TEST(ParcelForm, AnUnknownModeIsComparedExactlyAndPreparesNothing)
{
    RecordingEditor editor;
    TFm_Track dialog(editor);
    dialog.Edit_Track->setText(QStringLiteral("kept"));
    dialog.DialogMode = QStringLiteral("Edit");
    showModal(dialog, [&] {
        EXPECT_EQ(dialog.Edit_Track->text(), QStringLiteral("kept"));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    EXPECT_TRUE(editor.calls.empty());
}

TEST(ParcelForm, AnErrorInAHandlerGoesToTheGuardAndStopsTheSave)
{
    RecordingEditor editor;
    editor.failWrite = true;
    TFm_Track dialog(editor);
    dialog.DialogMode = QStringLiteral("new");
    showModal(dialog, [&] {
        QTest::mouseClick(dialog.Button1, Qt::LeftButton);
        EXPECT_EQ(editor.errors, std::vector<std::string>{"write failed"});
        EXPECT_TRUE(dialog.isVisible());
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
}

TEST(ParcelForm, LaterShowingsKeepThePlaceTheUserLeftItAt)
{
    RecordingEditor editor;
    TFm_Track dialog(editor);
    dialog.DialogMode = QStringLiteral("new");
    showModal(dialog, [&] {
        dialog.move(100, 120);
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    showModal(dialog, [&] {
        EXPECT_EQ(dialog.pos(), QPoint(100, 120));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
}
