#include "Platform/SoundServer/PulseSoundServer.h"

#include "Audio/AudioFormatSpec.h"
#include "Support/Async/Channel.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QThreadPool>
#include <QTimer>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vellamor::platform {

namespace {

constexpr const char* clientName = "Vellamor";

QString pulseError(pa_context* context)
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

// A connection driven by a loop on the calling thread, for short queries.
class BlockingQuery {
public:
    explicit BlockingQuery(std::chrono::milliseconds timeout)
        : deadline_(std::chrono::steady_clock::now() + timeout)
        , loop_(pa_mainloop_new())
        , context_(pa_context_new(pa_mainloop_get_api(loop_), clientName))
    {
    }

    ~BlockingQuery()
    {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_mainloop_free(loop_);
    }

    BlockingQuery(const BlockingQuery&) = delete;
    BlockingQuery& operator=(const BlockingQuery&) = delete;

    pa_context* context() const { return context_; }

    // An empty text when the connection is ready, else why not.
    QString connect()
    {
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            return pulseError(context_);
        bool ended = false;
        const bool inTime = runUntil([&] {
            const pa_context_state_t state = pa_context_get_state(context_);
            ended = !PA_CONTEXT_IS_GOOD(state);
            return state == PA_CONTEXT_READY || ended;
        });
        if (!inTime)
            return QStringLiteral("timed out connecting to the sound server");
        return ended ? pulseError(context_) : QString();
    }

    // Runs the loop until every operation has ended; false when time is up.
    bool await(std::initializer_list<pa_operation*> operations)
    {
        bool done = runUntil([&] {
            for (pa_operation* operation : operations) {
                if (operation && pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
                    return false;
            }
            return true;
        });
        for (pa_operation* operation : operations) {
            if (!operation)
                continue;
            if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
                pa_operation_cancel(operation);
            pa_operation_unref(operation);
        }
        return done;
    }

private:
    template<typename Condition>
    bool runUntil(Condition condition)
    {
        while (!condition()) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                deadline_ - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            if (pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop_) < 0
                || pa_mainloop_dispatch(loop_) < 0) {
                return false;
            }
        }
        return true;
    }

    std::chrono::steady_clock::time_point deadline_;
    pa_mainloop* loop_;
    pa_context* context_;
};

void collectServerInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    auto* snapshot = static_cast<SoundServerSnapshot*>(userdata);
    if (info && info->default_source_name)
        snapshot->defaultSourceName = QString::fromUtf8(info->default_source_name);
}

SoundSource soundSource(const pa_source_info& info)
{
    SoundSource source;
    source.index = info.index;
    source.name = info.name ? QString::fromUtf8(info.name) : QString();
    if (info.description)
        source.description = QString::fromUtf8(info.description);
    source.isMonitor = info.monitor_of_sink != PA_INVALID_INDEX;
    source.channels = info.sample_spec.channels;
    source.sampleRate = info.sample_spec.rate;
    return source;
}

void collectSource(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    if (eol != 0 || !info)
        return;
    static_cast<SoundServerSnapshot*>(userdata)->sources.append(soundSource(*info));
}

// A record stream served by a loop on a thread of its own. The server
// forwards whatever the source delivers at once, in pieces as small as a
// couple of milliseconds however large a fragment is asked for; the loop
// therefore reads at most once per frame time, taking everything that
// gathered meanwhile in one wake-up (and what is left when it stops). A
// longer interval would save more wake-ups but lose more of the last words:
// the recogniser takes nothing captured after the release that is not yet
// handed over.
class PulseRecordStream final : public RecordStream {
public:
    PulseRecordStream(std::optional<QString> source, AudioChunkHandler onChunk, StreamFailureHandler onFailure,
                      Channel<QString> outcome)
        : onChunk_(std::move(onChunk))
        , onFailure_(std::move(onFailure))
        , source_(source ? std::optional<QByteArray>(source->toUtf8()) : std::nullopt)
        , outcome_(std::move(outcome))
    {
    }

    ~PulseRecordStream() override
    {
        if (thread_.joinable()) {
            quitting_.store(true);
            const quint64 one = 1;
            [[maybe_unused]] const ssize_t written = ::write(stopSignal_, &one, sizeof one);
            pa_mainloop_wakeup(loop_);
            thread_.join();
        }
        if (sourceQuery_) {
            pa_operation_cancel(sourceQuery_);
            pa_operation_unref(sourceQuery_);
        }
        if (stream_) {
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_)
            pa_mainloop_free(loop_);
        if (stopSignal_ >= 0)
            ::close(stopSignal_);
    }

    PulseRecordStream(const PulseRecordStream&) = delete;
    PulseRecordStream& operator=(const PulseRecordStream&) = delete;

    double sourceSampleRate() const override { return sourceRate_.load(); }

