#pragma once

#include "DevHttpRequest.h"
#include "DevHttpResponse.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace vellamor::devbackend {

// How to answer one request: the response, written after `delay`, or a
// dropped connection; with `trickle` the body goes out one byte per interval.
struct AnswerPlan {
    DevHttpResponse response;
    std::chrono::milliseconds delay{0};
    bool drop = false;
    std::optional<std::chrono::milliseconds> trickle;
};

// One client connection: reads HTTP/1.1 requests (Content-Length bodies,
// keep-alive, one request at a time) and writes their answers. The request
// head is only peeked until it is complete, so an Upgrade request can be
// handed over with its handshake bytes still unread. Deletes itself when the
// connection ends, or aborts it after `idleTimeout` without a byte while a
// request is awaited or being read.
class DevHttpConnection final : public QObject {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<AnswerPlan(const DevHttpRequest&)> answer;
        // Asked for every request that carries an Upgrade header: true when
        // someone takes the socket for it.
        std::function<bool(const DevHttpRequest&)> wantsUpgrade;
        std::function<void(QTcpSocket*, const DevHttpRequest&)> takeUpgrade;
        // The client went away while the answer was still pending.
        std::function<void(const DevHttpRequest&)> abandoned;
    };

    static constexpr qsizetype maxHeadSize = 64 * 1024;
    static constexpr qint64 maxBodySize = 16 * 1024 * 1024;

    DevHttpConnection(QTcpSocket* socket, Callbacks callbacks, std::chrono::milliseconds idleTimeout,
                      QObject* parent = nullptr);
    ~DevHttpConnection() override;

private:
    enum class State { readingHead, readingBody, answering, closed };

    void readAvailable();
    bool readHead();
    void dispatch();
    void deliver();
    void writeNextTrickleByte();
    void finishAnswer();
    void failAndClose(int status, const QByteArray& text);
    void onDisconnected();
    void onIdle();
    void close(bool abortive);

    QPointer<QTcpSocket> socket_;
    Callbacks callbacks_;
    State state_ = State::readingHead;
    DevHttpRequest request_;
    qint64 bodyRemaining_ = 0;
    bool keepAlive_ = true;
    AnswerPlan plan_;
    QByteArray trickleRemaining_;
    QTimer delayTimer_;
    QTimer trickleTimer_;
    QTimer idleTimer_;
};

} // namespace vellamor::devbackend
