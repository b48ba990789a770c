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

using namespace Qt::StringLiterals;
using Status = VellamorPermissionStatus;

DiagnosticsFacts factsWithTail(std::optional<QString> tail, QString system = u"Debian GNU/Linux 12 (bookworm), kernel 6.1.0"_s)
{
    // 16:15:30.999 at UTC+8: the report reads it in UTC and drops the fraction.
    const QDateTime time(QDate(2026, 3, 1), QTime(16, 15, 30, 999), QTimeZone(8 * 3600));
    return {time, std::move(system), ApplicationVersion{u"1.4.0"_s, u"57"_s}, std::move(tail)};
}

TEST(DiagnosticsReport, SectionsInOrderWithMissingPermissionsUndeterminedAndNoFinalNewline)
{
    const PermissionStatuses statuses{{VellamorPermission::microphone, Status::granted},
                                      {VellamorPermission::inputMonitoring, Status::denied}};
    EXPECT_EQ(DiagnosticsReport::build(statuses, factsWithTail(u"first\n\n第三行"_s)),
              u"=== Vellamor Diagnostics ===\n"
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
              "redacted=0"_s);
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
        {"token and code in one tail",
         factsWithTail(u"authorization: Bearer opaque123\nGET /auth/verify?email=a@b.c&code=481516"_s),
         {u"opaque123"_s, u"481516"_s},
         {u"authorization: <redacted>"_s, u"code=<redacted>"_s},
         2},
        {"deep link query",
         factsWithTail(u"deeplink received: vellamor://auth?state=s1&code=c2"_s),
         {u"state=s1"_s},
         {u"vellamor://auth?<redacted>"_s},
         1},
        {"secrets in a header entry and the tail",
         factsWithTail(u"refresh_token=r-secret"_s, u"Linux token=t-secret"_s),
         {u"r-secret"_s, u"t-secret"_s},
         {},
         2},
        {"a lone surrogate, empty values before secrets on the next lines, the hotkey",
         factsWithTail(u"name=\xD800 code=\nAuthorization: Bearer sekret-1\nAuthorization:\nX-Admin-Token: sekret-2\n"
                       "hotkey tap started mode=hold hotkey=Right Ctrl\ntoken=<redacted>"_s),
         {u"sekret"_s},
         {u"name=\uFFFD code=\n"_s, u"hotkey=Right Ctrl"_s},
         2},
        {"unreadable log", factsWithTail(std::nullopt), {}, {u"[recent client log (tail 120)]\n(未能读取)\nredacted=0"_s}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString report = DiagnosticsReport::build({}, c.facts);
        for (const QString& secret : c.hidden)
            EXPECT_FALSE(report.contains(secret)) << secret.toStdString();
        for (const QString& text : c.shown)
            EXPECT_TRUE(report.contains(text)) << text.toStdString();
        EXPECT_TRUE(report.endsWith(u"\nredacted="_s + QString::number(c.redacted))) << report.toStdString();
    }
}

TEST(DiagnosticsFacts, GathersTheLast120LinesOfTheLogAndThisSystem)
{
    const QString path = testHome() + u"/diagnostics-facts.log"_s;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int line = 1; line <= 130; ++line)
        file.write(u"INFO  [boot] 第 %1 行\n"_s.arg(line).toUtf8());
    file.close();

    const DiagnosticsFacts facts = DiagnosticsFacts::gather(path);
    ASSERT_TRUE(facts.logTail.has_value());
    const QStringList lines = facts.logTail->split(u'\n');
    EXPECT_EQ(lines.size(), 120);
    EXPECT_EQ(lines.first(), u"INFO  [boot] 第 11 行"_s);
    EXPECT_EQ(lines.last(), u"INFO  [boot] 第 130 行"_s);
    EXPECT_TRUE(facts.system.endsWith(u", kernel "_s + QSysInfo::kernelVersion()));

    EXPECT_EQ(DiagnosticsFacts::gather(testHome() + u"/missing.log"_s).logTail, std::nullopt);
    const QString empty = testHome() + u"/empty.log"_s;
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    EXPECT_EQ(DiagnosticsFacts::gather(empty).logTail, QString()) << "an empty log is read, not unreadable";
}

TEST(ApplicationVersion, UnsetReadsDevAndZeroAndInstalledReadsTheCompiledOne)
{
    EXPECT_EQ(ApplicationVersion::current().text(), u"dev (0)"_s);
    ApplicationVersion::install();
    EXPECT_EQ(ApplicationVersion::current(), ApplicationVersion::compiled());
    EXPECT_FALSE(ApplicationVersion::compiled().shortVersion.isEmpty());
}

} // namespace
} // namespace vellamor::test
