#pragma once

// The main window's controls as tests see them: found by their object names, under the same
// names the window's handlers use, so that a test reads `ui(window).StringGrid2` where the
// window itself reads `StringGrid2`.
#include "parcels/ParcelGrid.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

struct MainFormView
{
    explicit MainFormView(const QWidget& form)
        : PageControl1(direct<QTabWidget>(form, "PageControl1")), PopupMenu1(direct<QMenu>(form, "PopupMenu1"))
    {
    }

    // Pages and menu are looked up among the window's own children, their controls inside
    // them: the parcel dialog, a child of the window too, has controls of the same names.
    QTabWidget* PageControl1;
    QWidget* TabSheet1 = in<QWidget>(PageControl1, "TabSheet1");
    QWidget* TabSheet2 = in<QWidget>(PageControl1, "TabSheet2");
    QWidget* TabSheet3 = in<QWidget>(PageControl1, "TabSheet3");
    QGroupBox* GroupBox5 = in<QGroupBox>(PageControl1, "GroupBox5");
    QLabel* Label7 = in<QLabel>(PageControl1, "Label7");
    ParcelGrid* StringGrid2 = in<ParcelGrid>(PageControl1, "StringGrid2");
    QLabel* Label_Status = in<QLabel>(PageControl1, "Label_Status");
    QPlainTextEdit* Memo2 = in<QPlainTextEdit>(PageControl1, "Memo2");
    QGroupBox* GroupBox4 = in<QGroupBox>(PageControl1, "GroupBox4");
    QPlainTextEdit* Memo_history = in<QPlainTextEdit>(PageControl1, "Memo_history");
    QToolButton* SpeedButton1 = in<QToolButton>(PageControl1, "SpeedButton1");
    QGroupBox* GroupBox3 = in<QGroupBox>(PageControl1, "GroupBox3");
    QLabel* Label1 = in<QLabel>(PageControl1, "Label1");
    QLabel* Label4 = in<QLabel>(PageControl1, "Label4");
    QLabel* Label5 = in<QLabel>(PageControl1, "Label5");
    QLabel* Image1 = in<QLabel>(PageControl1, "Image1");
    QLabel* Label2 = in<QLabel>(PageControl1, "Label2");
    QPushButton* BitBtn4 = in<QPushButton>(PageControl1, "BitBtn4");
    QPushButton* BitBtn1 = in<QPushButton>(PageControl1, "BitBtn1");
    QGroupBox* GroupBox1 = in<QGroupBox>(PageControl1, "GroupBox1");
    QPlainTextEdit* Memo_Status = in<QPlainTextEdit>(PageControl1, "Memo_Status");
    QPushButton* Button_Check = in<QPushButton>(PageControl1, "Button_Check");
    QPlainTextEdit* Memo1 = in<QPlainTextEdit>(PageControl1, "Memo1");
    QPushButton* BitBtn3 = in<QPushButton>(PageControl1, "BitBtn3");
    QPushButton* Button1 = in<QPushButton>(PageControl1, "Button1");
    QFrame* Panel1 = in<QFrame>(PageControl1, "Panel1");
    QPushButton* BitBtn2 = in<QPushButton>(PageControl1, "BitBtn2");
    QPushButton* BitBtn6 = in<QPushButton>(PageControl1, "BitBtn6");
    QWidget* WebBrowser1 = in<QWidget>(PageControl1, "WebBrowser1");
    QMenu* PopupMenu1;
    QAction* N4 = in<QAction>(PopupMenu1, "N4");
    QAction* N5 = in<QAction>(PopupMenu1, "N5");
    QAction* Add = in<QAction>(PopupMenu1, "Add");
    QAction* edit = in<QAction>(PopupMenu1, "edit");
    QAction* N2 = in<QAction>(PopupMenu1, "N2");
    QAction* N3 = in<QAction>(PopupMenu1, "N3");
    QAction* New = in<QAction>(PopupMenu1, "New");
    QAction* addManyAction = in<QAction>(PopupMenu1, "addManyAction");
    QAction* findAction = in<QAction>(PopupMenu1, "findAction");
    QAction* toArchiveAction = in<QAction>(PopupMenu1, "toArchiveAction");
    QAction* fromArchiveAction = in<QAction>(PopupMenu1, "fromArchiveAction");
    QAction* showArchiveAction = in<QAction>(PopupMenu1, "showArchiveAction");

private:
    template <typename T> static T* found(T* control, const char* name)
    {
        if (!control)
            qFatal("The main window has no control %s", name);
        return control;
    }
    template <typename T> static T* direct(const QWidget& form, const char* name)
    {
        return found(form.findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly), name);
    }
    template <typename T> static T* in(const QObject* parent, const char* name)
    {
        return found(parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr, name);
    }
};

// The view of `form`, found once and kept with the window for as long as it lives.
inline MainFormView& ui(const QWidget& form)
{
    struct Holder : QObject
    {
        explicit Holder(const QWidget& form) : view(form) {}
        MainFormView view;
    };
    static const QString kName = QStringLiteral("MainFormView");
    for (QObject* child : form.children()) {
        if (child->objectName() == kName)
            return static_cast<Holder*>(child)->view;
    }
    auto* holder = new Holder(form);
    holder->setObjectName(kName);
    holder->setParent(const_cast<QWidget*>(&form));
    return holder->view;
}
