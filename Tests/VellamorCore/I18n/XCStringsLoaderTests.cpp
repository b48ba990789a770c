#include "I18n/XCStringsLoader.h"

#include "I18n/L10n.h"
#include "I18n/LocaleResolver.h"

#include "QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>

using namespace vellamor;

namespace {

Locale locale(const char* identifier, std::optional<QString> languageCode)
{
    return Locale{QString::fromUtf8(identifier), std::move(languageCode)};
}

QStringList codes(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* code : list)
        result.append(QString::fromUtf8(code));
    return result;
}

TEST(CandidateLocaleCodes, OrderAndChineseScripts)
{
    const QString hans = QStringLiteral("zh-Hans");
    struct Case {
        Locale locale;
        QString source;
        QStringList expected;
    };
    const Case cases[] = {
        {locale("zh_TW", QStringLiteral("zh")), hans, codes({"zh_TW", "zh-Hant", "zh", "zh-Hans"})},
        {locale("zh_HK", QStringLiteral("zh")), hans, codes({"zh_HK", "zh-Hant", "zh", "zh-Hans"})},
        {locale("zh_MO", QStringLiteral("zh")), hans, codes({"zh_MO", "zh-Hant", "zh", "zh-Hans"})},
        {locale("zh-Hant_SG", QStringLiteral("zh")), hans, codes({"zh-Hant_SG", "zh-Hant", "zh", "zh-Hans"})},
        {locale("zh_CN", QStringLiteral("zh")), hans, codes({"zh_CN", "zh-Hans", "zh"})},
        // The script entry is added even when it repeats the identifier.
        {locale("zh-Hans", QStringLiteral("zh")), hans, codes({"zh-Hans", "zh-Hans", "zh"})},
        {locale("ZH_tw", QStringLiteral("zh")), hans, codes({"ZH_tw", "zh-Hant", "zh", "zh-Hans"})},
        {locale("en_GB", QStringLiteral("en")), hans, codes({"en_GB", "en", "zh-Hans"})},
        {locale("en", QStringLiteral("en")), hans, codes({"en", "zh-Hans"})},
        {locale("en", QStringLiteral("en")), QStringLiteral("en"), codes({"en"})},
        // Without a language code: the identifier's part before "-" or "_".
        {locale("xx-YY", std::nullopt), hans, codes({"xx-YY", "xx", "zh-Hans"})},
        {locale("xx_YY", std::nullopt), hans, codes({"xx_YY", "xx", "zh-Hans"})},
        {locale("C", std::nullopt), hans, codes({"C", "zh-Hans"})},
        // Not a Chinese identifier even though the language reads "zh".
        {locale("x_zh", QStringLiteral("zh")), hans, codes({"x_zh", "zh", "zh-Hans"})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XCStringsLoader::candidateLocaleCodes(c.locale, c.source), c.expected)
            << c.locale.identifier.toStdString();
    }
}

const QByteArray kCatalogue = R"json({
  "sourceLanguage" : "zh-Hans",
  "version" : "1.0",
  "strings" : {
    "both" : { "comment" : "ignored", "extractionState" : "manual", "localizations" : {
      "zh-Hans" : { "stringUnit" : { "state" : "translated", "value" : "简体" } },
      "en" : { "stringUnit" : { "state" : "translated", "value" : "English" } } } },
    "sourceOnly" : { "localizations" : {
      "zh-Hans" : { "stringUnit" : { "value" : "仅源语言" } } } },
    "traditional" : { "localizations" : {
      "zh-Hans" : { "stringUnit" : { "value" : "简" } },
      "zh-Hant" : { "stringUnit" : { "value" : "繁" } },
      "zh_TW" : { "stringUnit" : { "value" : "台灣" } } } },
    "regional" : { "localizations" : {
      "en" : { "stringUnit" : { "value" : "colour?" } },
      "en_GB" : { "stringUnit" : { "value" : "colour" } } } },
    "nothingUsable" : { "localizations" : {
      "fr" : { "stringUnit" : { "value" : "français" } } } },
    "empty" : { "localizations" : { } },
    "format" : { "localizations" : {
      "zh-Hans" : { "stringUnit" : { "value" : "版本 %@（%@）" } },
      "en" : { "stringUnit" : { "value" : "Version %@ (%@)" } } } }
  }
})json";

