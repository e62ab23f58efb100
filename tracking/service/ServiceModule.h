#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class ServiceTransport;

// The tracking service's network code lives in a module of its own, a Qt plugin that alone
// links Qt Network, loaded when a check run first asks the service: a start, or a session
// without a check, maps none of it.
class ServiceModule
{
public:
    // A module file named here is the only one looked at (tests; a module kept elsewhere); the
    // settings carry it.
    static constexpr char kOverrideVariable[] = "KURIERIX_SERVICE_MODULE";

    // `named` alone when not empty; else beside the program, then where the install puts it.
    static QStringList candidates(const QString& named);

    // Loads the module unless it is loaded already and makes a transport with it. Raises
    // TrackingSourceError (Failed) with the reason when the module cannot be had.
    static std::unique_ptr<ServiceTransport> createTransport(const QString& named, const QString& extraCaFile);
};
