#include "DevInputSources.h"
#include "DevStateFile.h"
#include "Networking/AuthedSession.h"
#include "Support/Async/RunBlocking.h"

#include "BrowserRequest.h"
#include "LiveServerFixture.h"
#include "WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>
#include <memory>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vellamor;
using devbackend::DevInputSources;
using devbackend::DevServer;
using devbackend::DevStateFile;
using vellamor::test::waitUntil;

namespace
{

// A devserver of the test's own, optionally keeping its state in a file.
struct Backend {
    explicit Backend(const QString& stateFile = {})
    {
        devbackend::installDefaultActions(server);
        if (!stateFile.isEmpty()) {
            auto* file = new DevStateFile(server, stateFile, [this](const QString& line) { console.append(line); });
            file->load();
        }
        EXPECT_TRUE(server.listen(0));
    }

    // The reply's "data", or the whole reply when the call failed.
    QJsonObject call(const QString& action, const QJsonObject& data = {}, const QString& token = {}) const
    {
        HTTPRequest request
            = test::LiveServerTest::echoRequest(server.baseURL().resolved(QUrl(QStringLiteral("v1/api.json"))));
        request.body
            = QJsonDocument(QJsonObject { { QStringLiteral("action"), action }, { QStringLiteral("data"), data } })
                  .toJson(QJsonDocument::Compact);
        if (!token.isEmpty())
            request.headers.set(QStringLiteral("Authorization"), QStringLiteral("Bearer ") + token);
        const QJsonObject reply = QJsonDocument::fromJson(runBlocking(session->data(request)).data).object();
        return reply.value(QStringLiteral("code")).toInteger(-1) == 0 ? reply.value(QStringLiteral("data")).toObject()
                                                                      : reply;
    }

    // A sign-in pair of `email`, by the code the server mailed.
    QJsonObject signIn(const QString& email) const
    {
        call(QStringLiteral("auth.requestCode"), { { QStringLiteral("email"), email } });
        const QString code = call(QStringLiteral("dev.auth.lastCode"), { { QStringLiteral("email"), email } })
                                 .value(QStringLiteral("code"))
                                 .toString();
        return call(QStringLiteral("auth.verifyCode"),
            { { QStringLiteral("email"), email }, { QStringLiteral("code"), code } });
    }

    // The records, dictionary entries and sources the token's account has.
    std::array<qsizetype, 3> seenBy(const QString& token) const
    {
        const auto count = [&](const QString& action, const QJsonObject& data, const QString& key) {
            return call(action, data, token).value(key).toArray().size();
        };
        return { count(QStringLiteral("history.list"), { { QStringLiteral("limit"), 10 } }, QStringLiteral("entries")),
            count(QStringLiteral("dictionary.list"), {}, QStringLiteral("entries")),
            count(QStringLiteral("inputSource.list"), {}, QStringLiteral("items")) };
    }

    // A history record, a dictionary entry and a confirmed phone for the
    // token's account; the phone's token.
    QString fill(const QString& token)
    {
        call(QStringLiteral("history.append"),
            { { QStringLiteral("client_id"), QStringLiteral("C-1") },
                { QStringLiteral("text"), QStringLiteral("你好") },
                { QStringLiteral("recognized_text"), QStringLiteral("你好") },
                { QStringLiteral("polished_text"), QString() },
                { QStringLiteral("source_app"), QStringLiteral("org.app") }, { QStringLiteral("created_at"), 1000 } },
            token);
        call(QStringLiteral("dictionary.upsert"),
            { { QStringLiteral("term"), QStringLiteral("术语") },
                { QStringLiteral("phonetic"), QStringLiteral("shu yu") }, { QStringLiteral("note"), QString() } },
            token);
        const QString code
            = call(QStringLiteral("inputSource.createPairing"), {}, token).value(QStringLiteral("code")).toString();
        const auto phone = DevInputSources::of(server)->claim(code, QStringLiteral("Pixel"));
        EXPECT_TRUE(phone);
        call(QStringLiteral("inputSource.confirmPairing"),
            { { QStringLiteral("source_id"), phone ? phone->sourceID : -1 }, { QStringLiteral("accept"), true } },
            token);
        return phone ? phone->sourceToken : QString();
    }

