#pragma once

#include "app/MainFormOptions.h"
#include "parcels/AddManyDialog.h"
#include "store/SeenStatuses.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class DatabaseWatch;
class HandlerGuard;
class ParcelGrid;
class ParcelStore;
class Prompts;
class QPlainTextEdit;
class QWidget;
class TFm_Track;
struct Parcel;

// The window's parcel list: it owns the window's connection to the database and keeps the grid
// and the history view in step with it: the refresh, the rows changed since last seen in bold,
// the history of a clicked row, the delete with its question, the add and edit through the
// parcel dialog, and the reload after another process wrote. Each operation is a handler's
// whole body and runs under the window's guard.
class ParcelListController : public QObject
{
    Q_OBJECT

public:
    // The controls it fills, the window its question is shown over, and whether a check run
    // holds the rows (menu commands are then refused).
    struct Views
    {
        ParcelGrid* grid = nullptr;
        QPlainTextEdit* history = nullptr;
        QWidget* window = nullptr;
        std::function<bool()> checkRunning;
    };

    ParcelListController(const MainFormOptions& options, Prompts& prompts, const HandlerGuard& guard, Views views,
                         QObject* parent = nullptr);
    ~ParcelListController() override;

    // Opens (or creates) the database and fills the grid. False when the existing file could not
    // be opened: the program must end.
    bool open();
    // The window is closing: the connection goes, and every later command does nothing.
    void close();
    bool closed() const { return m_closed; }
    // The window's connection; nullptr when the database is not open.
    ParcelStore* store() const { return m_store.get(); }

    void refresh();
    // Archived parcels are in the grid (greyed) or left out of it; refreshes when it changes.
    void setShowArchived(bool shown);
    bool showsArchived() const { return m_showArchived; }
    void showHistory();
    void deleteSelected();
    void addParcel(TFm_Track& dialog);
    void editSelected(TFm_Track& dialog);
    // "Добавить несколько посылок…": many numbers with one shop and one title, added at once.
    void addMany();

    // Reloads the grid when another process committed to the database since the grid was last
    // filled, as soon as the window is free (no modal box or dialog, no check run). Not a user
    // action: a reload that fails shows no box and is tried again a little later. Called when
    // the window is activated and when the database file changes.
    void noticeOtherWriters();
    // The window was activated: another process may have written meanwhile.
    void lookSoon();
    // No modal box or dialog, menu or check run: something may start by itself.
    bool windowFree() const;

signals:
    // The grid was filled again from the database (it may have failed to read).
    void reloaded();

private:
    enum class GridReload {
        Done,
        Partial, // every row is there, but a field or a date could not be read
        Failed,  // the list query failed: the grid shows what it showed
    };
    // The grid refresh without its box, and the rows changed since last seen in bold. `cause`
    // gets what the box may say of a failure.
    GridReload reloadGrid(QString* cause = nullptr);
    void showChangedRows();
    // The selected row's history in the history view; empty without a selected row.
    void showSelectedHistory();
    bool refused() const { return m_views.checkRunning() || m_closed; }
    // The selected parcel as stored now; nothing (the user has been told) when there is none.
    std::optional<Parcel> parcelToEdit();
    // Writes what the dialog took; false (the user has been told) keeps the dialog open.
    bool save(const Parcel& typed);
    // Adds what the many-numbers dialog took (app/AddManyCommand.cpp); false keeps the dialog
    // open with the text (the user went back to it, or has been told why).
    bool saveMany(const AddManyDialog::Batch& batch);
    // Whether a parcel of that number is stored already, and the user wants it added again.
    bool addAgainAsked(const QString& number);
    QDateTime now() const;

    const MainFormOptions& m_options;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
    Views m_views;

    std::unique_ptr<ParcelStore> m_store;
    DatabaseWatch* m_databaseWatch = nullptr;
    SeenStatuses::Preparation m_seenTable = SeenStatuses::Preparation::Untouched;
    // The connection's data version when the grid was last filled.
    std::optional<std::int64_t> m_gridDataVersion;
    // The last read of the store found no parcel (an empty list, or a clicked or edited parcel
    // gone meanwhile): a click then reads nothing until a read finds parcels again.
    bool m_lastReadEmpty = true;
    // Set by an add, so that the refresh after it scrolls the new parcel into view.
    std::optional<std::int64_t> m_addedParcelId;
    bool m_closed = false;
    AddManyDialog* m_addManyDialog = nullptr;
    bool m_showArchived = false;
};
