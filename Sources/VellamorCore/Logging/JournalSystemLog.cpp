#include "Logging/JournalSystemLog.h"

#include <systemd/sd-journal.h>
#include <sys/uio.h>
#include <syslog.h>

#include <vector>

namespace vellamor {

std::shared_ptr<JournalSystemLog> JournalSystemLog::shared()
{
    static const std::shared_ptr<JournalSystemLog> instance = std::make_shared<JournalSystemLog>();
    return instance;
}

bool JournalSystemLog::isEnabled(SystemLogLevel) const
{
    return true;
}

int JournalSystemLog::priority(SystemLogLevel level)
{
    switch (level) {
    case SystemLogLevel::Debug:
        return LOG_DEBUG;
    case SystemLogLevel::Info:
        return LOG_INFO;
    case SystemLogLevel::Default:
        return LOG_NOTICE;
    case SystemLogLevel::Error:
        return LOG_ERR;
    }
    return LOG_NOTICE;
}

bool JournalSystemLog::privateDataRevealed()
{
    return qgetenv("VELLAMOR_LOG_PRIVATE") == "1";
}

QByteArrayList JournalSystemLog::journalFields(SystemLogLevel level, const QString& subsystem,
                                               const QString& category, const QString& publicPart,
                                               const std::optional<QString>& privatePart, bool revealPrivate)
{
    QString message = publicPart;
    if (privatePart)
        message += QLatin1Char(' ') + (revealPrivate ? *privatePart : QStringLiteral("<private>"));
    return {
        QByteArrayLiteral("MESSAGE=") + message.toUtf8(),
        QByteArrayLiteral("PRIORITY=") + QByteArray::number(priority(level)),
        QByteArrayLiteral("SYSLOG_IDENTIFIER=vellamor"),
        QByteArrayLiteral("VELLAMOR_SUBSYSTEM=") + subsystem.toUtf8(),
        QByteArrayLiteral("VELLAMOR_CATEGORY=") + category.toUtf8(),
    };
}

void JournalSystemLog::write(SystemLogLevel level, const QString& subsystem, const QString& category,
                             const QString& publicPart, const std::optional<QString>& privatePart)
{
    const QByteArrayList fields =
        journalFields(level, subsystem, category, publicPart, privatePart, privateDataRevealed());
    std::vector<iovec> entries;
    entries.reserve(static_cast<size_t>(fields.size()));
    for (const QByteArray& field : fields)
        entries.push_back({const_cast<char*>(field.constData()), static_cast<size_t>(field.size())});
    // The vector form takes the fields as they are: no format string, so a
    // '%' in a message is harmless, and values may contain newlines.
    sd_journal_sendv(entries.data(), static_cast<int>(entries.size()));
}

} // namespace vellamor