    // A source-command socket of the token's account and the frames it hears.
    std::pair<std::unique_ptr<QWebSocket>, std::shared_ptr<QStringList>> listen(const QString& token) const
    {
        auto socket = std::make_unique<QWebSocket>();
        auto frames = std::make_shared<QStringList>();
        QObject::connect(
            socket.get(), &QWebSocket::textMessageReceived, [frames](const QString& frame) { frames->append(frame); });
        QUrl url = server.baseURL();
        url.setScheme(QStringLiteral("ws"));
        url.setPath(QStringLiteral("/v1/source-commands"));
        QNetworkRequest request(url);
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        socket->open(request);
        EXPECT_TRUE(waitUntil([&] { return socket->state() == QAbstractSocket::ConnectedState; }));
        return { std::move(socket), frames };
    }

    // A browser's request for a page, or its post of a form; redirects on
    // the same origin are followed.
    HTTPResult browse(const QString& target, const QList<std::pair<QString, QString>>& form = {}) const
    {
        return runBlocking(session->data(test::browserRequest(server.baseURL().resolved(QUrl(target)), form)));
    }

    DevServer server;
    QStringList console;
    std::shared_ptr<AuthedSession> session = std::make_shared<AuthedSession>();
};

QString text(const QJsonObject& object, const char* key)
{
    return object.value(QLatin1String(key)).toString();
}

QString page(const HTTPResult& answer)
{
    return QString::fromUtf8(answer.data);
}

qint64 userID(const QJsonObject& pair)
{
    return pair.value(QStringLiteral("user")).toObject().value(QStringLiteral("id")).toInteger(-1);
}

// `node` with the member or element at `path` ("parts/accounts/users/0/id")
// set to `value`; an undefined value removes a member.
QJsonValue replaced(const QJsonValue& node, QStringView path, const QJsonValue& value)
{
    const qsizetype slash = path.indexOf(u'/');
    const QString key = path.left(slash).toString();
    const auto inner = [&](const QJsonValue& old) { return replaced(old, path.mid(slash + 1), value); };
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const int index = key.toInt();
        EXPECT_LT(index, array.size()) << "no element " << index;
        array[index] = slash < 0 ? value : inner(array.at(index));
        return array;
    }
    QJsonObject object = node.toObject();
    EXPECT_TRUE(object.contains(key)) << "no member " << key.toStdString();
    if (slash >= 0)
        object.insert(key, inner(object.value(key)));
    else if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return object;
}

constexpr std::array<qsizetype, 3> everything { 1, 1, 1 };
constexpr std::array<qsizetype, 3> nothing { 0, 0, 0 };

TEST(DevServerAccounts, AnAccountsDataFollowsTheAccountOverItsSessionsAndNoOneElseSeesIt)
{
    Backend backend;
    const QJsonObject first = backend.signIn(QStringLiteral("a@example.com"));
    backend.fill(text(first, "access_token"));
    struct Case {
        const char* who;
        std::function<QString()> token;
        std::array<qsizetype, 3> sees;
    };
    const std::array cases {
        Case { "a second session",
            [&] { return text(backend.signIn(QStringLiteral("a@example.com")), "access_token"); }, everything },
        Case { "a refreshed session",
            [&] {
                return text(backend.call(QStringLiteral("auth.refresh"),
                                { { QStringLiteral("refresh_token"), text(first, "refresh_token") } }),
                    "access_token");
            },
            everything },
        Case { "another account", [&] { return text(backend.signIn(QStringLiteral("b@example.com")), "access_token"); },
            nothing },
        Case { "a made-up token", [] { return QStringLiteral("at_made_up"); }, nothing },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        const QString token = c.token();
        ASSERT_FALSE(token.isEmpty());
        EXPECT_EQ(backend.seenBy(token), c.sees);
    }

    // The command socket of a later session hears of the account's pairings;
    // another account's socket does not.
    const auto [ownSocket, ownFrames]
        = backend.listen(text(backend.signIn(QStringLiteral("a@example.com")), "access_token"));
    const QString other = text(backend.signIn(QStringLiteral("b@example.com")), "access_token");
    const auto [otherSocket, otherFrames] = backend.listen(other);
    auto* phones = DevInputSources::of(backend.server);
    ASSERT_TRUE(phones->claim(
        text(backend.call(QStringLiteral("inputSource.createPairing"), {}, text(first, "access_token")), "code"),
        QStringLiteral("Pixel 2")));
    ASSERT_TRUE(waitUntil([&] { return ownFrames->size() == 1; }));
    EXPECT_TRUE(ownFrames->first().contains(QStringLiteral("pairing_request")));
    // Frames keep their order: the other account's own one comes first only
    // when it got none of the first account's.
    ASSERT_TRUE(phones->claim(
        text(backend.call(QStringLiteral("inputSource.createPairing"), {}, other), "code"), QStringLiteral("Other")));
    ASSERT_TRUE(waitUntil([&] { return !otherFrames->isEmpty(); }));
    EXPECT_TRUE(otherFrames->first().contains(QStringLiteral("Other")));
}

