#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace vellamor {

// Keeps the application to one running process per user. The first process
// holds a lock beside the socket for its whole life and listens on the
// socket (user-only); a later one finds the lock taken, hands its message
// (the deep link it was started with, possibly empty) to the first over the
// socket and is expected to quit. A crashed first process leaves a stale
// lock and socket, which the next one takes over. Main thread only.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // A message longer than this is not passed on.
    static constexpr qsizetype maxMessageBytes = 64 * 1024;

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another process holds the instance; `message` was handed to
    // it when it could be reached within `wait`. Otherwise this process
    // becomes the instance: from then on messageReceived() reports what
    // later processes send. Blocks for at most `wait`.
    bool isAnotherInstanceRunning(const QByteArray& message,
                                  std::chrono::milliseconds wait = std::chrono::seconds(3));

    bool isListening() const { return server_.isListening(); }
    const QString& socketPath() const { return socketPath_; }

Q_SIGNALS:
    // One per later process, in the order they finished sending.
    void messageReceived(const QByteArray& message);

private:
    bool forward(const QByteArray& message, std::chrono::milliseconds wait);
    void accept();

    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

} // namespace vellamor
