#pragma once

#include "Dictation/ASRProvider.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>

namespace vellamor {

// A recogniser that needs no network: it drains the audio it is given and,
// when stopped, answers `final`, `polish` and `done` with fixed texts on a
// fixed timeline. It never fails and never logs.
class MockASRProvider final : public QObject, public ASRProvider {
    Q_OBJECT

public:
    // The pauses of stop(): before `final`, then before `polish`.
    struct Timing {
        std::chrono::milliseconds beforeFinal{200};
        std::chrono::milliseconds beforePolish{100};
    };

    // An absent polish text repeats the final text.
    MockASRProvider(QString finalText, std::optional<QString> polishText, Timing timing, QObject* parent = nullptr);
    MockASRProvider(QString finalText, std::optional<QString> polishText, QObject* parent = nullptr);

    // True exactly when VELLAMOR_MOCK_ASR is "1" (no trimming, no other spellings).
    static bool isSelected(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // The recogniser the application uses in place of the cloud one: final
    // text "hello world", no separate polish text.
    static std::shared_ptr<MockASRProvider> makeForApplication();

    const QString& finalText() const { return finalText_; }
    const QString& polishText() const { return polishText_; }

    // Ignores `config`. Ends a stream that is still open (without `done`),
    // cancels the previous drain, and returns a new stream that already holds `ready`.
    QCoro::Task<ASREventStream> stream(ASRSessionConfig config, AudioFrameStream audio) override;
    QCoro::Task<void> stop() override;
    // As stop(); a stop request on `callerToken` shortens the pauses but
    // never skips an event.
    QCoro::Task<void> stop(std::stop_token callerToken);
    QCoro::Task<void> cancel() override;

private:
    static QCoro::Task<void> drain(AudioFrameStream audio, std::stop_token token);
    void cancelDrain();

    std::optional<ASREventStream> eventContinuation_;
    // Tells the stream a stop() took from a newer one that replaced it meanwhile.
    std::uint64_t streamGeneration_ = 0;
    TaskHandle audioConsumer_;
    QString finalText_;
    QString polishText_;
    Timing timing_;
};

} // namespace vellamor
