#include "AccountActions.h"

#include "DevServer.h"
#include "StateReader.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

namespace vellamor::devbackend {

namespace {

constexpr qint64 codeLifetimeSeconds = 600;

QString timestamp(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString randomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char& byte : raw)
        byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return QString::fromLatin1(raw.toHex());
}

bool isEmailShaped(const QString& email)
{
    static const QRegularExpression shape(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    return shape.match(email).hasMatch();
}

ApiReply ok()
{
    return ApiReply::success(QJsonObject{{QStringLiteral("ok"), true}});
}

} // namespace

const QStringList AccountActions::actionNames = {
    QStringLiteral("auth.register"),      QStringLiteral("auth.verify"),
    QStringLiteral("auth.login"),         QStringLiteral("auth.requestLoginCode"),
    QStringLiteral("auth.loginWithCode"), QStringLiteral("auth.requestCode"),
    QStringLiteral("auth.verifyCode"),    QStringLiteral("auth.refresh"),
    QStringLiteral("user.me"),            QStringLiteral("auth.logout"),
};

std::shared_ptr<AccountActions> AccountActions::install(DevServer& server)
{
    auto state = std::make_shared<AccountActions>();
    state->server_ = &server;
    server.setUserLookup([state](const QString& token) { return state->userOf(token); });
    server.setStatePart(QStringLiteral("accounts"), DevServer::statePartOf(state));
    for (const QString& name : actionNames)
        server.registerAction(name, [state](const ApiCall& call) { return state->handle(call); });
    server.registerAction(QStringLiteral("dev.auth.configure"),
                          [state](const ApiCall& call) { return state->configure(call); });
    server.registerAction(QStringLiteral("dev.auth.lastCode"), [state](const ApiCall& call) {
        const auto code = state->lastCode(call.data.toObject().value(QStringLiteral("email")).toString());
        return ApiReply::success(
            QJsonObject{{QStringLiteral("code"), code ? QJsonValue(*code) : QJsonValue(QJsonValue::Null)}});
    });
    return state;
}

qint64 AccountActions::addUser(const QString& email, const QString& password)
{
    return createUser(email, password).id;
}

std::optional<qint64> AccountActions::userOf(const QString& accessToken) const
{
    const auto it = accessTokens_.constFind(accessToken);
    if (it == accessTokens_.constEnd())
        return std::nullopt;
    return it->userId;
}

QJsonObject AccountActions::saveState() const
{
    QJsonArray users;
    for (const User& user : users_) {
        QJsonObject saved = userJson(user);
        saved.insert(QStringLiteral("password"), user.password);
        users.append(saved);
    }
    QJsonArray accessTokens;
    for (auto it = accessTokens_.constBegin(); it != accessTokens_.constEnd(); ++it) {
        if (it->revoked)
            continue;
        accessTokens.append(QJsonObject { { QStringLiteral("token"), it.key() },
            { QStringLiteral("user_id"), it->userId }, { QStringLiteral("refresh_token"), it->refreshToken },
            { QStringLiteral("expires_at"), timestamp(it->expiresAt) } });
    }
    QJsonArray refreshTokens;
    for (auto it = refreshTokens_.constBegin(); it != refreshTokens_.constEnd(); ++it) {
        if (it->live)
            refreshTokens.append(
                QJsonObject { { QStringLiteral("token"), it.key() }, { QStringLiteral("user_id"), it->userId } });
    }
    return QJsonObject { { QStringLiteral("next_user_id"), nextUserId_ }, { QStringLiteral("users"), users },
        { QStringLiteral("access_tokens"), accessTokens }, { QStringLiteral("refresh_tokens"), refreshTokens } };
}

bool AccountActions::restoreState(const QJsonObject& saved)
{
    StateReader read;
    QHash<QString, User> users;
    qint64 highestUserId = StateReader::noneGiven;
    for (const QJsonObject& object : read.objects(read.array(saved, QStringLiteral("users")))) {
        User user;
        user.id = read.integer(object, QStringLiteral("id"));
        user.email = read.text(object, QStringLiteral("email"));
        user.password = read.text(object, QStringLiteral("password"));
        user.locale = read.text(object, QStringLiteral("locale"));
        user.createdAt = read.time(object, QStringLiteral("created_at"));
        user.lastLoginAt = read.optionalTime(object, QStringLiteral("last_login_at"));
        highestUserId = std::max(highestUserId, user.id);
        read.insertOnce(users, user.email, user);
    }
    QHash<QString, AccessToken> accessTokens;
    for (const QJsonObject& object : read.objects(read.array(saved, QStringLiteral("access_tokens")))) {
        read.insertOnce(accessTokens, read.text(object, QStringLiteral("token")),
            AccessToken { read.integer(object, QStringLiteral("user_id")),
                read.text(object, QStringLiteral("refresh_token")), read.time(object, QStringLiteral("expires_at")),
                false });
    }
    QHash<QString, RefreshToken> refreshTokens;
    for (const QJsonObject& object : read.objects(read.array(saved, QStringLiteral("refresh_tokens")))) {
        read.insertOnce(refreshTokens, read.text(object, QStringLiteral("token")),
            RefreshToken { read.integer(object, QStringLiteral("user_id")), true });
    }
    const qint64 nextUserId = read.nextId(saved, QStringLiteral("next_user_id"), firstUserId, highestUserId);
    if (!read.ok())
        return false;
    users_ = std::move(users);
    accessTokens_ = std::move(accessTokens);
    refreshTokens_ = std::move(refreshTokens);
    nextUserId_ = nextUserId;
    return true;
}

void AccountActions::noteStateChanged() const
{
    if (server_)
        Q_EMIT server_->stateChanged();
}

std::optional<QString> AccountActions::lastCode(const QString& email) const
{
    const auto it = lastCodes_.constFind(email);
    if (it == lastCodes_.constEnd())
        return std::nullopt;
    return *it;
}

void AccountActions::expireAccessTokens()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto& token : accessTokens_)
        token.expiresAt = now;
}

