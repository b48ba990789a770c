#pragma once

#include "Networking/WebSocketTransport.h"

#include <QList>
#include <QStringList>

#include <exception>
#include <functional>
#include <optional>
#include <utility>

namespace vellamor::test {

// A transport driven by the test. It records every call in order
// ("connect <url>", "send text <text>", "send binary <n>", "close"), keeps the
// messages sent, and lets the test feed the incoming stream, hold connect or
// a send until released, and make sends fail.
class RecordingWebSocketTransport final : public WebSocketTransport {
public:
    QCoro::Task<void> connect(QUrl url, std::optional<QString> bearerToken) override
    {
        calls_.append(QStringLiteral("connect ") + url.toString());
        lastBearerToken_ = bearerToken;
        co_await connectHold_.pass();
        if (connectError_)
            std::rethrow_exception(connectError_);
        finishIncoming();
        stream_ = WSIncomingStream();
        open_ = true;
    }

    QCoro::Task<void> send(WSMessage message) override
    {
        const int index = static_cast<int>(sent_.size());
        calls_.append(message.isText() ? QStringLiteral("send text ") + message.text()
                                       : QStringLiteral("send binary ") + QString::number(message.data().size()));
        sent_.append(message);
        co_await sendHold_.pass();
        if (sendFailure_) {
            if (const std::exception_ptr error = sendFailure_(message, index))
                std::rethrow_exception(error);
        }
    }

    QCoro::Task<void> close() override
    {
        calls_.append(QStringLiteral("close"));
        open_ = false;
        finishIncoming();
        stream_.reset();
        co_return;
    }

    WSIncomingStream incoming() override
    {
        if (!stream_)
            stream_ = WSIncomingStream();
        return *stream_;
    }

    // The next connect() waits until releaseConnect().
    void holdNextConnect() { connectHold_.armed = true; }
    void releaseConnect() { connectHold_.release(); }
    bool isConnectHeld() const { return connectHold_.gate.has_value(); }
    // Thrown by every later connect() until cleared.
    void setConnectError(std::exception_ptr error) { connectError_ = std::move(error); }

    // The next send() waits until releaseSend(); it is recorded when it begins.
    void holdNextSend() { sendHold_.armed = true; }
    void releaseSend() { sendHold_.release(); }
    bool isSendHeld() const { return sendHold_.gate.has_value(); }
    // A send for which this returns an error throws it (after being recorded).
    void setSendFailure(std::function<std::exception_ptr(const WSMessage&, int sendIndex)> failure)
    {
        sendFailure_ = std::move(failure);
    }

    // Into the current connection's stream.
    void pushIncoming(const WSMessage& message) { incoming().push(message); }
    void finishIncoming(std::exception_ptr error = nullptr)
    {
        if (stream_)
            stream_->finish(std::move(error));
    }

    const QStringList& calls() const { return calls_; }
    const QList<WSMessage>& sent() const { return sent_; }
    QList<WSMessage> sentBinary() const
    {
        QList<WSMessage> binary = sent_;
        binary.removeIf([](const WSMessage& message) { return !message.isBinary(); });
        return binary;
    }
    QStringList sentTexts() const
    {
        QStringList texts;
        for (const WSMessage& message : sent_) {
            if (message.isText())
                texts.append(message.text());
        }
        return texts;
    }
    int closeCount() const { return static_cast<int>(calls_.count(QStringLiteral("close"))); }
    std::optional<QString> lastBearerToken() const { return lastBearerToken_; }
    bool isOpen() const { return open_; }

private:
    // Once armed, the next call that passes waits at the gate until released.
    struct Hold {
        bool armed = false;
        std::optional<Channel<bool>> gate;

        QCoro::Task<void> pass()
        {
            if (!std::exchange(armed, false))
                co_return;
            const Channel<bool> waiting;
            gate = waiting;
            co_await waiting.next();
        }
        void release()
        {
            if (auto held = std::exchange(gate, std::nullopt))
                held->push(true);
        }
    };

    QStringList calls_;
    QList<WSMessage> sent_;
    std::optional<WSIncomingStream> stream_;
    Hold connectHold_;
    Hold sendHold_;
    std::exception_ptr connectError_;
    std::function<std::exception_ptr(const WSMessage&, int)> sendFailure_;
    std::optional<QString> lastBearerToken_;
    bool open_ = false;
};

} // namespace vellamor::test
