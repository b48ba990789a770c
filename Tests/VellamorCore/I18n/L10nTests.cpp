#include "I18n/L10n.h"

#include "I18n/LocaleResolver.h"
#include "I18n/ObjectFormat.h"
#include "I18n/XCStringsLoader.h"

#include "QtPrinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace vellamor;

namespace {

const Locale kBritish{QStringLiteral("en_GB"), QStringLiteral("en")};

TEST(LocaleResolverTest, LanguageCodesMapToLocales)
{
    LocaleResolver resolver([] { return kBritish; });
    EXPECT_EQ(resolver.languageCode(), QStringLiteral("auto"));
    EXPECT_EQ(resolver.currentLocale(), kBritish);

    const std::pair<QString, Locale> cases[] = {
        {QStringLiteral("zh"), Locale{QStringLiteral("zh-Hans"), QStringLiteral("zh")}},
        {QStringLiteral("en"), Locale{QStringLiteral("en"), QStringLiteral("en")}},
        {QStringLiteral("auto"), kBritish},
        {QStringLiteral("fr"), kBritish},
        {QStringLiteral("zh-Hant"), kBritish},
        {QStringLiteral("ZH"), kBritish},
        {QString(), kBritish},
    };
    for (const auto& [code, expected] : cases) {
        resolver.setLanguage(code);
        EXPECT_EQ(resolver.languageCode(), code);
        EXPECT_EQ(resolver.currentLocale(), expected) << code.toStdString();
        EXPECT_EQ(resolver.localeFor(code), expected) << code.toStdString();
    }
    // The static mapping uses the real system locale for everything else.
    EXPECT_EQ(LocaleResolver::locale(QStringLiteral("fr")), Locale::system());
    EXPECT_EQ(LocaleResolver::locale(QStringLiteral("zh")).identifier, QStringLiteral("zh-Hans"));
}

TEST(LocaleResolverTest, LanguageChangesWhileOtherThreadsRead)
{
    LocaleResolver resolver([] { return kBritish; });
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::thread reader([&] {
        while (!stop) {
            const QString id = resolver.currentLocale().identifier;
            if (id != u"zh-Hans" && id != u"en" && id != u"en_GB")
                ++unexpected;
        }
    });
    const QString codes[] = {QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("auto")};
    for (int i = 0; i < 20000; ++i)
        resolver.setLanguage(codes[i % 3]);
    stop = true;
    reader.join();
    EXPECT_EQ(unexpected, 0);
}

TEST(ObjectFormatTest, ObjectArgumentsInOrderOrByPosition)
{
    const QStringList args{QStringLiteral("1.4.0"), QStringLiteral("210")};
    const std::pair<const char*, const char*> cases[] = {
        {"Version %@ (%@)", "Version 1.4.0 (210)"},
        {"版本 %@（%@）", "版本 1.4.0（210）"},
        {"build %2$@ of %1$@", "build 210 of 1.4.0"},
        {"100%% %@", "100% 1.4.0"},
        {"%@%@%@", "1.4.0210"},
        {"%d %@", "%d 1.4.0"},
        {"ends with %", "ends with %"},
        {"%3$@|%0$@|", "||"},
        {"no arguments", "no arguments"},
    };
    for (const auto& [format, expected] : cases)
        EXPECT_EQ(formatWithObjects(QString::fromUtf8(format), args), QString::fromUtf8(expected)) << format;
}

// The shipped catalogue, staged beside this test's executable by the build.
class ShippedCatalogue : public ::testing::Test {
protected:
    void TearDown() override { LocaleResolver::shared().setLanguage(QStringLiteral("auto")); }
};

TEST_F(ShippedCatalogue, IsFoundBesideTheExecutable)
{
    const QString bundle = LocaleResolver::resourceBundle();
    EXPECT_EQ(QFileInfo(bundle).fileName(), QStringLiteral("Vellamor_VellamorCore.bundle"));
    EXPECT_EQ(QFileInfo(bundle).absolutePath(), QCoreApplication::applicationDirPath());
    EXPECT_TRUE(XCStringsLoader::shared().catalog().has_value()) << XCStringsLoader::defaultCataloguePath().toStdString();

    EXPECT_EQ(LocaleResolver::resourceBundleCandidates(QStringLiteral("/opt/vellamor/bin")),
              (QStringList{QStringLiteral("/opt/vellamor/bin/Vellamor_VellamorCore.bundle"),
                           QStringLiteral("/opt/vellamor/share/vellamor/Vellamor_VellamorCore.bundle")}));
}

TEST_F(ShippedCatalogue, EveryKeyHasChineseAndEnglishTexts)
{
    const auto& catalog = XCStringsLoader::shared().catalog();
    ASSERT_TRUE(catalog.has_value());
    EXPECT_EQ(catalog->sourceLanguage, QStringLiteral("zh-Hans"));
    for (const QString& key : L10n::keys()) {
        const auto entry = catalog->strings.value(key);
        for (const char* language : {"zh-Hans", "en"}) {
            const QString text = entry.value(QString::fromUtf8(language));
            EXPECT_FALSE(text.isEmpty()) << key.toStdString() << " " << language;
            // Only the version format takes arguments; a stray "%" elsewhere
            // would be shown as it is.
            EXPECT_EQ(text.count(QStringLiteral("%@")), key == u"about.versionFormat" ? 2 : 0) << key.toStdString();
        }
    }
}

TEST_F(ShippedCatalogue, TypedKeysFollowTheInterfaceLanguage)
{
    LocaleResolver& shared = LocaleResolver::shared();

    shared.setLanguage(QStringLiteral("zh"));
    EXPECT_EQ(L10n::About::title(), QStringLiteral("关于 Vellamor"));
    EXPECT_EQ(L10n::About::versionFormat(QStringLiteral("1.4.0"), QStringLiteral("210")),
              QStringLiteral("版本 1.4.0（210）"));
    EXPECT_EQ(L10n::Errors::network(), QStringLiteral("网络连接失败，请检查网络后重试。"));

    // No caching: the next access already uses the new language.
    shared.setLanguage(QStringLiteral("en"));
    EXPECT_EQ(L10n::About::title(), QStringLiteral("About Vellamor"));
    EXPECT_EQ(L10n::About::versionFormat(QStringLiteral("1.4.0"), QStringLiteral("210")),
              QStringLiteral("Version 1.4.0 (210)"));

    // Every other code follows the system locale, exactly like "auto".
    shared.setLanguage(QStringLiteral("auto"));
    const QString automatic = L10n::About::sendFeedback();
    shared.setLanguage(QStringLiteral("fr"));
    EXPECT_EQ(L10n::About::sendFeedback(), automatic);
    EXPECT_NE(automatic, QStringLiteral("about.sendFeedback"));

    EXPECT_EQ(L10n::localized(QStringLiteral("about.noSuchKey")), QStringLiteral("about.noSuchKey"));
}

TEST_F(ShippedCatalogue, AccessorsLookUpTheirOwnKeys)
{
    LocaleResolver::shared().setLanguage(QStringLiteral("en"));
    const XCStringsLoader& loader = XCStringsLoader::shared();
    const Locale en = LocaleResolver::locale(QStringLiteral("en"));
    const std::pair<QString (*)(), const char*> accessors[] = {
        {&L10n::About::title, "about.title"},
        {&L10n::About::tagline, "about.tagline"},
        {&L10n::About::feedbackChannel, "about.feedbackChannel"},
        {&L10n::About::feedbackChannelValue, "about.feedbackChannelValue"},
        {&L10n::About::license, "about.license"},
        {&L10n::About::licenseValue, "about.licenseValue"},
        {&L10n::About::visitWebsite, "about.visitWebsite"},
        {&L10n::About::sendFeedback, "about.sendFeedback"},
        {&L10n::About::licensesCredits, "about.licensesCredits"},
        {&L10n::Errors::network, "errors.network"},
        {&L10n::Errors::unauthorized, "errors.unauthorized"},
        {&L10n::Errors::timeout, "errors.timeout"},
        {&L10n::Errors::serverError, "errors.serverError"},
        {&L10n::Errors::micPermissionDenied, "errors.micPermissionDenied"},
        {&L10n::Errors::accessibilityDenied, "errors.accessibilityDenied"},
        {&L10n::Errors::recognitionFailed, "errors.recognitionFailed"},
        {&L10n::Errors::insertFailed, "errors.insertFailed"},
        {&L10n::Errors::unknown, "errors.unknown"},
    };
    for (const auto& [accessor, key] : accessors)
        EXPECT_EQ(accessor(), loader.value(QString::fromUtf8(key), en)) << key;
    EXPECT_EQ(std::size(accessors) + 1, static_cast<size_t>(L10n::keys().size()));
}

} // namespace
