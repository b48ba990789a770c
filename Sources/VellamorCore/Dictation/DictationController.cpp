#include "Dictation/DictationController.h"

#include "Audio/AudioCaptureError.h"
#include "History/HistoryRecordFactory.h"
#include "Models/NetworkError.h"
#include "Models/VellamorErrorCode.h"
#include "Models/VellamorServiceError.h"
#include "Models/VellamorTransportError.h"
#include "Support/Async/Spawn.h"
#include "Support/Date.h"
#include "Support/Error.h"

#include <QPointer>
#include <QUrl>

#include <utility>

namespace vellamor {

namespace {

VellamorLog dictationLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("dictation"));
}

bool isCancellation(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return true;
    } catch (...) {
        return false;
    }
}

QString captureErrorMessage(const AudioCaptureError& error)
{
    switch (error.kind()) {
    case AudioCaptureError::Kind::formatUnsupported:
        return QStringLiteral("当前麦克风格式暂不支持");
    case AudioCaptureError::Kind::engineFailed:
        return QStringLiteral("麦克风启动失败，请检查系统权限或输入设备");
    case AudioCaptureError::Kind::permissionDenied:
        return QStringLiteral("请先允许 Vellamor 使用麦克风");
    case AudioCaptureError::Kind::deviceUnavailable:
        return QStringLiteral("没有找到可用的麦克风");
    case AudioCaptureError::Kind::alreadyRunning:
        return QStringLiteral("录音已经在进行中");
    }
    return error.debugDescription();
}

const QString unavailableMessage = QStringLiteral("服务暂时不可用，请稍后重试");

QString serviceErrorMessage(const VellamorServiceError& error)
{
    switch (error.known().value_or(VellamorErrorCode::success)) {
    case VellamorErrorCode::quotaExhausted:
        if (error.data() && error.data()->value(QStringLiteral("kind")) == QStringLiteral("points_balance"))
            return QStringLiteral("积分余额不足，请升级或购买积分包");
        return QStringLiteral("当前积分不足，请升级或购买积分包");
    case VellamorErrorCode::asrUpstream:
        return QStringLiteral("识别服务暂时繁忙，请稍后重试");
    case VellamorErrorCode::llmUpstream:
        return QStringLiteral("润色服务暂时繁忙，请稍后重试");
    default:
        // The code and the server's message are in the log.
        return unavailableMessage;
    }
}

QString transportErrorMessage(const VellamorTransportError& error)
{
    switch (error.kind()) {
    case VellamorTransportError::Kind::connectionClosed:
        return NetworkError(NetworkError::Kind::connectionLost).errorDescription();
    case VellamorTransportError::Kind::timeout:
        return NetworkError(NetworkError::Kind::timedOut).errorDescription();
    default:
        return unavailableMessage;
    }
}

} // namespace

DictationController::DictationController(std::shared_ptr<AudioCapturing> audio, std::shared_ptr<ASRProvider> asr,
                                         std::shared_ptr<DictationOutput> output, qint64 maxDurationMs,
                                         std::shared_ptr<HistorySink> historyStore, QObject* parent)
    : DictationController(std::move(audio), std::move(asr), std::move(output), maxDurationMs,
                          std::move(historyStore), dictationLog(), parent)
{
}

DictationController::DictationController(std::shared_ptr<AudioCapturing> audio, std::shared_ptr<ASRProvider> asr,
                                         std::shared_ptr<DictationOutput> output, qint64 maxDurationMs,
                                         std::shared_ptr<HistorySink> historyStore, VellamorLog log,
                                         QObject* parent)
    : QObject(parent)
    , audio_(std::move(audio))
    , asr_(std::move(asr))
    , output_(std::move(output))
    , maxDurationMs_(maxDurationMs)
    , historyStore_(std::move(historyStore))
    , log_(std::move(log))
{
}

DictationController::~DictationController()
{
    runTask_.cancel();
}

void DictationController::setInsertRawOnly(bool insertRawOnly)
{
    insertRawOnly_ = insertRawOnly;
}

void DictationController::setSourceApp(std::optional<QString> sourceApp)
{
    currentSourceApp_ = std::move(sourceApp);
}

void DictationController::setHistoryStore(std::shared_ptr<HistorySink> historyStore)
{
    historyStore_ = std::move(historyStore);
}

void DictationController::addObserver(Observer observer)
{
    observers_.push_back(observer);
    observer(snapshot_);
}

