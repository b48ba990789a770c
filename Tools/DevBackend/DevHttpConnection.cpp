#include "DevHttpConnection.h"

#include <QUrl>

namespace vellamor::devbackend {

namespace {

// Parses the request line and header fields (without the blank line).
std::optional<DevHttpRequest> parseHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    if (lines.isEmpty())
        return std::nullopt;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1."))
        return std::nullopt;

    DevHttpRequest request;
    request.method = QString::fromLatin1(requestLine[0]);
    request.target = QString::fromLatin1(requestLine[1]);
    request.version = QString::fromLatin1(requestLine[2]);
    const QUrl url = QUrl::fromEncoded(requestLine[1]);
    if (!url.isValid() || !request.target.startsWith(QLatin1Char('/')))
        return std::nullopt;
    request.path = url.path(QUrl::FullyDecoded);
    request.query = QUrlQuery(url);

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        // Only the leading blank goes: tests see a value exactly as it was sent.
        QByteArray value = line.mid(colon + 1);
        while (!value.isEmpty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove(0, 1);
        request.headers.append({line.left(colon).trimmed(), value});
    }
    return request;
}

bool wantsKeepAlive(const DevHttpRequest& request)
{
    const QByteArray connection = request.header("Connection").value_or(QByteArray()).toLower();
    if (request.version == u"HTTP/1.0")
        return connection.contains("keep-alive");
    return !connection.contains("close");
}

} // namespace

DevHttpConnection::DevHttpConnection(QTcpSocket* socket, Callbacks callbacks, std::chrono::milliseconds idleTimeout,
                                     QObject* parent)
    : QObject(parent), socket_(socket), callbacks_(std::move(callbacks))
{
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(idleTimeout);
    connect(&idleTimer_, &QTimer::timeout, this, &DevHttpConnection::onIdle);
    idleTimer_.start();
    delayTimer_.setSingleShot(true);
    connect(&delayTimer_, &QTimer::timeout, this, &DevHttpConnection::deliver);
    connect(&trickleTimer_, &QTimer::timeout, this, &DevHttpConnection::writeNextTrickleByte);
    connect(socket, &QTcpSocket::readyRead, this, &DevHttpConnection::readAvailable);
    connect(socket, &QTcpSocket::disconnected, this, &DevHttpConnection::onDisconnected);
    QTimer::singleShot(0, this, &DevHttpConnection::readAvailable);
}

DevHttpConnection::~DevHttpConnection()
{
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
    }
}

void DevHttpConnection::readAvailable()
{
    if (!socket_)
        return;
    if (state_ == State::readingHead || state_ == State::readingBody)
        idleTimer_.start();
    if (state_ == State::readingHead && !readHead())
        return;
    if (state_ == State::readingBody) {
        const QByteArray chunk = socket_->read(bodyRemaining_);
        request_.body += chunk;
        bodyRemaining_ -= chunk.size();
        if (bodyRemaining_ == 0) {
            idleTimer_.stop();
            state_ = State::answering;
            dispatch();
        }
    }
}

// Returns true when the head was consumed and the body is next.
bool DevHttpConnection::readHead()
{
    const QByteArray peeked = socket_->peek(maxHeadSize + 4);
    const qsizetype end = peeked.indexOf("\r\n\r\n");
    if (end < 0) {
        if (peeked.size() > maxHeadSize)
            failAndClose(431, "request head too large\n");
        return false;
    }
    auto parsed = parseHead(peeked.left(end));
    if (!parsed) {
        failAndClose(400, "malformed request\n");
        return false;
    }
    request_ = std::move(*parsed);
    request_.peer = socket_->peerAddress();

    if (request_.header("Upgrade") && callbacks_.wantsUpgrade && callbacks_.wantsUpgrade(request_)) {
        QTcpSocket* socket = socket_;
        socket->disconnect(this);
        socket_ = nullptr;
        state_ = State::closed;
        callbacks_.takeUpgrade(socket, request_);
        deleteLater();
        return false;
    }

    socket_->read(end + 4);
    keepAlive_ = wantsKeepAlive(request_);
    if (request_.header("Transfer-Encoding")) {
        failAndClose(411, "chunked bodies are not supported\n");
        return false;
    }
    bool ok = true;
    const auto length = request_.header("Content-Length");
    bodyRemaining_ = length ? length->toLongLong(&ok) : 0;
    if (!ok || bodyRemaining_ < 0) {
        failAndClose(400, "bad Content-Length\n");
        return false;
    }
    if (bodyRemaining_ > maxBodySize) {
        failAndClose(413, "body too large\n");
        return false;
    }
    state_ = State::readingBody;
    return true;
}

void DevHttpConnection::dispatch()
{
    plan_ = callbacks_.answer(request_);
    if (plan_.delay.count() > 0)
        delayTimer_.start(plan_.delay);
    else
        deliver();
}

void DevHttpConnection::deliver()
{
    if (!socket_ || state_ != State::answering)
        return;
    if (plan_.drop) {
        close(true);
        return;
    }
    if (plan_.trickle && !plan_.response.body.isEmpty()) {
        socket_->write(plan_.response.head(keepAlive_));
        trickleRemaining_ = plan_.response.body;
        trickleTimer_.start(*plan_.trickle);
        return;
    }
    socket_->write(plan_.response.head(keepAlive_) + plan_.response.body);
    finishAnswer();
}

void DevHttpConnection::writeNextTrickleByte()
{
    if (!socket_ || state_ != State::answering) {
        trickleTimer_.stop();
        return;
    }
    socket_->write(trickleRemaining_.left(1));
    trickleRemaining_.remove(0, 1);
    if (trickleRemaining_.isEmpty()) {
        trickleTimer_.stop();
        finishAnswer();
    }
}

void DevHttpConnection::finishAnswer()
{
    if (!keepAlive_) {
        state_ = State::closed;
        socket_->disconnectFromHost();
        return;
    }
    state_ = State::readingHead;
    idleTimer_.start();
    request_ = DevHttpRequest();
    plan_ = AnswerPlan();
    // A pipelined request may already be buffered.
    QTimer::singleShot(0, this, &DevHttpConnection::readAvailable);
}

void DevHttpConnection::failAndClose(int status, const QByteArray& text)
{
    keepAlive_ = false;
    const DevHttpResponse response = DevHttpResponse::text(status, text);
    socket_->write(response.head(false) + response.body);
    state_ = State::closed;
    socket_->disconnectFromHost();
}

void DevHttpConnection::onDisconnected()
{
    const bool pending = state_ == State::answering;
    delayTimer_.stop();
    trickleTimer_.stop();
    idleTimer_.stop();
    state_ = State::closed;
    if (pending && callbacks_.abandoned)
        callbacks_.abandoned(request_);
    if (socket_)
        socket_->deleteLater();
    deleteLater();
}

void DevHttpConnection::onIdle()
{
    if (!socket_ || (state_ != State::readingHead && state_ != State::readingBody))
        return;
    close(true);
    deleteLater();
}

void DevHttpConnection::close(bool abortive)
{
    state_ = State::closed;
    if (abortive)
        socket_->abort();
    else
        socket_->disconnectFromHost();
}

} // namespace vellamor::devbackend
