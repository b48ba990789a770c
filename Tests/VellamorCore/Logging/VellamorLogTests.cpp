#include "Logging/VellamorLog.h"

#include "Logging/FileLogSink.h"

#include "LoggingTestSupport.h"
#include "RecordingSystemLog.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

using namespace vellamor;
using vellamor::test::logLinePattern;
using vellamor::test::readLogLines;
using vellamor::test::RecordingSystemLog;
using Entry = RecordingSystemLog::Entry;

namespace {

class RecordingLogSink final : public LogSink {
public:
    struct Line {
        QString level;
        QString category;
        QString message;
        bool operator==(const Line&) const = default;
    };
    void write(const QString& level, const QString& category, const QString& message) override
    {
        std::lock_guard lock(mutex);
        lines.push_back({level, category, message});
    }
    std::mutex mutex;
    QList<Line> lines;
};

void PrintTo(const RecordingLogSink::Line& line, std::ostream* os)
{
    *os << '{' << line.level.toStdString() << '|' << line.category.toStdString() << '|'
        << line.message.toStdString() << '}';
}

const QString kSubsystem = QStringLiteral("com.vellamor.app");

class VellamorLogTest : public ::testing::Test {
protected:
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    std::shared_ptr<RecordingLogSink> sink = std::make_shared<RecordingLogSink>();
    VellamorLog log {kSubsystem, QStringLiteral("auth"), systemLog, sink};
};

struct LevelCase {
    const char* name;
    void (VellamorLog::*onePart)(const QString&) const;
    void (VellamorLog::*twoPart)(const QString&, const QString&) const;
    SystemLogLevel systemLevel;
    const char* tag;
};

const LevelCase kLevels[] = {
    {"debug", &VellamorLog::debug, &VellamorLog::debug, SystemLogLevel::Debug, "DEBUG"},
    {"info", &VellamorLog::info, &VellamorLog::info, SystemLogLevel::Info, "INFO "},
    {"warn", &VellamorLog::warn, &VellamorLog::warn, SystemLogLevel::Default, "WARN "},
    {"error", &VellamorLog::error, &VellamorLog::error, SystemLogLevel::Error, "ERROR"},
};

TEST_F(VellamorLogTest, EachLevelHasItsSystemLevelAndFileTag)
{
    for (const auto& c : kLevels) {
        (log.*c.onePart)(QStringLiteral("one"));
        (log.*c.twoPart)(QStringLiteral("pub"), QStringLiteral("priv"));
    }
    const auto entries = systemLog->entries();
    ASSERT_EQ(entries.size(), 8);
    ASSERT_EQ(sink->lines.size(), 8);
    for (int i = 0; i < 4; ++i) {
        const auto& c = kLevels[i];
        const QString tag = QLatin1String(c.tag);
        EXPECT_EQ(entries[2 * i],
                  (Entry {c.systemLevel, kSubsystem, QStringLiteral("auth"), QStringLiteral("one"), std::nullopt}))
            << c.name;
        EXPECT_EQ(entries[2 * i + 1], (Entry {c.systemLevel, kSubsystem, QStringLiteral("auth"), QStringLiteral("pub"),
                                              QStringLiteral("priv")}))
            << c.name;
        EXPECT_EQ(sink->lines[2 * i], (RecordingLogSink::Line {tag, QStringLiteral("auth"), QStringLiteral("one")}));
        EXPECT_EQ(sink->lines[2 * i + 1],
                  (RecordingLogSink::Line {tag, QStringLiteral("auth"), QStringLiteral("pub priv")}));
    }
}

TEST_F(VellamorLogTest, OnePartIsUnredactedInSystemLogAndRedactedInFile)
{
    log.info(QStringLiteral("request Authorization: Bearer abc123 sent"));
    ASSERT_EQ(systemLog->entries().size(), 1);
    EXPECT_EQ(systemLog->entries()[0].publicPart, QStringLiteral("request Authorization: Bearer abc123 sent"));
    EXPECT_EQ(systemLog->entries()[0].privatePart, std::nullopt);
    ASSERT_EQ(sink->lines.size(), 1);
    EXPECT_EQ(sink->lines[0].message, QStringLiteral("request authorization: <redacted> sent"));
}

struct TwoPartCase {
    const char* name;
    const char16_t* pub;
    const char16_t* priv;
    const char16_t* file;
};

TEST_F(VellamorLogTest, TwoPartRedactsPrivateThenTheWhole)
{
    const TwoPartCase cases[] = {
        {"token parameter in private part", u"refresh ok", u"token=abc123&x=1", u"refresh ok token=<redacted>&x=1"},
        {"secret in public part", u"code=123456", u"sent", u"code=<redacted> sent"},
        {"secret spanning the joint", u"header Authorization:", u"Bearer abc123", u"header authorization: <redacted>"},
        {"private api key", u"config", u"AIza01234567890123456789", u"config <redacted-key>"},
        {"empty private part", u"done", u"", u"done "},
    };
    for (const auto& c : cases) {
        sink->lines.clear();
        log.info(QString::fromUtf16(c.pub), QString::fromUtf16(c.priv));
        ASSERT_EQ(sink->lines.size(), 1) << c.name;
        EXPECT_EQ(sink->lines[0].message, QString::fromUtf16(c.file)) << c.name;
    }
    const auto entries = systemLog->entries();
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(entries[i].publicPart, QString::fromUtf16(cases[i].pub)) << cases[i].name;
        EXPECT_EQ(entries[i].privatePart, QString::fromUtf16(cases[i].priv)) << cases[i].name;
    }
}

