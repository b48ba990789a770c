#include "QtPrinters.h"

#include "Support/TextGraphemes.h"
#include "Support/UrlPath.h"

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
        { u"🇨🇳🇺🇸", 2 },             // two flags, not one and a half
        { u"a\u0308\u0301b", 2 },    // several combining marks
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

TEST(UrlPath, AppendKeepsTheBasePath)
{
    struct Case {
        const char* base;
        const char16_t* path;
        const char* expected;
    };
    const Case cases[] = {
        { "https://h/api", u"v1/session", "https://h/api/v1/session" },
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
