#include "QtPrinters.h"

#include "Settings/UserDefaults.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>

using namespace vellamor;
using ::testing::HasSubstr;

namespace {

QString readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

TEST(UserDefaults, StandardFileIsUnderTheConfigHome)
{
    EXPECT_EQ(UserDefaults::standardFilePath(), vellamor::test::testHome() + QStringLiteral("/.config/vellamor/vellamor.ini"));
    EXPECT_EQ(UserDefaults::standard().get(), UserDefaults::standard().get());
}

TEST(UserDefaults, SystemKeysRoundTripThroughARealIniFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/nested/vellamor.ini");
    const QByteArray blob = QByteArrayLiteral(R"({"language":"zh","customHotkey":"a=b;c \"d\" \\ 名"})");
    {
        UserDefaults defaults(path);
        EXPECT_TRUE(defaults.setData(QStringLiteral("com.vellamor.preferences"), blob));
        EXPECT_TRUE(defaults.setBool(QStringLiteral("com.vellamor.preferences.onboarded"), true));
        EXPECT_TRUE(defaults.setString(QStringLiteral("auth.just_registered"), QStringLiteral("1")));
    }

    const QString file = readFile(path);
    // Keys appear verbatim; QSettings may quote a value holding ";" or "=".
    EXPECT_THAT(file.toStdString(), HasSubstr("\ncom.vellamor.preferences="));
    EXPECT_THAT(file.toStdString(), HasSubstr("@ByteArray("));
    EXPECT_THAT(file.toStdString(), HasSubstr("\ncom.vellamor.preferences.onboarded=true"));
    EXPECT_THAT(file.toStdString(), HasSubstr("\nauth.just_registered="));

    UserDefaults again(path);
    EXPECT_EQ(again.data(QStringLiteral("com.vellamor.preferences")), blob);
    EXPECT_TRUE(again.boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
    EXPECT_EQ(again.string(QStringLiteral("auth.just_registered")), QStringLiteral("1"));
    // The dotted keys stay distinct: neither is a group of the other.
    EXPECT_TRUE(again.remove(QStringLiteral("com.vellamor.preferences")));
    EXPECT_FALSE(again.data(QStringLiteral("com.vellamor.preferences")));
    EXPECT_TRUE(again.boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
}

TEST(UserDefaults, ReadsAFileWrittenByAnotherProcess)
{
    // A file this process never wrote, so nothing can come from QSettings' in-memory cache.
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/vellamor.ini");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\n"
               "com.vellamor.preferences=@ByteArray({\\\"language\\\":\\\"en\\\"})\n"
               "com.vellamor.preferences.onboarded=true\n"
               "auth.just_registered=false\n"
               "plain=text\n");
    file.close();

    const UserDefaults defaults(path);
    EXPECT_EQ(defaults.data(QStringLiteral("com.vellamor.preferences")), QByteArrayLiteral(R"({"language":"en"})"));
    EXPECT_TRUE(defaults.boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
    EXPECT_FALSE(defaults.boolValue(QStringLiteral("auth.just_registered")));
    EXPECT_FALSE(defaults.data(QStringLiteral("plain")));
    EXPECT_EQ(defaults.string(QStringLiteral("plain")), QStringLiteral("text"));
}

TEST(UserDefaults, AbsentAndMistypedValues)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.path() + QStringLiteral("/d.ini"));
    EXPECT_FALSE(defaults.data(QStringLiteral("k")));
    EXPECT_FALSE(defaults.string(QStringLiteral("k")));
    EXPECT_FALSE(defaults.boolValue(QStringLiteral("k")));
    EXPECT_FALSE(defaults.contains(QStringLiteral("k")));

    defaults.setString(QStringLiteral("k"), QStringLiteral("{}"));
    EXPECT_TRUE(defaults.contains(QStringLiteral("k")));
    EXPECT_FALSE(defaults.data(QStringLiteral("k"))) << "text is not data";
    defaults.setData(QStringLiteral("k"), QByteArrayLiteral("{}"));
    EXPECT_FALSE(defaults.string(QStringLiteral("k"))) << "data is not text";
    defaults.setBool(QStringLiteral("flag"), false);
    EXPECT_FALSE(defaults.boolValue(QStringLiteral("flag")));
    EXPECT_TRUE(defaults.contains(QStringLiteral("flag")));
}

TEST(UserDefaults, UnwritableFileReportsFailure)
{
    QTemporaryDir dir;
    const QString blocker = dir.path() + QStringLiteral("/file");
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    UserDefaults defaults(blocker + QStringLiteral("/sub/d.ini"));
    EXPECT_FALSE(defaults.setData(QStringLiteral("k"), QByteArrayLiteral("x")));
    EXPECT_FALSE(defaults.setBool(QStringLiteral("b"), true));
}
