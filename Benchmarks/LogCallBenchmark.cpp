// Cost to the caller of one log call: system-log dispatch (a sink that does
// nothing), redaction, formatting and the hand-off to the file writer thread,
// which writes to a real file in a temporary folder.
#include "Logging/FileLogSink.h"
#include "Logging/SystemLogSink.h"
#include "Logging/VellamorLog.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

class SilentSystemLog final : public vellamor::SystemLogSink {
public:
    bool isEnabled(vellamor::SystemLogLevel) const override { return true; }
    void write(vellamor::SystemLogLevel, const QString&, const QString&, const QString&,
               const std::optional<QString>&) override
    {
    }
};

struct Fixture {
    QTemporaryDir folder;
    std::shared_ptr<vellamor::FileLogSink> sink =
        std::make_shared<vellamor::FileLogSink>(folder.path() + QStringLiteral("/vellamor.log"));
    vellamor::VellamorLog log {QStringLiteral("com.vellamor.app"), QStringLiteral("dictation"),
                               std::make_shared<SilentSystemLog>(), sink};
};

void BM_InfoOnePart(benchmark::State& state)
{
    Fixture fixture;
    const QString message = QStringLiteral("session started id=4F1C2A mode=hold scene=chat frames=0");
    for (auto _ : state)
        fixture.log.info(message);
    // Not timed: the loop has ended, so only the writer's backlog is waited for.
    fixture.sink->flush();
}
BENCHMARK(BM_InfoOnePart);

void BM_InfoTwoPart(benchmark::State& state)
{
    Fixture fixture;
    const QString pub = QStringLiteral("asr final id=4F1C2A latency_ms=412");
    const QString priv = QStringLiteral("今天下午三点在会议室讨论新版本的发布计划");
    for (auto _ : state)
        fixture.log.info(pub, priv);
    // Not timed: the loop has ended, so only the writer's backlog is waited for.
    fixture.sink->flush();
}
BENCHMARK(BM_InfoTwoPart);

void BM_InfoOnePartWithSecret(benchmark::State& state)
{
    Fixture fixture;
    const QString message = QStringLiteral("GET /v1/cb?token=abc123&state=s1 Authorization: Bearer xyz");
    for (auto _ : state)
        fixture.log.info(message);
    // Not timed: the loop has ended, so only the writer's backlog is waited for.
    fixture.sink->flush();
}
BENCHMARK(BM_InfoOnePartWithSecret);

} // namespace

BENCHMARK_MAIN();
