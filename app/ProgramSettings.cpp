#include "app/ProgramSettings.h"

#include "tracking/page/BrowserModule.h"
#include "tracking/service/ServiceModule.h"

#include <QFileInfo>
#include <QUrl>

ProgramSettings ProgramSettings::fromEnvironment()
{
    ProgramSettings settings;
    TrackingSettings& tracking = settings.tracking;
    tracking.source = qEnvironmentVariable("KURIERIX_SOURCE");
    tracking.trackingUrl = qEnvironmentVariable("KURIERIX_TRACKING_URL");
    tracking.probe = qEnvironmentVariable("KURIERIX_PROBE");
    tracking.serviceUrl = qEnvironmentVariable("KURIERIX_SERVICE_URL");
    tracking.serviceCaFile = qEnvironmentVariable("KURIERIX_SERVICE_CA");
    tracking.servicePace = qEnvironmentVariable("KURIERIX_SERVICE_PACE");
    tracking.browserModule = qEnvironmentVariable(BrowserModule::kOverrideVariable);
    tracking.serviceModule = qEnvironmentVariable(ServiceModule::kOverrideVariable);
    tracking.pageNotifications = qEnvironmentVariableIsEmpty("KURIERIX_NO_PAGE_NOTIFICATIONS");
    settings.checkOrigin = qEnvironmentVariable("KURIERIX_CHECK_ORIGIN");
    settings.sandboxChosen = !qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX");
    settings.glIntegrationChosen = qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION");
    settings.loggingRulesChosen = qEnvironmentVariableIsSet("QT_LOGGING_RULES");
    settings.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    settings.sessionBusAddress = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    settings.sessionBusAddressSet = !settings.sessionBusAddress.isEmpty();
    const QString runtimeBus = settings.runtimeDir + QStringLiteral("/bus");
    if (!settings.sessionBusAddressSet && !settings.runtimeDir.isEmpty() && QFileInfo(runtimeBus).exists())
        settings.sessionBusAddress =
            QStringLiteral("unix:path=") + QString::fromLatin1(QUrl::toPercentEncoding(runtimeBus, "/"));
    settings.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    return settings;
}