QString writeCatalogue(const QTemporaryDir& dir, const QByteArray& json)
{
    QFile file(dir.filePath(QStringLiteral("Localizable.xcstrings")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json);
    return file.fileName();
}

TEST(XCStringsLoaderValue, FirstCandidateTheEntryHasWins)
{
    struct Case {
        const char* key;
        Locale where;
        std::optional<QString> expected;
    };
    const Locale zhHans = LocaleResolver::locale(QStringLiteral("zh"));
    const Locale en = LocaleResolver::locale(QStringLiteral("en"));
    const Case cases[] = {
        {"both", zhHans, QStringLiteral("简体")},
        {"both", en, QStringLiteral("English")},
        {"both", locale("en_GB", QStringLiteral("en")), QStringLiteral("English")},
        {"both", locale("fr_FR", QStringLiteral("fr")), QStringLiteral("简体")},
        {"sourceOnly", locale("en_GB", QStringLiteral("en")), QStringLiteral("仅源语言")},
        {"traditional", locale("zh_TW", QStringLiteral("zh")), QStringLiteral("台灣")},
        {"traditional", locale("zh_HK", QStringLiteral("zh")), QStringLiteral("繁")},
        {"traditional", locale("zh_CN", QStringLiteral("zh")), QStringLiteral("简")},
        {"regional", locale("en_GB", QStringLiteral("en")), QStringLiteral("colour")},
        {"regional", locale("en_US", QStringLiteral("en")), QStringLiteral("colour?")},
        {"regional", zhHans, std::nullopt},
        {"nothingUsable", en, std::nullopt},
        {"empty", zhHans, std::nullopt},
        {"missing", zhHans, std::nullopt},
    };
    QTemporaryDir dir;
    const XCStringsLoader loader(writeCatalogue(dir, kCatalogue));
    for (const auto& c : cases)
        EXPECT_EQ(loader.value(QString::fromUtf8(c.key), c.where), c.expected)
            << c.key << " in " << c.where.identifier.toStdString();
}

TEST(XCStringsLoaderParse, OneMissingOrMistypedMemberSpoilsTheWholeCatalogue)
{
    const char* broken[] = {
        "not json",
        "[]",
        R"({"strings":{}})",
        R"({"sourceLanguage":"zh-Hans"})",
        R"({"sourceLanguage":7,"strings":{}})",
        R"({"sourceLanguage":"zh-Hans","strings":[]})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":{"en":{"stringUnit":{"value":"A"}}}},"b":{}}})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":{"en":{}}}}})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":{"en":{"stringUnit":{}}}}}})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":{"en":{"stringUnit":{"value":null}}}}}})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":{"en":{"stringUnit":{"value":3}}}}}})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":{"en":{"variations":{}}}}}})",
        R"({"sourceLanguage":"zh-Hans","strings":{"a":{"localizations":null}}})",
    };
    for (const char* json : broken)
        EXPECT_FALSE(XCStringsLoader::parse(QByteArray(json)).has_value()) << json;

    const auto minimal = XCStringsLoader::parse(R"({"sourceLanguage":"en","strings":{}})");
    ASSERT_TRUE(minimal.has_value());
    EXPECT_TRUE(minimal->strings.isEmpty());
}

TEST(XCStringsLoaderParse, WithoutAUsableCatalogueEveryLookupReturnsItsKey)
{
    QTemporaryDir dir;
    // A good entry next to one without its "value".
    const XCStringsLoader broken(
        writeCatalogue(dir, R"({"sourceLanguage":"zh-Hans","strings":{)"
                            R"("about.title":{"localizations":{"zh-Hans":{"stringUnit":{"value":"关于"}}}},)"
                            R"("about.tagline":{"localizations":{"zh-Hans":{"stringUnit":{"state":"new"}}}}}})"));
    const XCStringsLoader absent(dir.filePath(QStringLiteral("nowhere.xcstrings")));
    const XCStringsLoader none(std::nullopt);
    LocaleResolver resolver([] { return Locale{QStringLiteral("zh_CN"), QStringLiteral("zh")}; });
    resolver.setLanguage(QStringLiteral("zh"));
    for (const XCStringsLoader* loader : {&broken, &absent, &none}) {
        EXPECT_FALSE(loader->catalog().has_value());
        EXPECT_EQ(L10n::localized(QStringLiteral("about.title"), resolver, *loader), QStringLiteral("about.title"));
    }
}

} // namespace
