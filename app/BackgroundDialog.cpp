#include "app/BackgroundDialog.h"

#include "parcels/Tahoma.h"
#include "tracking/CheckWords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

BackgroundDialog::BackgroundDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BackgroundDialog"));
    setWindowTitle(QStringLiteral("Проверка в фоне"));
    setFont(tahoma::font(tahoma::k8pt));
    auto* layout = new QVBoxLayout(this);

    noteLabel = new QLabel(this);
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    noteLabel->setWordWrap(true);
    layout->addWidget(noteLabel);

    onCheckBox = new QCheckBox(this);
    onCheckBox->setObjectName(QStringLiteral("onCheckBox"));
    layout->addWidget(onCheckBox);

    auto* form = new QFormLayout;
    intervalComboBox = new QComboBox(this);
    intervalComboBox->setObjectName(QStringLiteral("intervalComboBox"));
    for (const CheckInterval interval : checkintervals::kAll)
        intervalComboBox->addItem(checkintervals::caption(interval), checkintervals::hours(interval));
    form->addRow(QStringLiteral("Как часто:"), intervalComboBox);
    layout->addLayout(form);

    nextLabel = new QLabel(this);
    nextLabel->setObjectName(QStringLiteral("nextLabel"));
    nextLabel->setWordWrap(true);
    layout->addWidget(nextLabel);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // How often means something only while checks are on.
    connect(onCheckBox, &QCheckBox::toggled, intervalComboBox, &QWidget::setEnabled);
    setMinimumWidth(380);
}

std::optional<BackgroundDialog::Choice> BackgroundDialog::ask(const Shown& shown)
{
    noteLabel->setText(shown.note);
    noteLabel->setVisible(!shown.note.isEmpty());
    onCheckBox->setText(shown.byManager ? QStringLiteral("Проверять посылки в фоне, даже когда окно закрыто")
                                        : QStringLiteral("Проверять посылки, пока окно открыто"));
    onCheckBox->setChecked(shown.on);
    intervalComboBox->setEnabled(shown.on);
    intervalComboBox->setCurrentIndex(intervalComboBox->findData(checkintervals::hours(shown.interval)));
    if (!shown.on)
        nextLabel->setText(QStringLiteral("Сейчас посылки проверяются только по команде «Проверить посылки» (F5)."));
    else if (shown.next)
        nextLabel->setText(QStringLiteral("Следующая проверка: %1.").arg(checkwords::moment(*shown.next, shown.now)));
    else
        nextLabel->setText(QStringLiteral("Проверки включены; когда следующая, пока неизвестно."));
    adjustSize();
    // Each time from the switch, whatever had the focus when the dialog last closed.
    onCheckBox->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    Choice choice;
    choice.on = onCheckBox->isChecked();
    choice.interval =
        checkintervals::fromHours(intervalComboBox->currentData().toInt()).value_or(checkintervals::kDefault);
    return choice;
}
