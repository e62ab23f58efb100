#pragma once

#include "schedule/CheckInterval.h"

#include <QDateTime>
#include <QDialog>
#include <QString>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;

// "Проверять в фоне…": whether the parcels are checked by themselves, and how often. It shows
// what it is given and gives back what the user chose; whoever opened it applies the choice.
class BackgroundDialog : public QDialog
{
    Q_OBJECT

public:
    struct Shown
    {
        // Where no user manager runs the timer, the window's own schedule is offered, and `note`
        // says in one sentence why.
        bool byManager = true;
        QString note;
        bool on = false;
        CheckInterval interval = checkintervals::kDefault;
        std::optional<QDateTime> next; // when the next check runs, if known
        QDateTime now;
    };

    struct Choice
    {
        bool on = false;
        CheckInterval interval = checkintervals::kDefault;
        bool operator==(const Choice&) const = default;
    };

    explicit BackgroundDialog(QWidget* parent = nullptr);

    // Shows the dialog modally; the choice when the user pressed OK.
    std::optional<Choice> ask(const Shown& shown);

private:
    QLabel* Label_Note = nullptr;
    QCheckBox* CheckBox_On = nullptr;
    QComboBox* ComboBox_Interval = nullptr;
    QLabel* Label_Next = nullptr;
};
