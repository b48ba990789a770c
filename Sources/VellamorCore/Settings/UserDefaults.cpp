#include "Settings/UserDefaults.h"

#include "Support/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <utility>

namespace vellamor {

namespace {

template <typename Write>
bool writeThrough(const QString& filePath, Write write)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QSettings settings(filePath, QSettings::IniFormat);
    write(settings);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QVariant readValue(const QString& filePath, const QString& key)
{
    const QSettings settings(filePath, QSettings::IniFormat);
    return settings.value(key);
}

} // namespace

UserDefaults::UserDefaults(QString filePath) : filePath_(std::move(filePath)) { }

UserDefaults::~UserDefaults() = default;

QString UserDefaults::standardFilePath()
{
    const auto directory = AppPaths::configDirectory();
    const QString base = directory
        ? *directory
        : QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vellamor");
    return base + QStringLiteral("/vellamor.ini");
}

std::shared_ptr<UserDefaults> UserDefaults::standard()
{
    static const std::shared_ptr<UserDefaults> instance = std::make_shared<UserDefaults>(standardFilePath());
    return instance;
}

std::optional<QByteArray> UserDefaults::data(const QString& key) const
{
    const QMutexLocker lock(&mutex_);
    const QVariant value = readValue(filePath_, key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

bool UserDefaults::setData(const QString& key, const QByteArray& value)
{
    const QMutexLocker lock(&mutex_);
    return writeThrough(filePath_, [&](QSettings& settings) { settings.setValue(key, value); });
}

bool UserDefaults::boolValue(const QString& key) const
{
    const QMutexLocker lock(&mutex_);
    // The INI file holds "true"/"false" as text; toBool() reads both forms.
    return readValue(filePath_, key).toBool();
}

bool UserDefaults::setBool(const QString& key, bool value)
{
    const QMutexLocker lock(&mutex_);
    return writeThrough(filePath_, [&](QSettings& settings) { settings.setValue(key, value); });
}

std::optional<QString> UserDefaults::string(const QString& key) const
{
    const QMutexLocker lock(&mutex_);
    const QVariant value = readValue(filePath_, key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

bool UserDefaults::setString(const QString& key, const QString& value)
{
    const QMutexLocker lock(&mutex_);
    return writeThrough(filePath_, [&](QSettings& settings) { settings.setValue(key, value); });
}

bool UserDefaults::contains(const QString& key) const
{
    const QMutexLocker lock(&mutex_);
    const QSettings settings(filePath_, QSettings::IniFormat);
    return settings.contains(key);
}

bool UserDefaults::remove(const QString& key)
{
    const QMutexLocker lock(&mutex_);
    return writeThrough(filePath_, [&](QSettings& settings) { settings.remove(key); });
}

} // namespace vellamor
