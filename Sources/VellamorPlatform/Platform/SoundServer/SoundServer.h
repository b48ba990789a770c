#pragma once

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor::platform {

// One recording source of the sound server.
struct SoundSource {
    quint32 index = 0;
    QString name;                       // persistent: "alsa_input.pci-0000_00_1f.3.analog-stereo"
    std::optional<QString> description; // for people: "Built-in Audio Analog Stereo"
    bool isMonitor = false;             // records what a sink plays, not a microphone
    int channels = 0;
    double sampleRate = 0;

    friend bool operator==(const SoundSource&, const SoundSource&) = default;
};

// What the sound server answered when asked just now.
struct SoundServerSnapshot {
    bool reachable = false;
    QString failure; // why it could not be asked, when unreachable
    QString defaultSourceName;
    QList<SoundSource> sources;
};

// Called on the capture thread with the bytes the server delivered:
// little-endian 16-bit mono samples at 16 kHz.
using AudioChunkHandler = std::function<void(const char* data, std::size_t size)>;
// Called on the capture thread, at most once, when an open stream breaks.
using StreamFailureHandler = std::function<void(const QString& reason)>;

// A running record stream. Destroying it stops the delivery: once the
// destructor has returned, its handlers are never called again.
class RecordStream {
public:
    virtual ~RecordStream() = default;
    // The rate the source itself runs at (the server converts to 16 kHz).
    virtual double sourceSampleRate() const = 0;
};

struct RecordStreamOpening {
    std::unique_ptr<RecordStream> stream; // none when the stream could not start
    QString failure;                      // the server's reason, when none
};

// The system's sound server: its recording sources and a record stream from
// one of them.
class SoundServer {
public:
    virtual ~SoundServer() = default;

    // The server's sources and default source. Asked off the caller's
    // thread, within a couple of seconds; while the server's own change
    // events say nothing changed since the last answer, that answer comes
    // back at once without asking. Never fails (an unreachable server is an
    // answer). Main thread.
    virtual QCoro::Task<SoundServerSnapshot> snapshot() = 0;

    // Starts recording from the source named `source` (the default one when
    // none) in 16 kHz mono 16-bit. Both handlers may be called from another
    // thread, from the moment the stream runs (possibly before this task has
    // completed).
    virtual QCoro::Task<RecordStreamOpening> openRecordStream(std::optional<QString> source,
                                                               AudioChunkHandler onChunk,
                                                               StreamFailureHandler onFailure) = 0;

    // From now on `onChange` runs on the main thread, on a later turn, after
    // the server's sources or its default source changed; a burst of changes
    // may run it once. A later call replaces it. Servers that cannot tell
    // never run it.
    virtual void watchSources(std::function<void()> onChange) { (void)onChange; }
};

} // namespace vellamor::platform