void DictationController::publish(const std::function<void(SessionSnapshot&)>& change)
{
    SessionSnapshot next = snapshot_;
    change(next);
    snapshot_ = next;
    // A copy: an observer may register another one while being called.
    const std::vector<Observer> observers = observers_;
    for (const Observer& observer : observers)
        observer(next);
}

QCoro::Task<void> DictationController::start(ASRSessionConfig config)
{
    if (snapshot_.state.isActive())
        co_return;
    // A task that is still winding down must not act in the new session.
    runTask_.cancel();

    const QUuid id = QUuid::createUuid();
    sessionConfig_ = config;
    startAt_.start();
    auto session = std::make_shared<Session>();
    currentSession_ = session;

    publish([&id](SessionSnapshot& s) {
        s.sessionID = id;
        s.state = DictationState::recording();
        s.partialText.clear();
        s.finalText.clear();
        s.polishedText.clear();
        s.elapsedMillis = 0;
        s.rms = 0.0f;
        s.errorMessage.reset();
    });

    runTask_ = spawn(this, QStringLiteral("dictation session"),
                     [this, session, config = std::move(config)](std::stop_token token) {
                         return runSession(session, config, std::move(token));
                     });
}

QCoro::Task<void> DictationController::stop()
{
    if (snapshot_.state.kind() != DictationState::Kind::recording)
        co_return;
    publish([](SessionSnapshot& s) { s.state = DictationState::transcribing(); });
    if (currentSession_)
        currentSession_->stopRequested = true;
    const auto asr = asr_;
    co_await asr->stop();
}

QCoro::Task<void> DictationController::cancel()
{
    const std::shared_ptr<Session> sessionAtCall = currentSession_;
    runTask_.cancel();
    const auto asr = asr_;
    const auto audio = audio_;
    // A start can only run in between when no session was active; the
    // session it begins is not the one this cancel was meant for.
    co_await asr->cancel();
    if (currentSession_ != sessionAtCall)
        co_return;
    co_await audio->stop();
    if (currentSession_ != sessionAtCall)
        co_return;
    publish([](SessionSnapshot& s) { s.state = DictationState::cancelled(); });
    runTask_ = TaskHandle();
}

QCoro::Task<void> DictationController::runSession(std::shared_ptr<Session> session, ASRSessionConfig config,
                                                  std::stop_token token)
{
    // Held here so an operation in progress keeps its object even if the
    // controller goes away meanwhile.
    const auto audio = audio_;
    const auto asr = asr_;
    const QPointer<DictationController> self(this);
    const auto isLatestSession = [&self, &session] { return !self || self->currentSession_ == session; };

    const QString host = config.endpoint.host();
    log_.info(QStringLiteral("runSession start host=") + (host.isEmpty() ? QStringLiteral("nil") : host),
              config.endpoint.toString(QUrl::FullyEncoded));

    std::exception_ptr failure;
    try {
        AudioFrameStream frames = co_await audio->start();
        if (!isCurrent(this, *session, token)) {
            // cancel() may have stopped the capture before this run began; a
            // newer session's start is still waiting for the capture then.
            co_await audio->stop();
            co_return;
        }
        log_.info(QStringLiteral("audio frames ready, entering asr.stream"));

        ASREventStream events = co_await asr->stream(config, std::move(frames));
        if (!isCurrent(this, *session, token)) {
            // Likewise, cancel() may have reached the recogniser before its session was open.
            if (isLatestSession())
                co_await asr->cancel();
            co_return;
        }
        log_.info(QStringLiteral("asr.stream returned, entering consumeEvents"));

        // A stop() that came while the session was not yet open may have been
        // dropped by the recogniser; without a repeat the session would wait
        // in `transcribing` with the microphone on.
        if (session->stopRequested) {
            spawn(this, QStringLiteral("repeated recogniser stop"),
                  [asr](std::stop_token) { return asr->stop(); });
        }
        co_await consumeEvents(session, std::move(events), token);
    } catch (...) {
        failure = std::current_exception();
    }

    if (!failure || token.stop_requested() || isCancellation(failure) || !isCurrent(this, *session, token))
        co_return;
    try {
        co_await handleFailure(session, token, failure);
    } catch (const CancellationError&) {
    }
}

