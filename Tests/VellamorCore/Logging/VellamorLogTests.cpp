#include "Logging/VellamorLog.h"

#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include <gtest/gtest.h>

using namespace vellamor;
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
        lines.push_back({level, category, message});
    }
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

// One-part calls reach the system log as written and the file redacted.
TEST_F(VellamorLogTest, EachLevelHasItsSystemLevelAndFileTag)
{
    const QString secret = QStringLiteral("Authorization: Bearer abc123");
    for (const auto& c : kLevels) {
        (log.*c.onePart)(secret);
        (log.*c.twoPart)(QStringLiteral("pub"), QStringLiteral("priv"));
    }
    const auto entries = systemLog->entries();
    ASSERT_EQ(entries.size(), 8);
    ASSERT_EQ(sink->lines.size(), 8);
    for (int i = 0; i < 4; ++i) {
        const auto& c = kLevels[i];
        SCOPED_TRACE(c.name);
        const QString tag = QLatin1String(c.tag);
        const QString category = QStringLiteral("auth");
        EXPECT_EQ(entries[2 * i], (Entry {c.systemLevel, kSubsystem, category, secret, std::nullopt}));
        EXPECT_EQ(entries[2 * i + 1],
                  (Entry {c.systemLevel, kSubsystem, category, QStringLiteral("pub"), QStringLiteral("priv")}));
        EXPECT_EQ(sink->lines[2 * i],
                  (RecordingLogSink::Line {tag, category, QStringLiteral("authorization: <redacted>")}));
        EXPECT_EQ(sink->lines[2 * i + 1], (RecordingLogSink::Line {tag, category, QStringLiteral("pub priv")}));
    }
}

TEST_F(VellamorLogTest, TwoPartRedactsPrivateThenTheWhole)
{
    struct Case {
        const char16_t* pub;
        const char16_t* priv;
        const char16_t* file;
    };
    const Case cases[] = {
        {u"refresh ok", u"token=abc123&x=1", u"refresh ok token=<redacted>&x=1"},
        {u"code=123456", u"sent", u"code=<redacted> sent"},
        {u"header Authorization:", u"Bearer abc123", u"header authorization: <redacted>"}, // spans the joint
        {u"done", u"", u"done "},
    };
    for (const auto& c : cases) {
        const QString pub = QString::fromUtf16(c.pub);
        const QString priv = QString::fromUtf16(c.priv);
        SCOPED_TRACE(pub.toStdString());
        sink->lines.clear();
        log.info(pub, priv);
        ASSERT_EQ(sink->lines.size(), 1);
        EXPECT_EQ(sink->lines[0].message, QString::fromUtf16(c.file));
        EXPECT_EQ(systemLog->entries().last(), (Entry {SystemLogLevel::Info, kSubsystem, QStringLiteral("auth"), pub, priv}));
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

// Outside text never makes a line of its own (file, journal) nor floods either.
TEST_F(VellamorLogTest, ControlCharactersAreEscapedAndAHugePartIsCut)
{
    const QString ascii(5000, u'a');
    const QString wide(2000, u'字'); // three bytes each in UTF-8
    const std::pair<QString, QString> cases[] = {
        { QStringLiteral("Pixel\n2026-01-01T00:00:00.000Z INFO  [auth] forged"),
            QStringLiteral("Pixel\\n2026-01-01T00:00:00.000Z INFO  [auth] forged") },
        { QStringLiteral("a\r\tb") + QChar(0x1b) + QChar(0x2028), QStringLiteral("a\\r\\tb\\u001b\\u2028") },
        // bidirectional controls that would reorder the rest of the line on screen
        { QStringLiteral("x") + QChar(0x202E) + QStringLiteral("gpj") + QChar(0x2066) + QChar(0x200F) + QChar(0x061C)
                + QStringLiteral("|"),
            QStringLiteral("x\\u202egpj\\u2066\\u200f\\u061c|") },
        { ascii, ascii.left(4096) + QStringLiteral("…[904 bytes left out]") },
        { wide, wide.left(1365) + QStringLiteral("…[1905 bytes left out]") }, // cut between characters
    };
    for (const auto& [part, written] : cases) {
        sink->lines.clear();
        log.warn(part);
        log.info(QStringLiteral("paired"), part);
        EXPECT_EQ(sink->lines[0].message, written);
        EXPECT_EQ(systemLog->entries().last().privatePart, written);
    }
}

} // namespace
