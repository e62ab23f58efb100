#include "app/Prompts.h"

#include "app/ApplicationTitle.h"

void Prompts::showError(const QString& text, const QString& detail)
{
    show({QStringLiteral("Ошибка"), text, Icon::Error, {Button::Ok}, Button::Ok, nullptr, detail});
}

void Prompts::showMessage(const QString& text, Icon icon)
{
    show({applicationTitle(), text, icon, {Button::Ok}, Button::Ok, nullptr, {}});
}

Prompts::Button Prompts::askYesNo(const QString& caption, const QString& text, Icon icon, Button defaultButton,
                                  QWidget* owner)
{
    return show({caption, text, icon, {Button::Yes, Button::No}, defaultButton, owner, {}});
}

QString Prompts::listed(const QStringList& lines, int shown)
{
    if (lines.size() <= shown)
        return lines.join(u'\n');
    return lines.mid(0, shown).join(u'\n') + QStringLiteral("\nи ещё %1").arg(lines.size() - shown);
}
