#include "AsrSessionEndpoint.h"

#include "DevServer.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <limits>

namespace vellamor::devbackend {

const QString AsrSessionEndpoint::path = QStringLiteral("/v1/session");

// One connected session: its socket, its record and where it stands.
struct AsrSessionEndpoint::Live {
    QPointer<QWebSocket> socket;
    std::shared_ptr<Record> record;
    int index = 0;
    bool polish = false;
    bool finished = false;
};

namespace {

std::optional<QJsonObject> parseObject(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

bool isValidStart(const QJsonObject& frame)
{
    if (frame.value(QStringLiteral("type")).toString() != u"start")
        return false;
    for (const char16_t* key : {u"lang", u"scene", u"style"}) {
        if (!frame.value(QString::fromUtf16(key)).isString())
            return false;
    }
    if (!frame.value(QStringLiteral("polish")).isBool())
        return false;
    // Absent when no model was chosen; never null.
    const QJsonValue model = frame.value(QStringLiteral("llm_provider"));
    return model.isUndefined() || model.isString();
}

// Ends the TCP connection without a WebSocket close frame, as a network
// failure would, after what was already sent has gone out.
void dropConnection(QWebSocket* socket)
{
    if (!socket)
        return;
    if (auto* tcp = socket->findChild<QTcpSocket*>()) {
        tcp->disconnectFromHost();
        return;
    }
    socket->flush();
    socket->abort();
}

} // namespace

AsrSessionEndpoint::AsrSessionEndpoint(QObject* parent)
    : QObject(parent)
    , server_(QStringLiteral("vellamor-devserver asr"), QWebSocketServer::NonSecureMode)
{
    connect(&server_, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket* socket = server_.nextPendingConnection())
            adopt(socket);
    });
}

AsrSessionEndpoint::~AsrSessionEndpoint()
{
    // The sockets call back into this object while closing.
    const auto sockets = findChildren<QWebSocket*>(Qt::FindDirectChildrenOnly);
    for (QWebSocket* socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
}

AsrSessionEndpoint* AsrSessionEndpoint::install(DevServer& server)
{
    return install(server, Options());
}

AsrSessionEndpoint* AsrSessionEndpoint::install(DevServer& server, Options options)
{
    auto* endpoint = new AsrSessionEndpoint(&server);
    endpoint->setObjectName(QStringLiteral("asr-session-endpoint"));
    endpoint->setOptions(std::move(options));
    server.registerUpgrade(path, [endpoint](QTcpSocket* socket, const DevHttpRequest&) { endpoint->accept(socket); });
    connect(&server, &DevServer::recordsReset, endpoint, &AsrSessionEndpoint::clearRecords);
    return endpoint;
}

AsrSessionEndpoint* AsrSessionEndpoint::of(DevServer& server)
{
    return server.findChild<AsrSessionEndpoint*>(QStringLiteral("asr-session-endpoint"), Qt::FindDirectChildrenOnly);
}

QString AsrSessionEndpoint::transcriptFor(int audioFrames)
{
    return QStringLiteral("heard %1 frames").arg(audioFrames);
}

QString AsrSessionEndpoint::polishedFor(int audioFrames)
{
    return QStringLiteral("Heard %1 frames.").arg(audioFrames);
}

void AsrSessionEndpoint::clearRecords()
{
    records_.clear();
    sessionsStarted_ = 0;
}

void AsrSessionEndpoint::recordMessage(Record& record, Frame frame)
{
    if (record.received.size() >= maxRecordedMessages)
        record.received.removeFirst();
    record.received.append(std::move(frame));
}

void AsrSessionEndpoint::accept(QTcpSocket* socket)
{
    if (options_.handshakeDelay.count() <= 0) {
        server_.handleConnection(socket);
        return;
    }
    ++pendingHandshakes_;
    QTimer::singleShot(options_.handshakeDelay, this, [this, socket = QPointer<QTcpSocket>(socket)] {
        --pendingHandshakes_;
        if (!socket)
            return;
        if (socket->state() != QAbstractSocket::ConnectedState) {
            socket->deleteLater();
            return;
        }
        server_.handleConnection(socket);
    });
}

void AsrSessionEndpoint::adopt(QWebSocket* socket)
{
    socket->setParent(this);
    // One frame per message, as recognisers send them: Qt's client refuses a
    // text message whose frames split a UTF-8 sequence (close code 1007).
    socket->setOutgoingFrameSize(QWebSocket::maxOutgoingFrameSize());
    auto live = std::make_shared<Live>();
    live->socket = socket;
    live->record = std::make_shared<Record>();
    live->index = sessionsStarted_++;
    const QNetworkRequest request = socket->request();
    if (request.hasRawHeader("Authorization"))
        live->record->authorization = request.rawHeader("Authorization");
    records_.push_back(live->record);
    if (records_.size() > maxRecordedSessions)
        records_.pop_front();
    ++openSessions_;

    connect(socket, &QWebSocket::textMessageReceived, this, [this, live](const QString& text) { onText(*live, text); });
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this, live](const QByteArray& data) { onBinary(*live, data); });
    connect(socket, &QWebSocket::disconnected, this, [this, live] {
        live->record->open = false;
        --openSessions_;
        if (live->socket) {
            live->record->closeCode = static_cast<int>(live->socket->closeCode());
            live->socket->deleteLater();
        }
        Q_EMIT sessionClosed(live->index);
    });
    Q_EMIT sessionOpened(live->index);
}

