#pragma once

class ParcelGrid;
class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QToolButton;
class QWidget;
class WindowBitmaps;

// The main window's controls, named as in the design, each with its name as object name. The
// window inherits them privately, so that its handlers name them directly and nothing outside
// reaches them but through their object names.
struct MainFormUi
{
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLabel* Label7 = nullptr;
    ParcelGrid* StringGrid2 = nullptr;
    QLabel* Label_Status = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QPlainTextEdit* Memo_history = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QPlainTextEdit* Memo_Status = nullptr;
    QPushButton* Button_Check = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* Button1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QWidget* WebBrowser1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* Add = nullptr;
    QAction* edit = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* New = nullptr;
    QAction* N6 = nullptr;
    QAction* AddMany = nullptr;
    QAction* Find = nullptr;
    QAction* N7 = nullptr;
    QAction* ToArchive = nullptr;
    QAction* FromArchive = nullptr;
    QAction* ShowArchive = nullptr;
    QAction* N8 = nullptr;
    QAction* BackgroundChecks = nullptr;
    // Below the pages, a line of its own: when the parcels were last checked, and the next time.
    QStatusBar* StatusBar_Checks = nullptr;
    QLabel* Image_CheckFault = nullptr;
    QLabel* Label_LastCheck = nullptr;

    // Makes the controls on `form` (the window's title, size and place included), the first
    // page current. The program's resources must be registered.
    void setupUi(QWidget* form);

private:
    void setupProgramPage(WindowBitmaps& bitmaps);
    void setupShopsPage(WindowBitmaps& bitmaps);
    void setupBrowserPage();
    void setupPopupMenu(QWidget* form);
    void setupStatusBar(QWidget* form);
};