    // Starts connecting; the outcome channel later receives an empty text
    // once data flows, or the reason it cannot. An immediate failure is
    // returned instead.
    QString begin()
    {
        stopSignal_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        loop_ = pa_mainloop_new();
        if (stopSignal_ < 0 || !loop_)
            return QStringLiteral("cannot create the sound server loop");
        pa_mainloop_set_poll_func(loop_, &PulseRecordStream::pacedPoll, this);
        context_ = pa_context_new(pa_mainloop_get_api(loop_), clientName);
        if (!context_)
            return QStringLiteral("cannot create a sound server context");
        pa_context_set_state_callback(context_, &PulseRecordStream::contextChanged, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            return pulseError(context_);
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return QStringLiteral("cannot start the sound server loop");
        }
        return {};
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds readInterval {AudioFormatSpec::frameDurationMs};

    void run()
    {
        pthread_setname_np(pthread_self(), "vellamor-mic");
        while (!quitting_.load()) {
            if (pa_mainloop_iterate(loop_, 1, nullptr) < 0)
                return;
        }
        // What already reached this end of the connection is still handed on.
        for (int round = 0; round < 64 && pa_mainloop_iterate(loop_, 0, nullptr) > 0; ++round) {
        }
    }

    // Work that is already waiting (a backlog, the connection's own
    // traffic) is done at once; once caught up, the loop rests until the
    // read interval has passed since it last woke, unless it is told to stop.
    static int pacedPoll(pollfd* descriptors, unsigned long count, int timeout, void* userdata)
    {
        auto* self = static_cast<PulseRecordStream*>(userdata);
        const int ready = ::poll(descriptors, count, 0);
        if (ready != 0 || timeout == 0 || self->quitting_.load())
            return ready;
        if (self->pacing_) {
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(self->lastWake_ + readInterval - Clock::now());
            if (rest.count() > 0 && (timeout < 0 || rest.count() < timeout)) {
                pollfd stop {self->stopSignal_, POLLIN, 0};
                ::poll(&stop, 1, static_cast<int>(rest.count()));
                if (self->quitting_.load())
                    return 0;
                if (timeout > 0)
                    timeout -= static_cast<int>(rest.count());
            }
        }
        const int woken = ::poll(descriptors, count, timeout);
        self->lastWake_ = Clock::now();
        return woken;
    }

    // All callbacks below run on the loop thread.
    static void contextChanged(pa_context* context, void* userdata)
    {
        auto* self = static_cast<PulseRecordStream*>(userdata);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY)
            self->connectStream();
        else if (!PA_CONTEXT_IS_GOOD(state))
            self->fail(pulseError(context));
    }

    void connectStream()
    {
        const pa_sample_spec spec {PA_SAMPLE_S16LE, static_cast<uint32_t>(AudioFormatSpec::sampleRate),
                                   static_cast<uint8_t>(AudioFormatSpec::channels)};
        stream_ = pa_stream_new(context_, "Vellamor microphone", &spec, nullptr);
        if (!stream_) {
            fail(pulseError(context_));
            return;
        }
        pa_stream_set_state_callback(stream_, &PulseRecordStream::streamChanged, this);
        pa_stream_set_read_callback(stream_, &PulseRecordStream::readable, this);
        // The source's latency: one frame.
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(-1);
        attributes.prebuf = static_cast<uint32_t>(-1);
        attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(AudioFormatSpec::bytesPerFrame);
        if (pa_stream_connect_record(stream_, source_ ? source_->constData() : nullptr, &attributes,
                                     PA_STREAM_ADJUST_LATENCY)
            < 0)
            fail(pulseError(context_));
    }

