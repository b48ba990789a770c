#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWebSocketServer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;
class QWebSocket;

namespace vellamor::devbackend {

struct DevHttpRequest;

// The source-command WebSocket at "/v1/source-commands". A handshake needs
// "Authorization: Bearer <token>" with a non-empty token (else HTTP 401);
// the connection listens for the account the token speaks for, as the
// `accountOf` given at construction tells. The server only
// pushes frames: whatever a client sends is ignored.
//
// Faults for tests, on every open connection: raw text or binary frames,
// deafness (the server stops reading, so pings go unanswered and a close
// goes unnoticed; for the rest of that connection's life) and a drop
// without a close frame. Handshakes and connections are recorded within
// bounds; a reset of the server forgets them.
class SourceCommandEndpoint final : public QObject {
    Q_OBJECT
public:
    struct Handshake {
        std::optional<QByteArray> authorization;
        bool accepted = false;
    };

    struct Connection {
        QString account;
        bool open = true;
        // The code of the client's close frame; Qt reports 1000 when none came.
        std::optional<int> closeCode;
    };

    static const QString path; // "/v1/source-commands"
    static constexpr std::size_t maxRecorded = 64;

    using AccountOf = std::function<QString(const QString& token)>;

    explicit SourceCommandEndpoint(AccountOf accountOf, QObject* parent = nullptr);
    ~SourceCommandEndpoint() override;

    // The upgrade handler: `socket` still holds the unread handshake.
    void accept(QTcpSocket* socket, const DevHttpRequest& head);

    // Sends the frame as text to every open connection of the account;
    // returns how many got it.
    int push(const QString& account, const QJsonObject& frame);

    void sendText(const QString& text);
    void sendBinary(const QByteArray& data);
    void deafen();
    void drop();

    const std::deque<Handshake>& handshakes() const { return handshakes_; }
    const std::deque<std::shared_ptr<Connection>>& connections() const { return connections_; }
    int openCount() const;
    void clearRecords();

private:
    struct Live {
        QPointer<QWebSocket> socket;
        QPointer<QTcpSocket> connection;
        std::shared_ptr<Connection> record;
    };

    void adopt(QWebSocket* socket);
    void record(Handshake handshake);
    static bool isOpen(const Live& live);
    std::vector<QWebSocket*> openSockets() const;

    AccountOf accountOf_;
    QWebSocketServer server_;
    std::vector<Live> live_;
    // Accepted handshakes not yet adopted as WebSockets.
    std::vector<QPointer<QTcpSocket>> upgraded_;
    std::deque<Handshake> handshakes_;
    std::deque<std::shared_ptr<Connection>> connections_;
};

} // namespace vellamor::devbackend
