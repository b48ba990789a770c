#include "DevServer.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

#include <sys/resource.h>

namespace vellamor::devbackend {

const QString DevServer::testScriptPath = QStringLiteral("/test/script");
const QString DevServer::testResetPath = QStringLiteral("/test/reset");

namespace {

AnswerPlan envelope(int httpStatus, qint64 code, const QString& msg, const std::optional<QJsonValue>& data = {})
{
    QJsonObject object{{QStringLiteral("code"), code}, {QStringLiteral("msg"), msg}};
    if (data)
        object.insert(QStringLiteral("data"), *data);
    return AnswerPlan{DevHttpResponse::json(httpStatus, object), {}, false, {}};
}

std::optional<QJsonObject> parseObject(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace

DevServer::DevServer(QObject* parent) : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &DevServer::acceptConnections);
    // Qt stops accepting after an error such as running out of descriptors;
    // a connection that closes makes room again.
    connect(&server_, &QTcpServer::acceptError, this, [this] { acceptingPaused_ = true; });
}

int DevServer::defaultMaxOpenConnections()
{
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
        return 1024;
    // The state file, the event loop's own descriptors and the sanitizers'
    // pipes need some.
    const auto limit = static_cast<qint64>(std::min<rlim_t>(files.rlim_cur, std::numeric_limits<int>::max()));
    return static_cast<int>(std::max<qint64>(limit - 64, limit / 2));
}

DevServer::~DevServer()
{
    // Connections call back into this server when their sockets close, so
    // they go before the sockets and the rest of this object do.
    server_.close();
    // DevHttpConnection has no Q_OBJECT, so findChildren<DevHttpConnection*>
    // would match every child (the ASR endpoint among them).
    const QObjectList children = this->children();
    for (QObject* child : children)
        delete dynamic_cast<DevHttpConnection*>(child);
}

bool DevServer::listen(quint16 port)
{
    return server_.listen(QHostAddress::LocalHost, port);
}

QUrl DevServer::baseURL(const QString& host) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(port());
    url.setPath(QStringLiteral("/"));
    return url;
}

void DevServer::registerAction(const QString& action, ActionHandler handler)
{
    actions_.insert(action, std::move(handler));
}

void DevServer::registerUpgrade(const QString& path, UpgradeHandler handler)
{
    upgrades_.insert(path, std::move(handler));
}

void DevServer::registerPage(const QString& path, PageHandler handler)
{
    pages_.insert(path, std::move(handler));
}

QString DevServer::accountOf(const QString& token) const
{
    if (userLookup_) {
        if (const std::optional<qint64> user = userLookup_(token))
            return QStringLiteral("user:") + QString::number(*user);
    }
    return QStringLiteral("token:") + token;
}

void DevServer::script(ScriptedAnswer answer)
{
    scripts_.push_back(std::move(answer));
}

bool DevServer::isApiPath(const QString& path)
{
    return path == u"/v1/api.json" || path.endsWith(u"/v1/api.json");
}

std::optional<QString> DevServer::apiAction(const DevHttpRequest& request)
{
    if (request.method != u"POST" || !isApiPath(request.path))
        return std::nullopt;
    const auto object = parseObject(request.body);
    if (!object)
        return std::nullopt;
    const QJsonValue action = object->value(QStringLiteral("action"));
    if (!action.isString())
        return std::nullopt;
    return action.toString();
}

void DevServer::acceptConnections()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (openConnections_ >= maxOpenConnections_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The socket outlives its HTTP connection when it is upgraded.
        ++openConnections_;
        connect(socket, &QObject::destroyed, &socketWatch_, [this] {
            --openConnections_;
            if (std::exchange(acceptingPaused_, false))
                server_.resumeAccepting();
        });
        DevHttpConnection::Callbacks callbacks;
        callbacks.answer = [this](const DevHttpRequest& request) { return answer(request); };
        callbacks.wantsUpgrade = [this](const DevHttpRequest& request) { return upgrades_.contains(request.path); };
        callbacks.takeUpgrade = [this](QTcpSocket* upgraded, const DevHttpRequest& request) {
            record(request);
            upgrades_.value(request.path)(upgraded, request);
        };
        callbacks.abandoned = [this](const DevHttpRequest& request) {
            ++abandonedCount_;
            Q_EMIT requestAbandoned(request.path);
        };
        new DevHttpConnection(socket, std::move(callbacks), idleTimeout_, this);
    }
}

