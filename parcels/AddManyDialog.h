#pragma once

#include "parcels/PastedNumbers.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The dialog for many parcels at once: tracking numbers as pasted from a shop's e-mail (read by
// PastedNumbers) with one shop and one "what it holds" for all of them. Like the parcel dialog it
// checks that the database's code page can hold what was typed and hands the batch to its
// caller's acceptor; it never touches the database itself. Ctrl+Enter adds; Escape (or the close
// box) with anything typed asks before the text is thrown away.
class AddManyDialog : public QDialog
{
    Q_OBJECT

public:
    struct Batch
    {
        // What the text holds: the numbers in the order typed, and the lines that are none.
        PastedNumbers read;
        QString shop;
        QString title;
    };
    // Takes the batch when the user saves; false keeps the dialog open with what was typed (the
    // caller has said why). Must not throw.
    using Acceptor = std::function<bool(const Batch&)>;
    // Shows the error box of what cannot be saved; must not throw either.
    using ErrorBox = std::function<void(const QString& text)>;
    // Asks whether what was typed may be thrown away; must not throw either.
    using DiscardQuestion = std::function<bool()>;

    AddManyDialog(ErrorBox showError, DiscardQuestion mayDiscard, QWidget* parent = nullptr);

    // Shows the dialog with empty fields; gives the batch the acceptor took, or nothing when the
    // user cancelled or closed the dialog.
    std::optional<Batch> ask(const Acceptor& accept);

    QPlainTextEdit* Edit_Numbers = nullptr;
    QLineEdit* Edit_Shop = nullptr;
    QLineEdit* Edit_Title = nullptr;
    QPushButton* Button_Add = nullptr;
    QPushButton* Button_Cancel = nullptr;

    // Escape and the close box: closes the dialog unless the user wants to keep what was typed.
    void reject() override;

private:
    void save();
    bool typedAnything() const;

    ErrorBox m_showError;
    DiscardQuestion m_mayDiscard;
    Acceptor m_accept;
    std::optional<Batch> m_taken;
};
