#include "I18n/LocaleResolver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace vellamor {

const QString LocaleResolver::resourceBundleName = QStringLiteral("Vellamor_VellamorCore.bundle");

namespace {

Locale localeWith(const QString& code, const LocaleResolver::SystemLocaleSource& systemLocale)
{
    if (code == u"zh")
        return Locale::fromIdentifier(QStringLiteral("zh-Hans"));
    if (code == u"en")
        return Locale::fromIdentifier(QStringLiteral("en"));
    return systemLocale();
}

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists (or in a tool without one).
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

} // namespace

LocaleResolver::LocaleResolver() : LocaleResolver(&Locale::system) {}

LocaleResolver::LocaleResolver(SystemLocaleSource systemLocale) : systemLocale_(std::move(systemLocale)) {}

LocaleResolver& LocaleResolver::shared()
{
    static LocaleResolver resolver;
    return resolver;
}

void LocaleResolver::setLanguage(const QString& code)
{
    std::lock_guard lock(mutex_);
    languageCode_ = code;
}

QString LocaleResolver::languageCode() const
{
    std::lock_guard lock(mutex_);
    return languageCode_;
}

Locale LocaleResolver::currentLocale() const
{
    return localeFor(languageCode());
}

Locale LocaleResolver::locale(const QString& code)
{
    return localeWith(code, &Locale::system);
}

Locale LocaleResolver::localeFor(const QString& code) const
{
    return localeWith(code, systemLocale_);
}

QStringList LocaleResolver::resourceBundleCandidates(const QString& executableDirectory)
{
    const QDir directory(executableDirectory);
    return {
        QDir::cleanPath(directory.filePath(resourceBundleName)),
        QDir::cleanPath(directory.filePath(QStringLiteral("../share/vellamor/") + resourceBundleName)),
    };
}

QString LocaleResolver::resourceBundle()
{
    const QStringList candidates = resourceBundleCandidates(executableDirectory());
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return candidates.first();
}

} // namespace vellamor
