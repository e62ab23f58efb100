#pragma once

// The controls of the program's dialogs as tests see them: found by their object names, under
// the names the dialogs themselves use, so that a test reads `controls(dialog).Edit_Track`.
#include "parcels/AddManyDialog.h"
#include "parcels/TFm_Track.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace dialogcontrols {

template <typename T> T* found(const QObject& dialog, const char* name)
{
    T* control = dialog.findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("The dialog %s has no control %s", qPrintable(dialog.objectName()), name);
    return control;
}

} // namespace dialogcontrols

struct Fm_TrackControls
{
    explicit Fm_TrackControls(const TFm_Track& d) : dialog(d) {}

    const TFm_Track& dialog;
    QGroupBox* GroupBox1 = dialogcontrols::found<QGroupBox>(dialog, "GroupBox1");
    QPushButton* Button1 = dialogcontrols::found<QPushButton>(dialog, "Button1");
    QPushButton* Button2 = dialogcontrols::found<QPushButton>(dialog, "Button2");
    QLineEdit* Edit_Track = dialogcontrols::found<QLineEdit>(dialog, "Edit_Track");
    QLabel* Label1 = dialogcontrols::found<QLabel>(dialog, "Label1");
    QLabel* Label2 = dialogcontrols::found<QLabel>(dialog, "Label2");
    QLabel* Label4 = dialogcontrols::found<QLabel>(dialog, "Label4");
    QLineEdit* Edit_Shop = dialogcontrols::found<QLineEdit>(dialog, "Edit_Shop");
    QLineEdit* Edit_Title = dialogcontrols::found<QLineEdit>(dialog, "Edit_Title");
    QLineEdit* Edit_Komment = dialogcontrols::found<QLineEdit>(dialog, "Edit_Komment");
    QLabel* Label3 = dialogcontrols::found<QLabel>(dialog, "Label3");
    QLabel* numberCheckLabel = dialogcontrols::found<QLabel>(dialog, "numberCheckLabel");
};

struct AddManyControls
{
    explicit AddManyControls(const AddManyDialog& d) : dialog(d) {}

    const AddManyDialog& dialog;
    QPlainTextEdit* numbersEdit = dialogcontrols::found<QPlainTextEdit>(dialog, "numbersEdit");
    QLineEdit* shopEdit = dialogcontrols::found<QLineEdit>(dialog, "shopEdit");
    QLineEdit* titleEdit = dialogcontrols::found<QLineEdit>(dialog, "titleEdit");
    QPushButton* addButton = dialogcontrols::found<QPushButton>(dialog, "addButton");
    QPushButton* cancelButton = dialogcontrols::found<QPushButton>(dialog, "cancelButton");
};

inline Fm_TrackControls controls(const TFm_Track& dialog)
{
    return Fm_TrackControls(dialog);
}

inline AddManyControls controls(const AddManyDialog& dialog)
{
    return AddManyControls(dialog);
}
