#pragma once

#include "app/GeneralErrorReport.h"
#include "app/HandlerGuard.h"
#include "app/MainFormOptions.h"
#include "app/MainFormUi.h"
#include "parcels/ParcelEditor.h"
#include "store/SeenStatuses.h"
#include "tracking/CheckOutcome.h"

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

// The main window: the parcel grid with its context menu, the history view, the status log and
// label, the about box with the shop links, and the hidden third page with the browser control.
// It owns the store and the current result; the parcel dialog and the check run work through it.
class TMainForm : public QWidget, public ParcelEditor, private MainFormUi
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
    // Whether the last read of the store found no parcel.
    bool lastReadEmpty() const { return m_lastReadEmpty; }
    // The parcel the last load for editing found; nothing when it found none.
    const std::optional<std::int64_t>& editedParcelId() const { return m_editedParcelId; }


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

    // ParcelEditor
    void refreshGrid() override;
    bool loadForEditing(TFm_Track& dialog) override;
    bool writeFromDialog(TFm_Track& dialog) override;
    void runGuarded(const std::function<void()>& body) override;

protected:
    // A line of the check run's status log, scrolled into view.
    virtual void appendStatusLine(const QString& line);
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
    void showChangedRows();
    bool windowFree() const;
    // The check session's signals shown in the window: the log, the label, the boxes, the grid.
    void followCheckSession();
    // One desktop notification of the parcels whose status the run changed, once the run's
    // handler has returned.
    void notifyChanged(const CheckOutcome& outcome);

    MainFormOptions m_options;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts = nullptr;
    GeneralErrorReport m_errorReport;
    HandlerGuard m_guard;

    std::unique_ptr<ParcelStore> m_store;
    CheckSession* m_checkSession = nullptr; // a child: tests find it by its object name
    TFm_Track* m_parcelDialog = nullptr;
    std::optional<std::int64_t> m_editedParcelId;
    // The last read of the store found no parcel (an empty list, or a clicked or edited parcel
    // gone meanwhile): a click then reads nothing until a read finds parcels again.
    bool m_lastReadEmpty = true;
    DatabaseWatch* m_databaseWatch = nullptr;
    SeenStatuses::Preparation m_seenTable = SeenStatuses::Preparation::Untouched;
    // The connection's data version when the grid was last filled.
    std::optional<std::int64_t> m_gridDataVersion;

    // Set by an add, so that the refresh after it scrolls the new parcel into view.
    std::optional<std::int64_t> m_addedParcelId;
    bool m_startupFailed = false;
    bool m_closed = false;
};
