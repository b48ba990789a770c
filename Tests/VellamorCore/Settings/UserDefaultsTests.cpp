#include "QtPrinters.h"

#include "Settings/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>

using namespace vellamor;
using ::testing::HasSubstr;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QString writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(UserDefaultsTest, SystemKeysRoundTripThroughARealIniFile)
{
    const QString path = dir.filePath(QStringLiteral("nested/vellamor.ini"));
    const QByteArray blob = QByteArrayLiteral(R"({"language":"zh","customHotkey":"a=b;c \"d\" \\ 名"})");
    {
        UserDefaults defaults(path);
        EXPECT_TRUE(defaults.setData(QStringLiteral("com.vellamor.preferences"), blob));
        EXPECT_TRUE(defaults.setBool(QStringLiteral("com.vellamor.preferences.onboarded"), true));
        EXPECT_TRUE(defaults.setString(QStringLiteral("auth.just_registered"), QStringLiteral("1")));
    }

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    // Keys appear verbatim; QSettings quotes a value holding ";" or "=".
    EXPECT_THAT(text, HasSubstr("\ncom.vellamor.preferences=\"@ByteArray("));
    EXPECT_THAT(text, HasSubstr("\ncom.vellamor.preferences.onboarded=true"));
    EXPECT_THAT(text, HasSubstr("\nauth.just_registered="));

    UserDefaults again(path);
    EXPECT_EQ(again.data(QStringLiteral("com.vellamor.preferences")), blob);
    EXPECT_TRUE(again.boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
    EXPECT_EQ(again.string(QStringLiteral("auth.just_registered")), QStringLiteral("1"));
    // The dotted keys stay distinct: neither is a group of the other.
    EXPECT_TRUE(again.remove(QStringLiteral("com.vellamor.preferences")));
    EXPECT_FALSE(again.data(QStringLiteral("com.vellamor.preferences")));
    EXPECT_TRUE(again.boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
}

// A file this process never wrote, so nothing can come from QSettings' in-memory cache.
TEST_F(UserDefaultsTest, ReadsAFileWrittenByAnotherProcess)
{
    const UserDefaults defaults(writeFile(QStringLiteral("vellamor.ini"),
                                          "[General]\n"
                                          "com.vellamor.preferences=@ByteArray({\\\"language\\\":\\\"en\\\"})\n"
                                          "com.vellamor.preferences.onboarded=true\n"
                                          "auth.just_registered=false\n"
                                          "plain=text\n"));
    EXPECT_EQ(defaults.data(QStringLiteral("com.vellamor.preferences")), QByteArrayLiteral(R"({"language":"en"})"));
    EXPECT_TRUE(defaults.boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
    EXPECT_FALSE(defaults.boolValue(QStringLiteral("auth.just_registered")));
    EXPECT_FALSE(defaults.data(QStringLiteral("plain")));
    EXPECT_EQ(defaults.string(QStringLiteral("plain")), QStringLiteral("text"));
}

TEST_F(UserDefaultsTest, AbsentAndMistypedValues)
{
    UserDefaults defaults(dir.filePath(QStringLiteral("d.ini")));
    EXPECT_FALSE(defaults.data(QStringLiteral("k")));
    EXPECT_FALSE(defaults.string(QStringLiteral("k")));
    EXPECT_FALSE(defaults.boolValue(QStringLiteral("k")));
    EXPECT_FALSE(defaults.contains(QStringLiteral("k")));

    defaults.setString(QStringLiteral("k"), QStringLiteral("{}"));
    EXPECT_TRUE(defaults.contains(QStringLiteral("k")));
    EXPECT_FALSE(defaults.data(QStringLiteral("k"))) << "text is not data";
    defaults.setData(QStringLiteral("k"), QByteArrayLiteral("{}"));
    EXPECT_FALSE(defaults.string(QStringLiteral("k"))) << "data is not text";
}

TEST_F(UserDefaultsTest, UnwritableFileReportsFailure)
{
    // A regular file where the folder should be.
    UserDefaults defaults(writeFile(QStringLiteral("file"), {}) + QStringLiteral("/sub/d.ini"));
    EXPECT_FALSE(defaults.setData(QStringLiteral("k"), QByteArrayLiteral("x")));
    EXPECT_FALSE(defaults.setBool(QStringLiteral("b"), true));
}
