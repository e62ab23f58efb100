#include "tracking/Endpoints.h"

#include "tracking/TrackingSettings.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <charconv>

namespace {

// The program's own warnings: a run without a window lets through no other category.
Q_LOGGING_CATEGORY(lcProgram, "kurierix")

} // namespace

Endpoints Endpoints::postalOperator()
{
    return {"http://search.belpost.by/", "www.belpost.by", 80};
}

Endpoints Endpoints::fromSettings(const TrackingSettings& settings)
{
    Endpoints endpoints = postalOperator();

    const QByteArray url = settings.trackingUrl.trimmed().toUtf8();
    if (!url.isEmpty())
        endpoints.trackingUrl = url.toStdString();

    const QByteArray probe = settings.probe.trimmed().toUtf8();
    if (!probe.isEmpty() && !parseHostPort(probe.toStdString(), endpoints.probeHost, endpoints.probePort)) {
        // A mistyped override must not silently send the probe somewhere unexpected:
        // keep the operator's host and say why.
        qCWarning(lcProgram,
                  "значение KURIERIX_PROBE=\"%s\" не имеет вида хост:порт (порт от 1 до 65535): связь проверяется с "
                  "%s:%d",
                  probe.constData(), endpoints.probeHost.c_str(), endpoints.probePort);
    }
    return endpoints;
}

bool Endpoints::parseHostPort(const std::string& text, std::string& host, int& port)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;

    std::string name = text.substr(0, colon);
    if (name.front() == '[') {
        if (name.size() < 3 || name.back() != ']')
            return false;
        name = name.substr(1, name.size() - 2);
    } else if (name.find(':') != std::string::npos) {
        // An IPv6 address needs its brackets, or the port could not be told apart.
        return false;
    }

    int value = 0;
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || value < 1 || value > 65535)
        return false;

    host = name;
    port = value;
    return true;
}
