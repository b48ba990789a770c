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

QString L10n::Hotkey::heldKey() { return localized(QStringLiteral("右 Ctrl")); }

namespace {

bool isHan(QChar c)
{
    return c.script() == QChar::Script_Han;
}

} // namespace

QString L10n::Hotkey::inSentence(const QString& sentence, const QString& keyName)
{
    const qsizetype at = sentence.indexOf(u"%1");
    if (at < 0)
        return sentence;
    const bool joined = !keyName.isEmpty() && isHan(keyName.front()) && at >= 2 && sentence[at - 1] == u' '
        && isHan(sentence[at - 2]);
    return sentence.left(joined ? at - 1 : at) + keyName + sentence.mid(at + 2);
}

QString L10n::Dictionary::searchPlaceholder() { return localized(QStringLiteral("搜索词条")); }
QString L10n::Dictionary::refresh() { return localized(QStringLiteral("刷新")); }
QString L10n::Dictionary::addEntry() { return localized(QStringLiteral("添加词条")); }
QString L10n::Dictionary::signInHelp() { return localized(QStringLiteral("点击登录账号以开启云端同步")); }
QString L10n::Dictionary::loading() { return localized(QStringLiteral("加载中…")); }
QString L10n::Dictionary::retry() { return localized(QStringLiteral("重试")); }
QString L10n::Dictionary::emptyTitle() { return localized(QStringLiteral("还没有词条")); }
QString L10n::Dictionary::emptyHint()
{
    return localized(QStringLiteral("把人名、品牌、缩写告诉 Vellamor，识别更准。"));
}
QString L10n::Dictionary::addFirstEntry() { return localized(QStringLiteral("添加第一个词条")); }
QString L10n::Dictionary::editEntry() { return localized(QStringLiteral("编辑词条")); }
QString L10n::Dictionary::termPlaceholder() { return localized(QStringLiteral("术语")); }
QString L10n::Dictionary::replacementPlaceholder() { return localized(QStringLiteral("替换 / 拼音（可空）")); }
QString L10n::Dictionary::notePlaceholder() { return localized(QStringLiteral("备注（可空）")); }
QString L10n::Dictionary::editorHelp()
{
    return localized(QStringLiteral("术语示例：人名、品牌、缩写。\n替换会用于辅助识别更准确的写法。"));
}
QString L10n::Dictionary::cancel() { return localized(QStringLiteral("取消")); }
QString L10n::Dictionary::add() { return localized(QStringLiteral("添加")); }
QString L10n::Dictionary::save() { return localized(QStringLiteral("保存")); }
QString L10n::Dictionary::editHelp() { return localized(QStringLiteral("编辑")); }
QString L10n::Dictionary::deleteHelp() { return localized(QStringLiteral("删除")); }

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
        QStringLiteral("右 Ctrl"),
        QStringLiteral("搜索词条"),
        QStringLiteral("刷新"),
        QStringLiteral("添加词条"),
        QStringLiteral("点击登录账号以开启云端同步"),
        QStringLiteral("加载中…"),
        QStringLiteral("重试"),
        QStringLiteral("还没有词条"),
        QStringLiteral("把人名、品牌、缩写告诉 Vellamor，识别更准。"),
        QStringLiteral("添加第一个词条"),
        QStringLiteral("编辑词条"),
        QStringLiteral("术语"),
        QStringLiteral("替换 / 拼音（可空）"),
        QStringLiteral("备注（可空）"),
        QStringLiteral("术语示例：人名、品牌、缩写。\n替换会用于辅助识别更准确的写法。"),
        QStringLiteral("取消"),
        QStringLiteral("添加"),
        QStringLiteral("保存"),
        QStringLiteral("编辑"),
        QStringLiteral("删除"),
    };
    return all;
}

} // namespace vellamor
