#include "parcels/FindBar.h"

#include <QKeyEvent>

FindBar::FindBar(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("FindBar"));
    setPlaceholderText(QStringLiteral("Найти: номер, магазин, что в ней или статус"));
    setClearButtonEnabled(true);
    hide();
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        dismiss();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FindBar::dismiss()
{
    clear();
    hide();
    emit dismissed();
}
