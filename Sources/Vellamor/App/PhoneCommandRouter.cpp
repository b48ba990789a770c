#include "App/PhoneCommandRouter.h"

#include "History/HistoryRecordFactory.h"
#include "Support/Async/Spawn.h"
#include "Support/TextGraphemes.h"

#include <QPointer>

#include <utility>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

constexpr auto connectedBadgeDuration = 45s;

} // namespace

PhoneCommandRouter::PhoneCommandRouter(std::shared_ptr<SourceCommandSessionProtocol> commands,
                                       std::shared_ptr<DictationOutput> output, SleepFunction sleep, VellamorLog log,
                                       Hooks hooks, QObject* parent)
    : QObject(parent)
    , commands_(std::move(commands))
    , output_(std::move(output))
    , sleep_(std::move(sleep))
    , log_(std::move(log))
    , hooks_(std::move(hooks))
{
}

PhoneCommandRouter::~PhoneCommandRouter()
{
    stop();
}

void PhoneCommandRouter::start()
{
    if (pumpTask_.isValid())
        return;
    const SourceCommandStream commands = commands_->commands();
    QPointer<PhoneCommandRouter> weak(this);
    pumpTask_ = spawn(this, QStringLiteral("source command pump"),
                      [commands, weak](std::stop_token token) -> QCoro::Task<void> {
                          for (;;) {
                              const std::optional<SourceCommand> command = co_await commands.next(token);
                              if (!command || token.stop_requested() || !weak)
                                  co_return;
                              co_await weak->handle(*command);
                          }
                      });
}

void PhoneCommandRouter::stop()
{
    std::exchange(pumpTask_, {}).cancel();
    std::exchange(badgeClearTask_, {}).cancel();
}

QCoro::Task<void> PhoneCommandRouter::handle(SourceCommand command)
{
    const QString sid = QString::number(command.sourceID());
    switch (command.kind()) {
    case SourceCommand::Kind::insert: {
        const QString text = command.text();
        log_.info(QStringLiteral("source cmd insert len=") + QString::number(graphemeCount(text))
                  + QStringLiteral(" sid=") + sid + QStringLiteral(" seq=") + QString::number(command.seq()));
        // Delivered after the append even when this router goes meanwhile.
        const std::shared_ptr<DictationOutput> output = output_;
        const std::shared_ptr<LocalHistoryStore> store = hooks_.currentStore();
        // The store logs its own failure; the text is delivered regardless.
        try {
            co_await store->append(HistoryRecordFactory::phoneText(text));
        } catch (...) {
        }
        co_await output->deliver(text);
        co_return;
    }
    case SourceCommand::Kind::pairingRequest: {
        const PairingRequestPayload& payload = *command.payload();
        log_.info(QStringLiteral("pairing request sid=") + sid + QStringLiteral(" friendly=") + payload.friendlyName);
        hooks_.confirmPairing(payload);
        co_return;
    }
    case SourceCommand::Kind::sourceRevoked:
    case SourceCommand::Kind::sourceUpdated:
        log_.info((command.kind() == SourceCommand::Kind::sourceRevoked ? QStringLiteral("source revoked sid=")
                                                                          : QStringLiteral("source updated sid="))
                  + sid);
        Q_EMIT listChanged();
        co_return;
    case SourceCommand::Kind::sourceConnected:
        log_.info(QStringLiteral("source connected sid=") + sid);
        markConnected();
        co_return;
    }
}

void PhoneCommandRouter::markConnected()
{
    hooks_.showConnected(true);
    badgeClearTask_.cancel();
    QPointer<PhoneCommandRouter> weak(this);
    badgeClearTask_ = spawn(this, QStringLiteral("connected badge clear"),
                            [weak, sleep = sleep_](std::stop_token token) -> QCoro::Task<void> {
                                const bool elapsed = co_await sleep(connectedBadgeDuration, token);
                                if (elapsed && !token.stop_requested() && weak)
                                    weak->hooks_.showConnected(false);
                            });
}

void PhoneCommandRouter::clearConnected()
{
    std::exchange(badgeClearTask_, {}).cancel();
    hooks_.showConnected(false);
}

} // namespace vellamor
