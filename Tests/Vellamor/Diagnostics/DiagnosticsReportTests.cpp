#include "QtPrinters.h"
#include "TestEnvironment.h"

#include "Diagnostics/DiagnosticsReport.h"
#include "Version/ApplicationVersion.h"

#include <QFile>
#include <QSysInfo>
#include <QTimeZone>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using Status = VellamorPermissionStatus;

DiagnosticsFacts factsWithTail(
    std::optional<QString> tail, QString system = QStringLiteral("Debian GNU/Linux 12 (bookworm), kernel 6.1.0"))
{
    // 16:15:30.999 at UTC+8: the report reads it in UTC and drops the fraction.
    const QDateTime time(QDate(2026, 3, 1), QTime(16, 15, 30, 999), QTimeZone(8 * 3600));
    return { time, std::move(system), ApplicationVersion { QStringLiteral("1.4.0"), QStringLiteral("57") },
        std::move(tail) };
}

TEST(DiagnosticsReport, SectionsInOrderWithMissingPermissionsUndeterminedAndNoFinalNewline)
{
    const PermissionStatuses statuses{{VellamorPermission::microphone, Status::granted},
                                      {VellamorPermission::inputMonitoring, Status::denied}};
    EXPECT_EQ(DiagnosticsReport::build(statuses, factsWithTail(QStringLiteral("first\n\n第三行"))),
        QStringLiteral("=== Vellamor Diagnostics ===\n"
                       "time: 2026-03-01T08:15:30Z\n"
                       "\n"
                       "[system]\n"
                       "system: Debian GNU/Linux 12 (bookworm), kernel 6.1.0\n"
                       "\n"
                       "[app]\n"
                       "version: 1.4.0 (57)\n"
                       "\n"
                       "[permissions]\n"
                       "- microphone: granted\n"
                       "- accessibility: not-determined\n"
                       "- inputMonitoring: denied\n"
                       "\n"
                       "[recent client log (tail 120)]\n"
                       "first\n"
                       "\n"
                       "第三行\n"
                       "redacted=0"));
}

TEST(DiagnosticsReport, RedactsEveryEntryAndCountsTheSecretsReplaced)
{
    const struct {
        const char* name;
        DiagnosticsFacts facts;
        QStringList hidden;
        QStringList shown;
        int redacted;
    } cases[] = {
        { "token and code in one tail",
            factsWithTail(QStringLiteral("authorization: Bearer opaque123\nGET /auth/verify?email=a@b.c&code=481516")),
            { QStringLiteral("opaque123"), QStringLiteral("481516") },
            { QStringLiteral("authorization: <redacted>"), QStringLiteral("code=<redacted>") }, 2 },
        { "deep link query", factsWithTail(QStringLiteral("deeplink received: vellamor://auth?state=s1&code=c2")),
            { QStringLiteral("state=s1") }, { QStringLiteral("vellamor://auth?<redacted>") }, 1 },
        { "secrets in a header entry and the tail",
            factsWithTail(QStringLiteral("refresh_token=r-secret"), QStringLiteral("Linux token=t-secret")),
            { QStringLiteral("r-secret"), QStringLiteral("t-secret") }, {}, 2 },
        { "a lone surrogate, empty values before secrets on the next lines, the hotkey",
            factsWithTail(QStringLiteral(
                "name=\xD800 code=\nAuthorization: Bearer sekret-1\nAuthorization:\nX-Admin-Token: sekret-2\n"
                "hotkey tap started mode=hold hotkey=Right Ctrl\ntoken=<redacted>")),
            { QStringLiteral("sekret") },
            { QStringLiteral("name=\uFFFD code=\n"), QStringLiteral("hotkey=Right Ctrl") }, 2 },
        { "unreadable log", factsWithTail(std::nullopt), {},
            { QStringLiteral("[recent client log (tail 120)]\n(未能读取)\nredacted=0") }, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString report = DiagnosticsReport::build({}, c.facts);
        for (const QString& secret : c.hidden)
            EXPECT_FALSE(report.contains(secret)) << secret.toStdString();
        for (const QString& text : c.shown)
            EXPECT_TRUE(report.contains(text)) << text.toStdString();
        EXPECT_TRUE(report.endsWith(QStringLiteral("\nredacted=") + QString::number(c.redacted)))
            << report.toStdString();
    }
}

TEST(DiagnosticsFacts, GathersTheLast120LinesOfTheLogAndThisSystem)
{
    const QString path = testHome() + QStringLiteral("/diagnostics-facts.log");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int line = 1; line <= 130; ++line)
        file.write(QStringLiteral("INFO  [boot] 第 %1 行\n").arg(line).toUtf8());
    file.close();

    const DiagnosticsFacts facts = DiagnosticsFacts::gather(path);
    ASSERT_TRUE(facts.logTail.has_value());
    const QStringList lines = facts.logTail->split(u'\n');
    EXPECT_EQ(lines.size(), 120);
    EXPECT_EQ(lines.first(), QStringLiteral("INFO  [boot] 第 11 行"));
    EXPECT_EQ(lines.last(), QStringLiteral("INFO  [boot] 第 130 行"));
    EXPECT_TRUE(facts.system.endsWith(QStringLiteral(", kernel ") + QSysInfo::kernelVersion()));

    EXPECT_EQ(DiagnosticsFacts::gather(testHome() + QStringLiteral("/missing.log")).logTail, std::nullopt);
    const QString empty = testHome() + QStringLiteral("/empty.log");
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    EXPECT_EQ(DiagnosticsFacts::gather(empty).logTail, QString()) << "an empty log is read, not unreadable";
}

TEST(ApplicationVersion, UnsetReadsDevAndZeroAndInstalledReadsTheCompiledOne)
{
    EXPECT_EQ(ApplicationVersion::current().text(), QStringLiteral("dev (0)"));
    ApplicationVersion::install();
    EXPECT_EQ(ApplicationVersion::current(), ApplicationVersion::compiled());
    EXPECT_FALSE(ApplicationVersion::compiled().shortVersion.isEmpty());
}

} // namespace
} // namespace vellamor::test
