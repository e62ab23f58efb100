// The reachability probe against listeners on 127.0.0.1, and where the run looks parcels up.
#include "tracking/Endpoints.h"
#include "tracking/ReachabilityProbe.h"
#include "tracking/TrackingSettings.h"

#include "support/LoopbackPorts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using testsupport::FullBacklogListener;
using testsupport::RefusingPort;

TEST(ReachabilityProbe, ConnectsAndSendsNothing)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));

    EXPECT_TRUE(ReachabilityProbe("127.0.0.1", server.serverPort()).isReachable());

    ASSERT_TRUE(testsupport::waitUntil([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> accepted(server.nextPendingConnection());
    // The probe has hung up without a byte.
    ASSERT_TRUE(testsupport::waitUntil([&] {
        accepted->waitForReadyRead(0);
        return accepted->state() != QAbstractSocket::ConnectedState;
    }));
    EXPECT_EQ(accepted->readAll().size(), 0);

    // An IPv6 literal is connected to as it is, where the machine has IPv6 loopback.
    QTcpServer server6;
    if (server6.listen(QHostAddress::LocalHostIPv6)) {
        EXPECT_TRUE(ReachabilityProbe("::1", server6.serverPort()).isReachable());
    }
}

TEST(ReachabilityProbe, RefusedOrSilentHostIsUnreachable)
{
    {
        const RefusingPort refused;
        EXPECT_FALSE(ReachabilityProbe("127.0.0.1", refused.port()).isReachable());
    }

    FullBacklogListener silent;
    ASSERT_TRUE(silent.full());
    EXPECT_FALSE(ReachabilityProbe("127.0.0.1", silent.port(), 300).isReachable());

    EXPECT_FALSE(ReachabilityProbe("", 80).isReachable());
    EXPECT_FALSE(ReachabilityProbe("127.0.0.1", 0).isReachable());
    EXPECT_FALSE(ReachabilityProbe("127.0.0.1", 70000).isReachable());
}

TEST(ReachabilityProbe, NamesAreResolvedWithinTheTimeOut)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));

    std::vector<std::string> asked;
    ReachabilityProbe named("tracking.example", server.serverPort(), ReachabilityProbe::kDefaultTimeoutMs,
                            [&asked](const std::string& host) {
                                asked.push_back(host);
                                return std::vector<std::string>{"127.0.0.1"};
                            });
    EXPECT_TRUE(named.isReachable());
    EXPECT_EQ(asked, (std::vector<std::string>{"tracking.example"}));

    ReachabilityProbe unknown("no-such-host.example", server.serverPort(), ReachabilityProbe::kDefaultTimeoutMs,
                              [](const std::string&) { return std::vector<std::string>(); });
    EXPECT_FALSE(unknown.isReachable());

    // A name server that never answers must not hold the probe beyond its time-out.
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        bool resolverDone = false;
    };
    auto gate = std::make_shared<Gate>();
    ReachabilityProbe hanging("slow-dns.example", server.serverPort(), 300, [gate](const std::string&) {
        std::unique_lock lock(gate->mutex);
        gate->changed.wait(lock, [&] { return gate->open; });
        gate->resolverDone = true;
        gate->changed.notify_all();
        return std::vector<std::string>{"127.0.0.1"};
    });
    EXPECT_FALSE(hanging.isReachable());

    std::unique_lock lock(gate->mutex);
    gate->open = true;
    gate->changed.notify_all();
    EXPECT_TRUE(gate->changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate->resolverDone; }));
}

TEST(Endpoints, PostalOperatorUnlessOverridden)
{
    TrackingSettings settings;
    const Endpoints fixed = Endpoints::fromSettings(settings);
    EXPECT_EQ(fixed.trackingUrl, "http://search.belpost.by/");
    EXPECT_EQ(fixed.probeHost, "www.belpost.by");
    EXPECT_EQ(fixed.probePort, 80);

    settings.trackingUrl = QStringLiteral("http://127.0.0.1:8123/");
    settings.probe = QStringLiteral("127.0.0.1:8123");
    const Endpoints local = Endpoints::fromSettings(settings);
    EXPECT_EQ(local.trackingUrl, "http://127.0.0.1:8123/");
    EXPECT_EQ(local.probeHost, "127.0.0.1");
    EXPECT_EQ(local.probePort, 8123);

    settings.probe = QStringLiteral("[::1]:9000");
    EXPECT_EQ(Endpoints::fromSettings(settings).probeHost, "::1");
    EXPECT_EQ(Endpoints::fromSettings(settings).probePort, 9000);
}

TEST(Endpoints, MalformedProbeOverrideKeepsTheOperatorsHost)
{
    TrackingSettings settings;
    for (const char* bad : {"127.0.0.1", "127.0.0.1:", ":80", "host:0", "host:65536", "host:80x", "host:-1", "::1:80",
                            "[::1:80", "[]:80"}) {
        settings.probe = QString::fromLatin1(bad);
        const Endpoints endpoints = Endpoints::fromSettings(settings);
        EXPECT_EQ(endpoints.probeHost, "www.belpost.by") << bad;
        EXPECT_EQ(endpoints.probePort, 80) << bad;
    }
}

} // namespace
