#include "tracking/service/ServiceAnswer.h"

#include "store/StorableText.h"
#include "tracking/extraction/Extraction.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <optional>
#include <variant>
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

// What could not be read, for the saved copy of the answer.
using Why = UnreadableReason;
using WhyKind = UnreadableReason::Kind;

// The service's times are Minsk's; without the zone data the offset it has kept since 2011.
const QTimeZone& minsk()
{
    static const QTimeZone zone = [] {
        QTimeZone named(QByteArrayLiteral("Europe/Minsk"));
        return named.isValid() ? named : QTimeZone(3 * 3600);
    }();
    return zone;
}

// A number of seconds: sent as a number or as text, a fractional part counting its whole
// seconds; nothing else.
std::optional<qint64> seconds(const QJsonValue& value)
{
    double number = 0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    // Within a double's exact range; anything else is no count of seconds.
    constexpr double kExact = 9007199254740992.0; // 2^53
    if (!(number > -kExact && number < kExact))
        return std::nullopt;
    return static_cast<qint64>(std::floor(number));
}

// A whole number (a postcode sent as a number): nothing fractional, nothing negative.
std::optional<qint64> wholeNumber(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    const std::optional<qint64> whole = seconds(value);
    if (!whole || *whole < 0 || static_cast<double>(*whole) != number)
        return std::nullopt;
    return whole;
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

// The wall-clock time the service writes ("2013-04-01 11:30:00", Minsk time) or the same in
// ISO 8601 ("2013-04-01T08:30:00Z", "…T11:30:00+03:00", "…T08:30:00.250Z"): seconds since 1970,
// a fraction counting its whole seconds. Without an offset the time is Minsk's.
std::optional<qint64> readCreatedAt(const QString& value)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})[T "
                       "](\\d{2}):(\\d{2})(?::(\\d{2})(?:[.,]\\d+)?)?\\s*(Z|[+-]\\d{2}(?::?\\d{2})?)?$"));
    const QRegularExpressionMatch match = form.match(value.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const auto part = [&match](int group) { return match.capturedView(group).toInt(); };
    const QDate date(part(1), part(2), part(3));
    const QTime time(part(4), part(5), match.capturedLength(6) > 0 ? part(6) : 0);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QStringView zone = match.capturedView(7);
    if (zone.isEmpty())
        return QDateTime(date, time, minsk()).toSecsSinceEpoch();
    int offset = 0;
    if (zone != u"Z") {
        const QStringView digits = zone.mid(1);
        const int hours = digits.left(2).toInt();
        const int minutes = digits.size() > 2 ? digits.right(2).toInt() : 0;
        if (hours > 18 || minutes > 59)
            return std::nullopt;
        offset = (hours * 3600 + minutes * 60) * (zone.front() == u'-' ? -1 : 1);
    }
    return QDateTime(date, time, QTimeZone(offset)).toSecsSinceEpoch();
}

std::variant<Step, Why> readStep(const QJsonValue& value)
{
    if (!value.isObject())
        return Why::of(WhyKind::StepNotObject);
    const QJsonObject object = value.toObject();
    const std::optional<QString> event = text(object, QLatin1StringView("event"));
    const std::optional<QString> place = text(object, QLatin1StringView("place"));
    const std::optional<QString> createdAt = text(object, QLatin1StringView("created_at"));
    const std::pair<const char*, const std::optional<QString>*> texts[] = {
        {"event", &event}, {"place", &place}, {"created_at", &createdAt}};
    for (const auto& [field, read] : texts) {
        if (!*read)
            return Why::of(WhyKind::FieldNotText, QLatin1StringView(field));
    }
    // A postcode sent as a number is the same postcode.
    std::optional<QString> index = text(object, QLatin1StringView("place_index"));
    if (const std::optional<qint64> number = wholeNumber(object.value(QLatin1StringView("place_index"))))
        index = QString::number(*number);
    if (!index)
        return Why::of(WhyKind::PlaceIndexNeither);
    // The code is not stored: any scalar will do, but a structure there says the shape changed.
    const QJsonValue code = object.value(QLatin1StringView("code"));
    if (code.isObject() || code.isArray())
        return Why::of(WhyKind::CodeIsStructure);

    Step step;
    const QJsonValue timestamp = object.value(QLatin1StringView("timestamp"));
    std::optional<qint64> at;
    if (!timestamp.isUndefined() && !timestamp.isNull()) {
        at = seconds(timestamp);
        if (!at || *at < 0)
            return Why::of(WhyKind::TimestampNotCount);
    } else {
        at = readCreatedAt(*createdAt);
        if (!at)
            return Why::of(WhyKind::CreatedAtNotDate, createdAt->left(40));
    }
    const QDateTime local = QDateTime::fromSecsSinceEpoch(*at, minsk());
    if (!local.isValid() || local.date().year() < 1970 || local.date().year() > 9999)
        return Why::of(WhyKind::TimeOutOfRange);
    step.secondsSinceEpoch = *at;
    step.dateTime = local.toString(QLatin1StringView(kDateTimeFormat));
    step.event = *event;
    step.office = index->isEmpty() || place->isEmpty() ? *index + *place : *index + u' ' + *place;
    return step;
}

QString comparable(const QString& number)
{
    QString plain = number.toUpper();
    plain.removeIf([](QChar c) { return c.isSpace(); });
    return plain;
}

