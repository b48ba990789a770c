#include "QtPrinters.h"

#include "FrontmostApp/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(user.isValid() && system.isValid()); }

    static void write(const QTemporaryDir& folder, const QString& relativePath, const QByteArray& text)
    {
        const QString path = folder.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QTemporaryDir user;
    QTemporaryDir system;
};

TEST_F(DesktopEntryIndexTest, ReadsApplicationsWithIdsFromTheirPathsAndEarlierFoldersFirst)
{
    write(system, QStringLiteral("code.desktop"),
          "# comment\n[Desktop Entry]\nName=Code\nType=Application\nStartupWMClass=Code\n"
          "[Desktop Action new-window]\nStartupWMClass=Wrong\n");
    write(system, QStringLiteral("kde4/kate.desktop"), "[Desktop Entry]\nType=Application\n");
    write(system, QStringLiteral("code-url-handler.desktop"),
          "[Desktop Entry]\nType=Application\nNoDisplay=true\nStartupWMClass=Code\n");
    write(system, QStringLiteral("folder.desktop"), "[Desktop Entry]\nType=Directory\n");
    write(system, QStringLiteral("readme.txt"), "[Desktop Entry]\nType=Application\n");
    // The same ids in an earlier folder hide these, also when hidden there.
    write(user, QStringLiteral("slack.desktop"), "[Desktop Entry]\nType=Application\nStartupWMClass=MySlack\n");
    write(user, QStringLiteral("discord.desktop"), "[Desktop Entry]\nType=Application\nHidden=true\n");
    write(system, QStringLiteral("slack.desktop"), "[Desktop Entry]\nType=Application\nStartupWMClass=Slack\n");
    write(system, QStringLiteral("discord.desktop"), "[Desktop Entry]\nType=Application\nStartupWMClass=discord\n");

    DesktopEntryIndex index({user.path(), system.path()});
    EXPECT_THAT(index.entries(),
                ElementsAre(DesktopEntry{QStringLiteral("slack"), QStringLiteral("MySlack"), false},
                            DesktopEntry{QStringLiteral("code"), QStringLiteral("Code"), false},
                            DesktopEntry{QStringLiteral("code-url-handler"), QStringLiteral("Code"), true},
                            DesktopEntry{QStringLiteral("kde4-kate"), QString(), false}));
}

TEST_F(DesktopEntryIndexTest, NoticesAnApplicationInstalledLater)
{
    const QString missing = user.filePath(QStringLiteral("applications"));
    DesktopEntryIndex index({missing, system.path()});
    EXPECT_TRUE(index.entries().isEmpty());

    write(system, QStringLiteral("geary.desktop"), "[Desktop Entry]\nType=Application\n");
    EXPECT_THAT(index.entries(), ElementsAre(Field(&DesktopEntry::id, QStringLiteral("geary"))));

    write(user, QStringLiteral("applications/nested/app.desktop"), "[Desktop Entry]\nType=Application\n");
    EXPECT_THAT(index.entries(), ElementsAre(Field(&DesktopEntry::id, QStringLiteral("nested-app")),
                                             Field(&DesktopEntry::id, QStringLiteral("geary"))));
}

} // namespace
} // namespace vellamor::test
