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
    numbersEdit = new QPlainTextEdit(this);
    numbersEdit->setObjectName(QStringLiteral("numbersEdit"));
    numbersEdit->setTabChangesFocus(true);
    numbersEdit->setMinimumSize(300, 180);
    shopEdit = new QLineEdit(this);
    shopEdit->setObjectName(QStringLiteral("shopEdit"));
    titleEdit = new QLineEdit(this);
    titleEdit->setObjectName(QStringLiteral("titleEdit"));
    // As in the parcel dialog: a long pasted text is never cut short without a word.
    for (QLineEdit* field : {shopEdit, titleEdit})
        field->setMaxLength(std::numeric_limits<int>::max());
    addButton = new QPushButton(QStringLiteral("Добавить"), this);
    addButton->setObjectName(QStringLiteral("addButton"));
    cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    // Enter starts a new line in the list of numbers; it presses no button.
    for (QPushButton* button : {addButton, cancelButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Магазин"), shopEdit);
    fields->addRow(QStringLiteral("Что в посылках"), titleEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(addButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(numbersEdit);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(addButton, &QPushButton::clicked, this, &AddManyDialog::save);
    connect(cancelButton, &QPushButton::clicked, this, [this] { QDialog::reject(); });
    // Enter belongs to the list of numbers; Ctrl with it adds, wherever the cursor is.
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &AddManyDialog::save);
}

bool AddManyDialog::typedAnything() const
{
    return !numbersEdit->toPlainText().trimmed().isEmpty() || !shopEdit->text().trimmed().isEmpty()
           || !titleEdit->text().trimmed().isEmpty();
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
    numbersEdit->clear();
    shopEdit->clear();
    titleEdit->clear();
    numbersEdit->setFocus(Qt::OtherFocusReason);
    m_accept = accept;
    m_taken.reset();
    exec();
    m_accept = nullptr;
    return std::exchange(m_taken, std::nullopt);
}

void AddManyDialog::save()
{
    Batch batch{PastedNumbers::read(numbersEdit->toPlainText()), shopEdit->text(), titleEdit->text()};
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