void AsrSessionEndpoint::sendText(Live& live, const QJsonObject& frame)
{
    const QString text = QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact));
    live.record->sent.append(text);
    if (live.socket)
        live.socket->sendTextMessage(text);
}

void AsrSessionEndpoint::sendError(Live& live, qint64 code, const QString& msg, const QString& kind)
{
    QJsonObject data{{QStringLiteral("code"), code}, {QStringLiteral("msg"), msg}};
    if (!kind.isEmpty())
        data.insert(QStringLiteral("kind"), kind);
    sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("error")}, {QStringLiteral("data"), data}});
    live.finished = true;
}

void AsrSessionEndpoint::onText(Live& live, const QString& text)
{
    Record& record = *live.record;
    recordMessage(record, Frame{false, text, {}});
    if (live.finished)
        return;
    const std::optional<QJsonObject> frame = parseObject(text);

    if (!record.start) {
        if (!frame || !isValidStart(*frame)) {
            sendError(live, 40001, QStringLiteral("the first frame must be a start frame"), QString());
            return;
        }
        record.start = *frame;
        live.polish = frame->value(QStringLiteral("polish")).toBool();
        sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("ready")}});
        if (options_.unknownFrame) {
            sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("mystery")}});
            if (live.socket)
                live.socket->sendBinaryMessage(QByteArrayLiteral("\x01\x02\x03"));
        }
        if (options_.errorCode && options_.errorAfterFrames <= 0)
            sendError(live, *options_.errorCode, QStringLiteral("injected failure"), options_.errorKind);
        return;
    }

    if (!frame || frame->value(QStringLiteral("type")).toString() != u"stop")
        return;
    if (++record.stopFrames > 1)
        return;
    sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("final")},
                               {QStringLiteral("text"), options_.finalText.value_or(transcriptFor(record.audioFrames))}});
    if (live.polish) {
        const QString polished = options_.finalText.value_or(polishedFor(record.audioFrames));
        sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("polish")},
                                   {QStringLiteral("data"), QJsonObject{{QStringLiteral("text"), polished}}}});
    }
    sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("done")}});
    live.finished = true;
    Q_EMIT doneSent(live.index);
}

void AsrSessionEndpoint::onBinary(Live& live, const QByteArray& data)
{
    Record& record = *live.record;
    // A deep copy: the frame handed over is a slice of the socket's much
    // larger read block, which it would keep alive.
    recordMessage(record, Frame{true, {}, QByteArray(data.constData(), data.size())});
    if (!record.start) {
        ++record.audioBeforeStart;
        return;
    }
    if (record.stopFrames > 0) {
        ++record.audioAfterStop;
        return;
    }
    const int count = ++record.audioFrames;
    Q_EMIT audioFrameReceived(live.index, count - 1);
    if (live.finished)
        return;

    if (options_.dropAfterFrames && count >= *options_.dropAfterFrames) {
        live.finished = true;
        dropConnection(live.socket);
        return;
    }
    if (options_.errorCode && options_.errorAfterFrames > 0 && count == options_.errorAfterFrames) {
        sendError(live, *options_.errorCode, QStringLiteral("injected failure"), options_.errorKind);
        return;
    }
    if (options_.partialEvery > 0 && count % options_.partialEvery == 0) {
        sendText(live, QJsonObject{{QStringLiteral("type"), QStringLiteral("partial")},
                                   {QStringLiteral("text"), transcriptFor(count)}});
    }
}

