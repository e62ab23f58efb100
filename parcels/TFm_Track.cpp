#include "parcels/TFm_Track.h"

#include "parcels/ParcelEditor.h"
#include "parcels/Tahoma.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(tahoma::font(tahoma::k10pt));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit* makeField(QWidget* parent, const char* name, int y)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    // The fields take the group's bold font.
    field->setGeometry(120, y, 137, 24);
    // A line edit cuts its text at 32767 characters unless told otherwise; a longer pasted text
    // would then be stored cut short without a word.
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int x)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(tahoma::font(tahoma::k10pt));
    button->setGeometry(x, 144, 75, 25);
    // Neither button is the default or the cancel button: Enter and Escape press neither.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TFm_Track::TFm_Track(ParcelEditor& editor, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_editor(editor)
{
    setObjectName(QStringLiteral("Fm_Track"));
    setWindowTitle(QStringLiteral("Посылка"));
    setFont(tahoma::font(tahoma::k8pt));
    setFixedSize(308, 179);
    // The first showing opens here; later showings keep the place the user left it at.
    move(531, 240);
    createControls();
    wireHandlers();
}

void TFm_Track::createControls()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Добавить посылку"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFont(tahoma::font(tahoma::k10pt, true));
    GroupBox1->setGeometry(8, 8, 289, 129);

    Button1 = makeButton(this, "Button1", QStringLiteral("Добавить"), 144);
    Button2 = makeButton(this, "Button2", QStringLiteral("Отмена"), 224);

    Edit_Track = makeField(GroupBox1, "Edit_Track", 32);
    Label1 = makeLabel(GroupBox1, "Label1", QStringLiteral("Номер посылки"), 24, 32);
    Label2 = makeLabel(GroupBox1, "Label2", QStringLiteral("Магазин"), 64, 68);
    Label4 = makeLabel(GroupBox1, "Label4", QStringLiteral("Что в посылке"), 27, 102);
    Edit_Shop = makeField(GroupBox1, "Edit_Shop", 64);
    Edit_Title = makeField(GroupBox1, "Edit_Title", 96);
    // The comment is kept with the parcel but not offered for typing.
    Edit_Komment = makeField(GroupBox1, "Edit_Komment", 128);
    Edit_Komment->hide();
    Label3 = makeLabel(GroupBox1, "Label3", QStringLiteral("Комментарий"), 35, 134);
    Label3->hide();

    setTabOrder(Edit_Track, Edit_Shop);
    setTabOrder(Edit_Shop, Edit_Title);
    setTabOrder(Edit_Title, Button1);
    setTabOrder(Button1, Button2);
}

void TFm_Track::wireHandlers()
{
    connect(Button1, &QPushButton::clicked, this, [this] { m_editor.runGuarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { m_editor.runGuarded([this] { Button2Click(); }); });
}

void TFm_Track::clearFields()
{
    Edit_Track->clear();
    Edit_Shop->clear();
    Edit_Title->clear();
    Edit_Komment->clear();
}

bool TFm_Track::FormShow()
{
    if (DialogMode == QLatin1String("new")) {
        clearFields();
        Edit_Track->setFocus(Qt::OtherFocusReason);
        GroupBox1->setTitle(QStringLiteral("Добавить посылку"));
        Button1->setText(QStringLiteral("Добавить"));
    } else if (DialogMode == QLatin1String("edit")) {
        clearFields();
        if (!m_editor.loadForEditing(*this))
            return false;
        Edit_Track->setFocus(Qt::OtherFocusReason);
        GroupBox1->setTitle(QStringLiteral("Изменить посылку"));
        Button1->setText(QStringLiteral("Сохранить"));
    }
    return true;
}

void TFm_Track::Button1Click()
{
    if (!m_editor.writeFromDialog(*this))
        return;
    m_editor.refreshGrid();
    accept();
}

void TFm_Track::Button2Click()
{
    reject();
}

int TFm_Track::exec()
{
    // Prepared before it becomes visible, so that a dialog whose parcel could not be loaded is
    // never seen at all.
    bool show = false;
    m_editor.runGuarded([this, &show] { show = FormShow(); });
    if (!show)
        return QDialog::Rejected;
    return QDialog::exec();
}

void TFm_Track::keyPressEvent(QKeyEvent* event)
{
    // Escape and Enter do not close the dialog; only its buttons and its close box do.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