    static void streamChanged(pa_stream* stream, void* userdata)
    {
        auto* self = static_cast<PulseRecordStream*>(userdata);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            self->sourceQuery_ = pa_context_get_source_info_by_index(
                self->context_, pa_stream_get_device_index(stream), &PulseRecordStream::sourceInfo, self);
            if (!self->sourceQuery_)
                self->report(QString());
        } else if (!PA_STREAM_IS_GOOD(state)) {
            self->fail(pulseError(self->context_));
        }
    }

    static void sourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata)
    {
        auto* self = static_cast<PulseRecordStream*>(userdata);
        if (eol == 0 && info) {
            self->sourceRate_.store(info->sample_spec.rate);
            return;
        }
        self->report(QString());
    }

    static void readable(pa_stream* stream, size_t, void* userdata)
    {
        auto* self = static_cast<PulseRecordStream*>(userdata);
        // From the first audio on, not while the connection is being set up.
        self->pacing_ = true;
        for (;;) {
            const void* data = nullptr;
            size_t size = 0;
            if (pa_stream_peek(stream, &data, &size) < 0 || size == 0)
                return;
            if (data) {
                self->onChunk_(static_cast<const char*>(data), size);
            } else {
                // A hole in the recording: silence keeps the timeline intact.
                const QByteArray silence(static_cast<qsizetype>(size), '\0');
                self->onChunk_(silence.constData(), size);
            }
            pa_stream_drop(stream);
        }
    }

    void report(const QString& failure)
    {
        if (!reported_.exchange(true))
            outcome_.push(failure);
    }

    void fail(const QString& reason)
    {
        if (!reported_.exchange(true)) {
            outcome_.push(reason.isEmpty() ? QStringLiteral("the sound server closed the stream") : reason);
        } else if (!failureTold_.exchange(true) && onFailure_) {
            onFailure_(reason);
        }
    }

    AudioChunkHandler onChunk_;
    StreamFailureHandler onFailure_;
    const std::optional<QByteArray> source_;
    Channel<QString> outcome_;
    std::atomic<bool> reported_ {false};
    std::atomic<bool> failureTold_ {false};
    std::atomic<bool> quitting_ {false};
    std::atomic<double> sourceRate_ {0};
    // Loop thread only.
    bool pacing_ = false;
    Clock::time_point lastWake_;
    int stopSignal_ = -1;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_operation* sourceQuery_ = nullptr;
    std::thread thread_;
};

SoundServerSnapshot querySnapshot(std::chrono::milliseconds timeout)
{
    SoundServerSnapshot snapshot;
    BlockingQuery query(timeout);
    snapshot.failure = query.connect();
    if (!snapshot.failure.isEmpty())
        return snapshot;
    pa_operation* server = pa_context_get_server_info(query.context(), &collectServerInfo, &snapshot);
    pa_operation* sources = pa_context_get_source_info_list(query.context(), &collectSource, &snapshot);
    if (!server || !sources) {
        query.await({server, sources});
        return SoundServerSnapshot {false, pulseError(query.context()), {}, {}};
    }
    if (!query.await({server, sources}))
        return SoundServerSnapshot {false, QStringLiteral("timed out asking the sound server"), {}, {}};
    snapshot.reachable = true;
    return snapshot;
}

} // namespace

// Counts the server's changes of sources and of the default source on a
// loop thread of its own: sources coming and going, and changes of what an
// answer holds of them. The count also moves when the connection is made or
// lost, so an answer taken across either is never reused.
class PulseSoundServer::ChangeWatch {
public:
    // `changed` runs on the watch's own thread.
    explicit ChangeWatch(std::function<void()> changed) : notify_(std::move(changed))
    {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            return;
        pa_threaded_mainloop_set_name(loop_, "vellamor-sound-changes");
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), clientName);
        if (!context_)
            return;
        pa_context_set_state_callback(context_, &ChangeWatch::contextChanged, this);
        pa_context_set_subscribe_callback(context_, &ChangeWatch::changed, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFAIL, nullptr) < 0)
            return;
        alive_ = pa_threaded_mainloop_start(loop_) >= 0;
    }

    ~ChangeWatch()
    {
        if (loop_ && alive_) {
            pa_threaded_mainloop_lock(loop_);
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_set_subscribe_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_threaded_mainloop_unlock(loop_);
            pa_threaded_mainloop_stop(loop_);
        }
        if (context_)
            pa_context_unref(context_);
        if (loop_)
            pa_threaded_mainloop_free(loop_);
    }

    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    bool isWatching() const { return watching_.load(); }
    // False once the connection is gone for good: a new watch is needed.
    bool isAlive() const { return alive_ && !ended_.load(); }
    quint64 generation() const { return generation_.load(); }

private:
    // The callbacks run on the loop thread.
    static void contextChanged(pa_context* context, void* userdata)
    {
        auto* self = static_cast<ChangeWatch*>(userdata);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE
                                                                  | PA_SUBSCRIPTION_MASK_SERVER);
            if (pa_operation* operation = pa_context_subscribe(context, mask, &ChangeWatch::subscribed, self))
                pa_operation_unref(operation);
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            self->watching_.store(false);
            self->ended_.store(true);
            ++self->generation_;
        }
    }

    static void subscribed(pa_context* context, int success, void* userdata)
    {
        auto* self = static_cast<ChangeWatch*>(userdata);
        ++self->generation_;
        self->watching_.store(success != 0);
        if (pa_operation* operation = pa_context_get_source_info_list(context, &ChangeWatch::known, self))
            pa_operation_unref(operation);
    }

    static void changed(pa_context* context, pa_subscription_event_type_t event, uint32_t index, void* userdata)
    {
        auto* self = static_cast<ChangeWatch*>(userdata);
        const int facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const int kind = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
            // A source also "changes" whenever a stream starts or stops
            // recording from it; only a change of what an answer holds counts.
            if (pa_operation* operation
                = pa_context_get_source_info_by_index(context, index, &ChangeWatch::sourceChanged, self)) {
                pa_operation_unref(operation);
                return;
            }
        }
        if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_REMOVE)
            self->sources_.remove(index);
        self->count();
    }

    static void known(pa_context*, const pa_source_info* info, int eol, void* userdata)
    {
        if (eol == 0 && info)
            static_cast<ChangeWatch*>(userdata)->sources_.insert(info->index, soundSource(*info));
    }

    static void sourceChanged(pa_context*, const pa_source_info* info, int eol, void* userdata)
    {
        if (eol != 0 || !info)
            return;
        auto* self = static_cast<ChangeWatch*>(userdata);
        SoundSource source = soundSource(*info);
        const auto kept = self->sources_.constFind(info->index);
        if (kept != self->sources_.constEnd() && *kept == source)
            return;
        self->sources_.insert(info->index, std::move(source));
        self->count();
    }

    void count()
    {
        ++generation_;
        notify_();
    }

    std::function<void()> notify_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool alive_ = false;
    std::atomic<bool> watching_ {false};
    std::atomic<bool> ended_ {false};
    std::atomic<quint64> generation_ {0};
    // The sources as last heard of; loop thread only.
    QHash<quint32, SoundSource> sources_;
};

