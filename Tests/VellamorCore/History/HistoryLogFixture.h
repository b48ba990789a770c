#pragma once

#include "Logging/VellamorLog.h"
#include "RecordingSystemLog.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace vellamor::test {

// A private folder and a log whose lines the test reads back.
class HistoryLogFixture : public ::testing::Test {
protected:
    VellamorLog log(const QString& category) const
    {
        return VellamorLog(QStringLiteral("com.vellamor.app"), category, systemLog, nullptr);
    }

    // "info …" or "warn …" per line, oldest first.
    QStringList logged() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries())
            lines << (entry.level == SystemLogLevel::Info ? QStringLiteral("info ") : QStringLiteral("warn "))
                    + entry.publicPart;
        return lines;
    }

    QTemporaryDir base;
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
};

} // namespace vellamor::test
