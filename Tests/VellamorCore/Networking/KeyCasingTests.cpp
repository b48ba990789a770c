#include "Networking/KeyCasing.h"

#include "QtPrinters.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>

using namespace vellamor;

namespace {

TEST(KeyCasing, ConvertsSingleKeys)
{
    struct Case {
        KeyCasing casing;
        const char* from;
        const char* to;
    };
    const std::array cases{
        Case{KeyCasing::toSnakeCase, "createdAt", "created_at"},
        Case{KeyCasing::toSnakeCase, "accessExpireAt", "access_expire_at"},
        Case{KeyCasing::toSnakeCase, "myURLProperty", "my_url_property"},
        Case{KeyCasing::toSnakeCase, "userID", "user_id"},
        Case{KeyCasing::toSnakeCase, "URL", "url"},
        Case{KeyCasing::toSnakeCase, "a1B", "a1_b"},
        Case{KeyCasing::toSnakeCase, "already_snake", "already_snake"},
        Case{KeyCasing::toSnakeCase, "", ""},
        Case{KeyCasing::fromSnakeCase, "created_at", "createdAt"},
        Case{KeyCasing::fromSnakeCase, "expires_in_seconds", "expiresInSeconds"},
        Case{KeyCasing::fromSnakeCase, "user_ID", "userId"},
        Case{KeyCasing::fromSnakeCase, "Created_At", "createdAt"},
        Case{KeyCasing::fromSnakeCase, "noUnderscore", "noUnderscore"},
        Case{KeyCasing::fromSnakeCase, "_private_key_", "_privateKey_"},
        Case{KeyCasing::fromSnakeCase, "__lead", "__lead"},
        Case{KeyCasing::fromSnakeCase, "a__b", "aB"},
        Case{KeyCasing::fromSnakeCase, "___", "___"},
        Case{KeyCasing::fromSnakeCase, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        EXPECT_EQ(convertKey(QString::fromLatin1(c.from), c.casing), QString::fromLatin1(c.to));
    }
}

TEST(KeyCasing, ConvertsEveryObjectKeyAtEveryDepthButNoValues)
{
    const QJsonObject tree{
        {QStringLiteral("outerKey"),
         QJsonArray{QJsonObject{{QStringLiteral("innerKey"), QStringLiteral("valueText")}}}},
        {QStringLiteral("plain"), QStringLiteral("camelValue")},
    };
    const QJsonObject expected{
        {QStringLiteral("outer_key"),
         QJsonArray{QJsonObject{{QStringLiteral("inner_key"), QStringLiteral("valueText")}}}},
        {QStringLiteral("plain"), QStringLiteral("camelValue")},
    };
    EXPECT_EQ(convertingKeys(tree, KeyCasing::toSnakeCase), QJsonValue(expected));
    EXPECT_EQ(convertingKeys(expected, KeyCasing::fromSnakeCase), QJsonValue(tree));
    EXPECT_EQ(convertingKeys(tree, KeyCasing::unchanged), QJsonValue(tree));
}

} // namespace
