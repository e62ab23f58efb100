#include "TestSupport.h"

#include "store/Cp1251.h"
#include "store/ParcelStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace testsupport {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        // Block in the event dispatcher until something happens or a short timer fires.
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

std::string cp1251(const char* utf8)
{
    return toCp1251(QString::fromUtf8(utf8));
}

std::string cp1251(const QString& text)
{
    return toCp1251(text);
}

QString fromCp1251(const std::string& bytes)
{
    return ::fromCp1251(bytes);
}

std::string dataPath(const std::string& name)
{
    return std::string(KURIERIX_TEST_DATA) + "/" + name;
}

bool storeResultBytes(ParcelStore& store, const std::string& id, const std::string& status, const std::string& date,
                      const std::string& history)
{
    return store.storeCheckResult(std::stoll(id), fromCp1251(status), fromCp1251(date), fromCp1251(history));
}

TrackingSettings trackingSettings()
{
    TrackingSettings settings;
    settings.browserModule = qEnvironmentVariable("KURIERIX_BROWSER_MODULE");
    settings.serviceModule = qEnvironmentVariable("KURIERIX_SERVICE_MODULE");
    settings.servicePace = QStringLiteral("0");
    settings.pageNotifications = qEnvironmentVariableIsEmpty("KURIERIX_NO_PAGE_NOTIFICATIONS");
    return settings;
}

} // namespace testsupport
