#pragma once

#include "tracking/CheckOutcome.h"

#include <QString>
#include <QStringList>

#include <string>

// What only the command line prints, beside the run's own words (CheckWords.h): `kurierix
// --check`'s lines on standard error and the summary that ends its output, and the line of every
// command that finds the database unusable.
namespace checkwords {

// `kurierix --check`'s lines on standard error for a run that another process's run kept off
// the database (`holder`: who holds it, if known), that found the site unreachable, or whose
// page did not load; and for what went wrong beside the run.
QString otherRunHoldsLine(const std::string& databasePath, const QString& holder);
QString siteUnreachableLine(const std::string& host, int port);
QString pageDidNotLoadLine(const std::string& url);
QString notificationNotShownLine(const QString& failure);
QString recordNotStoredLine(const QString& failure);
// A database that cannot be used: the file, why in the program's language (may be empty), and
// SQLite's own words in parentheses (may be empty).
QString databaseUnreadableLine(const std::string& path, const QString& reason, const QString& cause = {});
// Why a database cannot be used, in the program's language, for every command that finds so:
// no such file in the current folder, or a file without the table `tracks`.
QString missingFileReason();
QString noTracksReason();

// `kurierix --check`'s summary: the line for a parcel whose status changed (number, shop, what
// it holds and the new status on one line without markup), and the lines that end it, which
// never say less than the exit status does (empty when the changed parcels' lines say it all).
QString changedLine(const ParcelOutcome& parcel);
QStringList summaryEnding(const CheckOutcome& outcome, bool anyChanged, const QString& copiesFolder);

} // namespace checkwords
