#include "WaitUntil.h"

#include "Platform/Accessibility/DBusDaemonProbe.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using platform::DBusDaemonProbe;
using Socket = DBusDaemonProbe::Socket;

TEST(DBusDaemonProbeTest, FindsTheFirstSocketAnAddressNames)
{
    const struct {
        const char* address;
        std::optional<Socket> socket;
    } cases[] = {
        { "unix:path=/run/user/1000/at-spi/bus_0,guid=5d1c", Socket{ QStringLiteral("/run/user/1000/at-spi/bus_0") } },
        { "unix:guid=5d1c,abstract=/tmp/dbus-Qx2", Socket{ QStringLiteral("/tmp/dbus-Qx2"), true } },
        { "unix:path=/tmp/a%20b%2cc", Socket{ QStringLiteral("/tmp/a b,c") } },
        { "tcp:host=localhost,port=4000;unix:path=/tmp/bus", Socket{ QStringLiteral("/tmp/bus") } },
        { "tcp:host=localhost,port=4000", std::nullopt },
        { "unixexec:path=/usr/bin/bus", std::nullopt },
        { "unix:tmpdir=/tmp", std::nullopt },
    };
    for (const auto& entry : cases)
        EXPECT_EQ(DBusDaemonProbe::socketOf(QString::fromLatin1(entry.address)), entry.socket) << entry.address;
}

// A daemon stopped after it began listening takes connections and answers
// nothing; one that runs answers the handshake's first line.
TEST(DBusDaemonProbeTest, AnswersWhetherTheDaemonSpokeWithinTheLimit)
{
    // Only a hang misses the limit of the daemon that speaks.
    const struct {
        bool speaks;
        std::chrono::milliseconds limit;
    } cases[] = { { true, hangCeiling }, { false, 100ms } };
    for (const auto& entry : cases) {
        const bool speaks = entry.speaks;
        QTemporaryDir folder;
        QLocalServer daemon;
        ASSERT_TRUE(daemon.listen(folder.filePath(QStringLiteral("bus"))));
        QObject::connect(&daemon, &QLocalServer::newConnection, [&] {
            QLocalSocket* client = daemon.nextPendingConnection();
            if (speaks)
                QObject::connect(client, &QLocalSocket::readyRead, client,
                    [client] { client->write("REJECTED EXTERNAL\r\n"); });
        });
        std::optional<bool> answered;
        QObject context;
        DBusDaemonProbe::ask(QStringLiteral("unix:path=") + daemon.fullServerName(), entry.limit, &context,
            [&](bool answers) { answered = answers; });
        EXPECT_TRUE(waitUntil([&] { return answered.has_value(); }));
        EXPECT_EQ(answered, speaks);
    }
}

} // namespace
} // namespace vellamor::test