TEST(DevServerAccounts, TheStateFileOutlivesTheServer)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("state/devserver.json"));
    QJsonObject first;
    QString phone;
    qint64 otherID = 0;
    {
        Backend before(path);
        first = before.signIn(QStringLiteral("a@example.com"));
        phone = before.fill(text(first, "access_token"));
        otherID = userID(before.signIn(QStringLiteral("b@example.com")));
    }
    Backend after(path);
    EXPECT_TRUE(after.console.isEmpty()) << after.console.join(u'\n').toStdString();

    struct Case {
        const char* who;
        std::function<QJsonObject()> pair;
        qint64 user;
        std::array<qsizetype, 3> sees;
    };
    const std::array cases {
        Case { "the session from before", [&] { return first; }, userID(first), everything },
        Case { "its refresh",
            [&] {
                return after.call(QStringLiteral("auth.refresh"),
                    { { QStringLiteral("refresh_token"), text(first, "refresh_token") } });
            },
            userID(first), everything },
        Case { "the address signing in again", [&] { return after.signIn(QStringLiteral("a@example.com")); },
            userID(first), everything },
        Case { "the other address again", [&] { return after.signIn(QStringLiteral("b@example.com")); }, otherID,
            nothing },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        const QJsonObject pair = c.pair();
        EXPECT_EQ(userID(pair), c.user);
        EXPECT_EQ(after.seenBy(text(pair, "access_token")), c.sees);
    }
    const qint64 newID = userID(after.signIn(QStringLiteral("c@example.com")));
    EXPECT_GT(newID, std::max(userID(first), otherID)) << "a new address took an id given before the restart";
    EXPECT_TRUE(DevInputSources::of(after.server)->sendText(phone, QStringLiteral("still paired")));
}

