#include "Logging/JournalSystemLog.h"

#include "QtPrinters.h"
#include "ScopedEnvironment.h"

#include <gtest/gtest.h>

using namespace vellamor;
using vellamor::test::ScopedEnvironment;

namespace {

QByteArray fieldValue(const QByteArrayList& fields, const QByteArray& name)
{
    const QByteArray prefix = name + '=';
    QByteArray found;
    int occurrences = 0;
    for (const QByteArray& field : fields)
        if (field.startsWith(prefix)) {
            found = field.mid(prefix.size());
            ++occurrences;
        }
    EXPECT_EQ(occurrences, 1) << name.constData();
    return found;
}

struct PriorityCase {
    SystemLogLevel level;
    QByteArray priority;
};

TEST(JournalSystemLog, LevelsMapToSyslogPriorities)
{
    const PriorityCase cases[] = {
        {SystemLogLevel::Debug, "7"},
        {SystemLogLevel::Info, "6"},
        {SystemLogLevel::Default, "5"},
        {SystemLogLevel::Error, "3"},
    };
    for (const auto& c : cases) {
        const auto fields = JournalSystemLog::journalFields(c.level, QStringLiteral("s"), QStringLiteral("c"),
                                                            QStringLiteral("m"), std::nullopt, false);
        EXPECT_EQ(fieldValue(fields, "PRIORITY"), c.priority);
    }
}

TEST(JournalSystemLog, CarriesIdentifierSubsystemAndCategory)
{
    const auto fields = JournalSystemLog::journalFields(SystemLogLevel::Info, QStringLiteral("com.vellamor.app"),
                                                        QStringLiteral("dictation"), QStringLiteral("started"),
                                                        std::nullopt, false);
    EXPECT_EQ(fieldValue(fields, "SYSLOG_IDENTIFIER"), QByteArray("vellamor"));
    EXPECT_EQ(fieldValue(fields, "VELLAMOR_SUBSYSTEM"), QByteArray("com.vellamor.app"));
    EXPECT_EQ(fieldValue(fields, "VELLAMOR_CATEGORY"), QByteArray("dictation"));
    EXPECT_EQ(fieldValue(fields, "MESSAGE"), QByteArray("started"));
}

struct MessageCase {
    const char* name;
    std::optional<QString> privatePart;
    bool reveal;
    const char* message;
};

TEST(JournalSystemLog, PrivatePartIsMaskedUnlessRevealed)
{
    const MessageCase cases[] = {
        {"one part, masked", std::nullopt, false, "final token=abc"},
        {"one part, revealed", std::nullopt, true, "final token=abc"},
        {"two parts, masked", QStringLiteral("识别文本"), false, "final token=abc <private>"},
        {"two parts, revealed", QStringLiteral("识别文本"), true, "final token=abc 识别文本"},
        {"empty private part, masked", QString(), false, "final token=abc <private>"},
    };
    for (const auto& c : cases) {
        const auto fields = JournalSystemLog::journalFields(SystemLogLevel::Info, QStringLiteral("s"),
                                                            QStringLiteral("c"), QStringLiteral("final token=abc"),
                                                            c.privatePart, c.reveal);
        EXPECT_EQ(fieldValue(fields, "MESSAGE"), QByteArray(c.message)) << c.name;
    }
}

TEST(JournalSystemLog, PrivateDataRevealedOnlyForExactlyOne)
{
    const std::pair<std::optional<QByteArray>, bool> cases[] = {
        {std::nullopt, false},          {QByteArray(""), false},     {QByteArray("1"), true},
        {QByteArray("0"), false},       {QByteArray("true"), false}, {QByteArray("01"), false},
        {QByteArray("1 "), false},      {QByteArray("yes"), false},
    };
    for (const auto& [value, expected] : cases) {
        ScopedEnvironment env("VELLAMOR_LOG_PRIVATE", value);
        EXPECT_EQ(JournalSystemLog::privateDataRevealed(), expected)
            << (value ? value->constData() : "<unset>");
    }
}

} // namespace
