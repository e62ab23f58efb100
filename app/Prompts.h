#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

// Every message box and question of the program goes through one Prompts object, so that tests
// can answer questions and read the boxes instead of blocking in a modal loop.
class Prompts
{
public:
    enum class Icon { NoIcon, Information, Warning, Error };
    enum class Button { Ok, Yes, No };

    struct Box
    {
        QString caption;
        QString text;
        Icon icon = Icon::NoIcon;
        std::vector<Button> buttons;
        Button defaultButton = Button::Ok;
        QWidget* owner = nullptr; // nullptr: a box without owner window
        // Shown under the text, in the box's smaller print: why the operation failed.
        QString detail;
    };

    virtual ~Prompts() = default;

    // Shows the box modally and gives the button that closed it.
    virtual Button show(const Box& box) = 0;

    // The error box of a failed operation: caption "Ошибка", error icon, OK, no owner window;
    // `detail`, when given, says under the fixed text why it failed.
    void showError(const QString& text, const QString& detail = {});
    // A box with the program's title as caption and one OK button, without owner window.
    void showMessage(const QString& text, Icon icon);
    Button askYesNo(const QString& caption, const QString& text, Icon icon, Button defaultButton, QWidget* owner);

    // Lines named in a box, one per line: the first `shown` of them, then "и ещё M" for the rest,
    // so that a box over a thousand parcels still fits on the screen.
    static QString listed(const QStringList& lines, int shown = 10);
};
