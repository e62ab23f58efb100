#pragma once

#include <functional>

class TFm_Track;

// What the parcel dialog needs of the window that owns the grid and the store: loading the
// selected parcel into the dialog, writing the dialog back, refreshing the grid, and the one
// guard under which every handler runs (so that no exception crosses the event loop).
class ParcelEditor
{
public:
    virtual ~ParcelEditor() = default;

    // Fills the dialog's fields from the selected parcel (dialog mode "edit"). False when there
    // is nothing to edit (no parcel selected, or the parcel deleted meanwhile) or the load failed:
    // the user has been told, and the dialog is not shown, so that a save cannot write empty
    // fields over the parcel or change no row at all.
    virtual bool loadForEditing(TFm_Track& dialog) = 0;
    // Inserts or updates the parcel from the dialog's fields, by the dialog mode. False when
    // nothing was written (a field holds characters the store cannot keep, the statement failed,
    // or the parcel to update is gone): the user has been told, and the dialog stays open with
    // what was typed.
    virtual bool writeFromDialog(TFm_Track& dialog) = 0;
    virtual void refreshGrid() = 0;
    virtual void runGuarded(const std::function<void()>& body) = 0;
};