std::optional<ScriptedAnswer> DevServer::takeScript(const DevHttpRequest& request)
{
    const std::optional<QString> action = apiAction(request);
    for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
        if (!it->matches(request.path, action))
            continue;
        ScriptedAnswer taken = *it;
        if (it->times != ScriptedAnswer::unlimited && --it->times <= 0)
            scripts_.erase(it);
        return taken;
    }
    return std::nullopt;
}

void DevServer::record(const DevHttpRequest& request)
{
    if (requests_.size() >= maxRecordedRequests)
        requests_.removeFirst();
    requests_.append(request);
    // The body read from the socket may be a slice of its read buffer.
    requests_.last().body = QByteArray(request.body.constData(), request.body.size());
    Q_EMIT requestReceived(request.method, request.path);
}

QDateTime DevServer::now() const
{
    return QDateTime::currentDateTimeUtc().addSecs(clockSkew_.count());
}

AnswerPlan DevServer::answer(const DevHttpRequest& request)
{
    AnswerPlan plan = route(request);
    if (!plan.response.hasHeader("Date"))
        plan.response.setHeader("Date", QLocale::c().toString(now(), u"ddd, dd MMM yyyy HH:mm:ss 'GMT'").toLatin1());
    return plan;
}

AnswerPlan DevServer::route(const DevHttpRequest& request)
{
    if (request.path == testScriptPath || request.path == testResetPath)
        return answerControl(request);

    record(request);

    if (auto script = takeScript(request)) {
        AnswerPlan plan;
        plan.delay = script->delay;
        plan.drop = script->drop;
        plan.trickle = script->trickle;
        plan.response.status = script->effectiveStatus();
        for (const auto& [name, value] : script->headers)
            plan.response.setHeader(name, value);
        if (!script->redirectTo.isEmpty())
            plan.response.setHeader("Location", script->redirectTo.toUtf8());
        plan.response.body = script->body;
        return plan;
    }

    if (isApiPath(request.path))
        return answerApi(request);
    if (const auto page = pages_.constFind(request.path); page != pages_.constEnd())
        return AnswerPlan { (*page)(request), {}, false, {} };
    return AnswerPlan{DevHttpResponse::text(404, "not found\n"), {}, false, {}};
}

AnswerPlan DevServer::answerApi(const DevHttpRequest& request)
{
    if (request.method != u"POST") {
        AnswerPlan plan{DevHttpResponse::text(405, "use POST\n"), {}, false, {}};
        plan.response.setHeader("Allow", "POST");
        return plan;
    }
    const auto object = parseObject(request.body);
    if (!object || !object->value(QStringLiteral("action")).isString())
        return envelope(400, 40001, QStringLiteral("bad request"));

    const QString action = object->value(QStringLiteral("action")).toString();
    const auto handler = actions_.constFind(action);
    if (handler == actions_.constEnd())
        return envelope(200, 40401, QStringLiteral("unknown action: ") + action);

    try {
        const ApiReply reply = (*handler)(ApiCall{action, object->value(QStringLiteral("data")), request});
        AnswerPlan plan = envelope(reply.httpStatus, reply.code, reply.msg, reply.data);
        plan.delay = reply.delay;
        return plan;
    } catch (const std::exception& error) {
        return envelope(500, 50000, QStringLiteral("internal error: ") + QString::fromUtf8(error.what()));
    }
}

AnswerPlan DevServer::answerControl(const DevHttpRequest& request)
{
    if (request.method != u"POST")
        return envelope(405, 40001, QStringLiteral("use POST"));
    if (request.path == testResetPath) {
        scripts_.clear();
        requests_.clear();
        abandonedCount_ = 0;
        Q_EMIT recordsReset();
        return envelope(200, 0, QStringLiteral("ok"));
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &parseError);
    QJsonArray list;
    if (document.isObject())
        list.append(document.object());
    else if (document.isArray())
        list = document.array();
    else
        return envelope(400, 40001, QStringLiteral("script must be an object or an array"));

    std::vector<ScriptedAnswer> parsed;
    for (const QJsonValue& entry : list) {
        QString error;
        auto script = entry.isObject() ? ScriptedAnswer::fromJson(entry.toObject(), &error) : std::nullopt;
        if (!script)
            return envelope(400, 40001, error.isEmpty() ? QStringLiteral("script must be an object") : error);
        parsed.push_back(std::move(*script));
    }
    for (auto& script : parsed)
        scripts_.push_back(std::move(script));
    return envelope(200, 0, QStringLiteral("ok"));
}


} // namespace vellamor::devbackend