QStringList AccountActions::liveRefreshTokens() const
{
    QStringList live;
    for (auto it = refreshTokens_.constBegin(); it != refreshTokens_.constEnd(); ++it) {
        if (it->live)
            live.append(it.key());
    }
    return live;
}

void AccountActions::expireCodes()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto& pending : codes_)
        pending.expiresAt = now;
}

std::optional<AccountActions::Failure> AccountActions::takeFailure(const QString& action)
{
    for (qsizetype i = 0; i < failures_.size(); ++i) {
        Failure& failure = failures_[i];
        if (!failure.action.isEmpty() && failure.action != action)
            continue;
        Failure taken = failure;
        if (failure.times > 0 && --failure.times == 0)
            failures_.removeAt(i);
        return taken;
    }
    return std::nullopt;
}

ApiReply AccountActions::handle(const ApiCall& call)
{
    calls_[call.action] += 1;
    ApiReply reply;
    if (auto failure = takeFailure(call.action)) {
        if (failure->code != 0) {
            reply = ApiReply::failure(failure->code, failure->msg, failure->httpStatus);
        } else {
            reply = dispatch(call);
            reply.httpStatus = failure->httpStatus;
        }
    } else {
        reply = dispatch(call);
    }
    if (call.action == u"auth.refresh")
        reply.delay = refreshDelay_;
    return reply;
}

ApiReply AccountActions::dispatch(const ApiCall& call)
{
    if (call.action == u"user.me")
        return me(call);
    if (!call.data.isObject())
        return ApiReply::badRequest(QStringLiteral("bad request: data must be an object"));
    const QJsonObject data = call.data.toObject();
    QString missing;
    const auto field = [&data, &missing](const QString& key) {
        const QJsonValue value = data.value(key);
        if (!value.isString() && missing.isEmpty())
            missing = key;
        return value.toString();
    };
    const auto refuseMissing = [&missing] {
        return ApiReply::badRequest(QStringLiteral("bad request: ") + missing + QStringLiteral(" is required"));
    };

    const QString& action = call.action;
    if (action == u"auth.refresh" || action == u"auth.logout") {
        const QString token = field(QStringLiteral("refresh_token"));
        if (!missing.isEmpty())
            return refuseMissing();
        return action == u"auth.refresh" ? refresh(token) : logout(token);
    }
    const QString email = field(QStringLiteral("email"));
    if (action == u"auth.requestLoginCode" || action == u"auth.requestCode") {
        if (!missing.isEmpty())
            return refuseMissing();
        return action == u"auth.requestCode" ? requestUnifiedCode(email) : requestLoginCode(email);
    }
    const bool withPassword = action == u"auth.register" || action == u"auth.login";
    const QString secret = field(withPassword ? QStringLiteral("password") : QStringLiteral("code"));
    if (!missing.isEmpty())
        return refuseMissing();
    if (action == u"auth.register")
        return requestRegistration(email, secret);
    if (action == u"auth.verify")
        return verifyRegistration(email, secret);
    if (action == u"auth.login")
        return login(email, secret);
    if (action == u"auth.loginWithCode")
        return loginWithCode(email, secret);
    return verifyUnifiedCode(email, secret);
}

