#pragma once

#include <QObject>

class FindBar;
class ParcelGrid;
class QAction;
class QPlainTextEdit;
class QWidget;

// The window's keyboard: F5 checks and Insert adds anywhere in the window, and Escape closes the
// grid's find field; on the grid Enter (or a double-click) edits, Delete deletes, Ctrl+C copies
// the selected rows' numbers one per line, and Shift+F10 or the menu key opens the context menu
// at the current row. The keys are
// the menu's own actions, so that each runs the same handler as its menu item and the menu
// names its key. The history and the status log take no typing but can be selected and copied.
class WindowKeys : public QObject
{
    Q_OBJECT

public:
    // The menu's actions the keys trigger.
    struct Commands
    {
        QAction* check = nullptr;
        QAction* add = nullptr;
        QAction* edit = nullptr;
        QAction* remove = nullptr;
    };

    WindowKeys(QWidget* window, ParcelGrid* grid, Commands commands, QObject* parent = nullptr);

    // A view that takes no typing; its text can still be selected by mouse and keyboard and copied.
    static void makeReadOnly(QPlainTextEdit* view);
    // The numbers of the selected rows, top to bottom, one per line.
    static QString selectedNumbers(const ParcelGrid& grid);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openMenuAtCurrentRow();

    ParcelGrid* m_grid;
    // Kept from the start: the filter also sees the events of a grid that is being destroyed,
    // which can no longer be asked for its viewport.
    QWidget* m_viewport;
    FindBar* m_findBar;
    Commands m_commands;
    QAction* m_closeFind = nullptr;
};
