#pragma once

#include <QSettings>

class ParcelGrid;

// What the window remembers between starts, in Qt's settings file of the program:
// ~/.config/kurierix/kurierix.conf ($XDG_CONFIG_HOME in place of ~/.config when it is set).
class WindowSettings : public QSettings
{
public:
    WindowSettings();
};

// Sorts the grid as it was last sorted, and remembers each new order the user chooses.
void keepGridSort(ParcelGrid& grid);
// Gives the grid's columns the widths the user last left them at; saveColumnWidths() keeps them
// when the window closes.
void keepColumnWidths(ParcelGrid& grid);
void saveColumnWidths(const ParcelGrid& grid);
