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
    QString writeToken(const QByteArray& bytes, mode_t mode, const QString& name = QStringLiteral("admin-token"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    }

    QStringList loggedLines() const
    {
        QStringList lines;
        for (const auto& entry : systemLog.entries()) {
            EXPECT_EQ(entry.level, SystemLogLevel::Error);
            EXPECT_EQ(entry.subsystem, QStringLiteral("com.vellamor.app"));
            EXPECT_EQ(entry.category, QStringLiteral("admin-token"));
            lines.append(entry.publicPart + (entry.privatePart ? QStringLiteral("|") + *entry.privatePart : QString()));
        }
        return lines;
    }

    QTemporaryDir dir;
    RecordingSystemLog systemLog;
};

TEST_F(AdminTokenProviderTest, ModesGroupOrOthersMayUseAreRefused)
{
    struct Case {
        mode_t mode;
        bool accepted;
        const char* octal;
    };
    const Case cases[] = {
        {0600, true, ""},   {0400, true, ""},    {0700, true, ""},    {0200, true, ""},
        {0644, false, "644"}, {0640, false, "640"}, {0604, false, "604"}, {0601, false, "601"},
        {0610, false, "610"}, {04600, true, ""},  {02640, false, "2640"},
    };
    for (const auto& c : cases) {
        RecordingSystemLog log;
        const QString path = writeToken("secret-token\n", c.mode);
        const auto token = AdminTokenProvider::load(path, log);
        if (c.accepted) {
            EXPECT_EQ(token, QStringLiteral("secret-token")) << std::oct << c.mode;
            EXPECT_TRUE(log.entries().isEmpty()) << std::oct << c.mode;
        } else {
            EXPECT_EQ(token, std::nullopt) << std::oct << c.mode;
            ASSERT_EQ(log.entries().size(), 1) << std::oct << c.mode;
            EXPECT_EQ(log.entries().first().publicPart,
                      QStringLiteral("admin token file perm too open: ") + QLatin1String(c.octal)
                          + QStringLiteral(" expected <= 0600"));
            EXPECT_EQ(log.entries().first().privatePart, std::nullopt);
            EXPECT_EQ(log.entries().first().level, SystemLogLevel::Error);
            EXPECT_EQ(log.entries().first().category, QStringLiteral("admin-token"));
        }
    }
}

TEST_F(AdminTokenProviderTest, SurroundingWhiteSpaceAndNewlinesAreRemoved)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"tok\n", QStringLiteral("tok")},
        {"  tok \r\n\t\n", QStringLiteral("tok")},
        {"\xc2\xa0tok\xe3\x80\x80", QStringLiteral("tok")}, // no-break and ideographic spaces
        {"to k", QStringLiteral("to k")},
        {"", QString()},
        {"\n\n", QString()},
    };
    for (const auto& [bytes, expected] : cases) {
        const auto token = AdminTokenProvider::load(writeToken(bytes, 0600), systemLog);
        ASSERT_TRUE(token.has_value()) << bytes.toStdString();
        EXPECT_EQ(*token, expected);
    }
    EXPECT_TRUE(systemLog.entries().isEmpty());
}

TEST_F(AdminTokenProviderTest, QuietRefusals)
{
    EXPECT_EQ(AdminTokenProvider::load(dir.filePath(QStringLiteral("absent")), systemLog), std::nullopt);
    EXPECT_EQ(AdminTokenProvider::load(writeToken("bad \xff token", 0600), systemLog), std::nullopt);
    EXPECT_TRUE(loggedLines().isEmpty());
}

TEST_F(AdminTokenProviderTest, SymbolicLinkIsJudgedByItsOwnMode)
{
    const QString target = writeToken("secret", 0600, QStringLiteral("real-token"));
    const QString link = dir.filePath(QStringLiteral("admin-token"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(AdminTokenProvider::load(link, systemLog), std::nullopt);
    EXPECT_EQ(loggedLines(), QStringList{QStringLiteral("admin token file perm too open: 777 expected <= 0600")});
}

TEST_F(AdminTokenProviderTest, DefaultFileIsInTheHomeFolder)
{
    const QString folder = vellamor::test::testHome() + QStringLiteral("/.vellamor");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/admin-token");
    EXPECT_EQ(AdminTokenProvider::defaultPath(), path);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("home-token\n");
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_EQ(AdminTokenProvider::load(), QStringLiteral("home-token"));
    QFile::remove(path);
    EXPECT_EQ(AdminTokenProvider::load(), std::nullopt);
}

} // namespace
