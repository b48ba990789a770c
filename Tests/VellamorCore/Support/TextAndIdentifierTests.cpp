#include "QtPrinters.h"

#include "Support/TextGraphemes.h"
#include "Support/UrlPath.h"
#include "Support/UuidText.h"

#include <gmock/gmock.h>

using namespace vellamor;

TEST(Graphemes, CountsUserPerceivedCharacters)
{
    struct Case {
        const char16_t* text;
        qsizetype count;
    };
    const Case cases[] = {
        { u"", 0 },
        { u"abc", 3 },
        { u"👍🏽", 1 },                // emoji with skin-tone modifier: 4 UTF-16 units
        { u"🇨🇳", 1 },                // regional-indicator pair
        { u"🇨🇳🇺🇸", 2 },             // two flags, not one and a half
        { u"e\u0301", 1 },           // combining acute accent
        { u"a\u0308\u0301b", 2 },    // several combining marks
        { u"中文输入", 4 },
        { u"👨\u200D👩\u200D👧", 1 }, // ZWJ family
        { u"\r\n", 1 },
        { u"\u1100\u1161\u11A8", 1 }, // Hangul jamo forming one syllable
        { u"𠀀", 1 },                 // CJK outside the BMP: a surrogate pair
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(graphemeCount(text), c.count);
    }
}

TEST(Graphemes, PrefixNeverSplitsACluster)
{
    struct Case {
        const char16_t* text;
        qsizetype limit;
        const char16_t* prefix;
    };
    const Case cases[] = {
        { u"👍🏽👍🏽ab", 1, u"👍🏽" },
        { u"🇨🇳🇺🇸", 1, u"🇨🇳" },
        { u"e\u0301x", 1, u"e\u0301" },
        { u"中文", 5, u"中文" },
        { u"abc", 0, u"" },
        { u"abc", -2, u"" },
        { u"𠀀a", 1, u"𠀀" },
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(graphemePrefix(text, c.limit), QString::fromUtf16(c.prefix));
    }
}

TEST(UrlPath, AppendKeepsTheBasePath)
{
    struct Case {
        const char* base;
        const char16_t* path;
        const char* expected;
    };
    const Case cases[] = {
        { "https://h/api", u"v1/session", "https://h/api/v1/session" },
        { "https://h/api/", u"v1/session", "https://h/api/v1/session" },
        { "https://h/api", u"/v1/session", "https://h/api/v1/session" },
        { "https://h/api//", u"//v1", "https://h/api/v1" },
        { "https://h", u"v1/session", "https://h/v1/session" },
        { "https://h/", u"rpc", "https://h/rpc" },
        { "wss://h:8443/a/b", u"v1/session", "wss://h:8443/a/b/v1/session" },
        { "https://h/api?x=1#f", u"rpc", "https://h/api/rpc?x=1#f" },
        { "https://h/api", u"v1/", "https://h/api/v1/" },
        { "https://h/api", u"", "https://h/api" },
        { "https://h/api", u"/", "https://h/api" },
        { "https://h/api", u"a b?c#d%41", "https://h/api/a%20b%3Fc%23d%2541" },
        { "https://h/api", u"名字", "https://h/api/%E5%90%8D%E5%AD%97" },
        { "https://h/a%2Fb", u"c", "https://h/a%2Fb/c" },
        { "http://127.0.0.1:8080/base", u"admin.tailLog", "http://127.0.0.1:8080/base/admin.tailLog" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        const QUrl base(QString::fromUtf8(c.base));
        ASSERT_TRUE(base.isValid());
        const QUrl result = appendingPath(base, QString::fromUtf16(c.path));
        EXPECT_TRUE(result.isValid());
        EXPECT_EQ(result.toString(QUrl::FullyEncoded), QString::fromUtf8(c.expected));
    }
}

TEST(UuidText, UpperCaseWithoutBraces)
{
    const QUuid uuid = QUuid::fromString(QStringLiteral("{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"));
    ASSERT_FALSE(uuid.isNull());
    EXPECT_EQ(uuidString(uuid), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_EQ(uuidString(QUuid()), QStringLiteral("00000000-0000-0000-0000-000000000000"));
    const QUuid fresh = QUuid::createUuid();
    EXPECT_EQ(parseUuid(uuidString(fresh)), fresh);
}

TEST(UuidText, ParseAcceptsOnlyTheHyphenatedForm)
{
    const QUuid expected = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        { "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", true },
        { "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", true },
        { "E621e1f8-C36C-495a-93FC-0c247A3E6E5F", true },
        { "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", false },
        { "E621E1F8C36C495A93FC0C247A3E6E5F", false },
        { " E621E1F8-C36C-495A-93FC-0C247A3E6E5F", false },
        { "E621E1F8-C36C-495A-93FC-0C247A3E6E5", false },
        { "E621E1F8-C36C-495A-93FC-0C247A3E6E5G", false },
        { "E621E1F8-C36C-495A93FC--0C247A3E6E5F", false },
        { "", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = parseUuid(QString::fromUtf8(c.text));
        ASSERT_EQ(parsed.has_value(), c.valid);
        if (parsed) {
            EXPECT_EQ(*parsed, expected);
        }
    }
    EXPECT_EQ(parseUuid(u"00000000-0000-0000-0000-000000000000"), QUuid());
}
