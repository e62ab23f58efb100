#pragma once

#include <QDialog>
#include <QString>

class ParcelEditor;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The parcel dialog: one tracking number with its shop, contents and (hidden) comment, for a
// new parcel or a stored one. Created once, hidden, and shown modally for every add and edit;
// the database work belongs to its ParcelEditor.
class TFm_Track : public QDialog
{
    Q_OBJECT

public:
    explicit TFm_Track(ParcelEditor& editor, QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit* Edit_Track = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit_Shop = nullptr;
    QLineEdit* Edit_Title = nullptr;
    QLineEdit* Edit_Komment = nullptr;
    QLabel* Label3 = nullptr;
    // "new" or "edit", set by the main window before each showing; compared exactly.
    QString DialogMode;

    // Prepares the fields and captions by the dialog mode; false when the dialog must not be
    // shown (its load for editing failed).
    bool FormShow();
    void Button1Click();
    void Button2Click();

    // Every showing: FormShow first, then the dialog modally, unless FormShow refused.
    int exec() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void wireHandlers();
    void clearFields();

    ParcelEditor& m_editor;
};