ApiReply AccountActions::configure(const ApiCall& call)
{
    const QJsonObject data = call.data.toObject();
    if (data.value(QStringLiteral("access_lifetime_s")).isDouble())
        accessLifetime_ = std::chrono::seconds(data.value(QStringLiteral("access_lifetime_s")).toInteger());
    if (data.value(QStringLiteral("refresh_delay_ms")).isDouble())
        refreshDelay_ = std::chrono::milliseconds(data.value(QStringLiteral("refresh_delay_ms")).toInteger());
    if (data.value(QStringLiteral("clear_failures")).toBool())
        clearFailures();
    if (data.value(QStringLiteral("expire_codes")).toBool())
        expireCodes();
    if (data.value(QStringLiteral("fail")).isObject()) {
        const QJsonObject wanted = data.value(QStringLiteral("fail")).toObject();
        Failure failure;
        failure.action = wanted.value(QStringLiteral("action")).toString();
        failure.code = wanted.value(QStringLiteral("code")).toInteger();
        failure.msg = wanted.value(QStringLiteral("msg")).toString(failure.msg);
        failure.httpStatus = static_cast<int>(wanted.value(QStringLiteral("http_status")).toInteger(200));
        failure.times = static_cast<int>(wanted.value(QStringLiteral("times")).toInteger(1));
        fail(failure);
    }
    if (data.value(QStringLiteral("ban")).isObject()) {
        const QJsonObject banned = data.value(QStringLiteral("ban")).toObject();
        ban(banned.value(QStringLiteral("email")).toString(), banned.value(QStringLiteral("reason")).toString());
    }
    return ok();
}

std::optional<ApiReply> AccountActions::refuseBanned(const QString& email) const
{
    const auto it = bans_.constFind(email);
    if (it == bans_.constEnd())
        return std::nullopt;
    return ApiReply::failure(40300, QStringLiteral("account banned: ") + *it, 403);
}

QString AccountActions::mailCode(const QString& email, const QString& purpose, const QString& password)
{
    const QString code = QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6, 10, QLatin1Char('0'));
    codes_.insert(email,
                  PendingCode{code, purpose, password, QDateTime::currentDateTimeUtc().addSecs(codeLifetimeSeconds)});
    lastCodes_.insert(email, code);
    std::printf("devserver: %s code for %s: %s\n", qPrintable(purpose), qPrintable(email), qPrintable(code));
    std::fflush(stdout);
    return code;
}

std::optional<ApiReply> AccountActions::checkCode(const QString& email, const QString& code, const QString& purpose,
                                                  PendingCode* passed)
{
    const auto it = codes_.find(email);
    if (it == codes_.end() || (!purpose.isEmpty() && it->purpose != purpose))
        return ApiReply::failure(40404, QStringLiteral("code expired or not requested"));
    if (QDateTime::currentDateTimeUtc() >= it->expiresAt) {
        codes_.erase(it);
        return ApiReply::failure(40404, QStringLiteral("code expired"));
    }
    if (it->code != code)
        return ApiReply::failure(40403, QStringLiteral("invalid code"));
    if (passed)
        *passed = *it;
    codes_.erase(it);
    return std::nullopt;
}

AccountActions::User& AccountActions::createUser(const QString& email, const QString& password)
{
    User user;
    user.id = nextUserId_++;
    user.email = email;
    user.password = password;
    user.createdAt = QDateTime::currentDateTimeUtc();
    User& created = *users_.insert(email, user);
    noteStateChanged();
    return created;
}

QJsonObject AccountActions::userJson(const User& user)
{
    QJsonObject object{
        {QStringLiteral("id"), user.id},
        {QStringLiteral("email"), user.email},
        {QStringLiteral("locale"), user.locale},
        {QStringLiteral("created_at"), timestamp(user.createdAt)},
    };
    if (user.lastLoginAt)
        object.insert(QStringLiteral("last_login_at"), timestamp(*user.lastLoginAt));
    return object;
}

QJsonObject AccountActions::issuePair(User& user, bool signIn)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QJsonObject userObject = userJson(user);
    if (signIn)
        user.lastLoginAt = now;

    const QString access = QStringLiteral("at_") + randomHex(16);
    const QString refresh = QStringLiteral("rt_") + randomHex(16);
    const QDateTime expiresAt = now.addSecs(accessLifetime_.count());
    accessTokens_.insert(access, AccessToken{user.id, refresh, expiresAt, false});
    refreshTokens_.insert(refresh, RefreshToken{user.id, true});
    noteStateChanged();
    return QJsonObject{
        {QStringLiteral("access_token"), access},
        {QStringLiteral("refresh_token"), refresh},
        {QStringLiteral("access_expire"), timestamp(expiresAt)},
        {QStringLiteral("user"), userObject},
    };
}

ApiReply AccountActions::requestRegistration(const QString& email, const QString& password)
{
    if (!isEmailShaped(email))
        return ApiReply::badRequest(QStringLiteral("invalid email format"));
    if (password.size() < 8 || password.size() > 128)
        return ApiReply::badRequest(QStringLiteral("password must be 8-128 characters"));
    if (users_.contains(email))
        return ApiReply::failure(40901, QStringLiteral("email already registered"));
    mailCode(email, QStringLiteral("register"), password);
    return ok();
}

