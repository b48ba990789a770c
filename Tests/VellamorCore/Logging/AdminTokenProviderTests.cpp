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

// A refusal is reported once to the system log, where the operator looks for it.
TEST_F(AdminTokenProviderTest, ModesGroupOrOthersMayUseAreRefused)
{
    const std::pair<mode_t, bool> cases[] = {
        {0600, true},  {0400, true},  {0700, true},  {04600, true},  {0644, false},
        {0640, false}, {0604, false}, {0601, false}, {0610, false}, {02640, false},
    };
    for (const auto& [mode, accepted] : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << mode);
        RecordingSystemLog log;
        const auto token = AdminTokenProvider::load(writeToken("secret-token\n", mode), log);
        EXPECT_EQ(token, accepted ? std::optional(QStringLiteral("secret-token")) : std::nullopt);
        EXPECT_EQ(log.entries().size(), accepted ? 0 : 1);
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
    EXPECT_EQ(systemLog.entries().size(), 1);
}

TEST_F(AdminTokenProviderTest, DefaultFileIsInTheHomeFolder)
{
    const QString path = vellamor::test::testHome() + QStringLiteral("/.vellamor/admin-token");
    ASSERT_TRUE(QDir().mkpath(vellamor::test::testHome() + QStringLiteral("/.vellamor")));
    writeToken("home-token\n", 0600, path);
    EXPECT_EQ(AdminTokenProvider::load(), QStringLiteral("home-token"));
    QFile::remove(path);
    EXPECT_EQ(AdminTokenProvider::load(), std::nullopt);
}

} // namespace