QCoro::Task<void> DictationController::consumeEvents(std::shared_ptr<Session> session, ASREventStream events,
                                                     std::stop_token token)
{
    for (;;) {
        const std::optional<ASRStreamEvent> event = co_await events.next(token);
        ensureCurrent(this, *session, token);
        if (!event) {
            co_await finishSession(session, token);
            co_return;
        }
        switch (event->kind()) {
        case ASRStreamEvent::Kind::partial:
            publish([&event](SessionSnapshot& s) { s.partialText = event->text(); });
            break;
        case ASRStreamEvent::Kind::final:
            publish([&event](SessionSnapshot& s) {
                s.finalText = event->text();
                s.state = DictationState::polishing();
            });
            break;
        case ASRStreamEvent::Kind::polish:
            publish([&event](SessionSnapshot& s) {
                s.polishedText = event->text();
                s.state = DictationState::inserting();
            });
            break;
        case ASRStreamEvent::Kind::ready:
            break;
        case ASRStreamEvent::Kind::error:
            co_await handleFailure(
                session, token,
                std::make_exception_ptr(VellamorServiceError(event->code(), event->message(), event->data())));
            co_return;
        case ASRStreamEvent::Kind::done:
            co_await finishSession(session, token);
            co_return;
        }
    }
}

QCoro::Task<void> DictationController::finishSession(std::shared_ptr<Session> session, std::stop_token token)
{
    const auto audio = audio_;
    const auto output = output_;
    ensureCurrent(this, *session, token);
    co_await audio->stop();
    ensureCurrent(this, *session, token);

    const QString finalText = snapshot_.finalText;
    const QString polishedText = snapshot_.polishedText;
    const QString text = polishedText.isEmpty() ? finalText : polishedText;
    if (!text.isEmpty()) {
        publish([](SessionSnapshot& s) { s.state = DictationState::inserting(); });
        ensureCurrent(this, *session, token);
        co_await output->deliver(text);
    } else {
        log_.warn(QStringLiteral("finishSession skipped deliver: empty recognized text"));
    }

    co_await persistHistoryIfNeeded(session, token, text, finalText, polishedText);
    ensureCurrent(this, *session, token);
    const qint64 elapsed = computeElapsed();
    publish([elapsed](SessionSnapshot& s) {
        s.state = DictationState::done();
        s.elapsedMillis = elapsed;
    });
}

QCoro::Task<void> DictationController::handleFailure(std::shared_ptr<Session> session, std::stop_token token,
                                                     std::exception_ptr error)
{
    log_.error(QStringLiteral("session failed: ") + describeException(error));
    const auto asr = asr_;
    const auto audio = audio_;
    ensureCurrent(this, *session, token);
    co_await asr->cancel();
    ensureCurrent(this, *session, token);
    co_await audio->stop();
    ensureCurrent(this, *session, token);

    const QString finalText = snapshot_.finalText;
    if (!finalText.isEmpty())
        co_await persistHistoryIfNeeded(session, token, finalText, finalText, snapshot_.polishedText);
    ensureCurrent(this, *session, token);

    const QString message = userFacingMessage(error);
    const qint64 elapsed = computeElapsed();
    publish([&message, elapsed](SessionSnapshot& s) {
        s.state = DictationState::failed(message);
        s.errorMessage = message;
        s.elapsedMillis = elapsed;
    });
}

QCoro::Task<void> DictationController::persistHistoryIfNeeded(std::shared_ptr<Session> session,
                                                              std::stop_token token, QString insertedText,
                                                              QString recognizedText, QString polishedText)
{
    const auto store = historyStore_;
    if (!store || recognizedText.isEmpty())
        co_return;
    HistoryRecord record =
        HistoryRecordFactory::dictation(insertedText, recognizedText, polishedText, currentSourceApp_);
    ensureCurrent(this, *session, token);
    co_await store->append(std::move(record));
}

qint64 DictationController::computeElapsed() const
{
    return startAt_.isValid() ? startAt_.elapsed() : 0;
}

bool DictationController::isCurrent(const DictationController* controller, const Session& session,
                                    std::stop_token token)
{
    return !token.stop_requested() && controller->currentSession_.get() == &session;
}

void DictationController::ensureCurrent(const DictationController* controller, const Session& session,
                                        std::stop_token token)
{
    if (!isCurrent(controller, session, token))
        throw CancellationError();
}

QString DictationController::userFacingMessage(std::exception_ptr error)
{
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const VellamorServiceError& e) {
            return serviceErrorMessage(e);
        } catch (const AudioCaptureError& e) {
            return captureErrorMessage(e);
        } catch (const NetworkError& e) {
            return e.errorDescription();
        } catch (const VellamorTransportError& e) {
            return transportErrorMessage(e);
        } catch (...) {
        }
    }
    // The details of anything else are for the log, which has them already.
    return QStringLiteral("识别出错，请重试");
}

} // namespace vellamor
