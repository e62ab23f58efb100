#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;
class TrackingPage;

// Makes the hidden tracking page the first time a check run needs it, so that start-up does not
// wait for the browser engine.
using TrackingPageFactory = std::function<std::unique_ptr<TrackingPage>(const QString& storageDir, QObject* parent)>;

// The program's own page: the page driver over the browser engine.
std::unique_ptr<TrackingPage> createPageDriver(const QString& storageDir, QObject* parent);
