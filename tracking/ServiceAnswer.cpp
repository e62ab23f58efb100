#include "tracking/ServiceAnswer.h"

#include "store/Cp1251.h"
#include "tracking/extraction/Extraction.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr char kDateTimeFormat[] = "yyyy-MM-dd HH:mm:ss";

struct Step
{
    qint64 secondsSinceEpoch = 0;
    QString dateTime; // "YYYY-MM-DD HH:MM:SS", Minsk time
    QString event;
    QString office;
};

TrackingAnswer answerOf(TrackingAnswer::Kind kind)
{
    TrackingAnswer answer;
    answer.kind = kind;
    return answer;
}

// The service's times are Minsk's; without the zone data the offset it has kept since 2011.
const QTimeZone& minsk()
{
    static const QTimeZone zone = [] {
        QTimeZone named(QByteArrayLiteral("Europe/Minsk"));
        return named.isValid() ? named : QTimeZone(3 * 3600);
    }();
    return zone;
}

// A whole number, sent as a number or as text; nothing else.
std::optional<qint64> wholeNumber(const QJsonValue& value)
{
    if (value.isDouble()) {
        // Whole numbers within a double's exact range; anything else is no count of seconds.
        constexpr double kExact = 9007199254740992.0; // 2^53
        const double number = value.toDouble();
        if (!(number > -kExact && number < kExact) || number != static_cast<double>(static_cast<qint64>(number)))
            return std::nullopt;
        return static_cast<qint64>(number);
    }
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

// A text field: absent and null are empty, anything but text is not this answer.
std::optional<QString> text(const QJsonObject& step, QLatin1StringView key)
{
    const QJsonValue value = step.value(key);
    if (value.isUndefined() || value.isNull())
        return QString();
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<Step> readStep(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const std::optional<QString> event = text(object, QLatin1StringView("event"));
    const std::optional<QString> place = text(object, QLatin1StringView("place"));
    const std::optional<QString> index = text(object, QLatin1StringView("place_index"));
    const std::optional<QString> createdAt = text(object, QLatin1StringView("created_at"));
    if (!event || !place || !index || !createdAt)
        return std::nullopt;
    // The code is not stored, but a code that is no number says the shape has changed.
    const QJsonValue code = object.value(QLatin1StringView("code"));
    if (!code.isUndefined() && !code.isNull() && !wholeNumber(code))
        return std::nullopt;

    Step step;
    const QJsonValue timestamp = object.value(QLatin1StringView("timestamp"));
    if (!timestamp.isUndefined() && !timestamp.isNull()) {
        const std::optional<qint64> seconds = wholeNumber(timestamp);
        if (!seconds || *seconds < 0)
            return std::nullopt;
        const QDateTime at = QDateTime::fromSecsSinceEpoch(*seconds, minsk());
        if (!at.isValid() || at.date().year() > 9999)
            return std::nullopt;
        step.secondsSinceEpoch = *seconds;
        step.dateTime = at.toString(QLatin1StringView(kDateTimeFormat));
    } else {
        // The wall-clock time in Minsk, as the service writes it.
        QDateTime local = QDateTime::fromString(createdAt->trimmed(), QLatin1StringView(kDateTimeFormat));
        local.setTimeZone(minsk());
        if (!local.isValid())
            return std::nullopt;
        step.secondsSinceEpoch = local.toSecsSinceEpoch();
        step.dateTime = local.toString(QLatin1StringView(kDateTimeFormat));
    }
    step.event = *event;
    step.office = index->isEmpty() || place->isEmpty() ? *index + *place : *index + u' ' + *place;
    return step;
}

// The entry of `data` for the number asked: the one that names it, else the first.
QJsonValue entryFor(const QJsonArray& data, const QString& number)
{
    for (const QJsonValue& entry : data) {
        if (entry.isObject()
            && entry.toObject().value(QLatin1StringView("number")).toString().compare(number, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return data.first();
}

} // namespace

TrackingAnswer readServiceAnswer(const QByteArray& body, const QString& number)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return answerOf(TrackingAnswer::Kind::Unreadable);
    const QJsonValue data = document.object().value(QLatin1StringView("data"));
    if (data.isNull() || data.isUndefined())
        return answerOf(TrackingAnswer::Kind::NothingFound);
    if (!data.isArray())
        return answerOf(TrackingAnswer::Kind::Unreadable);
    if (data.toArray().isEmpty())
        return answerOf(TrackingAnswer::Kind::NothingFound);

    const QJsonValue entry = entryFor(data.toArray(), number);
    if (!entry.isObject())
        return answerOf(TrackingAnswer::Kind::Unreadable);
    const QJsonValue stepsValue = entry.toObject().value(QLatin1StringView("steps"));
    if (stepsValue.isNull() || stepsValue.isUndefined())
        return answerOf(TrackingAnswer::Kind::NothingFound);
    if (!stepsValue.isArray())
        return answerOf(TrackingAnswer::Kind::Unreadable);
    const QJsonArray stepValues = stepsValue.toArray();
    if (stepValues.isEmpty())
        return answerOf(TrackingAnswer::Kind::NothingFound);

    // Sent newest first: reversed, the steps of one second keep their order of events.
    std::vector<Step> steps;
    steps.reserve(static_cast<std::size_t>(stepValues.size()));
    for (auto it = stepValues.end(); it != stepValues.begin();) {
        std::optional<Step> step = readStep(*--it);
        if (!step)
            return answerOf(TrackingAnswer::Kind::Unreadable);
        steps.push_back(std::move(*step));
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step& a, const Step& b) { return a.secondsSinceEpoch < b.secondsSinceEpoch; });

    // The cells of the event table the page would show; what Windows-1251 lacks becomes "?".
    std::vector<std::string> cells;
    cells.reserve(steps.size() * 3);
    for (const Step& step : steps) {
        cells.push_back(toCp1251(step.dateTime));
        cells.push_back(toCp1251(step.event));
        cells.push_back(toCp1251(step.office));
    }
    const ExtractedResults results = ResultsFromPlainCells(cells);
    TrackingAnswer found = answerOf(TrackingAnswer::Kind::Found);
    found.status = fromCp1251(results.status);
    found.history = fromCp1251(results.history);
    found.firstDate = fromCp1251(results.firstEventDate);
    return found;
}
