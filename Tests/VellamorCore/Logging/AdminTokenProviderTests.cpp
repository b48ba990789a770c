#include "Logging/AdminTokenProvider.h"

#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vellamor;
using vellamor::test::RecordingSystemLog;

namespace {

// What reached the system log, each entry checked for the level and category
// every refusal uses.
QStringList loggedLines(const RecordingSystemLog& systemLog)
{
    QStringList lines;
    for (const auto& entry : systemLog.entries()) {
        EXPECT_EQ(entry.level, SystemLogLevel::Error);
        EXPECT_EQ(entry.subsystem, QStringLiteral("com.vellamor.app"));
        EXPECT_EQ(entry.category, QStringLiteral("admin-token"));
        EXPECT_EQ(entry.privatePart, std::nullopt);
        lines.append(entry.publicPart);
    }
    return lines;
}

class AdminTokenProviderTest : public ::testing::Test {
protected:
    // Writes the file (by default "admin-token" in the temporary folder) with `mode`.
    QString writeToken(const QByteArray& bytes, mode_t mode, QString path = {})
    {
        if (path.isEmpty())
            path = dir.filePath(QStringLiteral("admin-token"));
        QFile::remove(path); // an earlier case may have left it read-only
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    }

    QTemporaryDir dir;
    RecordingSystemLog systemLog;
};

TEST_F(AdminTokenProviderTest, ModesGroupOrOthersMayUseAreRefused)
{
    struct Case {
        mode_t mode;
        const char* refusedAs; // the mode as logged; none: accepted
    };
    const Case cases[] = {
        {0600, nullptr}, {0400, nullptr}, {0700, nullptr}, {04600, nullptr}, {0644, "644"}, {0640, "640"},
        {0604, "604"},   {0601, "601"},   {0610, "610"},   {02640, "2640"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode);
        RecordingSystemLog log;
        const auto token = AdminTokenProvider::load(writeToken("secret-token\n", c.mode), log);
        if (!c.refusedAs) {
            EXPECT_EQ(token, QStringLiteral("secret-token"));
            EXPECT_TRUE(log.entries().isEmpty());
        } else {
            EXPECT_EQ(token, std::nullopt);
            EXPECT_EQ(loggedLines(log), QStringList{QStringLiteral("admin token file perm too open: ")
                                                    + QLatin1String(c.refusedAs)
                                                    + QStringLiteral(" expected <= 0600")});
        }
    }
}

TEST_F(AdminTokenProviderTest, TokenIsTheTrimmedTextOfAValidUtf8File)
{
    const std::pair<QByteArray, std::optional<QString>> cases[] = {
        {"tok\n", QStringLiteral("tok")},
        {"  tok \r\n\t\n", QStringLiteral("tok")},
        {"\xc2\xa0tok\xe3\x80\x80", QStringLiteral("tok")}, // no-break and ideographic spaces
        {"to k", QStringLiteral("to k")},
        {"", QString()},
        {"\n\n", QString()},
        {"bad \xff token", std::nullopt},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(bytes.toStdString());
        EXPECT_EQ(AdminTokenProvider::load(writeToken(bytes, 0600), systemLog), expected);
    }
    EXPECT_EQ(AdminTokenProvider::load(dir.filePath(QStringLiteral("absent")), systemLog), std::nullopt);
    EXPECT_TRUE(systemLog.entries().isEmpty());
}

TEST_F(AdminTokenProviderTest, SymbolicLinkIsJudgedByItsOwnMode)
{
    const QString target = writeToken("secret", 0600, dir.filePath(QStringLiteral("real-token")));
    const QString link = dir.filePath(QStringLiteral("admin-token"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(AdminTokenProvider::load(link, systemLog), std::nullopt);
    EXPECT_EQ(loggedLines(systemLog), QStringList{QStringLiteral("admin token file perm too open: 777 expected <= 0600")});
}

TEST_F(AdminTokenProviderTest, DefaultFileIsInTheHomeFolder)
{
    const QString path = vellamor::test::testHome() + QStringLiteral("/.vellamor/admin-token");
    ASSERT_TRUE(QDir().mkpath(vellamor::test::testHome() + QStringLiteral("/.vellamor")));
    EXPECT_EQ(AdminTokenProvider::defaultPath(), path);
    writeToken("home-token\n", 0600, path);
    EXPECT_EQ(AdminTokenProvider::load(), QStringLiteral("home-token"));
    QFile::remove(path);
    EXPECT_EQ(AdminTokenProvider::load(), std::nullopt);
}

} // namespace
