#pragma once

#include "app/GeneralErrorReport.h"
#include "app/HandlerGuard.h"
#include "app/MainFormOptions.h"
#include "app/MainFormUi.h"

#include <QWidget>

#include <functional>
#include <memory>

class AddManyCommand;
class AddParcelCommand;
class ArchiveCommands;
class BackgroundController;
class CheckController;
class DeleteParcelsCommand;
class EditParcelCommand;
class LastCheckFoot;
class ParcelListController;
class Prompts;
class TFm_Track;

// The main window: the parcel grid with its context menu, the history view, the status log and
// label, the about box with the shop links, and the hidden third page with the browser control;
// under the pages, the status bar that says when the parcels were last checked. It holds the
// controls and wires them to its controllers: the parcel list (the store, the grid, the parcel
// dialog), the check run, and the checks that run by themselves. Each handler is one named
// operation of theirs.
class TMainForm : public QWidget, private MainFormUi
{
    Q_OBJECT

public:
    // Builds the window and runs FormCreate: the store is opened (or created) and the grid filled.
    explicit TMainForm(MainFormOptions options = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // True when the existing database file could not be opened: the program must end.
    bool startupFailed() const { return m_startupFailed; }

    // Event handlers.
    // The window is made: opens (or creates) the database and fills the grid.
    void FormCreate();
    // The window closes: the check run stops and the database connection goes.
    void FormClose();
    // Reloads every parcel into the grid.
    void RefreshGrid();
    // A row of the grid was chosen: shows its parcel's history.
    void StringGrid2Click();
    // "Проверить посылки": clicks Button_Check.
    void N4Click();
    // "Добавить посылку": the parcel dialog for a new parcel.
    void AddClick();
    // "Редактирова посылку": the parcel dialog for the selected parcel.
    void editClick();
    // "Удалить посылку": deletes the chosen parcels after a question.
    void N3Click();
    // The hidden "Проверка" button: the check run over every parcel.
    void Button_CheckClick();
    // BitBtn4 and BitBtn1: opens shop page 1.
    void BitBtn4Click();
    // The web-site line: opens shop page 2.
    void Label5Click();
    // BitBtn2: opens shop page 1.
    void BitBtn2Click();
    // BitBtn6: opens shop page 3.
    void BitBtn6Click();
    // The hidden "Рег - Строка": tries the results and cell patterns on Memo1's page.
    void BitBtn3Click();
    // The hidden "Рег - Таблица": tries the results pattern on Memo1's page.
    void Button1Click();
    // The hidden day-count button: shows the days since a fixed date.
    void SpeedButton1Click();

protected:
    // A line of the check run's status log, scrolled into view.
    virtual void appendStatusLine(const QString& line);
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool checkRunning() const;
    void wireHandlers();
    void runGuarded(const std::function<void()>& body);
    void openShopPage(int index);
    // Menu commands are refused while a check run walks the table.
    bool menuRefused() const;
    void updateMenuItems();
    // The keyboard focus back on the grid.
    void backToGrid();
    // The run the window's own schedule starts, as "Проверить посылки" would.
    void scheduledCheck();

    MainFormOptions m_options;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts = nullptr;
    GeneralErrorReport m_errorReport;
    HandlerGuard m_guard;

    // Children of the window, gone before the options and the guard they use.
    std::unique_ptr<ParcelListController> m_list;
    std::unique_ptr<CheckController> m_check;
    std::unique_ptr<AddParcelCommand> m_addParcel;
    std::unique_ptr<EditParcelCommand> m_editParcel;
    std::unique_ptr<DeleteParcelsCommand> m_deleteParcels;
    std::unique_ptr<AddManyCommand> m_addMany;
    std::unique_ptr<ArchiveCommands> m_archive;
    std::unique_ptr<BackgroundController> m_background;
    std::unique_ptr<LastCheckFoot> m_foot;
    TFm_Track* m_parcelDialog = nullptr;
    bool m_startupFailed = false;
};
