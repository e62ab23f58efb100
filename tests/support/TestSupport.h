#pragma once

#include "tracking/TrackingSettings.h"

#include <QString>

#include <chrono>
#include <functional>
#include <string>

class ParcelStore;

namespace testsupport {

// Processes events until `condition` holds or `timeout` passes; returns the last value of
// `condition`. Sleeps in short event waits between polls, never spins.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Windows-1251 bytes of a UTF-8 literal, so tests can write Russian text readably.
std::string cp1251(const char* utf8);
std::string cp1251(const QString& text);
QString fromCp1251(const std::string& bytes);

// The folder with the committed test fixtures.
std::string dataPath(const std::string& name);

// A check result given as the file's own bytes, stored for the parcel with the decimal id `id`.
bool storeResultBytes(ParcelStore& store, const std::string& id, const std::string& status, const std::string& date,
                      const std::string& history);

// The roads' settings of a window or a run made in a test: the modules built, named in the
// test's environment (which the programs a test starts read), no pace between the service's
// requests, and the page's notifications as the environment says.
TrackingSettings trackingSettings();

} // namespace testsupport