void AsrSessionEndpoint::addCommandLineOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("asr-partial-every"),
                      QStringLiteral("ASR: send a partial text after every N audio frames (0: none)."),
                      QStringLiteral("frames"), QStringLiteral("10")});
    parser.addOption({QStringLiteral("asr-error-code"),
                      QStringLiteral("ASR: send an error frame with this code (see --asr-error-after-frames)."),
                      QStringLiteral("code")});
    parser.addOption({QStringLiteral("asr-error-after-frames"),
                      QStringLiteral("ASR: send the error frame after N audio frames (0: right after ready)."),
                      QStringLiteral("frames"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("asr-error-kind"), QStringLiteral("ASR: a \"kind\" entry for the error frame."),
                      QStringLiteral("kind")});
    parser.addOption({QStringLiteral("asr-drop-after-frames"),
                      QStringLiteral("ASR: drop the connection after N audio frames."), QStringLiteral("frames")});
    parser.addOption({QStringLiteral("asr-handshake-delay-ms"),
                      QStringLiteral("ASR: answer the opening handshake only after this many milliseconds."),
                      QStringLiteral("ms"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("asr-unknown-frame"),
                      QStringLiteral("ASR: after ready, send a frame of an unknown type and a binary frame.")});
    parser.addOption({QStringLiteral("asr-final-text-file"),
                      QStringLiteral("ASR: send the UTF-8 text of this file as every final and polished text."),
                      QStringLiteral("path")});
}

std::optional<AsrSessionEndpoint::Options> AsrSessionEndpoint::optionsFromCommandLine(const QCommandLineParser& parser,
                                                                                        QString* error)
{
    Options options;
    // Counts and delays end up in ints; larger values are refused, not cut.
    const auto number = [&parser, error](const QString& name, qint64 minimum,
                                         qint64 maximum = std::numeric_limits<int>::max()) -> std::optional<qint64> {
        bool ok = false;
        const qint64 value = parser.value(name).toLongLong(&ok);
        if (!ok || value < minimum || value > maximum) {
            if (error)
                *error = QStringLiteral("invalid --") + name + QStringLiteral(": ") + parser.value(name);
            return std::nullopt;
        }
        return value;
    };
    const auto partialEvery = number(QStringLiteral("asr-partial-every"), 0);
    const auto errorAfter = number(QStringLiteral("asr-error-after-frames"), 0);
    const auto delay = number(QStringLiteral("asr-handshake-delay-ms"), 0);
    if (!partialEvery || !errorAfter || !delay)
        return std::nullopt;
    options.partialEvery = static_cast<int>(*partialEvery);
    options.errorAfterFrames = static_cast<int>(*errorAfter);
    options.handshakeDelay = std::chrono::milliseconds(*delay);
    if (parser.isSet(QStringLiteral("asr-error-code"))) {
        const auto code = number(QStringLiteral("asr-error-code"), std::numeric_limits<qint64>::min(),
                                 std::numeric_limits<qint64>::max());
        if (!code)
            return std::nullopt;
        options.errorCode = *code;
    }
    options.errorKind = parser.value(QStringLiteral("asr-error-kind"));
    if (parser.isSet(QStringLiteral("asr-drop-after-frames"))) {
        const auto drop = number(QStringLiteral("asr-drop-after-frames"), 1);
        if (!drop)
            return std::nullopt;
        options.dropAfterFrames = static_cast<int>(*drop);
    }
    options.unknownFrame = parser.isSet(QStringLiteral("asr-unknown-frame"));
    if (parser.isSet(QStringLiteral("asr-final-text-file"))) {
        QFile file(parser.value(QStringLiteral("asr-final-text-file")));
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("cannot read --asr-final-text-file: ") + file.fileName();
            return std::nullopt;
        }
        options.finalText = QString::fromUtf8(file.readAll());
    }
    return options;
}

} // namespace vellamor::devbackend
