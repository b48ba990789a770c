#include "Platform/Appearance/PortalColorSchemeSource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace vellamor::platform {

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
const QString group = QStringLiteral("org.freedesktop.appearance");
const QString key = QStringLiteral("color-scheme");

} // namespace

PortalColorSchemeSource::PortalColorSchemeSource(QObject* parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(service, path, interface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Read"));
    read << group << key;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            update(fromPortalValue(reply.arguments().first()));
    });
}

ColorScheme PortalColorSchemeSource::fromPortalValue(const QVariant& value)
{
    // Read wraps the setting's variant in a second one.
    QVariant inner = value;
    while (inner.canConvert<QDBusVariant>() && inner.userType() == qMetaTypeId<QDBusVariant>())
        inner = inner.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = inner.toUInt(&ok);
    if (!ok)
        return ColorScheme::noPreference;
    if (scheme == 1)
        return ColorScheme::dark;
    if (scheme == 2)
        return ColorScheme::light;
    return ColorScheme::noPreference;
}

void PortalColorSchemeSource::settingChanged(const QString& changedGroup, const QString& changedKey,
                                             const QDBusVariant& value)
{
    if (changedGroup == group && changedKey == key)
        update(fromPortalValue(value.variant()));
}

void PortalColorSchemeSource::update(ColorScheme scheme)
{
    if (scheme == current_)
        return;
    current_ = scheme;
    if (onChange_)
        onChange_(scheme);
}

} // namespace vellamor::platform
