#include "parcels/TFm_Track.h"

#include "parcels/NumberCheck.h"
#include "parcels/Tahoma.h"
#include "parcels/UnstorableText.h"
#include "parcels/VisibleText.h"
#include "store/Cp1251.h"

#include <QColor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <limits>
#include <utility>

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

TFm_Track::TFm_Track(ErrorBox showError, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_showError(std::move(showError))
{
    setObjectName(QStringLiteral("Fm_Track"));
    setWindowTitle(QStringLiteral("Посылка"));
    setFont(tahoma::font(tahoma::k8pt));
    setFixedSize(308, 179);
    // The first showing opens here; later showings keep the place the user left it at.
    move(531, 240);
    createControls();
    connect(Button1, &QPushButton::clicked, this, &TFm_Track::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFm_Track::reject);
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

    numberCheckLabel = new QLabel(GroupBox1);
    numberCheckLabel->setObjectName(QStringLiteral("numberCheckLabel"));
    numberCheckLabel->setFont(tahoma::font(tahoma::k8pt));
    numberCheckLabel->setWordWrap(true);
    QPalette warning = numberCheckLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    numberCheckLabel->setPalette(warning);
    numberCheckLabel->hide();
    connect(Edit_Track, &QLineEdit::textChanged, this, &TFm_Track::showNumberCheck);

    setTabOrder(Edit_Track, Edit_Shop);
    setTabOrder(Edit_Shop, Edit_Title);
    setTabOrder(Edit_Title, Button1);
    setTabOrder(Button1, Button2);
}

std::optional<Parcel> TFm_Track::askNew(const Acceptor& accept)
{
    return ask(Parcel(), QStringLiteral("Добавить посылку"), QStringLiteral("Добавить"), accept);
}

std::optional<Parcel> TFm_Track::askEdit(const Parcel& parcel, const Acceptor& accept)
{
    return ask(parcel, QStringLiteral("Изменить посылку"), QStringLiteral("Сохранить"), accept);
}

std::optional<Parcel> TFm_Track::ask(const Parcel& shown, const QString& caption, const QString& saveText,
                                     const Acceptor& accept)
{
    // Prepared before it becomes visible; a new parcel's fields come out empty.
    Edit_Track->setText(visibleText(shown.number));
    Edit_Shop->setText(visibleText(shown.shop));
    Edit_Title->setText(visibleText(shown.title));
    Edit_Komment->setText(visibleText(shown.comments));
    Edit_Track->setFocus(Qt::OtherFocusReason);
    GroupBox1->setTitle(caption);
    Button1->setText(saveText);
    m_parcel = shown;
    m_accept = accept;
    m_accepted = false;
    exec();
    m_accept = nullptr;
    if (!m_accepted)
        return std::nullopt;
    return m_parcel;
}

void TFm_Track::showNumberCheck()
{
    // A mistyped number is only named: domestic numbers have other forms, so saving stays open.
    const QString typo = numbercheck::typoText(Edit_Track->text());
    constexpr int kGap = 4;
    int room = 0;
    if (!typo.isEmpty()) {
        numberCheckLabel->setText(typo);
        const int width = GroupBox1->width() - 2 * 16;
        numberCheckLabel->setGeometry(16, 32 + 24 + kGap, width, numberCheckLabel->heightForWidth(width));
        room = numberCheckLabel->height() + kGap;
    }
    numberCheckLabel->setVisible(!typo.isEmpty());
    // Without a warning every control is where it always was.
    Edit_Shop->move(120, 64 + room);
    Label2->move(64, 68 + room);
    Edit_Title->move(120, 96 + room);
    Label4->move(27, 102 + room);
    GroupBox1->resize(289, 129 + room);
    Button1->move(144, 144 + room);
    Button2->move(224, 144 + room);
    setFixedSize(308, 179 + room);
}

void TFm_Track::Button1Click()
{
    // Nothing is handed on that the code page cannot hold, the mark of a NUL byte included: a
    // text shown with that mark is never written back cut at the byte or with the mark in its
    // place.
    const QString shown = QStringList{Edit_Track->text(), Edit_Shop->text(), Edit_Title->text()}.join(u'\n');
    const QString comment = Edit_Komment->text();
    if (Edit_Track->text().trimmed().isEmpty()) {
        if (m_showError)
            m_showError(QStringLiteral("Введите номер посылки: без номера её нельзя проверить."));
        Edit_Track->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QStringList unstorable = charactersOutsideCp1251(shown + u'\n' + comment);
    if (!unstorable.isEmpty()) {
        if (m_showError)
            m_showError(unstorableCharactersText(unstorable, !charactersOutsideCp1251(shown).isEmpty(),
                                                 !charactersOutsideCp1251(comment).isEmpty()));
        return;
    }
    Parcel typed = m_parcel;
    typed.number = Edit_Track->text();
    typed.shop = Edit_Shop->text();
    typed.title = Edit_Title->text();
    typed.comments = comment;
    if (m_accept && !m_accept(typed))
        return;
    m_parcel = std::move(typed);
    m_accepted = true;
    accept();
}

void TFm_Track::keyPressEvent(QKeyEvent* event)
{
    // Enter presses neither button; Escape closes the dialog as its close box does.
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
