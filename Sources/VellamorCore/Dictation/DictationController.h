#pragma once

#include "Audio/AudioCapturing.h"
#include "Dictation/ASRProvider.h"
#include "Dictation/ASRSessionConfig.h"
#include "Dictation/DictationOutput.h"
#include "Dictation/SessionSnapshot.h"
#include "History/HistorySink.h"
#include "Logging/VellamorLog.h"
#include "Support/Async/TaskHandle.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUuid>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace vellamor {

// Runs dictation sessions one at a time: starts the capture, hands its frames
// to the recogniser, turns the recogniser's events into snapshots for its
// observers, hands the finished text to the output and writes a history
// record. An actor on the main thread; other calls run in between at every
// suspension of a session.
//
// A session's task only acts while it is still the current, uncancelled
// session: a cancel or a newer start silences it before its next
// publication, delivery or history write, so nothing of an abandoned session
// reaches the observers, the output or the history.
class DictationController final : public QObject {
    Q_OBJECT

public:
    // Called synchronously, in registration order, for every publication.
    using Observer = std::function<void(const SessionSnapshot&)>;

    DictationController(std::shared_ptr<AudioCapturing> audio, std::shared_ptr<ASRProvider> asr,
                        std::shared_ptr<DictationOutput> output, qint64 maxDurationMs,
                        std::shared_ptr<HistorySink> historyStore, QObject* parent = nullptr);
    DictationController(std::shared_ptr<AudioCapturing> audio, std::shared_ptr<ASRProvider> asr,
                        std::shared_ptr<DictationOutput> output, qint64 maxDurationMs,
                        std::shared_ptr<HistorySink> historyStore, VellamorLog log,
                        QObject* parent = nullptr);
    ~DictationController() override;

    // Stored for the application; no session reads them.
    void setInsertRawOnly(bool insertRawOnly);
    bool insertRawOnly() const { return insertRawOnly_; }
    qint64 maxDurationMs() const { return maxDurationMs_; }

    // The identifier written as `sourceApp` into the records of the
    // following sessions; kept until changed.
    void setSourceApp(std::optional<QString> sourceApp);
    const std::optional<QString>& sourceApp() const { return currentSourceApp_; }

    // None means later sessions write no history. A record already being
    // written goes to the store it was built for.
    void setHistoryStore(std::shared_ptr<HistorySink> historyStore);

    SessionSnapshot currentSnapshot() const { return snapshot_; }
    // The configuration of the last accepted start.
    const std::optional<ASRSessionConfig>& sessionConfig() const { return sessionConfig_; }

    // Observers are never removed. The new one is called at once with the
    // current snapshot.
    void addObserver(Observer observer);

    // Begins a session unless one is active; returns without waiting for it.
    QCoro::Task<void> start(ASRSessionConfig config);
    // Only while recording: publishes `transcribing` and asks the recogniser to stop.
    QCoro::Task<void> stop();
    // Abandons the session in any state and publishes `cancelled`.
    QCoro::Task<void> cancel();

    // The text a user sees for an error that ended a session.
    static QString userFacingMessage(std::exception_ptr error);

private:
    // Told apart by identity: each start() makes a new one.
    struct Session {
        // stop() arrived; the recogniser may have dropped it if its session
        // was not open yet.
        bool stopRequested = false;
    };

    QCoro::Task<void> runSession(std::shared_ptr<Session> session, ASRSessionConfig config, std::stop_token token);
    QCoro::Task<void> consumeEvents(std::shared_ptr<Session> session, ASREventStream events, std::stop_token token);
    QCoro::Task<void> finishSession(std::shared_ptr<Session> session, std::stop_token token);
    QCoro::Task<void> handleFailure(std::shared_ptr<Session> session, std::stop_token token,
                                    std::exception_ptr error);
    QCoro::Task<void> persistHistoryIfNeeded(std::shared_ptr<Session> session, std::stop_token token,
                                             QString insertedText, QString recognizedText, QString polishedText);
    qint64 computeElapsed() const;

    // The check before every step of a session task with an effect outside
    // it. The token is read first: the controller's destruction cancels it,
    // so `controller` is only read while it still exists.
    static bool isCurrent(const DictationController* controller, const Session& session, std::stop_token token);
    // Throws CancellationError, which ends the session task silently.
    static void ensureCurrent(const DictationController* controller, const Session& session,
                              std::stop_token token);

    void publish(const std::function<void(SessionSnapshot&)>& change);

    std::shared_ptr<AudioCapturing> audio_;
    std::shared_ptr<ASRProvider> asr_;
    std::shared_ptr<DictationOutput> output_;
    qint64 maxDurationMs_;
    std::shared_ptr<HistorySink> historyStore_;
    VellamorLog log_;
    SessionSnapshot snapshot_ = SessionSnapshot::idle();
    std::vector<Observer> observers_;
    TaskHandle runTask_;
    std::optional<ASRSessionConfig> sessionConfig_;
    std::shared_ptr<Session> currentSession_;
    // Monotonic, so a wall-clock change cannot make elapsedMillis negative.
    QElapsedTimer startAt_;
    bool insertRawOnly_ = false;
    std::optional<QString> currentSourceApp_;
};

} // namespace vellamor
