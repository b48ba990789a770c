#include "RecordingWebSocketTransport.h"

namespace vellamor::test {

QCoro::Task<void> RecordingWebSocketTransport::connect(QUrl url, std::optional<QString> bearerToken)
{
    calls_.append(QStringLiteral("connect ") + url.toString());
    ++connectCount_;
    lastBearerToken_ = bearerToken;
    if (holdConnect_) {
        holdConnect_ = false;
        const Channel<bool> gate;
        connectGate_ = gate;
        const std::optional<bool> released = co_await gate.next();
        Q_UNUSED(released);
    }
    if (connectError_)
        std::rethrow_exception(connectError_);
    if (stream_)
        stream_->finish();
    stream_ = WSIncomingStream();
    open_ = true;
}

void RecordingWebSocketTransport::releaseConnect()
{
    if (auto gate = std::exchange(connectGate_, std::nullopt))
        gate->push(true);
}

QCoro::Task<void> RecordingWebSocketTransport::send(WSMessage message)
{
    const int index = sendCount_++;
    calls_.append(message.isText() ? QStringLiteral("send text ") + message.text()
                                   : QStringLiteral("send binary ") + QString::number(message.data().size()));
    sent_.append(message);
    if (holdSend_) {
        holdSend_ = false;
        const Channel<bool> gate;
        sendGate_ = gate;
        const std::optional<bool> released = co_await gate.next();
        Q_UNUSED(released);
    }
    if (sendFailure_) {
        if (const std::exception_ptr error = sendFailure_(message, index))
            std::rethrow_exception(error);
    }
}

void RecordingWebSocketTransport::releaseSend()
{
    if (auto gate = std::exchange(sendGate_, std::nullopt))
        gate->push(true);
}

QCoro::Task<void> RecordingWebSocketTransport::close()
{
    calls_.append(QStringLiteral("close"));
    ++closeCount_;
    open_ = false;
    if (stream_)
        stream_->finish();
    stream_.reset();
    co_return;
}

WSIncomingStream RecordingWebSocketTransport::incoming()
{
    if (!stream_)
        stream_ = WSIncomingStream();
    return *stream_;
}

void RecordingWebSocketTransport::finishIncoming(std::exception_ptr error)
{
    if (!stream_)
        return;
    if (error)
        stream_->finish(error);
    else
        stream_->finish();
}

QList<WSMessage> RecordingWebSocketTransport::sentBinary() const
{
    QList<WSMessage> binary;
    for (const WSMessage& message : sent_) {
        if (message.isBinary())
            binary.append(message);
    }
    return binary;
}

QStringList RecordingWebSocketTransport::sentTexts() const
{
    QStringList texts;
    for (const WSMessage& message : sent_) {
        if (message.isText())
            texts.append(message.text());
    }
    return texts;
}

} // namespace vellamor::test
