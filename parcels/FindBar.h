#pragma once

#include <QLineEdit>

// The find field over the bottom of the parcel grid: hidden until asked for, it filters the
// grid's rows as the user types. Escape clears it and hides it again.
class FindBar : public QLineEdit
{
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent = nullptr);

    // Clears the field and hides it, as Escape does.
    void dismiss();

signals:
    // The field was cleared and hidden by Escape or dismiss().
    void dismissed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