TEST(DevServerAccounts, TheStateFileIsTheOwnersAloneFromItsFirstSave)
{
    QTemporaryDir folder;
    const QString name = QStringLiteral("devserver.json");
    // What happens under the state file's name, in order: a mode changed
    // after the file took the name means the name showed another one first.
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(events, 0);
    ASSERT_GE(
        ::inotify_add_watch(events, QFile::encodeName(folder.path()).constData(), IN_CREATE | IN_MOVED_TO | IN_ATTRIB),
        0);
    // A file created plainly under this umask is 0644.
    const mode_t umaskBefore = ::umask(022);
    QStringList console;
    bool saved = false;
    {
        DevServer server;
        saved = DevStateFile(server, folder.filePath(name), [&](const QString& line) { console.append(line); }).save();
    }
    ::umask(umaskBefore);
    ASSERT_TRUE(saved) << console.join(u'\n').toStdString();
    QStringList seen;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t size; (size = ::read(events, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && QFile::decodeName(event->name) == name)
                seen.append(event->mask & IN_ATTRIB ? QStringLiteral("changed") : QStringLiteral("named"));
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    ::close(events);
    EXPECT_EQ(seen, QStringList { QStringLiteral("named") });
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.filePath(name)).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(DevServerAccounts, ADamagedStateFileIsSetAsideAndTheServerStartsEmpty)
{
    QByteArray valid;
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("devserver.json"));
        {
            Backend backend(path);
            backend.fill(text(backend.signIn(QStringLiteral("a@example.com")), "access_token"));
            backend.signIn(QStringLiteral("b@example.com"));
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        valid = file.readAll();
    }
    // Whole parts read back before the damaged one must not stay either.
    QByteArray lastPartDamaged = valid;
    lastPartDamaged.replace("\"next_source_id\":", "\"next_source_id\":\"2\",\"was\":");
    ASSERT_NE(lastPartDamaged, valid);
    // Each file and what the trace calls it.
    QList<std::pair<QByteArray, std::string>> damaged;
    for (const QByteArray& content :
        { valid.left(valid.size() / 2), QByteArray("[]"), QByteArray(R"({"format":2,"parts":{}})"),
            QByteArray(R"({"format":1,"parts":{"accounts":[]}})"), lastPartDamaged })
        damaged.append({ content, content.left(80).toStdString() });
    // Files that read but cannot be gone on from. Ids: accounts 1001 and
    // 1002, a record 1 and an entry 2 (versions 1 and 2), a source 1.
    const QJsonValue address = QStringLiteral("a@example.com");
    const QJsonValue top = std::numeric_limits<qint64>::max();
    const QJsonValue absent = QJsonValue::Undefined;
    const auto firstToken = [saved = QJsonDocument::fromJson(valid)](QStringView list) {
        return saved[u"parts"][u"accounts"][list][0][u"token"];
    };
    const auto twice = [saved = QJsonDocument::fromJson(valid).object()](const char* where) {
        QJsonValue node = saved;
        for (const QString& key : QString::fromLatin1(where).split(u'/'))
            node = node.isArray() ? node[key.toInt()] : node[key];
        return QJsonArray { node[0], node[0] };
    };
    struct Edit {
        const char* why;
        QList<std::pair<const char*, QJsonValue>> changes;
    };
    const std::array edits {
        Edit { "two users of one address",
            { { "parts/accounts/users/0/email", address }, { "parts/accounts/users/1/email", address } } },
        Edit { "a session listed twice", { { "parts/accounts/access_tokens/1/token", firstToken(u"access_tokens") } } },
        Edit { "a refresh token listed twice",
            { { "parts/accounts/refresh_tokens/1/token", firstToken(u"refresh_tokens") } } },
        Edit { "records without their counter", { { "parts/data/next_id", absent } } },
        Edit { "sources without their counter", { { "parts/input_sources/next_source_id", absent } } },
        Edit { "account counter at the top", { { "parts/accounts/next_user_id", top } } },
        Edit { "record counter at the top", { { "parts/data/next_id", top } } },
        Edit { "source counter at the top", { { "parts/input_sources/next_source_id", top } } },
        Edit { "an account id at the top", { { "parts/accounts/users/0/id", top } } },
        Edit { "account counter at a given id", { { "parts/accounts/next_user_id", 1002 } } },
        Edit { "record counter at a given id", { { "parts/data/next_id", 2 } } },
        Edit { "source counter at a given id", { { "parts/input_sources/next_source_id", 1 } } },
        Edit { "version below a record's", { { "parts/data/accounts/user:1001/version", 1 } } },
        Edit { "version at the top", { { "parts/data/accounts/user:1001/version", top } } },
        Edit { "update time at the top", { { "parts/data/accounts/user:1001/last_update", top } } },
        Edit { "texts sent at the top", { { "parts/input_sources/sources/0/sent_texts", top } } },
        Edit { "a record listed twice",
            { { "parts/data/accounts/user:1001/history", twice("parts/data/accounts/user:1001/history") } } },
        Edit { "an entry with a record's id", { { "parts/data/accounts/user:1001/dictionary/0/id", 1 } } },
        Edit { "a source listed twice", { { "parts/input_sources/sources", twice("parts/input_sources/sources") } } },
        Edit { "one source token under two ids",
            { { "parts/input_sources/sources", twice("parts/input_sources/sources") },
                { "parts/input_sources/sources/1/id", 2 }, { "parts/input_sources/next_source_id", 3 } } },
    };
    for (const Edit& edit : edits) {
        QJsonValue root = QJsonDocument::fromJson(valid).object();
        for (const auto& [where, value] : edit.changes)
            root = replaced(root, QString::fromLatin1(where), value);
        damaged.append({ QJsonDocument(root.toObject()).toJson(QJsonDocument::Compact), edit.why });
    }
    for (const auto& [content, what] : damaged) {
        SCOPED_TRACE(what);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("devserver.json"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        const Backend backend(path);
        ASSERT_EQ(backend.console.size(), 1);
        EXPECT_TRUE(backend.console.first().contains(QStringLiteral("set aside")))
            << backend.console.first().toStdString();
        const QStringList aside = QDir(folder.path()).entryList({ QStringLiteral("devserver.json.damaged-*") });
        ASSERT_EQ(aside.size(), 1);
        QFile kept(folder.filePath(aside.first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), content);
        const auto saved = [&](const char* part, const char* key) {
            return backend.server.stateParts().value(QLatin1String(part)).save().value(QLatin1String(key));
        };
        EXPECT_TRUE(saved("accounts", "users").toArray().isEmpty());
        EXPECT_TRUE(saved("data", "accounts").toObject().isEmpty());
        EXPECT_TRUE(saved("input_sources", "sources").toArray().isEmpty());

        // The server goes on, numbering accounts afresh, and keeps what comes next.
        EXPECT_EQ(userID(backend.signIn(QStringLiteral("z@example.com"))), 1001);
        EXPECT_TRUE(QFile::exists(path));
    }
}

TEST(DevServerPairingPage, ABrowserClaimsTheCodeAndSendsTextAsThePhone)
{
    Backend backend;
    const QString token = text(backend.signIn(QStringLiteral("a@example.com")), "access_token");
    const auto newCode
        = [&] { return text(backend.call(QStringLiteral("inputSource.createPairing"), {}, token), "code"); };
    const auto [socket, frames] = backend.listen(token);
    const QString code = newCode();

    const HTTPResult form = backend.browse(QStringLiteral("/pair?code=") + code);
    EXPECT_EQ(form.response.statusCode, 200);
    EXPECT_TRUE(page(form).contains(QStringLiteral("name=\"code\" value=\"") + code + u'"'));
    EXPECT_TRUE(page(form).contains(QStringLiteral("value=\"我的手机\"")));

    const QString name = QStringLiteral("<b>Pixel</b> & \"1\"");
    const HTTPResult bound = backend.browse(
        QStringLiteral("/pair"), { { QStringLiteral("code"), code }, { QStringLiteral("name"), name } });
    EXPECT_EQ(bound.response.statusCode, 200);
    EXPECT_EQ(bound.response.url.path(), QStringLiteral("/pair/source"));
    EXPECT_TRUE(bound.data.contains("&lt;b&gt;Pixel&lt;/b&gt; &amp; &quot;1&quot;"));
    EXPECT_FALSE(bound.data.contains("<b>Pixel"));
    ASSERT_TRUE(waitUntil([&] { return !frames->isEmpty(); }));
    EXPECT_TRUE(frames->first().contains(QStringLiteral("pairing_request")));
    const QJsonObject source = backend.call(QStringLiteral("inputSource.list"), {}, token)
                                   .value(QStringLiteral("items"))
                                   .toArray()
                                   .first()
                                   .toObject();
    EXPECT_EQ(text(source, "kind"), QStringLiteral("web"));
    EXPECT_EQ(text(source, "friendly_name"), name);
    EXPECT_EQ(text(source, "status"), QStringLiteral("pending"));

    const QString sourceToken = QUrlQuery(bound.response.url).queryItemValue(QStringLiteral("token"));
    const QString said = QStringLiteral("<i>你好</i> 1+1");
    const auto say = [&] {
        return backend.browse(QStringLiteral("/pair/source"),
            { { QStringLiteral("token"), sourceToken }, { QStringLiteral("text"), said } });
    };
    // As the page's own script sends: the notice alone, and the page stays.
    const auto send = [&](const QString& what) {
        HTTPRequest request
            = test::browserRequest(backend.server.baseURL().resolved(QUrl(QStringLiteral("/pair/source"))),
                { { QStringLiteral("token"), sourceToken }, { QStringLiteral("text"), what } });
        request.headers.set(QStringLiteral("Accept"), QStringLiteral("text/plain"));
        const HTTPResult answer = runBlocking(backend.session->data(request));
        return std::pair { *answer.response.statusCode, QString::fromUtf8(answer.data) };
    };
    EXPECT_TRUE(page(say()).contains(QStringLiteral("等待确认"))) << "sent before the desktop confirmed";
    EXPECT_EQ(send(said), std::pair(409, QStringLiteral("这台设备还未绑定，文字没有发出。")));
    backend.call(QStringLiteral("inputSource.confirmPairing"),
        { { QStringLiteral("source_id"), source.value(QStringLiteral("id")) }, { QStringLiteral("accept"), true } },
        token);
    EXPECT_TRUE(
        page(backend.browse(QStringLiteral("/pair/source?token=") + sourceToken)).contains(QStringLiteral("已绑定")));
    EXPECT_TRUE(page(say()).contains(QStringLiteral("已发送：&lt;i&gt;你好&lt;/i&gt; 1+1")));
    EXPECT_EQ(send(QStringLiteral("page send test")), std::pair(200, QStringLiteral("已发送：page send test")));
    EXPECT_EQ(send(QStringLiteral(" \n")), std::pair(400, QStringLiteral("请先输入文字。")));
    ASSERT_TRUE(waitUntil([&] { return frames->size() == 4; })) << frames->join(u'\n').toStdString();
    const auto sent = [&](qsizetype frame) {
        return QJsonDocument::fromJson(frames->at(frame).toUtf8()).object().value(QStringLiteral("text")).toString();
    };
    EXPECT_EQ(sent(2), said);
    EXPECT_EQ(sent(3), QStringLiteral("page send test"));

    auto* phones = DevInputSources::of(backend.server);
    const QString expired = newCode();
    phones->expirePairings();
    struct Case {
        const char* what;
        QString code;
        int status;
        QString title;
    };
    const std::array cases {
        Case { "unknown", QStringLiteral("abc"), 404, QStringLiteral("配对码无效") },
        Case { "claimed", code, 409, QStringLiteral("配对码已被使用") },
        Case { "expired", expired, 410, QStringLiteral("配对码已过期") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const HTTPResult& answer : { backend.browse(QStringLiteral("/pair?code=") + c.code),
                 backend.browse(QStringLiteral("/pair"),
                     { { QStringLiteral("code"), c.code }, { QStringLiteral("name"), name } }) }) {
            EXPECT_EQ(answer.response.statusCode, c.status);
            EXPECT_TRUE(page(answer).contains(QStringLiteral("<h1>") + c.title));
        }
    }
    EXPECT_EQ(
        backend.call(QStringLiteral("inputSource.list"), {}, token).value(QStringLiteral("items")).toArray().size(), 1);
    EXPECT_EQ(backend.browse(QStringLiteral("/pair/source?token=nope")).response.statusCode, 404);
}

// The name a browser gives is trimmed to 64 characters as a reader counts
// them: never half of an emoji, a flag or an accented letter.
TEST(DevServerPairingPage, TheDeviceNameIsCutBetweenCharacters)
{
    Backend backend;
    const QString token = text(backend.signIn(QStringLiteral("a@example.com")), "access_token");
    const QString letters(63, u'a');
    struct Case {
        QString given;
        QString kept;
    };
    const std::array cases {
        Case { letters + QStringLiteral("😀"), letters + QStringLiteral("😀") },
        Case { letters + QStringLiteral("👍🏽b"), letters + QStringLiteral("👍🏽") },
        Case { letters + QStringLiteral("🇨🇳🇨🇳"), letters + QStringLiteral("🇨🇳") },
        Case { letters + QStringLiteral("ae\u0301"), letters + u'a' },
        Case { QStringLiteral("  名字 "), QStringLiteral("名字") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept.toStdString());
        const QString code = text(backend.call(QStringLiteral("inputSource.createPairing"), {}, token), "code");
        backend.browse(
            QStringLiteral("/pair"), { { QStringLiteral("code"), code }, { QStringLiteral("name"), c.given } });
        const QJsonArray items
            = backend.call(QStringLiteral("inputSource.list"), {}, token).value(QStringLiteral("items")).toArray();
        EXPECT_EQ(text(items.last().toObject(), "friendly_name"), c.kept);
    }
}

} // namespace
