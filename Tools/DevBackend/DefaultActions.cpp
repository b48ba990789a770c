#include "DefaultActions.h"

#include "AccountActions.h"
#include "AsrSessionEndpoint.h"
#include "DevAccountServices.h"
#include "DevAdminLog.h"
#include "DevDataSync.h"
#include "DevInputSources.h"
#include "DevServer.h"
#include "DevTextServices.h"
#include "PairingPage.h"

#include <QJsonObject>

namespace vellamor::devbackend {

void installDefaultActions(DevServer& server)
{
    installEchoAction(server);
    AsrSessionEndpoint::install(server);
    DevAdminLog::install(server);
    DevTextServices::install(server);
    AccountActions::install(server);
    DevAccountServices::install(server);
    installPairingPage(server, *DevInputSources::install(server));
    DevDataSync::install(server);
}

void installEchoAction(DevServer& server)
{
    server.registerAction(QStringLiteral("echo"), [](const ApiCall& call) {
        QJsonObject headers;
        for (const auto& [name, value] : call.request.headers) {
            const QString key = QString::fromLatin1(name).toLower();
            const QString text = QString::fromUtf8(value);
            const QJsonValue previous = headers.value(key);
            headers.insert(key, previous.isString() ? previous.toString() + QStringLiteral(", ") + text : text);
        }
        QJsonObject data{
            {QStringLiteral("data"), call.data.isUndefined() ? QJsonValue(QJsonValue::Null) : call.data},
            {QStringLiteral("method"), call.request.method},
            {QStringLiteral("path"), call.request.path},
            {QStringLiteral("query"), call.request.query.toString(QUrl::FullyEncoded)},
            {QStringLiteral("headers"), headers},
        };
        return ApiReply::success(data);
    });
}

} // namespace vellamor::devbackend
