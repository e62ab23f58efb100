#pragma once

#include "app/GeneralErrorReport.h"
#include "app/HandlerGuard.h"
#include "app/MainFormOptions.h"
#include "app/MainFormUi.h"

#include <QWidget>

#include <functional>
#include <memory>

class ArchiveCommands;
class BackgroundController;
class CheckController;
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
    bool checkRunning() const;

    // Event handlers.
    void FormCreate();
    void FormClose();
    void RefreshGrid();
    void StringGrid2Click();
    void N4Click();
    void AddClick();
    void editClick();
    void N3Click();
    void Button_CheckClick();
    void BitBtn4Click();
    void Label5Click();
    void BitBtn2Click();
    void BitBtn6Click();
    void BitBtn3Click();
    void Button1Click();
    void SpeedButton1Click();

    // Reloads the grid when another process wrote to the database, once the window is free.
    void noticeOtherWriters();

protected:
    // A line of the check run's status log, scrolled into view.
    virtual void appendStatusLine(const QString& line);
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
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
    std::unique_ptr<ArchiveCommands> m_archive;
    std::unique_ptr<BackgroundController> m_background;
    std::unique_ptr<LastCheckFoot> m_foot;
    TFm_Track* m_parcelDialog = nullptr;
    bool m_startupFailed = false;
};
