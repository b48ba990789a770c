#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWebSocketServer>

#include <chrono>
#include <memory>
#include <optional>
#include <deque>

class QCommandLineParser;
class QTcpSocket;
class QWebSocket;

namespace vellamor::devbackend {

class DevServer;

// The ASR WebSocket at "/v1/session". Each connection is one session:
// - the first text frame must be a start frame ({"type":"start","lang",
//   "scene","style","polish" (bool), optional "llm_provider" (string)});
//   the endpoint answers {"type":"ready"}, or an error frame with code 40001
//   when the start frame is malformed;
// - binary frames are counted as audio; after every `partialEvery` of them
//   it sends {"type":"partial","text": transcriptFor(count)};
// - on the first {"type":"stop"} it sends {"type":"final","text":
//   transcriptFor(count)}, {"type":"polish","data":{"text": polishedFor(count)}}
//   when the start frame asked for polishing, and {"type":"done"}. The
//   socket stays open, as a real service leaves closing to the client.
// Options inject failures. Sessions are recorded for tests, within bounds,
// since a user may keep the server running for a long time: the newest
// maxRecordedSessions sessions, each with its newest maxRecordedMessages
// messages (the counts stay exact). A reset of the server drops them.
class AsrSessionEndpoint final : public QObject {
    Q_OBJECT
public:
    struct Options {
        int partialEvery = 10; // 0: no partials
        // An error frame {"type":"error","data":{"code","msg","kind"?}} once
        // `errorAfterFrames` audio frames have arrived (0: right after "ready").
        std::optional<qint64> errorCode;
        int errorAfterFrames = 0;
        QString errorKind;
        // Abort the TCP connection (no close frame) after this many audio frames.
        std::optional<int> dropAfterFrames;
        // Hold the opening handshake this long before answering it.
        std::chrono::milliseconds handshakeDelay{0};
        // After "ready", send a frame of an unknown type and a binary frame.
        bool unknownFrame = false;
        // The text of every final and polish frame instead of the frame
        // count (a long one tests what the client does with it).
        std::optional<QString> finalText;
    };

    struct Frame {
        bool binary = false;
        QString text;
        QByteArray data;
    };

    // What one session's client sent and how it ended.
    struct Record {
        std::optional<QByteArray> authorization; // the Authorization header, when sent
        QList<Frame> received;                   // the newest messages, in arrival order
        std::optional<QJsonObject> start;        // the accepted start frame
        int audioFrames = 0;                     // binary frames after start, before stop
        int audioBeforeStart = 0;
        int audioAfterStop = 0;
        int stopFrames = 0;
        QStringList sent; // the text frames the endpoint sent, in order
        bool open = true;
        // The code of the client's close frame; Qt reports 1000 when none came.
        std::optional<int> closeCode;
    };

    static const QString path; // "/v1/session"
    static constexpr std::size_t maxRecordedSessions = 16;
    static constexpr qsizetype maxRecordedMessages = 500;

    explicit AsrSessionEndpoint(QObject* parent = nullptr);
    ~AsrSessionEndpoint() override;

    // Creates the endpoint as a child of `server` and registers its path.
    static AsrSessionEndpoint* install(DevServer& server);
    static AsrSessionEndpoint* install(DevServer& server, Options options);
    // The endpoint installed on `server`, if any.
    static AsrSessionEndpoint* of(DevServer& server);

    static QString transcriptFor(int audioFrames); // "heard N frames"
    static QString polishedFor(int audioFrames);   // "Heard N frames."

    void setOptions(Options options) { options_ = std::move(options); }
    const Options& options() const { return options_; }

    // The recorded sessions, oldest first; a session's index in the signals
    // counts every session since the last reset.
    const std::deque<std::shared_ptr<Record>>& sessions() const { return records_; }
    int openSessionCount() const { return openSessions_; }
    void clearRecords();
    // Upgrade requests whose handshake has not been answered yet.
    int pendingHandshakes() const { return pendingHandshakes_; }

    // The command-line switches of vellamor-devserver for the options.
    static void addCommandLineOptions(QCommandLineParser& parser);
    // None, with `error` set, when a switch has an unusable value.
    static std::optional<Options> optionsFromCommandLine(const QCommandLineParser& parser, QString* error);

Q_SIGNALS:
    void sessionOpened(int session);
    // The index counts audio frames within the session from 0.
    void audioFrameReceived(int session, int index);
    void doneSent(int session);
    void sessionClosed(int session);

private:
    void accept(QTcpSocket* socket);
    void adopt(QWebSocket* socket);
    struct Live;

    void onText(Live& live, const QString& text);
    void onBinary(Live& live, const QByteArray& data);
    void sendText(Live& live, const QJsonObject& frame);
    void sendError(Live& live, qint64 code, const QString& msg, const QString& kind);
    static void recordMessage(Record& record, Frame frame);

    QWebSocketServer server_;
    Options options_;
    std::deque<std::shared_ptr<Record>> records_;
    int sessionsStarted_ = 0;
    int openSessions_ = 0;
    int pendingHandshakes_ = 0;
};

} // namespace vellamor::devbackend
