#include "Platform/AccessibilityStatus/DBusAccessibilityStatus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace vellamor::platform {

namespace {

QDBusMessage propertiesCall(const QString& method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"), method);
    message << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    return message;
}

} // namespace

DBusAccessibilityStatus::DBusAccessibilityStatus(std::chrono::milliseconds timeout)
    : timeout_(timeout)
{
}

std::optional<bool> DBusAccessibilityStatus::isEnabled() const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    const QDBusMessage reply = bus.call(propertiesCall(QStringLiteral("Get")), QDBus::Block,
                                        static_cast<int>(timeout_.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    if (value.metaType().id() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

bool DBusAccessibilityStatus::enable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage message = propertiesCall(QStringLiteral("Set"));
    message << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = bus.call(message, QDBus::Block, static_cast<int>(timeout_.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace vellamor::platform
