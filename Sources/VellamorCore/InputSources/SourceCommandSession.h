#pragma once

#include "InputSources/SourceCommandSessionProtocol.h"
#include "Logging/VellamorLog.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/WSMessage.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace vellamor {

// Keeps one socket to the WebSocket base URL + "v1/source-commands" open
// while started, with the bearer token when there is one, and turns every
// frame from the server into a SourceCommand on commands(). It never sends
// data frames, only pings: every heartbeat interval a tick closes the socket
// when no pong came for longer than the silence limit, otherwise pings.
// Every close uses code 1001 (going away).
//
// A receive error, a failed ping or a pong time-out of the current socket
// closes it and schedules one reconnect after the next back-off step (1, 2,
// 4, 8, 15 s, the last repeating); start() and every message received reset
// the steps. Frames that do not decode are logged and dropped, binary ones
// that are not UTF-8 too (never decoded with replacement characters).
//
// A connection attempt that was stopped or superseded while its token was
// on the way opens nothing, so a signed-out account keeps no socket that
// could insert text into the next account's history. Failures reported by a
// socket that is no longer the current one change nothing, and a cancelled
// reconnect wait ends without connecting: late news of an old socket must
// not close a healthy new one. Lives on the main thread.
class SourceCommandSession final : public QObject, public SourceCommandSessionProtocol {
public:
    struct Timing {
        std::chrono::milliseconds heartbeatInterval{15000};
        // A tick closes the socket only when the silence is strictly longer.
        std::chrono::milliseconds pongSilenceLimit{20000};
        // Never empty.
        std::vector<std::chrono::milliseconds> backoffSteps{std::chrono::seconds(1), std::chrono::seconds(2),
                                                            std::chrono::seconds(4), std::chrono::seconds(8),
                                                            std::chrono::seconds(15)};
        std::chrono::milliseconds handshakeTimeout{60000};
    };

    // The session's time: a monotonic now, and sleeps on the same clock that
    // return false when cut short by a stop request.
    struct Clock {
        std::function<std::chrono::steady_clock::time_point()> now;
        SleepFunction sleep;

        static Clock system();
    };

    // The level a frame that does not decode is logged at.
    enum class DecodeFailureLevel { error, warn };

    // Default log, timings and the system clock.
    SourceCommandSession(const QUrl& wsBaseURL, AccessTokenProvider tokenProvider, QObject* parent = nullptr);
    SourceCommandSession(const QUrl& wsBaseURL, AccessTokenProvider tokenProvider, VellamorLog log, Timing timing,
                         Clock clock, QObject* parent = nullptr);
    // Closes the socket, ends every task and finishes the command stream, so
    // its consumer is not left waiting on a session that is gone.
    ~SourceCommandSession() override;

    // Subsystem "com.vellamor.app", category "source-cmd".
    static VellamorLog defaultLog();
    // error only for a present type that is one of SourceCommand::knownTypes().
    static DecodeFailureLevel decodeFailureLevel(const std::optional<QString>& typeField);

    const QUrl& wsURL() const { return wsURL_; }

    // Returns once the first connection attempt has started (its token
    // fetched); the handshake is not awaited. A second start only logs.
    QCoro::Task<void> start() override;
    // Cancels every task and closes the socket; the stream stays open.
    QCoro::Task<void> stop() override;
    SourceCommandStream commands() override;

private:
    struct Socket;

    QCoro::Task<void> connectOnce();
    std::shared_ptr<Socket> openSocket(const std::optional<QString>& token);
    void wire(const std::shared_ptr<Socket>& socket);
    // Whatever ends a socket fails its receive side and its unanswered pings.
    void endSocket(const std::shared_ptr<Socket>& socket, const std::exception_ptr& error);
    void closeCurrent();
    void cancelAllTasks();
    void scheduleReconnect(const QString& reason);
    void startReceiveLoop(const std::shared_ptr<Socket>& socket);
    void startHeartbeat(const std::shared_ptr<Socket>& socket);
    void tickHeartbeat(const std::shared_ptr<Socket>& socket);
    void handlePongResult(const std::shared_ptr<Socket>& socket, const std::exception_ptr& error);
    // False when the socket is no longer the current one: its loop ends.
    bool handleMessage(const std::shared_ptr<Socket>& socket, const WSMessage& message);
    void handleReceiveFailure(const std::shared_ptr<Socket>& socket, const std::exception_ptr& error);
    void decodeAndYield(const QString& text);

    static QCoro::Task<void> receiveLoop(QPointer<SourceCommandSession> self, std::shared_ptr<Socket> socket,
                                         std::stop_token token);
    static QCoro::Task<void> heartbeat(QPointer<SourceCommandSession> self, std::shared_ptr<Socket> socket,
                                       Clock clock, std::chrono::milliseconds interval, std::stop_token token);
    static QCoro::Task<void> reconnectAfter(QPointer<SourceCommandSession> self, std::chrono::milliseconds delay,
                                            Clock clock, std::uint64_t serial, std::stop_token token);

    QUrl wsURL_;
    AccessTokenProvider tokenProvider_;
    VellamorLog log_;
    Timing timing_;
    Clock clock_;

    std::shared_ptr<Socket> current_;
    TaskHandle receiveLoopTask_;
    TaskHandle heartbeatTask_;
    TaskHandle reconnectTask_;
    std::optional<SourceCommandStream> stream_;
    bool running_ = false;
    // Set when each socket is created; never read before that.
    std::chrono::steady_clock::time_point lastPongAt_{};
    std::size_t backoffIndex_ = 0;
    // Bumped by stop() and by every connection attempt, so an attempt that
    // resumes after either knows it has been overtaken.
    std::uint64_t connectGeneration_ = 0;
    // Identifies the pending reconnect, so only that task forgets it.
    std::uint64_t reconnectSerial_ = 0;
};

} // namespace vellamor
