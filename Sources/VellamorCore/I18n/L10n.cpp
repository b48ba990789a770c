#include "I18n/L10n.h"

#include "I18n/LocaleResolver.h"
#include "I18n/ObjectFormat.h"
#include "I18n/XCStringsLoader.h"

namespace vellamor {

QString L10n::localized(const QString& key)
{
    return localized(key, LocaleResolver::shared(), XCStringsLoader::shared());
}

QString L10n::localized(const QString& key, const LocaleResolver& resolver, const XCStringsLoader& loader)
{
    return loader.value(key, resolver.currentLocale()).value_or(key);
}

QString L10n::About::title() { return localized(QStringLiteral("about.title")); }
QString L10n::About::tagline() { return localized(QStringLiteral("about.tagline")); }
QString L10n::About::feedbackChannel() { return localized(QStringLiteral("about.feedbackChannel")); }
QString L10n::About::feedbackChannelValue() { return localized(QStringLiteral("about.feedbackChannelValue")); }
QString L10n::About::license() { return localized(QStringLiteral("about.license")); }
QString L10n::About::licenseValue() { return localized(QStringLiteral("about.licenseValue")); }
QString L10n::About::visitWebsite() { return localized(QStringLiteral("about.visitWebsite")); }
QString L10n::About::sendFeedback() { return localized(QStringLiteral("about.sendFeedback")); }
QString L10n::About::licensesCredits() { return localized(QStringLiteral("about.licensesCredits")); }

QString L10n::About::versionFormat(const QString& version, const QString& build)
{
    return formatWithObjects(localized(QStringLiteral("about.versionFormat")), {version, build});
}

QString L10n::Errors::network() { return localized(QStringLiteral("errors.network")); }
QString L10n::Errors::unauthorized() { return localized(QStringLiteral("errors.unauthorized")); }
QString L10n::Errors::timeout() { return localized(QStringLiteral("errors.timeout")); }
QString L10n::Errors::serverError() { return localized(QStringLiteral("errors.serverError")); }
QString L10n::Errors::micPermissionDenied() { return localized(QStringLiteral("errors.micPermissionDenied")); }
QString L10n::Errors::accessibilityDenied() { return localized(QStringLiteral("errors.accessibilityDenied")); }
QString L10n::Errors::recognitionFailed() { return localized(QStringLiteral("errors.recognitionFailed")); }
QString L10n::Errors::insertFailed() { return localized(QStringLiteral("errors.insertFailed")); }
QString L10n::Errors::unknown() { return localized(QStringLiteral("errors.unknown")); }

const QStringList& L10n::keys()
{
    static const QStringList all{
        QStringLiteral("about.title"),
        QStringLiteral("about.tagline"),
        QStringLiteral("about.feedbackChannel"),
        QStringLiteral("about.feedbackChannelValue"),
        QStringLiteral("about.license"),
        QStringLiteral("about.licenseValue"),
        QStringLiteral("about.visitWebsite"),
        QStringLiteral("about.sendFeedback"),
        QStringLiteral("about.licensesCredits"),
        QStringLiteral("about.versionFormat"),
        QStringLiteral("errors.network"),
        QStringLiteral("errors.unauthorized"),
        QStringLiteral("errors.timeout"),
        QStringLiteral("errors.serverError"),
        QStringLiteral("errors.micPermissionDenied"),
        QStringLiteral("errors.accessibilityDenied"),
        QStringLiteral("errors.recognitionFailed"),
        QStringLiteral("errors.insertFailed"),
        QStringLiteral("errors.unknown"),
    };
    return all;
}

} // namespace vellamor
