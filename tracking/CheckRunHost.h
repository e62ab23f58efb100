#pragma once

#include <memory>
#include <string>

class TSQLiteTable;

// Whom a check run reports to: the window, or the terminal of a check without one. Texts are
// Windows-1251 bytes.
class CheckRunHost
{
public:
    virtual ~CheckRunHost() = default;

    // The run's row snapshot becomes the window's current result.
    virtual void setCurrentResult(std::shared_ptr<TSQLiteTable> table) = 0;

    virtual void appendStatusLine(const std::string& line) = 0;
    virtual void setStatusLabel(const std::string& text) = 0;
    virtual void setGridEnabled(bool enabled) = 0;
    virtual void refreshGrid() = 0;

    // The modal "Ошибка" error box (no owner, error icon, OK); `cause` is the technical reason,
    // which the window's box does not show.
    virtual void showErrorBox(const std::string& text, const std::string& cause) = 0;
    // The general error report with the application title as caption.
    virtual void reportError(const std::string& message) = 0;
};
