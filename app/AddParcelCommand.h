#pragma once

#include <QString>

class HandlerGuard;
class ParcelListController;
class Prompts;
class TFm_Track;
struct Parcel;

// "Добавить посылку": the parcel dialog for a new parcel; what it takes is stored as a new row,
// after a question when a parcel of that number is in the list already, and the new parcel is
// selected and shown.
class AddParcelCommand
{
public:
    AddParcelCommand(ParcelListController& list, TFm_Track& dialog, Prompts& prompts, const HandlerGuard& guard);

    void run();

private:
    // Stores what the dialog took; false (the user has been told) keeps the dialog open.
    bool save(const Parcel& typed);
    // Whether a parcel of that number is stored already, and the user wants it added again.
    bool addAgainAsked(const QString& number);

    ParcelListController& m_list;
    TFm_Track& m_dialog;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
};
