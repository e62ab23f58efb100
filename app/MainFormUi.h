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
    // The two visible pages and the hidden one.
    QTabWidget* PageControl1 = nullptr;
    // "Программа": the parcel list, the history, the about box and the status log.
    QWidget* TabSheet1 = nullptr;
    // "Супер магазины": two shop links.
    QWidget* TabSheet2 = nullptr;
    // The page whose tab is never shown, holding the browser control.
    QWidget* TabSheet3 = nullptr;
    // "Номера посылок": the grid with its hint and the status label.
    QGroupBox* GroupBox5 = nullptr;
    // The grey hint that the grid's commands are on the right mouse button.
    QLabel* Label7 = nullptr;
    // The parcel grid.
    ParcelGrid* StringGrid2 = nullptr;
    // The status label: "Статус: " and the state of the check run.
    QLabel* Label_Status = nullptr;
    // Never shown; nothing reads it.
    QPlainTextEdit* Memo2 = nullptr;
    // "Расширенная информация о посылке": the history view.
    QGroupBox* GroupBox4 = nullptr;
    // The history view: the selected parcel's events, one a line.
    QPlainTextEdit* Memo_history = nullptr;
    // Hidden: shows the days since a fixed date.
    QToolButton* SpeedButton1 = nullptr;
    // "О программе": the about box.
    QGroupBox* GroupBox3 = nullptr;
    // The program's name in the about box.
    QLabel* Label1 = nullptr;
    // The author credit line.
    QLabel* Label4 = nullptr;
    // The web-site line; a click opens shop page 2.
    QLabel* Label5 = nullptr;
    // The about box's picture.
    QLabel* Image1 = nullptr;
    // What the program does, in one sentence.
    QLabel* Label2 = nullptr;
    // Picture button: opens shop page 1.
    QPushButton* BitBtn4 = nullptr;
    // Picture button: opens shop page 1.
    QPushButton* BitBtn1 = nullptr;
    // "Что делает программа ": round the status log.
    QGroupBox* GroupBox1 = nullptr;
    // The status log: a line for each step of a check run.
    QPlainTextEdit* Memo_Status = nullptr;
    // Hidden "Проверка": its click is the check run.
    QPushButton* Button_Check = nullptr;
    // Hidden: a saved tracking page for the two pattern buttons.
    QPlainTextEdit* Memo1 = nullptr;
    // Hidden "Рег - Строка": tries the results and cell patterns on Memo1.
    QPushButton* BitBtn3 = nullptr;
    // Hidden "Рег - Таблица": tries the results pattern on Memo1.
    QPushButton* Button1 = nullptr;
    // The shop page's sunken panel.
    QFrame* Panel1 = nullptr;
    // Picture button: opens shop page 1.
    QPushButton* BitBtn2 = nullptr;
    // Picture button: opens shop page 3.
    QPushButton* BitBtn6 = nullptr;
    // The hidden browser control's place.
    QWidget* WebBrowser1 = nullptr;
    // The grid's context menu.
    QMenu* PopupMenu1 = nullptr;
    // "Проверить посылки": the check run, as a click on Button_Check.
    QAction* N4 = nullptr;
    // The separator under "Проверить посылки".
    QAction* N5 = nullptr;
    // "Добавить посылку": the parcel dialog for a new parcel.
    QAction* Add = nullptr;
    // "Редактирова посылку": the parcel dialog for the selected parcel.
    QAction* edit = nullptr;
    // The separator above "Удалить посылку".
    QAction* N2 = nullptr;
    // "Удалить посылку": deletes the chosen parcels after a question.
    QAction* N3 = nullptr;
    // "Создание": never visible, does nothing.
    QAction* New = nullptr;
    QAction* addManySeparator = nullptr;
    // "Добавить несколько посылок…": many pasted numbers at once.
    QAction* addManyAction = nullptr;
    // "Найти…" (Ctrl+F): the grid's find field.
    QAction* findAction = nullptr;
    QAction* archiveSeparator = nullptr;
    // "В архив": the chosen parcels into the archive.
    QAction* toArchiveAction = nullptr;
    // "Вернуть из архива": the chosen parcels out of it.
    QAction* fromArchiveAction = nullptr;
    // "Показать архив": archived parcels shown greyed, or left out.
    QAction* showArchiveAction = nullptr;
    QAction* backgroundSeparator = nullptr;
    // "Проверять в фоне…": the background checks' dialog.
    QAction* backgroundChecksAction = nullptr;
    // Below the pages, a line of its own: when the parcels were last checked, and the next time.
    QStatusBar* checksStatusBar = nullptr;
    // The warning mark of a check that did not go through.
    QLabel* checkFaultImage = nullptr;
    // When the parcels were last checked, and the next time.
    QLabel* lastCheckLabel = nullptr;

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
