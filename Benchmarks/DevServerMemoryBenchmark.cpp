// Resident memory of a running vellamor-devserver before and after a series
// of loopback dictations (start frame, audio frames, stop, wait for "done"),
// as a user's `scripts/run` session would send them.
//
//   vellamor-bench-devserver-memory DEVSERVER [DICTATIONS] [FRAMES]
//
// Prints the server's VmRSS in kB at start, after the dictations, and after a
// POST /test/reset.
#include "BenchmarkSupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <chrono>
#include <cstdio>
#include <functional>

using namespace std::chrono_literals;
using vellamor::benchmark::waitFor;

namespace {

long residentKilobytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
    const auto match = rss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

bool dictate(const QUrl& url, int frames)
{
    QWebSocket socket;
    bool done = false;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString& text) {
        if (text.contains(QStringLiteral("\"done\"")))
            done = true;
    });
    socket.open(url);
    if (!waitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 30s))
        return false;
    socket.sendTextMessage(QStringLiteral(
        R"({"type":"start","lang":"zh","scene":"general","style":"default","polish":true})"));
    const QByteArray frame(640, '\x11');
    for (int i = 0; i < frames; ++i)
        socket.sendBinaryMessage(frame);
    socket.sendTextMessage(QStringLiteral(R"({"type":"stop"})"));
    const bool ok = waitFor([&] { return done; }, 30s);
    socket.close();
    waitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 2s);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s DEVSERVER [DICTATIONS] [FRAMES]\n", argv[0]);
        return 2;
    }
    const int dictations = args.size() > 2 ? args.at(2).toInt() : 50;
    const int frames = args.size() > 3 ? args.at(3).toInt() : 1500;

    QProcess server;
    server.start(args.at(1), {QStringLiteral("--port"), QStringLiteral("0")});
    QByteArray banner;
    if (!waitFor([&] {
            banner += server.readAllStandardOutput();
            return banner.contains('\n');
        }, 10s)) {
        std::fprintf(stderr, "the devserver did not start\n");
        return 1;
    }
    const QString port = QRegularExpression(QStringLiteral(":(\\d+)")).match(QString::fromLatin1(banner)).captured(1);
    const qint64 pid = server.processId();
    const long atStart = residentKilobytes(pid);

    const QUrl session(QStringLiteral("ws://127.0.0.1:%1/v1/session").arg(port));
    for (int i = 0; i < dictations; ++i) {
        if (!dictate(session, frames)) {
            std::fprintf(stderr, "dictation %d failed\n", i);
            return 1;
        }
    }
    const long afterDictations = residentKilobytes(pid);

    QNetworkAccessManager http;
    QNetworkRequest reset(QUrl(QStringLiteral("http://127.0.0.1:%1/test/reset").arg(port)));
    QNetworkReply* reply = http.post(reset, QByteArray());
    waitFor([&] { return reply->isFinished(); }, 5s);
    const long afterReset = residentKilobytes(pid);

    std::printf("dictations=%d frames=%d rss_kB start=%ld after=%ld after_reset=%ld\n", dictations, frames, atStart,
                afterDictations, afterReset);
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
