#include "DevInputSources.h"

#include "DevServer.h"
#include "SourceCommandEndpoint.h"
#include "StateReader.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace vellamor::devbackend {

namespace {

const QString stateObjectName = QStringLiteral("input-sources");

const QStringList sourceActions = {
    QStringLiteral("inputSource.createPairing"), QStringLiteral("inputSource.list"),
    QStringLiteral("inputSource.revoke"),        QStringLiteral("inputSource.confirmPairing"),
    QStringLiteral("inputSource.status"),
};
const QStringList phoneActions = {
    QStringLiteral("dev.phone.claim"),
    QStringLiteral("dev.phone.send"),
    QStringLiteral("dev.phone.connect"),
};

QString timestamp(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QJsonObject sourceJson(const DevInputSources::Source& source)
{
    QJsonObject object{
        {QStringLiteral("id"), source.id},
        {QStringLiteral("kind"), source.kind},
        {QStringLiteral("name"), QString(QStringLiteral("phone-") + QString::number(source.id))},
        {QStringLiteral("friendly_name"), source.friendlyName},
        {QStringLiteral("status"), source.status},
        {QStringLiteral("created_at"), timestamp(source.createdAt)},
    };
    if (source.lastUsedAt)
        object.insert(QStringLiteral("last_used_at"), timestamp(*source.lastUsedAt));
    return object;
}

QJsonObject notice(const QString& type, qint64 sourceID)
{
    return QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("source_id"), sourceID}};
}

ApiReply unknownSource()
{
    return ApiReply::failure(40402, QStringLiteral("source not found"));
}

} // namespace

DevInputSources::DevInputSources(DevServer& server)
    : QObject(&server)
    , server_(server)
    , endpoint_(new SourceCommandEndpoint([&server](const QString& token) { return server.accountOf(token); }, this))
{
    setObjectName(stateObjectName);
}

QJsonObject DevInputSources::saveState() const
{
    QJsonArray sources;
    for (const Source& source : sources_) {
        QJsonObject saved = sourceJson(source);
        saved.insert(QStringLiteral("account"), source.account);
        saved.insert(QStringLiteral("token"), source.token);
        saved.insert(QStringLiteral("sent_texts"), source.sentTexts);
        sources.append(saved);
    }
    return QJsonObject { { QStringLiteral("next_source_id"), nextSourceID_ }, { QStringLiteral("sources"), sources } };
}

bool DevInputSources::restoreState(const QJsonObject& saved)
{
    StateReader read;
    QList<Source> sources;
    qint64 highestSourceID = StateReader::noneGiven;
    QSet<qint64> ids;
    QSet<QString> tokens;
    for (const QJsonObject& object : read.objects(read.array(saved, QStringLiteral("sources")))) {
        Source source;
        source.id = read.integer(object, QStringLiteral("id"));
        source.account = read.text(object, QStringLiteral("account"));
        source.kind = read.text(object, QStringLiteral("kind"));
        source.friendlyName = read.text(object, QStringLiteral("friendly_name"));
        source.status = read.text(object, QStringLiteral("status"));
        source.createdAt = read.time(object, QStringLiteral("created_at"));
        source.lastUsedAt = read.optionalTime(object, QStringLiteral("last_used_at"));
        source.token = read.text(object, QStringLiteral("token"));
        source.sentTexts = read.lastGiven(object, QStringLiteral("sent_texts"), 0);
        read.idOnce(ids, source.id);
        read.idOnce(tokens, source.token);
        highestSourceID = std::max(highestSourceID, source.id);
        sources.append(source);
    }
    const qint64 nextSourceID = read.nextId(saved, QStringLiteral("next_source_id"), 1, highestSourceID);
    if (!read.ok())
        return false;
    sources_ = std::move(sources);
    nextSourceID_ = nextSourceID;
    pairings_.clear();
    return true;
}

DevInputSources* DevInputSources::install(DevServer& server)
{
    auto* state = new DevInputSources(server);
    for (const QString& name : sourceActions)
        server.registerAction(name, [state](const ApiCall& call) { return state->handle(call); });
    for (const QString& name : phoneActions)
        server.registerAction(name, [state](const ApiCall& call) { return state->handlePhone(call); });
    SourceCommandEndpoint* endpoint = state->endpoint_;
    server.registerUpgrade(SourceCommandEndpoint::path, [endpoint](QTcpSocket* socket, const DevHttpRequest& head) {
        endpoint->accept(socket, head);
    });
    connect(&server, &DevServer::recordsReset, endpoint, &SourceCommandEndpoint::clearRecords);
    server.setStatePart(QStringLiteral("input_sources"), DevServer::statePartOf(state));
    return state;
}

