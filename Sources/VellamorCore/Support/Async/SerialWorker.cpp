#include "Support/Async/SerialWorker.h"

#include <pthread.h>

namespace vellamor {

SerialWorker::SerialWorker(const QString& name)
{
    thread_ = std::thread([this] { loop(); });
    pthread_setname_np(thread_.native_handle(), name.left(15).toUtf8().constData());
}

SerialWorker& SerialWorker::shared()
{
    static SerialWorker worker(QStringLiteral("vellamor-work"));
    return worker;
}

SerialWorker::~SerialWorker()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SerialWorker::post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void SerialWorker::loop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

} // namespace vellamor
