#include "App/AppDelegate.h"

#include "App/DeeplinkRouter.h"
#include "Support/TextEscaping.h"
#include "Support/TextGraphemes.h"
#include "Support/Utf8Text.h"
#include "VellamorCore.h"

#include <QCoreApplication>
#include <QThread>

namespace vellamor {

namespace {

constexpr qsizetype maxLoggedPathLength = 128;

} // namespace

AppDelegate::AppDelegate(AppConfig config, ContainerFactory makeContainer, std::unique_ptr<SingleInstance> instance,
                         std::function<void()> terminate, QObject* parent)
    : AppDelegate(std::move(config), std::move(makeContainer), std::move(instance), std::move(terminate),
                  VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("app")), parent)
{
}

AppDelegate::AppDelegate(AppConfig config, ContainerFactory makeContainer, std::unique_ptr<SingleInstance> instance,
                         std::function<void()> terminate, VellamorLog log, QObject* parent)
    : QObject(parent)
    , log_(std::move(log))
    , config_(std::move(config))
    , makeContainer_(std::move(makeContainer))
    , instance_(std::move(instance))
    , terminate_(std::move(terminate))
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::requireMainThread() const
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        qFatal("AppDelegate used off the main thread");
}

void AppDelegate::applicationDidFinishLaunching(const QByteArray& launchLink)
{
    requireMainThread();
    if (instance_->isAnotherInstanceRunning(launchLink)) {
        log_.warn(QStringLiteral("another Vellamor instance is running, quitting"));
        terminate_();
        return;
    }
    log_.info(QStringLiteral("Vellamor launched core=") + VellamorCore::version());
    connect(instance_.get(), &SingleInstance::messageReceived, this, &AppDelegate::handleGetURL);
    container_ = makeContainer_(config_);
    container_->start();
    if (!launchLink.isEmpty())
        handleGetURL(launchLink);
}

void AppDelegate::applicationWillTerminate()
{
    requireMainThread();
    if (container_)
        container_->stop();
    log_.info(QStringLiteral("Vellamor terminating"));
}

void AppDelegate::handleGetURL(const QByteArray& link)
{
    requireMainThread();
    // Started again without a link (from the application menu or a
    // terminal): the user is looking for the running instance.
    if (link.isEmpty()) {
        if (container_)
            container_->showSettings();
        return;
    }
    const std::optional<QString> text = decodeUtf8Strictly(link);
    log_.info(QStringLiteral("deeplink received: ") + redactDeeplink(text.value_or(QString::fromUtf8(link))));
    const QUrl url(text.value_or(QString()), QUrl::StrictMode);
    if (!text || !url.isValid()) {
        log_.warn(QStringLiteral("deeplink rejected reason=invalidEncoding"));
        return;
    }
    const DeeplinkRouter::Result result = DeeplinkRouter::route(url);
    if (const auto* reason = std::get_if<RejectReason>(&result))
        log_.warn(QStringLiteral("deeplink rejected reason=") + rawValue(*reason));
}

QString AppDelegate::redactDeeplink(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid())
        return QStringLiteral("<invalid-url>");
    const QString path = graphemePrefix(parsed.path(QUrl::FullyDecoded), maxLoggedPathLength);
    return escapedForLogLine(parsed.scheme() + QStringLiteral("://") + parsed.host() + path)
        + QStringLiteral(" [query:") + QString::number(DeeplinkRouter::queryItemCount(parsed))
        + QStringLiteral(" keys, fragment: ") + (parsed.hasFragment() ? QLatin1Char('1') : QLatin1Char('0'))
        + QLatin1Char(']');
}

} // namespace vellamor