DevInputSources* DevInputSources::of(DevServer& server)
{
    return server.findChild<DevInputSources*>(stateObjectName, Qt::FindDirectChildrenOnly);
}

ApiReply DevInputSources::handle(const ApiCall& call)
{
    const QJsonObject data = call.data.toObject();
    if (call.action == u"inputSource.status")
        return status(data);

    const std::optional<QString> token = call.bearerToken();
    if (!token)
        return ApiReply::unauthorized();
    const QString account = server_.accountOf(*token);
    if (call.action == u"inputSource.createPairing")
        return createPairing(account);
    if (call.action == u"inputSource.list")
        return list(account);
    if (call.action == u"inputSource.revoke")
        return revoke(account, data);
    return confirmPairing(account, data);
}

ApiReply DevInputSources::createPairing(const QString& account)
{
    const QDateTime now = server_.now();
    pairings_.removeIf([&now](const auto& entry) { return entry.value().expiresAt <= now; });
    QString code;
    do {
        code = QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6, 10, QLatin1Char('0'));
    } while (pairings_.contains(code));
    const Pairing pairing{account, now.addSecs(std::chrono::seconds(pairingLifetime).count())};
    pairings_.insert(code, pairing);
    return ApiReply::success(
        QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("expires_at"), timestamp(pairing.expiresAt)}});
}

ApiReply DevInputSources::list(const QString& account) const
{
    QJsonArray items;
    for (const Source& source : sources_) {
        if (source.account == account)
            items.append(sourceJson(source));
    }
    return ApiReply::success(QJsonObject{{QStringLiteral("items"), items}});
}

DevInputSources::Source* DevInputSources::sourceOf(const QString& account, const QJsonValue& id)
{
    const std::optional<qint64> sourceID = exactInteger(id);
    for (Source& source : sources_) {
        if (sourceID && source.id == *sourceID && source.account == account)
            return &source;
    }
    return nullptr;
}

ApiReply DevInputSources::revoke(const QString& account, const QJsonObject& data)
{
    if (!exactInteger(data.value(QStringLiteral("source_id"))))
        return ApiReply::badRequest(QStringLiteral("source_id must be an integer"));
    Source* source = sourceOf(account, data.value(QStringLiteral("source_id")));
    if (!source)
        return unknownSource();
    source->status = QStringLiteral("revoked");
    Q_EMIT server_.stateChanged();
    endpoint_->push(account, notice(QStringLiteral("source_revoked"), source->id));
    return ApiReply::done();
}

ApiReply DevInputSources::confirmPairing(const QString& account, const QJsonObject& data)
{
    const QJsonValue accept = data.value(QStringLiteral("accept"));
    if (!exactInteger(data.value(QStringLiteral("source_id"))) || !accept.isBool())
        return ApiReply::badRequest(QStringLiteral("source_id must be an integer and accept a boolean"));
    Source* source = sourceOf(account, data.value(QStringLiteral("source_id")));
    if (!source)
        return unknownSource();
    if (source->status != u"pending")
        return ApiReply::failure(40901, QStringLiteral("source is not pending"));
    source->status = accept.toBool() ? QStringLiteral("active") : QStringLiteral("revoked");
    Q_EMIT server_.stateChanged();
    endpoint_->push(account, notice(QStringLiteral("source_updated"), source->id));
    return ApiReply::done();
}

ApiReply DevInputSources::status(const QJsonObject& data) const
{
    const QJsonValue token = data.value(QStringLiteral("source_token"));
    if (!token.isString())
        return ApiReply::badRequest(QStringLiteral("source_token must be a string"));
    if (const Source* source = sourceWithToken(token.toString()))
        return ApiReply::success(QJsonObject { { QStringLiteral("status"), source->status } });
    return unknownSource();
}

void DevInputSources::expirePairings()
{
    const QDateTime now = server_.now();
    for (Pairing& pairing : pairings_)
        pairing.expiresAt = now;
}

