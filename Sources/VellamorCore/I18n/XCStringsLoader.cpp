#include "I18n/XCStringsLoader.h"

#include "I18n/LocaleResolver.h"
#include "Support/Json/JsonReader.h"

#include <QFile>

namespace vellamor {

XCStringsLoader::XCStringsLoader(const std::optional<QString>& cataloguePath)
{
    if (!cataloguePath)
        return;
    QFile file(*cataloguePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    catalog_ = parse(bytes);
}

XCStringsLoader& XCStringsLoader::shared()
{
    static XCStringsLoader loader(defaultCataloguePath());
    return loader;
}

QString XCStringsLoader::defaultCataloguePath()
{
    return LocaleResolver::resourceBundle() + QStringLiteral("/Localizable.xcstrings");
}

std::optional<XCStringsLoader::Catalog> XCStringsLoader::parse(const QByteArray& json)
{
    try {
        const JsonReader root = JsonReader::parse(json);
        Catalog catalog;
        catalog.sourceLanguage = root.requireString(u"sourceLanguage");
        const JsonReader strings = root.requireObject(u"strings");
        for (const QString& key : strings.keys()) {
            const JsonReader localizations = strings.requireObject(key).requireObject(u"localizations");
            QHash<QString, QString> texts;
            for (const QString& code : localizations.keys())
                texts.insert(code, localizations.requireObject(code).requireObject(u"stringUnit").requireString(u"value"));
            catalog.strings.insert(key, texts);
        }
        return catalog;
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

QStringList XCStringsLoader::candidateLocaleCodes(const Locale& locale, const QString& sourceLanguage)
{
    QStringList codes{locale.identifier};

    const QString normalized = locale.identifier.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    if (normalized.startsWith(u"zh")) {
        const bool traditional = normalized.contains(u"hant") || normalized.contains(u"-tw")
            || normalized.contains(u"-hk") || normalized.contains(u"-mo");
        codes.append(traditional ? QStringLiteral("zh-Hant") : QStringLiteral("zh-Hans"));
    }

    std::optional<QString> language = locale.languageCode;
    if (!language) {
        for (qsizetype i = 0; i < locale.identifier.size(); ++i) {
            if (locale.identifier[i] == QLatin1Char('-') || locale.identifier[i] == QLatin1Char('_')) {
                language = locale.identifier.left(i);
                break;
            }
        }
    }
    if (language && !codes.contains(*language))
        codes.append(*language);

    if (!codes.contains(sourceLanguage))
        codes.append(sourceLanguage);
    return codes;
}

std::optional<QString> XCStringsLoader::value(const QString& key, const Locale& locale) const
{
    if (!catalog_ || catalog_->strings.isEmpty())
        return std::nullopt;
    const auto entry = catalog_->strings.constFind(key);
    if (entry == catalog_->strings.constEnd())
        return std::nullopt;
    for (const QString& code : candidateLocaleCodes(locale, catalog_->sourceLanguage)) {
        const auto text = entry->constFind(code);
        if (text != entry->constEnd())
            return *text;
    }
    const auto source = entry->constFind(catalog_->sourceLanguage);
    if (source != entry->constEnd())
        return *source;
    return std::nullopt;
}

} // namespace vellamor
