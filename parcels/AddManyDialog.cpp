#include "parcels/AddManyDialog.h"

#include "parcels/Tahoma.h"
#include "parcels/UnstorableText.h"
#include "store/Cp1251.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <limits>
#include <utility>

AddManyDialog::AddManyDialog(ErrorBox showError, DiscardQuestion mayDiscard, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_showError(std::move(showError)), m_mayDiscard(std::move(mayDiscard))
{
    setObjectName(QStringLiteral("AddManyDialog"));
    setWindowTitle(QStringLiteral("Несколько посылок"));
    setFont(tahoma::font(tahoma::k10pt));

    auto* hint = new QLabel(QStringLiteral("Номера посылок, по одному в строке:"), this);
    Edit_Numbers = new QPlainTextEdit(this);
    Edit_Numbers->setObjectName(QStringLiteral("Edit_Numbers"));
    Edit_Numbers->setTabChangesFocus(true);
    Edit_Numbers->setMinimumSize(300, 180);
    Edit_Shop = new QLineEdit(this);
    Edit_Shop->setObjectName(QStringLiteral("Edit_Shop"));
    Edit_Title = new QLineEdit(this);
    Edit_Title->setObjectName(QStringLiteral("Edit_Title"));
    // As in the parcel dialog: a long pasted text is never cut short without a word.
    for (QLineEdit* field : {Edit_Shop, Edit_Title})
        field->setMaxLength(std::numeric_limits<int>::max());
    Button_Add = new QPushButton(QStringLiteral("Добавить"), this);
    Button_Add->setObjectName(QStringLiteral("Button_Add"));
    Button_Cancel = new QPushButton(QStringLiteral("Отмена"), this);
    Button_Cancel->setObjectName(QStringLiteral("Button_Cancel"));
    // Enter starts a new line in the list of numbers; it presses no button.
    for (QPushButton* button : {Button_Add, Button_Cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Магазин"), Edit_Shop);
    fields->addRow(QStringLiteral("Что в посылках"), Edit_Title);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button_Add);
    buttons->addWidget(Button_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(Edit_Numbers);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(Button_Add, &QPushButton::clicked, this, &AddManyDialog::save);
    connect(Button_Cancel, &QPushButton::clicked, this, [this] { QDialog::reject(); });
    // Enter belongs to the list of numbers; Ctrl with it adds, wherever the cursor is.
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &AddManyDialog::save);
}

bool AddManyDialog::typedAnything() const
{
    return !Edit_Numbers->toPlainText().trimmed().isEmpty() || !Edit_Shop->text().trimmed().isEmpty()
           || !Edit_Title->text().trimmed().isEmpty();
}

void AddManyDialog::reject()
{
    // A list pasted and worked on is not lost to a stray Escape (or the close box, which QDialog
    // turns into this). "Отмена" is the user's word and asks nothing.
    if (isVisible() && typedAnything() && m_mayDiscard && !m_mayDiscard())
        return;
    QDialog::reject();
}

std::optional<AddManyDialog::Batch> AddManyDialog::ask(const Acceptor& accept)
{
    Edit_Numbers->clear();
    Edit_Shop->clear();
    Edit_Title->clear();
    Edit_Numbers->setFocus(Qt::OtherFocusReason);
    m_accept = accept;
    m_taken.reset();
    exec();
    m_accept = nullptr;
    return std::exchange(m_taken, std::nullopt);
}

void AddManyDialog::save()
{
    Batch batch{PastedNumbers::read(Edit_Numbers->toPlainText()), Edit_Shop->text(), Edit_Title->text()};
    if (batch.read.numbers.isEmpty() && batch.read.lines.isEmpty() && batch.read.wrongLength.isEmpty()) {
        if (m_showError)
            m_showError(QStringLiteral("Вставьте номера посылок, по одному в строке."));
        return;
    }
    // Nothing is handed on that the code page cannot hold, as in the parcel dialog. The numbers
    // are Latin letters and digits by now.
    const QStringList unstorable = charactersOutsideCp1251(batch.shop + u'\n' + batch.title);
    if (!unstorable.isEmpty()) {
        if (m_showError)
            m_showError(unstorableCharactersText(unstorable, true, false));
        return;
    }
    if (m_accept && !m_accept(batch))
        return;
    m_taken = std::move(batch);
    accept();
}
