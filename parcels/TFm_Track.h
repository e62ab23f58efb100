#pragma once

#include "store/Parcel.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The parcel dialog: one tracking number with its shop, contents and (hidden) comment, for a
// new parcel or a stored one. Created once, hidden, and shown modally for every add and edit.
// It checks that the code page of the database can hold what was typed, and hands the parcel
// to its caller's acceptor; it never touches the database itself.
class TFm_Track : public QDialog
{
    Q_OBJECT

public:
    // Takes the typed parcel when the user saves; false keeps the dialog open with what was
    // typed (the caller has said why). Runs inside the save button's handler: it must not throw.
    using Acceptor = std::function<bool(const Parcel&)>;
    // Shows the error box of a field the database cannot hold; must not throw either.
    using ErrorBox = std::function<void(const QString& text)>;

    explicit TFm_Track(ErrorBox showError, QWidget* parent = nullptr);

    // Shows the dialog with empty fields. Gives the parcel the acceptor took (with no id), or
    // nothing when the user cancelled or closed the dialog. No acceptor: every save is taken.
    std::optional<Parcel> askNew(const Acceptor& accept = {});
    // Shows the dialog with the fields of `parcel`. Gives `parcel` with the texts the acceptor
    // took, or nothing when the user cancelled or closed the dialog.
    std::optional<Parcel> askEdit(const Parcel& parcel, const Acceptor& accept = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    std::optional<Parcel> ask(const Parcel& shown, const QString& caption, const QString& saveText,
                              const Acceptor& accept);
    // "Добавить" or "Сохранить": hands the typed parcel to the acceptor and closes once it is taken.
    void Button1Click();
    // Shows or hides the line under the number; the fields below move down to make room for it.
    void showNumberCheck();

    // The controls, each with its name as object name.
    // The group round the fields; its caption says whether a parcel is added or changed.
    QGroupBox* GroupBox1 = nullptr;
    // "Добавить" or "Сохранить": hands what was typed to the caller and closes when it is taken.
    QPushButton* Button1 = nullptr;
    // "Отмена": closes the dialog; nothing is written.
    QPushButton* Button2 = nullptr;
    // The tracking number.
    QLineEdit* Edit_Track = nullptr;
    // "Номер посылки", the caption of Edit_Track.
    QLabel* Label1 = nullptr;
    // "Магазин", the caption of Edit_Shop.
    QLabel* Label2 = nullptr;
    // "Что в посылке", the caption of Edit_Title.
    QLabel* Label4 = nullptr;
    // The shop the parcel comes from.
    QLineEdit* Edit_Shop = nullptr;
    // What the parcel holds.
    QLineEdit* Edit_Title = nullptr;
    // The comment: hidden, yet loaded and saved with the parcel.
    QLineEdit* Edit_Komment = nullptr;
    // "Комментарий", the hidden caption of Edit_Komment.
    QLabel* Label3 = nullptr;
    // Under the number: a mistyped check digit of an international number, as it is typed.
    QLabel* numberCheckLabel = nullptr;

    ErrorBox m_showError;
    // The parcel of the current showing, its texts replaced by the fields' at a save.
    Parcel m_parcel;
    Acceptor m_accept;
    bool m_accepted = false;
};
