#pragma once

#include "app/GeneralErrorReport.h"
#include "app/HandlerGuard.h"
#include "app/MainFormOptions.h"
#include "app/MainFormUi.h"
#include "parcels/ParcelEditor.h"
#include "seen/SeenStatuses.h"
#include "tracking/CheckOutcome.h"
#include "tracking/CheckRunHost.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CheckSession;
class DatabaseWatch;
class ParcelStore;
class Prompts;
class TFm_Track;
class TSQLiteTable;
class TrackingPage;

// The main window: the parcel grid with its context menu, the history view, the status log and
// label, the about box with the shop links, and the hidden third page with the browser control.
// It owns the store and the current result; the parcel dialog and the check run work through it.
class TMainForm : public QWidget, public CheckRunHost, public ParcelEditor, private MainFormUi
{
    Q_OBJECT

public:
    // Builds the window and runs FormCreate: the store is opened (or created) and the grid filled.
    explicit TMainForm(MainFormOptions options = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Creates the parcel dialog, hidden; the program does this right after creating the window.
    TFm_Track* createParcelDialog();
    TFm_Track* parcelDialog() const { return m_parcelDialog; }

    // True when the existing database file could not be opened: the program must end.
    bool startupFailed() const { return m_startupFailed; }
    bool checkRunning() const;
    const std::shared_ptr<TSQLiteTable>& currentResult() const { return m_currentResult; }

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

    // Reloads the grid when another process committed to the database since the grid was last
    // filled, as soon as the window is free (no modal box or dialog, no check run). Not a user
    // action: a reload that fails shows no box and is tried again a little later. Called when
    // the window is activated and when the database file changes.
    void noticeOtherWriters();

    // The open store, or nullptr once the window has released it.
    ParcelStore* store();
    // The hidden tracking page, made on first use.
    TrackingPage& trackingPage();
    // True once the window is closing: a check run under way ends at its next step.
    bool stopRequested() const;

    // CheckRunHost
    void setCurrentResult(std::shared_ptr<TSQLiteTable> table) override;
    void appendStatusLine(const std::string& line) override;
    void setStatusLabel(const std::string& text) override;
    void setGridEnabled(bool enabled) override;
    void refreshGrid() override;
    void showErrorBox(const std::string& text, const std::string& cause) override;
    void reportError(const std::string& message) override;

    // ParcelEditor
    bool loadForEditing(TFm_Track& dialog) override;
    bool writeFromDialog(TFm_Track& dialog) override;
    void runGuarded(const std::function<void()>& body) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wireHandlers();
    void openShopPage(int index);
    // Sets the dialog mode ("new" or "edit") and shows the parcel dialog modally.
    void showParcelDialog(const QString& mode);
    // Menu commands are refused while a check run walks the table.
    bool menuRefused() const { return checkRunning() || m_closed; }
    QDateTime now() const;

    enum class GridReload {
        Done,
        Partial, // every row is there, but a field or a date could not be read
        Failed,  // the list query failed: the grid shows what it showed
    };
    // The grid refresh without its box, and the rows changed since last seen in bold. `cause`
    // gets what the box may say of a failure.
    GridReload reloadGrid(QString* cause = nullptr);
    void showChangedRows(TSQLiteTable& table);
    bool windowFree() const;
    // One desktop notification of the parcels whose status the run changed, once the run's
    // handler has returned.
    void notifyChanged(const CheckOutcome& outcome);

    MainFormOptions m_options;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts = nullptr;
    GeneralErrorReport m_errorReport;
    HandlerGuard m_guard;

    std::unique_ptr<ParcelStore> m_store;
    std::shared_ptr<TSQLiteTable> m_currentResult;
    std::unique_ptr<CheckSession> m_checkSession;
    TFm_Track* m_parcelDialog = nullptr;
    std::string m_editedRowId;
    DatabaseWatch* m_databaseWatch = nullptr;
    SeenStatuses::Preparation m_seenTable = SeenStatuses::Preparation::Untouched;
    // The connection's data version when the grid was last filled.
    std::optional<std::int64_t> m_gridDataVersion;

    // Set by an add, so that the refresh after it scrolls the new parcel into view.
    bool m_revealAddedParcel = false;
    bool m_startupFailed = false;
    bool m_closed = false;
};
