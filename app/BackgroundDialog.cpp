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

    Label_Note = new QLabel(this);
    Label_Note->setObjectName(QStringLiteral("Label_Note"));
    Label_Note->setWordWrap(true);
    layout->addWidget(Label_Note);

    CheckBox_On = new QCheckBox(this);
    CheckBox_On->setObjectName(QStringLiteral("CheckBox_On"));
    layout->addWidget(CheckBox_On);

    auto* form = new QFormLayout;
    ComboBox_Interval = new QComboBox(this);
    ComboBox_Interval->setObjectName(QStringLiteral("ComboBox_Interval"));
    for (const CheckInterval interval : checkintervals::kAll)
        ComboBox_Interval->addItem(checkintervals::caption(interval), checkintervals::hours(interval));
    form->addRow(QStringLiteral("Как часто:"), ComboBox_Interval);
    layout->addLayout(form);

    Label_Next = new QLabel(this);
    Label_Next->setObjectName(QStringLiteral("Label_Next"));
    Label_Next->setWordWrap(true);
    layout->addWidget(Label_Next);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // How often means something only while checks are on.
    connect(CheckBox_On, &QCheckBox::toggled, ComboBox_Interval, &QWidget::setEnabled);
    setMinimumWidth(380);
}

std::optional<BackgroundDialog::Choice> BackgroundDialog::ask(const Shown& shown)
{
    Label_Note->setText(shown.note);
    Label_Note->setVisible(!shown.note.isEmpty());
    CheckBox_On->setText(shown.byManager ? QStringLiteral("Проверять посылки в фоне, даже когда окно закрыто")
                                         : QStringLiteral("Проверять посылки, пока окно открыто"));
    CheckBox_On->setChecked(shown.on);
    ComboBox_Interval->setEnabled(shown.on);
    ComboBox_Interval->setCurrentIndex(ComboBox_Interval->findData(checkintervals::hours(shown.interval)));
    if (!shown.on)
        Label_Next->setText(QStringLiteral("Сейчас посылки проверяются только по команде «Проверить посылки» (F5)."));
    else if (shown.next)
        Label_Next->setText(QStringLiteral("Следующая проверка: %1.").arg(checkwords::moment(*shown.next, shown.now)));
    else
        Label_Next->setText(QStringLiteral("Проверки включены; когда следующая, пока неизвестно."));
    adjustSize();
    // Each time from the switch, whatever had the focus when the dialog last closed.
    CheckBox_On->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    Choice choice;
    choice.on = CheckBox_On->isChecked();
    choice.interval =
        checkintervals::fromHours(ComboBox_Interval->currentData().toInt()).value_or(checkintervals::kDefault);
    return choice;
}
