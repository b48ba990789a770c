#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QObject>
#include <QVariantMap>

namespace vellamor::platform {

namespace {

const QString launcherService = QStringLiteral("org.a11y.Bus");
const QString launcherPath = QStringLiteral("/org/a11y/bus");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString enabledProperty = QStringLiteral("IsEnabled");

QDBusMessage propertiesCall(const QString& method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface, method);
    message << statusInterface << enabledProperty;
    return message;
}

std::optional<bool> boolIn(const QVariant& value)
{
    if (value.metaType().id() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

} // namespace

class DBusAccessibilityStatus::Follower final : public QObject {
    Q_OBJECT

public:
    explicit Follower(std::chrono::milliseconds timeout)
        : timeout_(timeout)
    {
        // Any sender: naming the launcher's well-known name would have Qt
        // look its owner up, waiting on the launcher.
        QDBusConnection::sessionBus().connect(QString(), launcherPath, propertiesInterface,
            QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        ask();
    }

    std::optional<bool> known;

    void ask()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (asking_ || !bus.isConnected())
            return;
        asking_ = true;
        auto* watcher = new QDBusPendingCallWatcher(
            bus.asyncCall(propertiesCall(QStringLiteral("Get")), static_cast<int>(timeout_.count())), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, sets = sets_](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            asking_ = false;
            take(call->reply(), sets);
        });
    }

    int sets() const { return sets_; }

    // The launcher's answer to a question asked after `sets` switches.
    void take(const QDBusMessage& reply, int sets)
    {
        // Asked before a switch this process made: told of the old value.
        if (sets != sets_)
            return;
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            known = boolIn(reply.arguments().constFirst().value<QDBusVariant>().variant());
            return;
        }
        // A stopped or busy launcher has not changed the switch.
        if (reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NoReply")
            && reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.Timeout"))
            known.reset();
    }

    // The launcher has been asked to switch it on.
    void switchedOn()
    {
        ++sets_;
        known = true;
    }

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
    {
        if (interface != statusInterface)
            return;
        if (const auto value = changed.constFind(enabledProperty); value != changed.constEnd())
            known = boolIn(*value);
        else if (invalidated.contains(enabledProperty))
            ask();
    }

private:
    std::chrono::milliseconds timeout_;
    bool asking_ = false;
    int sets_ = 0;
};

DBusAccessibilityStatus::DBusAccessibilityStatus(std::chrono::milliseconds timeout)
    : timeout_(timeout)
    , follower_(std::make_unique<Follower>(timeout))
{
}

DBusAccessibilityStatus::~DBusAccessibilityStatus() = default;

std::optional<bool> DBusAccessibilityStatus::isEnabled() const
{
    follower_->ask();
    return follower_->known;
}

QCoro::Task<std::optional<bool>> DBusAccessibilityStatus::askEnabled()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        co_return std::nullopt;
    const int sets = follower_->sets();
    QDBusPendingCall pending = bus.asyncCall(propertiesCall(QStringLiteral("Get")), static_cast<int>(timeout_.count()));
    const QDBusMessage reply = co_await pending;
    follower_->take(reply, sets);
    co_return follower_->known;
}

bool DBusAccessibilityStatus::enable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage message = propertiesCall(QStringLiteral("Set"));
    message << QVariant::fromValue(QDBusVariant(true));
    // Taken as done: the next question's answer says otherwise if the
    // launcher refused.
    bus.asyncCall(message, static_cast<int>(timeout_.count()));
    follower_->switchedOn();
    return true;
}

} // namespace vellamor::platform

#include "DBusAccessibilityStatus.moc"
