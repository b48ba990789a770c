#pragma once

#include "Platform/Appearance/ColorSchemeSource.h"

#include <QObject>

class QDBusVariant;

namespace vellamor::platform {

// The freedesktop portal's "org.freedesktop.appearance" "color-scheme"
// setting, read once without blocking and then followed through the
// portal's SettingChanged signal. Without a portal the preference stays
// noPreference.
class PortalColorSchemeSource final : public QObject, public ColorSchemeSource {
    Q_OBJECT

public:
    explicit PortalColorSchemeSource(QObject* parent = nullptr);

    ColorScheme current() const override { return current_; }
    void setOnChange(std::function<void(ColorScheme)> onChange) override { onChange_ = std::move(onChange); }

    // The portal's value: 1 prefers dark, 2 prefers light, anything else none.
    static ColorScheme fromPortalValue(const QVariant& value);

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void update(ColorScheme scheme);

    ColorScheme current_ = ColorScheme::noPreference;
    std::function<void(ColorScheme)> onChange_;
};

} // namespace vellamor::platform
