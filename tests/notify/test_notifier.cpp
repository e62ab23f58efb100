// The notification reaches a stand-in for the desktop's notification service on a private bus
// that the test starts, so nothing here depends on the machine's own session.
#include "notify/DesktopNotifier.h"

#include "support/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>

#include <memory>

namespace {

using testsupport::NotificationService;

const QString kService = NotificationService::kService;

class NotifierOnPrivateBus : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_bus = std::make_unique<testsupport::PrivateBus>();
        QString error;
        ASSERT_TRUE(s_bus->start(&error)) << error.toStdString();
        s_service = &s_bus->service();
    }

    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
        s_bus.reset();
    }

    void SetUp() override { s_service->reset(NotificationService::Answer::Reply); }

    static DesktopNotifier notifier() { return DesktopNotifier(s_bus->address()); }

    static inline std::unique_ptr<testsupport::PrivateBus> s_bus;
    static inline NotificationService* s_service = nullptr;
};

QList<ChangedParcel> parcels(int count)
{
    QList<ChangedParcel> list;
    for (int i = 1; i <= count; ++i)
        list += ChangedParcel{QStringLiteral("RR%1BY").arg(i, 9, 10, QChar(u'0')), QStringLiteral("Shop"),
                              QStringLiteral("книга"), QStringLiteral("Отправлено")};
    return list;
}

TEST_F(NotifierOnPrivateBus, SendsOneNotificationWithTheChangedParcels)
{
    const QString longStatus = QStringLiteral("Поступило в сортировочный центр ").repeated(5);
    const QList<ChangedParcel> changed{
        {QStringLiteral("RR123456789CN"), QStringLiteral("H&M"), QStringLiteral("платье"),
         QStringLiteral("13.05.2024 10:20 \r\nВручено <b>адресату</b>&nbsp;в&nbsp;ОПС \r\n")},
        {QStringLiteral("LP000000001BY"), {}, {}, longStatus},
        {QStringLiteral("CP000000002DE"), QStringLiteral("Shop"), QStringLiteral("&lt;3 кружки&gt;"),
         QStringLiteral("Отправлено")},
    };
    const DesktopNotifier::Result result = notifier().notify(changed);
    EXPECT_TRUE(result.sent) << result.failure.toStdString();
    EXPECT_TRUE(result.failure.isEmpty());

    const QList<QDBusMessage> calls = s_service->calls(QStringLiteral("Notify"));
    ASSERT_EQ(calls.size(), 1);
    const QList<QVariant> args = calls[0].arguments();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(calls[0].interface(), kService);
    EXPECT_EQ(args[0].toString(), QStringLiteral("Курьерикс"));
    EXPECT_EQ(args[1].toUInt(), 0u);
    EXPECT_EQ(args[2].toString(), QStringLiteral("kurierix"));
    EXPECT_EQ(args[3].toString(), QStringLiteral("Статус изменился: 3 посылки"));
    EXPECT_TRUE(args[5].toStringList().isEmpty());
    const QVariantMap hints = qdbus_cast<QVariantMap>(args[6]);
    EXPECT_EQ(hints.value(QStringLiteral("urgency")).metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(hints.value(QStringLiteral("urgency")).toInt(), 1);
    EXPECT_EQ(hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("kurierix"));
    EXPECT_EQ(args[7].toInt(), -1);

    // The service reads markup, so the body's own "&" and "<" arrive escaped.
    const QStringList lines = args[4].toString().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << args[4].toString().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("RR123456789CN, H&amp;M, платье: 13.05.2024 10:20 Вручено адресату в ОПС"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("LP000000001BY: Поступило в сортировочный центр Поступило")));
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
    EXPECT_EQ(lines[1].size(), QStringLiteral("LP000000001BY: ").size() + DesktopNotifier::kMaxStatusLength);
    EXPECT_EQ(lines[2], QStringLiteral("CP000000002DE, Shop, &lt;3 кружки&gt;: Отправлено"));

    // Many parcels: the first lines and how many more. Of several addresses, the first that
    // listens is taken.
    s_service->reset(NotificationService::Answer::Reply);
    EXPECT_TRUE(DesktopNotifier(s_bus->deadAddress() + u';' + s_bus->address()).notify(parcels(21)).sent);
    const QList<QDBusMessage> many = s_service->calls(QStringLiteral("Notify"));
    ASSERT_EQ(many.size(), 1);
    EXPECT_EQ(many[0].arguments()[3].toString(), QStringLiteral("Статус изменился: 21 посылка"));
    const QStringList manyLines = many[0].arguments()[4].toString().split(u'\n');
    ASSERT_EQ(manyLines.size(), DesktopNotifier::kMaxBodyLines);
    EXPECT_EQ(manyLines[0], QStringLiteral("RR000000001BY, Shop, книга: Отправлено"));
    EXPECT_EQ(manyLines.last(), QStringLiteral("и ещё 16 посылок"));

    const std::pair<int, const char*> forms[] = {
        {0, "0 посылок"},     {1, "1 посылка"},     {2, "2 посылки"},     {4, "4 посылки"},     {5, "5 посылок"},
        {11, "11 посылок"},   {12, "12 посылок"},   {14, "14 посылок"},   {22, "22 посылки"},   {25, "25 посылок"},
        {101, "101 посылка"}, {111, "111 посылок"}, {112, "112 посылок"}, {123, "123 посылки"},
    };
    for (const auto& [count, text] : forms)
        EXPECT_EQ(DesktopNotifier::parcelCount(count), QString::fromUtf8(text));
}

TEST_F(NotifierOnPrivateBus, NothingChangedSendsNothing)
{
    const DesktopNotifier::Result result = notifier().notify({});
    EXPECT_FALSE(result.sent);
    EXPECT_TRUE(result.failure.isEmpty());
    EXPECT_TRUE(s_service->calls().isEmpty());
}

TEST_F(NotifierOnPrivateBus, FailsWithAReasonWithoutBusOrService)
{
    const QString bogus = s_bus->deadAddress();
    DesktopNotifier::Result result = DesktopNotifier(bogus).notify(parcels(1));
    EXPECT_FALSE(result.sent);
    EXPECT_TRUE(result.failure.startsWith(QStringLiteral("нет сеансовой шины D-Bus (")))
        << result.failure.toStdString();

    QDBusConnection serviceSide(testsupport::PrivateBus::kServiceConnection);
    ASSERT_TRUE(serviceSide.unregisterService(kService));
    result = notifier().notify(parcels(1));
    ASSERT_TRUE(serviceSide.registerService(kService));
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.failure, QStringLiteral("на сеансовой шине D-Bus нет службы уведомлений"));

    s_service->reset(NotificationService::Answer::Error);
    result = notifier().notify(parcels(1));
    EXPECT_FALSE(result.sent);
    EXPECT_TRUE(result.failure.startsWith(QStringLiteral("служба уведомлений ответила ошибкой (")))
        << result.failure.toStdString();
    EXPECT_TRUE(result.failure.contains(QStringLiteral("refused by the test"))) << result.failure.toStdString();

    // A service that never answers holds the caller only for the notifier's own time limit.
    s_service->reset(NotificationService::Answer::Silence);
    QElapsedTimer clock;
    clock.start();
    result = notifier().notify(parcels(1));
    EXPECT_LT(clock.elapsed(), 2 * DesktopNotifier::kReplyTimeoutMs);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.failure,
              QStringLiteral("служба уведомлений не ответила за %1 с").arg(DesktopNotifier::kReplyTimeoutMs / 1000));
}

} // namespace
