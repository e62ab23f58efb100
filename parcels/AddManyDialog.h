#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The dialog for many parcels at once: tracking numbers one per line (as pasted from a shop's
// e-mail) with one shop and one "what it holds" for all of them. Like the parcel dialog it checks
// that the database's code page can hold what was typed and hands the batch to its caller's
// acceptor; it never touches the database itself.
class AddManyDialog : public QDialog
{
    Q_OBJECT

public:
    struct Batch
    {
        // The numbers in the order typed, blanks around them and empty lines left out.
        QStringList numbers;
        QString shop;
        QString title;
    };
    // Takes the batch when the user saves; false keeps the dialog open with what was typed (the
    // caller has said why). Must not throw.
    using Acceptor = std::function<bool(const Batch&)>;
    // Shows the error box of what cannot be saved; must not throw either.
    using ErrorBox = std::function<void(const QString& text)>;

    explicit AddManyDialog(ErrorBox showError, QWidget* parent = nullptr);

    // Shows the dialog with empty fields; gives the batch the acceptor took, or nothing when the
    // user cancelled or closed the dialog.
    std::optional<Batch> ask(const Acceptor& accept);

    // The numbers of `text`, one per line, blanks around them and empty lines left out.
    static QStringList numbersOf(const QString& text);

    QPlainTextEdit* Edit_Numbers = nullptr;
    QLineEdit* Edit_Shop = nullptr;
    QLineEdit* Edit_Title = nullptr;
    QPushButton* Button_Add = nullptr;
    QPushButton* Button_Cancel = nullptr;

private:
    void save();

    ErrorBox m_showError;
    Acceptor m_accept;
    std::optional<Batch> m_taken;
};