ApiReply AccountActions::verifyRegistration(const QString& email, const QString& code)
{
    PendingCode pending;
    if (auto refusal = checkCode(email, code, QStringLiteral("register"), &pending))
        return *refusal;
    if (users_.contains(email))
        return ApiReply::failure(40901, QStringLiteral("email already registered"));
    return ApiReply::success(issuePair(createUser(email, pending.password), true));
}

ApiReply AccountActions::login(const QString& email, const QString& password)
{
    if (auto refusal = refuseBanned(email))
        return *refusal;
    const auto it = users_.find(email);
    if (it == users_.end() || it->password.isEmpty() || it->password != password)
        return ApiReply::badRequest(QStringLiteral("incorrect email or password"));
    return ApiReply::success(issuePair(*it, true));
}

ApiReply AccountActions::requestLoginCode(const QString& email)
{
    if (!isEmailShaped(email))
        return ApiReply::badRequest(QStringLiteral("invalid email format"));
    if (!users_.contains(email))
        return ApiReply::failure(40402, QStringLiteral("user not found"));
    if (auto refusal = refuseBanned(email))
        return *refusal;
    mailCode(email, QStringLiteral("login"));
    return ok();
}

ApiReply AccountActions::loginWithCode(const QString& email, const QString& code)
{
    if (auto refusal = refuseBanned(email))
        return *refusal;
    if (auto refusal = checkCode(email, code, QStringLiteral("login"), nullptr))
        return *refusal;
    const auto it = users_.find(email);
    if (it == users_.end())
        return ApiReply::failure(40402, QStringLiteral("user not found"));
    return ApiReply::success(issuePair(*it, true));
}

ApiReply AccountActions::requestUnifiedCode(const QString& email)
{
    if (!isEmailShaped(email))
        return ApiReply::badRequest(QStringLiteral("invalid email format"));
    if (auto refusal = refuseBanned(email))
        return *refusal;
    const QString purpose = users_.contains(email) ? QStringLiteral("login") : QStringLiteral("register");
    mailCode(email, purpose);
    return ApiReply::success(QJsonObject{{QStringLiteral("purpose"), purpose},
                                         {QStringLiteral("expires_in_seconds"), codeLifetimeSeconds}});
}

ApiReply AccountActions::verifyUnifiedCode(const QString& email, const QString& code)
{
    if (auto refusal = refuseBanned(email))
        return *refusal;
    if (auto refusal = checkCode(email, code, QString(), nullptr))
        return *refusal;
    const bool isNew = !users_.contains(email);
    User& user = isNew ? createUser(email, QString()) : *users_.find(email);
    QJsonObject pair = issuePair(user, true);
    pair.insert(QStringLiteral("is_new"), isNew);
    return ApiReply::success(pair);
}

ApiReply AccountActions::refresh(const QString& refreshToken)
{
    const auto it = refreshTokens_.find(refreshToken);
    if (it == refreshTokens_.end() || !it->live)
        return ApiReply::failure(40103, QStringLiteral("invalid refresh token"), 401);
    it->live = false;
    noteStateChanged();
    for (auto& user : users_) {
        if (user.id == it->userId) {
            if (auto refusal = refuseBanned(user.email))
                return *refusal;
            return ApiReply::success(issuePair(user, false));
        }
    }
    return ApiReply::failure(40103, QStringLiteral("invalid refresh token"), 401);
}

ApiReply AccountActions::me(const ApiCall& call)
{
    const auto bearer = call.bearerToken();
    if (!bearer)
        return ApiReply::unauthorized();
    const auto it = accessTokens_.constFind(*bearer);
    if (it == accessTokens_.constEnd())
        return ApiReply::failure(40103, QStringLiteral("invalid token"), 401);
    if (it->revoked)
        return ApiReply::failure(40102, QStringLiteral("token revoked"), 401);
    if (QDateTime::currentDateTimeUtc() >= it->expiresAt)
        return ApiReply::failure(40101, QStringLiteral("token expired"), 401);
    for (const auto& user : std::as_const(users_)) {
        if (user.id != it->userId)
            continue;
        return ApiReply::success(QJsonObject{{QStringLiteral("user"), userJson(user)}});
    }
    return ApiReply::failure(40103, QStringLiteral("invalid token"), 401);
}

ApiReply AccountActions::logout(const QString& refreshToken)
{
    const auto it = refreshTokens_.find(refreshToken);
    if (it != refreshTokens_.end()) {
        it->live = false;
        for (auto& token : accessTokens_) {
            if (token.refreshToken == refreshToken)
                token.revoked = true;
        }
        noteStateChanged();
    }
    return ok();
}

} // namespace vellamor::devbackend
