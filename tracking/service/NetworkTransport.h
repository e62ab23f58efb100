#pragma once

#include "tracking/service/ServiceTransport.h"

#include <QObject>

// The root object of the service module: it makes the transports the service source sends with.
class NetworkTransportProvider : public QObject, public ServiceTransportProvider
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ServiceTransportProvider_iid)
    Q_INTERFACES(ServiceTransportProvider)
public:
    std::unique_ptr<ServiceTransport> create(const QString& extraCaFile) override;
};
