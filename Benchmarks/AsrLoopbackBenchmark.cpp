// Client-side latency of the cloud recogniser over loopback against the
// in-process development backend:
// 1. a frame pushed by the capture → that frame read by the devserver;
// 2. the devserver's "done" written → the controller's deliver().
// Prints p50 and p95 of each in microseconds.
#include "BenchmarkSupport.h"

#include "AsrSessionEndpoint.h"
#include "DefaultActions.h"
#include "DevServer.h"

#include "Audio/AudioCapturing.h"
#include "Dictation/DictationController.h"
#include "Dictation/DictationOutput.h"
#include "Logging/VellamorLog.h"
#include "Networking/CloudASRProvider.h"
#include "Networking/WebSocketSession.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace vellamor;
using namespace std::chrono_literals;
using vellamor::benchmark::waitFor;

namespace {

QElapsedTimer clock_;

qint64 nowNs()
{
    return clock_.nsecsElapsed();
}

VellamorLog silentLog(const QString& category)
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), category, nullptr, nullptr);
}

// Plays silent frames at a fixed pace and notes when each one was pushed.
class PacedCapture final : public AudioCapturing {
public:
    explicit PacedCapture(std::chrono::milliseconds interval) : interval_(interval) {}

    std::vector<qint64> pushedAt;

    QCoro::Task<AudioFrameStream> start() override
    {
        AudioFrameStream stream;
        stream_ = stream;
        pushedAt.clear();
        player_ = TaskHandle::start([this, stream](std::stop_token token) { return play(stream, token); });
        co_return stream;
    }

    QCoro::Task<void> stop() override
    {
        player_.cancel();
        if (stream_)
            stream_->finish();
        stream_.reset();
        co_return;
    }

private:
    QCoro::Task<void> play(AudioFrameStream stream, std::stop_token token)
    {
        for (qint64 sequence = 0;; ++sequence) {
            if (!co_await sleepFor(interval_, token))
                co_return;
            pushedAt.push_back(nowNs());
            stream.push(AudioFrame(QByteArray(640, '\0'), 0.0f, sequence));
        }
    }

    std::chrono::milliseconds interval_;
    std::optional<AudioFrameStream> stream_;
    TaskHandle player_;
};

class TimedOutput final : public DictationOutput {
public:
    std::vector<qint64> deliveredAt;

    QCoro::Task<void> deliver(QString) override
    {
        deliveredAt.push_back(nowNs());
        co_return;
    }
};

struct Percentiles {
    double p50;
    double p95;
};

Percentiles percentiles(std::vector<qint64> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double q) {
        const auto index = static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1) + 0.5);
        return static_cast<double>(samples[index]) / 1000.0;
    };
    return {at(0.50), at(0.95)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    clock_.start();

    devbackend::DevServer server;
    devbackend::installDefaultActions(server);
    auto* endpoint = devbackend::AsrSessionEndpoint::of(server);
    auto options = endpoint->options();
    options.partialEvery = 0;
    endpoint->setOptions(options);
    if (!server.listen(0)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QUrl url = server.baseURL();
    url.setScheme(QStringLiteral("ws"));
    url.setPath(QStringLiteral("/v1/session"));
    const ASRSessionConfig config(url, QStringLiteral("zh"), QStringLiteral("chat"), QStringLiteral("default"), true,
                                  std::nullopt, QStringLiteral("token"));

    auto capture = std::make_shared<PacedCapture>(10ms);
    auto transport = std::make_shared<WebSocketSession>(silentLog(QStringLiteral("ws")), WebSocketSession::Timing{});
    auto provider = std::make_shared<CloudASRProvider>(transport, silentLog(QStringLiteral("asr-cloud")));
    auto output = std::make_shared<TimedOutput>();
    DictationController controller(capture, provider, output, 360000, nullptr, silentLog(QStringLiteral("dictation")));

    std::vector<qint64> arrivedAt;
    int currentSession = -1;
    QObject::connect(endpoint, &devbackend::AsrSessionEndpoint::audioFrameReceived, [&](int session, int index) {
        if (session == currentSession && index == static_cast<int>(arrivedAt.size()))
            arrivedAt.push_back(nowNs());
    });
    qint64 doneAt = 0;
    QObject::connect(endpoint, &devbackend::AsrSessionEndpoint::doneSent, [&](int) { doneAt = nowNs(); });

    const int sessions = 40;
    const int framesPerSession = 25;
    std::vector<qint64> frameLatency;
    std::vector<qint64> doneToDeliver;
    for (int s = 0; s < sessions; ++s) {
        currentSession = s;
        arrivedAt.clear();
        output->deliveredAt.clear();
        runBlocking(controller.start(config));
        if (!waitFor([&] { return static_cast<int>(arrivedAt.size()) >= framesPerSession; }, 10s)) {
            std::fprintf(stderr, "session %d: frames did not arrive\n", s);
            return 1;
        }
        runBlocking(controller.stop());
        if (!waitFor([&] { return controller.currentSnapshot().state.isTerminal(); }, 10s) || output->deliveredAt.empty()) {
            std::fprintf(stderr, "session %d did not deliver\n", s);
            return 1;
        }
        // The first frames waited for the connection; they measure the handshake, not the path.
        for (std::size_t i = 3; i < arrivedAt.size() && i < capture->pushedAt.size(); ++i)
            frameLatency.push_back(arrivedAt[i] - capture->pushedAt[i]);
        doneToDeliver.push_back(output->deliveredAt.front() - doneAt);
    }

    const Percentiles frames = percentiles(frameLatency);
    const Percentiles done = percentiles(doneToDeliver);
    std::printf("asr loopback, %d sessions, frames every 10 ms\n", sessions);
    std::printf("capture push -> devserver receives frame: p50 %.1f us  p95 %.1f us  (%zu frames)\n", frames.p50,
                frames.p95, frameLatency.size());
    std::printf("devserver sends done -> output deliver:    p50 %.1f us  p95 %.1f us  (%zu sessions)\n", done.p50,
                done.p95, doneToDeliver.size());
    return 0;
}