PulseSoundServer::PulseSoundServer(std::chrono::milliseconds timeout)
    : timeout_(timeout)
    , state_(std::make_shared<State>())
{
    // Listening from the start gives the first question an answer to keep.
    state_->watch = makeWatch(state_);
}

std::shared_ptr<PulseSoundServer::ChangeWatch> PulseSoundServer::makeWatch(const std::shared_ptr<State>& state)
{
    std::weak_ptr<State> weak = state;
    return std::make_shared<ChangeWatch>([weak] {
        const std::shared_ptr<State> alive = weak.lock();
        // One turn of the main loop for a whole burst of changes.
        QCoreApplication* application = QCoreApplication::instance();
        if (!alive || !application || alive->changePosted.exchange(true))
            return;
        QMetaObject::invokeMethod(
            application,
            [weak] {
                const std::shared_ptr<State> state = weak.lock();
                if (!state)
                    return;
                state->changePosted = false;
                if (const auto onChange = state->onChange)
                    onChange();
            },
            Qt::QueuedConnection);
    });
}

void PulseSoundServer::watchSources(std::function<void()> onChange)
{
    state_->onChange = std::move(onChange);
}

PulseSoundServer::~PulseSoundServer() = default;

bool PulseSoundServer::isWatchingChanges() const
{
    return state_->watch && state_->watch->isWatching();
}

QCoro::Task<SoundServerSnapshot> PulseSoundServer::snapshot()
{
    const std::shared_ptr<State> state = state_;
    if (!state->watch || !state->watch->isAlive())
        state->watch = makeWatch(state);
    const std::shared_ptr<ChangeWatch> watch = state->watch;
    const bool watching = watch->isWatching();
    const quint64 generation = watch->generation();
    if (watching && state->lastAnswer && state->lastAnswer->generation == generation) {
        // A copy: QCoro moves from a non-const lvalue given to co_return.
        const SoundServerSnapshot kept = state->lastAnswer->snapshot;
        co_return kept;
    }

    Channel<SoundServerSnapshot> answer;
    QThreadPool::globalInstance()->start([answer, timeout = timeout_] { answer.push(querySnapshot(timeout)); });
    const std::optional<SoundServerSnapshot> snapshot = co_await answer.next();
    if (!snapshot)
        co_return SoundServerSnapshot {false, QStringLiteral("the sound server question was dropped"), {}, {}};
    // Kept only when nothing can have changed between the question and now.
    if (watching && watch == state->watch && watch->isWatching() && watch->generation() == generation)
        state->lastAnswer = Answer {*snapshot, generation};
    co_return *snapshot;
}

QCoro::Task<RecordStreamOpening> PulseSoundServer::openRecordStream(std::optional<QString> source,
                                                                    AudioChunkHandler onChunk,
                                                                    StreamFailureHandler onFailure)
{
    Channel<QString> outcome;
    auto stream =
        std::make_unique<PulseRecordStream>(std::move(source), std::move(onChunk), std::move(onFailure), outcome);
    if (QString failure = stream->begin(); !failure.isEmpty())
        co_return RecordStreamOpening {nullptr, failure};

    std::stop_source expiry;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [expiry]() mutable { expiry.request_stop(); });
    timer.start(timeout_);
    const std::optional<QString> answer = co_await outcome.next(expiry.get_token());
    if (!answer)
        co_return RecordStreamOpening {nullptr, QStringLiteral("timed out starting the record stream")};
    if (!answer->isEmpty())
        co_return RecordStreamOpening {nullptr, *answer};
    co_return RecordStreamOpening {std::move(stream), QString()};
}

} // namespace vellamor::platform
