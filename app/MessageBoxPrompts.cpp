#include "app/MessageBoxPrompts.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon toIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton toStandard(Prompts::Button button)
{
    switch (button) {
    case Prompts::Button::Yes:
        return QMessageBox::Yes;
    case Prompts::Button::No:
        return QMessageBox::No;
    case Prompts::Button::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

Prompts::Button MessageBoxPrompts::show(const Box& box)
{
    QMessageBox::StandardButtons buttons;
    for (const Button b : box.buttons)
        buttons |= toStandard(b);
    if (box.buttons.empty())
        buttons = QMessageBox::Ok;
    QMessageBox dialog(toIcon(box.icon), box.caption, box.text, buttons, box.owner);
    if (!box.detail.isEmpty())
        dialog.setInformativeText(box.detail);
    dialog.setDefaultButton(toStandard(box.defaultButton));
    // Escape (or the close box) answers like the default button of a question, OK otherwise.
    dialog.setEscapeButton(box.buttons.size() > 1 ? toStandard(box.defaultButton) : QMessageBox::Ok);
    const int answer = dialog.exec();
    if (answer == QMessageBox::Yes)
        return Button::Yes;
    if (answer == QMessageBox::No)
        return Button::No;
    return Button::Ok;
}
