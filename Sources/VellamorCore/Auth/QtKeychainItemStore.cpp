#include "Auth/QtKeychainItemStore.h"

#include "Auth/KeychainStatus.h"
#include "Support/Async/Resumption.h"

#include <qt6keychain/keychain.h>

#include <QTimer>

#include <memory>

namespace vellamor {

namespace {

struct JobOutcome {
    qint32 status = KeychainStatus::interactionNotAllowed;
    QByteArray data;
};

qint32 statusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return KeychainStatus::success;
    case QKeychain::EntryNotFound:
        return KeychainStatus::itemNotFound;
    case QKeychain::CouldNotDeleteEntry:
        return KeychainStatus::readOnly;
    case QKeychain::AccessDeniedByUser:
        return KeychainStatus::userCanceled;
    case QKeychain::AccessDenied:
        return KeychainStatus::authFailed;
    case QKeychain::NoBackendAvailable:
        return KeychainStatus::notAvailable;
    case QKeychain::NotImplemented:
        return KeychainStatus::unimplemented;
    case QKeychain::OtherError:
        return KeychainStatus::internalComponent;
    }
    return KeychainStatus::internalComponent;
}

// Starts `job` and waits for its end or the time-out. The job deletes itself
// once finished, also when the wait gave up on it first.
QCoro::Task<JobOutcome> runJob(QKeychain::Job* job, std::chrono::milliseconds timeout)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    auto outcome = std::make_shared<JobOutcome>();
    auto resumption = detail::Resumption::make();
    QTimer timer;
    timer.setSingleShot(true);
    co_await resumption->suspend({}, [&](auto waker) {
        QObject::connect(job, &QKeychain::Job::finished, job, [outcome, waker](QKeychain::Job* finished) {
            outcome->status = statusOf(finished->error());
            if (auto* reader = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                outcome->data = reader->binaryData();
            waker->fire(detail::Resumption::Reason::Signalled);
        });
        QObject::connect(&timer, &QTimer::timeout, [waker] { waker->fire(detail::Resumption::Reason::Signalled); });
        timer.start(timeout);
        job->start();
    });
    co_return *outcome;
}

} // namespace

QtKeychainItemStore::QtKeychainItemStore(std::chrono::milliseconds jobTimeout) : jobTimeout_(jobTimeout) {}

QCoro::Task<std::optional<QByteArray>> QtKeychainItemStore::read(QString service, QString account, Variant variant)
{
    if (variant == Variant::file)
        co_return std::nullopt;
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    const JobOutcome outcome = co_await runJob(job, jobTimeout_);
    if (outcome.status != KeychainStatus::success)
        co_return std::nullopt;
    co_return outcome.data;
}

QCoro::Task<qint32> QtKeychainItemStore::write(QString service, QString account, QByteArray data, Variant variant)
{
    if (variant == Variant::file)
        co_return KeychainStatus::notAvailable;
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setKey(account);
    // Stored as text so the keyring shows the document as it is.
    job->setTextData(QString::fromUtf8(data));
    co_return (co_await runJob(job, jobTimeout_)).status;
}

QCoro::Task<qint32> QtKeychainItemStore::remove(QString service, QString account, Variant variant)
{
    if (variant == Variant::file)
        co_return KeychainStatus::itemNotFound;
    auto* job = new QKeychain::DeletePasswordJob(service);
    job->setKey(account);
    co_return (co_await runJob(job, jobTimeout_)).status;
}

} // namespace vellamor
