#include "Diagnostics/DiagnosticsReport.h"

#include "Logging/LogReader.h"
#include "Logging/LogRedactor.h"

#include <QStringList>
#include <QSysInfo>

namespace vellamor {

DiagnosticsFacts DiagnosticsFacts::gather(const std::optional<QString>& logFile)
{
    return {QDateTime::currentDateTimeUtc(), currentSystem(), ApplicationVersion::current(),
            LogReader::readLocal(logFile, logTailLines)};
}

QString DiagnosticsFacts::currentSystem()
{
    return QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion();
}

QString DiagnosticsReport::reportWord(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return QStringLiteral("not-determined");
    case VellamorPermissionStatus::denied:
        return QStringLiteral("denied");
    case VellamorPermissionStatus::granted:
        return QStringLiteral("granted");
    }
    Q_UNREACHABLE();
}

QString DiagnosticsReport::build(const PermissionStatuses& statuses, const DiagnosticsFacts& facts)
{
    // Qt::ISODate on a UTC time ends in "Z" and stops at the second.
    QStringList entries{
        QStringLiteral("=== Vellamor Diagnostics ==="),
        QStringLiteral("time: ") + facts.time.toUTC().toString(Qt::ISODate),
        QString(),
        QStringLiteral("[system]"),
        QStringLiteral("system: ") + facts.system,
        QString(),
        QStringLiteral("[app]"),
        QStringLiteral("version: ") + facts.version.text(),
        QString(),
        QStringLiteral("[permissions]"),
    };
    for (const VellamorPermission permission : allPermissions()) {
        entries << QStringLiteral("- ") + rawValue(permission) + QStringLiteral(": ")
                       + reportWord(statuses.value(permission, VellamorPermissionStatus::notDetermined));
    }
    entries << QString() << QStringLiteral("[recent client log (tail %1)]").arg(DiagnosticsFacts::logTailLines)
            << facts.logTail.value_or(QStringLiteral("(未能读取)"));

    LogRedactor::BulkResult redacted = LogRedactor::redactBulk(entries);
    redacted.out << QStringLiteral("redacted=") + QString::number(redacted.replaced);
    return redacted.out.join(QLatin1Char('\n'));
}

} // namespace vellamor
