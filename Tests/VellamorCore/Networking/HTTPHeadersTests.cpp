#include "Networking/HTTPHeaders.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellamor;

namespace {

TEST(HTTPHeaders, NamesCompareWithoutCase)
{
    HTTPHeaders headers{{QStringLiteral("Content-Type"), QStringLiteral("a")},
                        {QStringLiteral("Accept"), QStringLiteral("b")}};
    headers.set(QStringLiteral("content-TYPE"), QStringLiteral("c"));
    EXPECT_EQ(headers.size(), 2);
    EXPECT_EQ(headers.names(), (QStringList{QStringLiteral("content-TYPE"), QStringLiteral("Accept")}));
    EXPECT_EQ(headers.value(QStringLiteral("CONTENT-type")), QStringLiteral("c"));
    EXPECT_TRUE(headers.remove(QStringLiteral("ACCEPT")));
    EXPECT_FALSE(headers.remove(QStringLiteral("Accept")));
    EXPECT_FALSE(headers.value(QStringLiteral("Accept")).has_value());
    EXPECT_EQ(headers.size(), 1);
}

TEST(HTTPHeaders, KeepsAnEmptyValueApartFromAnAbsentOne)
{
    HTTPHeaders headers;
    headers.set(QStringLiteral("X-Empty"), QString());
    EXPECT_TRUE(headers.contains(QStringLiteral("x-empty")));
    EXPECT_EQ(headers.value(QStringLiteral("x-empty")), QString());
    EXPECT_FALSE(headers.contains(QStringLiteral("x-other")));
}

} // namespace
