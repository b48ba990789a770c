#pragma once

#include "Audio/AudioCapturing.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// A capture that can be opened before anyone asks for its frames: the
// hotkey opens it the moment the key goes down, and the session that follows
// claims everything gathered since then through start(), so words spoken
// while a press is still being told from a tap, or while the sign-in and the
// recogniser are awaited, are kept. A press that ends as a tap discards what
// was gathered unheard. Frames gather in the inner capture's stream, within
// its bound.
//
// The inner capture's operations run one after another, each once the
// previous one has ended. An actor on the main thread.
class EarlyAudioCapture final : public QObject, public AudioCapturing {
public:
    explicit EarlyAudioCapture(std::shared_ptr<AudioCapturing> inner, QObject* parent = nullptr);
    ~EarlyAudioCapture() override;

    // Opens the inner capture unless a run is already open or claimed. A
    // failure is kept for the claiming start() to throw; a press that comes
    // to nothing (Right Ctrl used as Ctrl) leaves no trace of it.
    void open();
    // Closes a run that open() began and no start() has claimed; its frames
    // are never heard.
    void discard();
    // Ends the gathering of an unclaimed run but keeps what it gathered for
    // the start() still to come; that stream then ends after those frames.
    void seal();

    // Claims the run open() began, or opens one now.
    QCoro::Task<AudioFrameStream> start() override;
    QCoro::Task<void> stop() override;

private:
    enum class Phase { closed, opened, claimed };

    struct Run {
        std::optional<AudioFrameStream> stream;
        std::exception_ptr error;
    };

    // Runs `step` once every inner operation queued before it has ended.
    TaskHandle chain(const QString& what, std::function<QCoro::Task<void>()> step);
    void chainInnerStop(const QString& what);

    std::shared_ptr<AudioCapturing> inner_;
    Phase phase_ = Phase::closed;
    std::shared_ptr<Run> run_;
    TaskHandle last_;
};

} // namespace vellamor
