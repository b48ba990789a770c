#include "Logging/JournalSystemLog.h"

#include "QtPrinters.h"
#include "ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vellamor;
using vellamor::test::ScopedEnvironment;

namespace {

// The fields in a fixed order, since journald does not care about theirs.
QByteArrayList sorted(QByteArrayList fields)
{
    std::sort(fields.begin(), fields.end());
    return fields;
}

TEST(JournalSystemLog, EachLevelGivesOneRecordWithItsPriorityAndTheNamingFields)
{
    const std::pair<SystemLogLevel, QByteArray> cases[] = {
        {SystemLogLevel::Debug, "PRIORITY=7"},
        {SystemLogLevel::Info, "PRIORITY=6"},
        {SystemLogLevel::Default, "PRIORITY=5"},
        {SystemLogLevel::Error, "PRIORITY=3"},
    };
    for (const auto& [level, priority] : cases) {
        SCOPED_TRACE(priority.toStdString());
        const auto fields = JournalSystemLog::journalFields(level, QStringLiteral("com.vellamor.app"),
                                                            QStringLiteral("dictation"), QStringLiteral("started"),
                                                            std::nullopt, false);
        EXPECT_EQ(sorted(fields), (QByteArrayList{"MESSAGE=started", priority, "SYSLOG_IDENTIFIER=vellamor",
                                                  "VELLAMOR_CATEGORY=dictation", "VELLAMOR_SUBSYSTEM=com.vellamor.app"}));
    }
}

TEST(JournalSystemLog, PrivatePartIsMaskedUnlessRevealed)
{
    struct Case {
        std::optional<QString> privatePart;
        bool reveal;
        const char* message;
    };
    const Case cases[] = {
        {std::nullopt, false, "MESSAGE=final token=abc"},
        {std::nullopt, true, "MESSAGE=final token=abc"},
        {QStringLiteral("识别文本"), false, "MESSAGE=final token=abc <private>"},
        {QStringLiteral("识别文本"), true, "MESSAGE=final token=abc 识别文本"},
        {QString(), false, "MESSAGE=final token=abc <private>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto fields = JournalSystemLog::journalFields(SystemLogLevel::Info, QStringLiteral("s"),
                                                            QStringLiteral("c"), QStringLiteral("final token=abc"),
                                                            c.privatePart, c.reveal);
        EXPECT_TRUE(fields.contains(QByteArray(c.message))) << fields.join('|').toStdString();
    }
}

TEST(JournalSystemLog, PrivateDataRevealedOnlyForExactlyOne)
{
    const std::pair<std::optional<QByteArray>, bool> cases[] = {
        {std::nullopt, false},     {QByteArray(""), false},     {QByteArray("1"), true},
        {QByteArray("0"), false},  {QByteArray("true"), false}, {QByteArray("01"), false},
        {QByteArray("1 "), false}, {QByteArray("yes"), false},
    };
    for (const auto& [value, expected] : cases) {
        ScopedEnvironment env("VELLAMOR_LOG_PRIVATE", value);
        EXPECT_EQ(JournalSystemLog::privateDataRevealed(), expected) << (value ? value->constData() : "<unset>");
    }
}

} // namespace
