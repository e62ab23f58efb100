#pragma once

#include <memory>
#include <string>

class ParcelStore;
class TSQLiteTable;
class TrackingPage;

// What the check run needs of the window it reports to. Texts are Windows-1251 bytes.
class CheckRunHost
{
public:
    virtual ~CheckRunHost() = default;

    // The open store, or nullptr once the window has released it (the run must stop).
    virtual ParcelStore* store() = 0;
    // The run's row snapshot becomes the window's current result.
    virtual void setCurrentResult(std::shared_ptr<TSQLiteTable> table) = 0;
    // The hidden tracking page, created when first needed.
    virtual TrackingPage& trackingPage() = 0;

    virtual void appendStatusLine(const std::string& line) = 0;
    virtual void setStatusLabel(const std::string& text) = 0;
    virtual void setGridEnabled(bool enabled) = 0;
    virtual void refreshGrid() = 0;

    // The modal "Ошибка" error box (no owner, error icon, OK).
    virtual void showErrorBox(const std::string& text) = 0;
    // The general error report with the application title as caption.
    virtual void reportError(const std::string& message) = 0;

    // True once the user has asked to close the window: the run ends at its next step, and a
    // wait under way ends at once. The run does its own waiting, handling events meanwhile.
    virtual bool stopRequested() const = 0;
};
