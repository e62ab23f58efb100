#pragma once

#include <string>

// The parcels the benchmarks work on: a database.db with a given number of them, and a
// fixture for the tracking-site double that knows every one of those numbers.
class BenchParcels
{
public:
    // "RB000000001CN" for 1, and so on.
    static std::string number(int index);
    // Creates `path` with the table `tracks` and `count` parcels. With `checked`, each parcel
    // also has what a check run stores (status, first-event date, four events of history),
    // so that the grid shows days in transit for every row.
    static void writeDatabase(const std::string& path, int count, bool checked);
    // A fixture in which every one of the `count` numbers has four events, each answer held
    // back `latencyMs`; those of the first `heldFirst` numbers `heldMs` instead.
    static void writeFixture(const std::string& path, int count, int latencyMs, int heldFirst = 0, int heldMs = 0);
    // Empties status, date and history of every parcel, as before the first check run.
    static void clearResults(const std::string& path);
    // Parcels of `path` whose history is filled.
    static int checkedRows(const std::string& path);
};
