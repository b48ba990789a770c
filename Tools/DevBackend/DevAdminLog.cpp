#include "DevAdminLog.h"

#include "DevServer.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace vellamor::devbackend {

QString DevAdminLog::defaultToken()
{
    return qEnvironmentVariable("VELLAMOR_DEV_ADMIN_TOKEN", QStringLiteral("dev-admin-token"));
}

void DevAdminLog::install(DevServer& server)
{
    install(server, Options());
}

void DevAdminLog::install(DevServer& server, Options options)
{
    server.registerAction(QStringLiteral("admin.tailLog"), [&server, options](const ApiCall& call) {
        if (options.token.isEmpty())
            return ApiReply::failure(40300, QStringLiteral("admin access disabled"));
        const auto sent = call.request.header("X-Admin-Token");
        if (!sent || QString::fromUtf8(*sent) != options.token)
            return ApiReply::failure(40100, QStringLiteral("admin token mismatch"), 401);

        const QJsonValue lines = call.data.toObject().value(QStringLiteral("lines"));
        // toInteger gives the default for a fraction as well as for a non-number.
        const qint64 count = lines.toInteger(-1);
        if (count < 1 || count > 2000)
            return ApiReply::failure(40001, QStringLiteral("lines must be an integer from 1 to 2000"));

        if (!options.exists) {
            return ApiReply::success(QJsonObject{{QStringLiteral("path"), options.path},
                                                 {QStringLiteral("exists"), false},
                                                 {QStringLiteral("reason"), QStringLiteral("log file not found")}});
        }

        QStringList log;
        if (options.lines) {
            log = *options.lines;
        } else {
            for (const DevHttpRequest& request : server.requests())
                log.append(request.method + QLatin1Char(' ') + request.path);
        }
        qint64 totalBytes = 0;
        for (const QString& line : log)
            totalBytes += line.toUtf8().size() + 1;

        const QStringList tail = log.mid(std::max<qsizetype>(0, log.size() - count));
        QJsonObject data{{QStringLiteral("path"), options.path},
                         {QStringLiteral("exists"), true},
                         {QStringLiteral("total_bytes"), totalBytes},
                         {QStringLiteral("lines"), QJsonArray::fromStringList(tail)}};
        if (tail.isEmpty())
            data.insert(QStringLiteral("reason"), QStringLiteral("log is empty"));
        return ApiReply::success(data);
    });
}

} // namespace vellamor::devbackend
