#include "Networking/KeyCasing.h"

#include "QtPrinters.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vellamor;

namespace {

struct KeyCase {
    const char* from;
    const char* to;
};

void PrintTo(const KeyCase& c, std::ostream* os)
{
    *os << '"' << c.from << '"';
}

class ToSnakeCase : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ToSnakeCase, Converts)
{
    EXPECT_EQ(convertKey(QString::fromLatin1(GetParam().from), KeyCasing::toSnakeCase),
              QString::fromLatin1(GetParam().to));
}

INSTANTIATE_TEST_SUITE_P(Keys, ToSnakeCase,
                         ::testing::Values(KeyCase{"models", "models"}, KeyCase{"createdAt", "created_at"},
                                           KeyCase{"accessExpireAt", "access_expire_at"},
                                           KeyCase{"myURLProperty", "my_url_property"},
                                           KeyCase{"userID", "user_id"}, KeyCase{"URL", "url"},
                                           KeyCase{"a1B", "a1_b"}, KeyCase{"already_snake", "already_snake"},
                                           KeyCase{"", ""}));

class FromSnakeCase : public ::testing::TestWithParam<KeyCase> {};

TEST_P(FromSnakeCase, Converts)
{
    EXPECT_EQ(convertKey(QString::fromLatin1(GetParam().from), KeyCasing::fromSnakeCase),
              QString::fromLatin1(GetParam().to));
}

INSTANTIATE_TEST_SUITE_P(Keys, FromSnakeCase,
                         ::testing::Values(KeyCase{"models", "models"}, KeyCase{"created_at", "createdAt"},
                                           KeyCase{"expires_in_seconds", "expiresInSeconds"},
                                           KeyCase{"user_ID", "userId"}, KeyCase{"Created_At", "createdAt"},
                                           KeyCase{"noUnderscore", "noUnderscore"},
                                           KeyCase{"_private_key_", "_privateKey_"},
                                           KeyCase{"__lead", "__lead"}, KeyCase{"a__b", "aB"},
                                           KeyCase{"___", "___"}, KeyCase{"", ""}));

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