// The entry of `data` for the number asked. Never another parcel's: when entries name numbers
// and none is the one asked, there is none; an entry that names no number is taken only when it
// is the only one.
std::variant<QJsonObject, Why> entryFor(const QJsonArray& data, const QString& number)
{
    const QString asked = comparable(number);
    for (const QJsonValue& entry : data) {
        const QJsonValue named = entry.toObject().value(QLatin1StringView("number"));
        if (named.isString() && comparable(named.toString()) == asked)
            return entry.toObject();
    }
    if (data.size() == 1 && data.first().isObject()) {
        const QJsonValue named = data.first().toObject().value(QLatin1StringView("number"));
        if (named.isUndefined() || named.isNull())
            return data.first().toObject();
        return Why::of(WhyKind::OtherNumber, named.toVariant().toString().left(40));
    }
    return Why::of(WhyKind::NoEntryForNumber, {}, data.size());
}

// The steps in the order of events. The service sends them newest first, but the direction is
// taken from the times, so that steps of one second keep their order whichever way the list runs.
std::vector<Step> inOrderOfEvents(std::vector<Step> steps)
{
    int rising = 0;
    for (std::size_t i = 1; i < steps.size(); ++i) {
        if (steps[i].secondsSinceEpoch > steps[i - 1].secondsSinceEpoch)
            ++rising;
        else if (steps[i].secondsSinceEpoch < steps[i - 1].secondsSinceEpoch)
            --rising;
    }
    if (rising <= 0)
        std::reverse(steps.begin(), steps.end());
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step& a, const Step& b) { return a.secondsSinceEpoch < b.secondsSinceEpoch; });
    return steps;
}

} // namespace

TrackingAnswer readServiceAnswer(const QByteArray& body, const QString& number)
{
    const auto unreadable = [&body](const Why& why) { return TrackingAnswer::unreadable(why, body, 200); };
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return unreadable(Why::of(WhyKind::NotJson, error.errorString(), error.offset));
    if (!document.isObject())
        return unreadable(Why::of(WhyKind::NotObject));
    const QJsonValue data = document.object().value(QLatin1StringView("data"));
    if (data.isNull() || data.isUndefined())
        return TrackingAnswer::of(TrackingAnswer::Kind::NothingFound);
    if (!data.isArray())
        return unreadable(Why::of(WhyKind::DataNotList));
    if (data.toArray().isEmpty())
        return TrackingAnswer::of(TrackingAnswer::Kind::NothingFound);

    const std::variant<QJsonObject, Why> entry = entryFor(data.toArray(), number);
    if (const Why* why = std::get_if<Why>(&entry))
        return unreadable(*why);
    const QJsonValue stepsValue = std::get<QJsonObject>(entry).value(QLatin1StringView("steps"));
    if (stepsValue.isNull() || stepsValue.isUndefined())
        return TrackingAnswer::of(TrackingAnswer::Kind::NothingFound);
    if (!stepsValue.isArray())
        return unreadable(Why::of(WhyKind::StepsNotList));
    const QJsonArray stepValues = stepsValue.toArray();
    if (stepValues.isEmpty())
        return TrackingAnswer::of(TrackingAnswer::Kind::NothingFound);

    std::vector<Step> steps;
    steps.reserve(static_cast<std::size_t>(stepValues.size()));
    for (qsizetype i = 0; i < stepValues.size(); ++i) {
        std::variant<Step, Why> step = readStep(stepValues[i]);
        if (Why* why = std::get_if<Why>(&step)) {
            why->step = i;
            return unreadable(*why);
        }
        steps.push_back(std::move(std::get<Step>(step)));
    }

    // The cells of the event table the page would show, as the database file will hold them:
    // what it cannot hold becomes "?" here already, so that the answer is what is stored.
    std::vector<std::string> cells;
    cells.reserve(steps.size() * 3);
    for (const Step& step : inOrderOfEvents(std::move(steps))) {
        cells.push_back(storableText(step.dateTime).toStdString());
        cells.push_back(storableText(step.event).toStdString());
        cells.push_back(storableText(step.office).toStdString());
    }
    const ExtractedResults results = ResultsFromPlainCells(cells);
    TrackingAnswer found = TrackingAnswer::of(TrackingAnswer::Kind::Found);
    found.status = QString::fromStdString(results.status);
    found.history = QString::fromStdString(results.history);
    found.firstDate = QString::fromStdString(results.firstEventDate);
    return found;
}

QString serviceRefusal(const QByteArray& body)
{
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QJsonValue message = answer.value(QLatin1StringView("message"));
    if (!message.isString() || message.toString().trimmed().isEmpty())
        return {};
    QStringList said{message.toString().simplified()};
    // Validation errors come as {"field": ["what is wrong", ...]}.
    const QJsonObject errors = answer.value(QLatin1StringView("errors")).toObject();
    for (auto it = errors.begin(); it != errors.end(); ++it) {
        QStringList texts;
        const QJsonArray list = it.value().isArray() ? it.value().toArray() : QJsonArray{it.value()};
        for (const QJsonValue& text : list) {
            if (text.isString() && !said.contains(text.toString().simplified()))
                texts += text.toString().simplified();
        }
        if (!texts.isEmpty())
            said += it.key().simplified() + QStringLiteral(": ") + texts.join(QStringLiteral("; "));
    }
    // The service's words, on one line and short enough for the log.
    constexpr qsizetype kLongest = 300;
    QString line = said.join(QStringLiteral(" "));
    line.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format; });
    return line.size() > kLongest ? line.left(kLongest - 1) + u'…' : line;
}