std::optional<DevInputSources::ClaimRefusal> DevInputSources::refusalOf(const QString& code) const
{
    const auto pairing = pairings_.constFind(code);
    if (pairing == pairings_.constEnd())
        return ClaimRefusal::unknownCode;
    if (pairing->claimed)
        return ClaimRefusal::claimedCode;
    if (pairing->expiresAt <= server_.now())
        return ClaimRefusal::expiredCode;
    if (sources_.size() >= maxSources)
        return ClaimRefusal::tooManySources;
    return std::nullopt;
}

const DevInputSources::Source* DevInputSources::sourceWithToken(const QString& sourceToken) const
{
    const auto found = std::find_if(
        sources_.begin(), sources_.end(), [&sourceToken](const Source& source) { return source.token == sourceToken; });
    return found == sources_.end() ? nullptr : &*found;
}

std::optional<DevInputSources::Claim> DevInputSources::claim(
    const QString& code, const QString& friendlyName, const QString& ip, ClaimRefusal* refusal)
{
    if (const std::optional<ClaimRefusal> refused = refusalOf(code)) {
        if (refusal)
            *refusal = *refused;
        return std::nullopt;
    }
    const auto pairing = pairings_.find(code);

    Source source;
    source.id = nextSourceID_++;
    source.account = pairing->account;
    source.kind = QStringLiteral("web");
    source.friendlyName = friendlyName;
    source.status = QStringLiteral("pending");
    source.createdAt = server_.now();
    source.token = QUuid::createUuid().toString(QUuid::Id128);
    const QJsonObject payload{
        {QStringLiteral("source_id"), source.id},
        {QStringLiteral("friendly_name"), friendlyName},
        {QStringLiteral("ip"), ip},
        {QStringLiteral("ua_hash"), QString::fromLatin1(QByteArray::number(qHash(friendlyName), 16))},
        {QStringLiteral("expires_at"), pairing->expiresAt.toSecsSinceEpoch()},
    };
    endpoint_->push(source.account,
                    QJsonObject{{QStringLiteral("type"), QStringLiteral("pairing_request")},
                                {QStringLiteral("payload"), payload}});
    // Kept until it runs out, so a second claim is told the code was used.
    pairing->claimed = true;
    sources_.append(source);
    Q_EMIT server_.stateChanged();
    return Claim{source.id, source.token};
}

DevInputSources::Source* DevInputSources::activeSource(const QString& token)
{
    const auto found = std::find_if(
        sources_.begin(), sources_.end(), [&token](const Source& source) { return source.token == token; });
    return found != sources_.end() && found->status == u"active" ? &*found : nullptr;
}

bool DevInputSources::sendText(const QString& sourceToken, const QString& text)
{
    Source* source = activeSource(sourceToken);
    if (!source)
        return false;
    source->lastUsedAt = server_.now();
    Q_EMIT server_.stateChanged();
    endpoint_->push(source->account, QJsonObject{{QStringLiteral("type"), QStringLiteral("insert")},
                                                 {QStringLiteral("text"), text},
                                                 {QStringLiteral("source_id"), source->id},
                                                 {QStringLiteral("seq"), ++source->sentTexts}});
    return true;
}

bool DevInputSources::announce(const QString& sourceToken)
{
    Source* source = activeSource(sourceToken);
    if (!source)
        return false;
    endpoint_->push(source->account, notice(QStringLiteral("source_connected"), source->id));
    return true;
}

ApiReply DevInputSources::handlePhone(const ApiCall& call)
{
    const QJsonObject data = call.data.toObject();
    if (call.action == u"dev.phone.claim") {
        const QJsonValue code = data.value(QStringLiteral("code"));
        if (!code.isString())
            return ApiReply::badRequest(QStringLiteral("code must be a string"));
        const auto claimed = claim(code.toString(), data.value(QStringLiteral("friendly_name")).toString(),
                                   data.value(QStringLiteral("ip")).toString(QStringLiteral("127.0.0.1")));
        if (!claimed)
            return ApiReply::failure(40403, QStringLiteral("unknown, expired or used code"));
        return ApiReply::success(QJsonObject{{QStringLiteral("source_id"), claimed->sourceID},
                                             {QStringLiteral("source_token"), claimed->sourceToken}});
    }
    const QString token = data.value(QStringLiteral("source_token")).toString();
    const bool sent = call.action == u"dev.phone.send"
        ? sendText(token, data.value(QStringLiteral("text")).toString())
        : announce(token);
    return sent ? ApiReply::done() : ApiReply::failure(40402, QStringLiteral("no active source with this token"));
}

} // namespace vellamor::devbackend
