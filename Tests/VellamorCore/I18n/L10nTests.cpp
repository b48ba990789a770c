#include "I18n/L10n.h"

#include "I18n/LocaleResolver.h"
#include "I18n/ObjectFormat.h"
#include "I18n/XCStringsLoader.h"

#include "QtPrinters.h"

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
        EXPECT_EQ(resolver.currentLocale(), expected) << code.toStdString();
    }
    // The static mapping uses the real system locale for everything else.
    EXPECT_EQ(LocaleResolver::locale(QStringLiteral("fr")), Locale::system());
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

TEST_F(ShippedCatalogue, EveryKeyHasChineseAndEnglishTexts)
{
    const auto& catalog = XCStringsLoader::shared().catalog();
    ASSERT_TRUE(catalog.has_value()) << XCStringsLoader::defaultCataloguePath().toStdString();
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

// Nothing is cached: each access uses the language set just before it.
TEST_F(ShippedCatalogue, AccessorsLookUpTheirOwnKeysInTheInterfaceLanguage)
{
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
        {&L10n::Hotkey::heldKey, "右 Ctrl"},
        {&L10n::Dictionary::searchPlaceholder, "搜索词条"},
        {&L10n::Dictionary::refresh, "刷新"},
        {&L10n::Dictionary::addEntry, "添加词条"},
        {&L10n::Dictionary::signInHelp, "点击登录账号以开启云端同步"},
        {&L10n::Dictionary::loading, "加载中…"},
        {&L10n::Dictionary::retry, "重试"},
        {&L10n::Dictionary::emptyTitle, "还没有词条"},
        {&L10n::Dictionary::emptyHint, "把人名、品牌、缩写告诉 Vellamor，识别更准。"},
        {&L10n::Dictionary::addFirstEntry, "添加第一个词条"},
        {&L10n::Dictionary::editEntry, "编辑词条"},
        {&L10n::Dictionary::termPlaceholder, "术语"},
        {&L10n::Dictionary::replacementPlaceholder, "替换 / 拼音（可空）"},
        {&L10n::Dictionary::notePlaceholder, "备注（可空）"},
        {&L10n::Dictionary::editorHelp, "术语示例：人名、品牌、缩写。\n替换会用于辅助识别更准确的写法。"},
        {&L10n::Dictionary::cancel, "取消"},
        {&L10n::Dictionary::add, "添加"},
        {&L10n::Dictionary::save, "保存"},
        {&L10n::Dictionary::editHelp, "编辑"},
        {&L10n::Dictionary::deleteHelp, "删除"},
    };
    EXPECT_EQ(std::size(accessors) + 1, static_cast<size_t>(L10n::keys().size())); // + the version format
    const std::pair<QString, QString> languages[] = {
        {QStringLiteral("zh"), QStringLiteral("版本 1.4.0（210）")},
        {QStringLiteral("en"), QStringLiteral("Version 1.4.0 (210)")},
    };
    for (const auto& [language, version] : languages) {
        LocaleResolver::shared().setLanguage(language);
        const Locale locale = LocaleResolver::locale(language);
        for (const auto& [accessor, key] : accessors)
            EXPECT_EQ(accessor(), XCStringsLoader::shared().value(QString::fromUtf8(key), locale)) << key;
        EXPECT_EQ(L10n::About::versionFormat(QStringLiteral("1.4.0"), QStringLiteral("210")), version);
    }
}

TEST_F(ShippedCatalogue, OtherLanguagesFollowTheSystemAndUnknownKeysShowThemselves)
{
    LocaleResolver& shared = LocaleResolver::shared();
    shared.setLanguage(QStringLiteral("auto"));
    const QString automatic = L10n::About::sendFeedback();
    EXPECT_NE(automatic, QStringLiteral("about.sendFeedback"));
    shared.setLanguage(QStringLiteral("fr"));
    EXPECT_EQ(L10n::About::sendFeedback(), automatic);
    EXPECT_EQ(L10n::localized(QStringLiteral("about.noSuchKey")), QStringLiteral("about.noSuchKey"));
}

} // namespace
