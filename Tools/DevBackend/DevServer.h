#pragma once

#include "ApiAction.h"
#include "DevHttpConnection.h"
#include "DevHttpRequest.h"
#include "ScriptedAnswer.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <deque>
#include <functional>

namespace vellamor::devbackend {

// The local development backend's HTTP side, on 127.0.0.1 only. Usable in a
// test process (listen on port 0, read port()) or from the executable.
//
// Routes:
// - POST …/v1/api.json (any path ending so, so base URLs with a path work):
//   the remote-procedure envelope {"action", "data"} answered with
//   {"code", "msg", "data"} by the handler registered for the action.
//   Not an object with a string "action": HTTP 400, code 40001. Unknown
//   action: code 40401. A handler that throws: HTTP 500, code 50000.
// - POST /test/script: one ScriptedAnswer in its JSON form, or an array of
//   them, appended to the script queue. POST /test/reset: clears scripts
//   and every record (requests here, sessions of the endpoints).
// - Upgrade requests (the ASR WebSocket) for a path registered with
//   registerUpgrade: the socket is handed over with its handshake unread.
// - Pages for a browser at paths registered with registerPage (GET and POST).
// Scripts are consulted before the normal routes (except /test/…).
// A connection that sends nothing for idleTimeout() while it owes a request
// is closed: a client that never finishes must not hold the server.
class DevServer final : public QObject {
    Q_OBJECT
public:
    using UpgradeHandler = std::function<void(QTcpSocket* socket, const DevHttpRequest& head)>;

    explicit DevServer(QObject* parent = nullptr);
    ~DevServer() override;

    bool listen(quint16 port = 0);
    bool isListening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    QString errorString() const { return server_.errorString(); }
    // "http://<host>:<port>/", e.g. with "localhost" for a second origin.
    QUrl baseURL(const QString& host = QStringLiteral("127.0.0.1")) const;

    // One handler per action; registering a name again replaces its handler.
    void registerAction(const QString& action, ActionHandler handler);
    bool hasAction(const QString& action) const { return actions_.contains(action); }

    void registerUpgrade(const QString& path, UpgradeHandler handler);

    // The handler answers every method; a request with a query is matched by its path.
    using PageHandler = std::function<DevHttpResponse(const DevHttpRequest& request)>;
    void registerPage(const QString& path, PageHandler handler);

    // The account a bearer token speaks for, under which the services file
    // what it keeps: "user:<id>" for a token the sign-in issued (so every
    // session and refresh of one account shares it), "token:<token>" for any
    // other, which lets tests call with made-up tokens, each an account of
    // its own.
    QString accountOf(const QString& token) const;
    // The user a sign-in token belongs to; replaced by whoever issues them.
    using UserLookup = std::function<std::optional<qint64>(const QString& token)>;
    void setUserLookup(UserLookup lookup) { userLookup_ = std::move(lookup); }

    // What a restarted executable keeps when given a state file
    // (DevStateFile), one named part per service. `restore` of {} empties
    // the part; false means the object was not one the part saved. A part
    // emits stateChanged() after each change.
    struct StatePart {
        std::function<QJsonObject()> save;
        std::function<bool(const QJsonObject&)> restore;
    };
    // Registering a name again replaces its part.
    void setStatePart(const QString& name, StatePart part) { stateParts_.insert(name, std::move(part)); }
    // The part of a service with saveState() and restoreState(), reached through `holder`.
    template<typename Holder>
    static StatePart statePartOf(Holder holder)
    {
        return StatePart{[holder] { return holder->saveState(); },
                         [holder](const QJsonObject& saved) { return holder->restoreState(saved); }};
    }
    const QMap<QString, StatePart>& stateParts() const { return stateParts_; }

    void script(ScriptedAnswer answer);
    void clearScripts() { scripts_.clear(); }
    qsizetype pendingScripts() const { return static_cast<qsizetype>(scripts_.size()); }

    // The newest maxRecordedRequests requests received, /test/… control
    // requests aside, in order.
    static constexpr qsizetype maxRecordedRequests = 256;
    const QList<DevHttpRequest>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }

    // The time by the server's clock: the real time moved by the skew, which
    // plays a server whose clock is off. The input-source times and every
    // answer's Date header (unless a script sets one) read it.
    QDateTime now() const;
    void setClockSkew(std::chrono::seconds skew) { clockSkew_ = skew; }

    static constexpr std::chrono::milliseconds defaultIdleTimeout{30000};
    std::chrono::milliseconds idleTimeout() const { return idleTimeout_; }
    // Applies to connections accepted from now on.
    void setIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }
    // Requests whose client went away before their answer was written.
    int abandonedCount() const { return abandonedCount_; }

    // Connections open at once, upgraded ones included; one past the limit
    // is closed as soon as it is accepted. By default it leaves room under
    // the process's limit of open files for everything else the server
    // opens: a process out of descriptors can accept nothing more, ever,
    // and the sanitizers' own checks fail in it.
    static int defaultMaxOpenConnections();
    int openConnections() const { return openConnections_; }
    void setMaxOpenConnections(int limit) { maxOpenConnections_ = limit; }

    static const QString testScriptPath;
    static const QString testResetPath;

    // The remote-procedure action of a request, when it is a POST to the
    // endpoint with an object body holding a string "action".
    static std::optional<QString> apiAction(const DevHttpRequest& request);
    static bool isApiPath(const QString& path);

Q_SIGNALS:
    void requestReceived(const QString& method, const QString& path);
    void requestAbandoned(const QString& path);
    // POST /test/reset: whoever keeps records for tests drops them.
    void recordsReset();
    // A state part changed.
    void stateChanged();

private:
    void acceptConnections();
    AnswerPlan answer(const DevHttpRequest& request);
    AnswerPlan route(const DevHttpRequest& request);
    AnswerPlan answerApi(const DevHttpRequest& request);
    AnswerPlan answerControl(const DevHttpRequest& request);
    void record(const DevHttpRequest& request);
    std::optional<ScriptedAnswer> takeScript(const DevHttpRequest& request);

    QTcpServer server_;
    QHash<QString, ActionHandler> actions_;
    QHash<QString, UpgradeHandler> upgrades_;
    QHash<QString, PageHandler> pages_;
    UserLookup userLookup_;
    QMap<QString, StatePart> stateParts_;
    std::deque<ScriptedAnswer> scripts_;
    QList<DevHttpRequest> requests_;
    int abandonedCount_ = 0;
    int openConnections_ = 0;
    int maxOpenConnections_ = defaultMaxOpenConnections();
    bool acceptingPaused_ = false;
    std::chrono::milliseconds idleTimeout_ = defaultIdleTimeout;
    std::chrono::seconds clockSkew_{0};
    // Hears the sockets' ends; gone before the sockets are, with this server.
    QObject socketWatch_;
};

} // namespace vellamor::devbackend
