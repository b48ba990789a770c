#pragma once

#include "Networking/WebSocketTransport.h"

#include <QList>
#include <QStringList>

#include <exception>
#include <functional>
#include <optional>

namespace vellamor::test {

// A transport driven by the test. It records every call in order
// ("connect <url>", "send text <text>", "send binary <n>", "close"), keeps the
// messages sent, and lets the test feed the incoming stream, hold connect or
// a send until released, and make sends fail.
class RecordingWebSocketTransport final : public WebSocketTransport {
public:
    QCoro::Task<void> connect(QUrl url, std::optional<QString> bearerToken) override;
    QCoro::Task<void> send(WSMessage message) override;
    QCoro::Task<void> close() override;
    WSIncomingStream incoming() override;

    // The next connect() waits until releaseConnect().
    void holdNextConnect() { holdConnect_ = true; }
    void releaseConnect();
    bool isConnectHeld() const { return connectGate_.has_value(); }
    // Thrown by every later connect() until cleared.
    void setConnectError(std::exception_ptr error) { connectError_ = std::move(error); }

    // The next send() waits until releaseSend(); it is recorded when it begins.
    void holdNextSend() { holdSend_ = true; }
    void releaseSend();
    bool isSendHeld() const { return sendGate_.has_value(); }
    // A send for which this returns an error throws it (after being recorded).
    void setSendFailure(std::function<std::exception_ptr(const WSMessage&, int sendIndex)> failure)
    {
        sendFailure_ = std::move(failure);
    }

    // Into the current connection's stream.
    void pushIncoming(const WSMessage& message) { incoming().push(message); }
    void finishIncoming(std::exception_ptr error = nullptr);

    const QStringList& calls() const { return calls_; }
    const QList<WSMessage>& sent() const { return sent_; }
    QList<WSMessage> sentBinary() const;
    QStringList sentTexts() const;
    int closeCount() const { return closeCount_; }
    int connectCount() const { return connectCount_; }
    std::optional<QString> lastBearerToken() const { return lastBearerToken_; }
    bool isOpen() const { return open_; }

private:
    QStringList calls_;
    QList<WSMessage> sent_;
    std::optional<WSIncomingStream> stream_;
    bool holdConnect_ = false;
    bool holdSend_ = false;
    std::optional<Channel<bool>> connectGate_;
    std::optional<Channel<bool>> sendGate_;
    std::exception_ptr connectError_;
    std::function<std::exception_ptr(const WSMessage&, int)> sendFailure_;
    int closeCount_ = 0;
    int connectCount_ = 0;
    int sendCount_ = 0;
    std::optional<QString> lastBearerToken_;
    bool open_ = false;
};

} // namespace vellamor::test