TEST_F(VellamorLogTest, DisabledSystemLevelStillReachesTheFile)
{
    for (const auto level : {SystemLogLevel::Debug, SystemLogLevel::Info, SystemLogLevel::Default, SystemLogLevel::Error})
        systemLog->setEnabled(level, false);
    systemLog->setEnabled(SystemLogLevel::Error, true);
    for (const auto& c : kLevels) {
        (log.*c.onePart)(QStringLiteral("x"));
        (log.*c.twoPart)(QStringLiteral("y"), QStringLiteral("z"));
    }
    EXPECT_EQ(sink->lines.size(), 8);
    const auto entries = systemLog->entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].level, SystemLogLevel::Error);
    EXPECT_EQ(entries[1].level, SystemLogLevel::Error);
}

TEST_F(VellamorLogTest, CopiesShareTheirSinks)
{
    const VellamorLog copy = log;
    copy.warn(QStringLiteral("from copy"));
    ASSERT_EQ(sink->lines.size(), 1);
    EXPECT_EQ(systemLog->entries().size(), 1);
    EXPECT_EQ(copy.subsystem(), kSubsystem);
    EXPECT_EQ(copy.category(), QStringLiteral("auth"));
}

// The real file sink in a temporary folder, with a recording system log.
class VellamorLogFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    QStringList fileLines()
    {
        fileSink->flush();
        return readLogLines(path);
    }

    QTemporaryDir root;
    QString path = root.path() + QStringLiteral("/logs/vellamor.log");
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    std::shared_ptr<FileLogSink> fileSink = std::make_shared<FileLogSink>(path);
};

TEST_F(VellamorLogFileTest, InfoHasTwoBlanksAfterTheTagAndErrorOne)
{
    const VellamorLog log(kSubsystem, QStringLiteral("boot"), systemLog, fileSink);
    log.info(QStringLiteral("ok"));
    log.error(QStringLiteral("ok"));
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" INFO  [file-log] === launch pid=")));
    EXPECT_TRUE(logLinePattern().match(lines[1]).hasMatch());
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" INFO  [boot] ok"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" ERROR [boot] ok"))) << lines[2].toStdString();
    EXPECT_EQ(lines[1].indexOf(QStringLiteral(" INFO  [boot] ok")), 24);
}

TEST_F(VellamorLogFileTest, TwoPartIsRedactedInFileAndSplitInSystemLog)
{
    const VellamorLog log(kSubsystem, QStringLiteral("auth"), systemLog, fileSink);
    log.info(QStringLiteral("token refreshed"), QStringLiteral("token=eyJraWQ.payload&expires=3600"));
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" INFO  [auth] token refreshed token=<redacted>&expires=3600")))
        << lines[1].toStdString();
    ASSERT_EQ(systemLog->entries().size(), 1);
    EXPECT_EQ(systemLog->entries()[0], (Entry {SystemLogLevel::Info, kSubsystem, QStringLiteral("auth"),
                                               QStringLiteral("token refreshed"),
                                               QStringLiteral("token=eyJraWQ.payload&expires=3600")}));
}

TEST_F(VellamorLogFileTest, DebugReachesFileWithSystemDebugDisabled)
{
    systemLog->setEnabled(SystemLogLevel::Debug, false);
    const VellamorLog log(kSubsystem, QStringLiteral("ws"), systemLog, fileSink);
    log.debug(QStringLiteral("frame 12"));
    log.debug(QStringLiteral("frame"), QStringLiteral("13"));
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" DEBUG [ws] frame 12")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" DEBUG [ws] frame 13")));
    EXPECT_TRUE(systemLog->entries().isEmpty());
}

TEST_F(VellamorLogFileTest, EveryLevelIsWrittenInCallOrder)
{
    const VellamorLog log(kSubsystem, QStringLiteral("dictation"), systemLog, fileSink);
    log.debug(QStringLiteral("a"));
    log.info(QStringLiteral("b"));
    log.warn(QStringLiteral("c"));
    log.error(QStringLiteral("d"));
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 5);
    const QStringList expected = {QStringLiteral("DEBUG [dictation] a"), QStringLiteral("INFO  [dictation] b"),
                                  QStringLiteral("WARN  [dictation] c"), QStringLiteral("ERROR [dictation] d")};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(lines[i + 1].mid(25), expected[i]);
}

} // namespace
