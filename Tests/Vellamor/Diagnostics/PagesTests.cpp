#include "FakeAccessibilityStatus.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakePasteboard.h"
#include "FakeSoundServer.h"
#include "FakeWorkspace.h"
#include "ManualSteadyClock.h"
#include "QtPrinters.h"
#include "RenderForReview.h"
#include "WaitUntil.h"

#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "Diagnostics/LogViewerView.h"
#include "I18n/L10n.h"
#include "Permissions/PermissionChecker.h"

#include <QLabel>
#include <QPushButton>
#include <QUrlQuery>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using platform::PasteboardSelection;

class DiagnosticsPageTest : public ::testing::Test {
protected:
    std::unique_ptr<DiagnosticsPage> page()
    {
        auto checker = std::make_shared<PermissionChecker>(
            PermissionChecker::Facilities{inputMonitoring, soundServer, accessibility, launcher},
            VellamorLog(u"com.vellamor.app"_s, u"permission"_s, nullptr, nullptr));
        auto page = std::make_unique<DiagnosticsPage>(DiagnosticsPage::Dependencies{
            checker, pasteboard, std::make_shared<FakeWorkspace>(), std::nullopt, clock.sleeper()});
        page->resize(640, 560);
        return page;
    }

    void showAndSettle(DiagnosticsPage& page)
    {
        page.show();
        ASSERT_TRUE(waitUntil([&] { return !page.model().statuses.value().isEmpty(); }));
    }

    static QStringList shown(DiagnosticsPage& page, const std::function<bool(QWidget*)>& wanted)
    {
        QStringList texts;
        for (QWidget* widget : page.findChildren<QWidget*>()) {
            if (widget->isVisibleTo(&page) && wanted(widget)) {
                if (auto* label = qobject_cast<QLabel*>(widget))
                    texts << label->text();
                else if (auto* button = qobject_cast<QPushButton*>(widget))
                    texts << button->text();
            }
        }
        return texts;
    }
    static QStringList pills(DiagnosticsPage& page)
    {
        return shown(page, [](QWidget* w) { return w->styleSheet().contains(u"border-radius: 9px"_s); });
    }
    static QList<QPushButton*> grantButtons(DiagnosticsPage& page)
    {
        QList<QPushButton*> buttons;
        for (QPushButton* button : page.findChildren<QPushButton*>()) {
            if (button->isVisibleTo(&page) && button->text() == u"去授权"_s)
                buttons << button;
        }
        return buttons;
    }

    std::shared_ptr<FakeInputMonitoringProbe> inputMonitoring =
        std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available);
    std::shared_ptr<FakeSoundServer> soundServer = std::make_shared<FakeSoundServer>();
    std::shared_ptr<FakeAccessibilityStatus> accessibility = std::make_shared<FakeAccessibilityStatus>(true);
    std::shared_ptr<FakeCommandLauncher> launcher = std::make_shared<FakeCommandLauncher>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    ManualSteadyClock clock;
};

TEST_F(DiagnosticsPageTest, PermissionRowsShowTheSnapshotTakenWhenThePageAppears)
{
    auto diagnostics = page();
    showAndSettle(*diagnostics);
    EXPECT_EQ(pills(*diagnostics), (QStringList{u"已授权"_s, u"已授权"_s, u"已授权"_s}));
    EXPECT_TRUE(grantButtons(*diagnostics).isEmpty());
    renderForReview(*diagnostics, u"diagnostics-page-granted"_s);

    soundServer->answer.reachable = false;
    accessibility->enabled = false;
    inputMonitoring->answer = platform::InputMonitoringSupport::waylandSession;
    EXPECT_EQ(pills(*diagnostics), (QStringList{u"已授权"_s, u"已授权"_s, u"已授权"_s})) << "no refresh while shown";
    diagnostics->hide();
    showAndSettle(*diagnostics);
    ASSERT_TRUE(waitUntil([&] { return pills(*diagnostics).first() == u"已拒绝"_s; }));
    EXPECT_EQ(pills(*diagnostics), (QStringList{u"已拒绝"_s, u"未授权"_s, u"已拒绝"_s}));
    EXPECT_EQ(grantButtons(*diagnostics).size(), 3);
    renderForReview(*diagnostics, u"diagnostics-page-missing"_s);

    // Without a settings program the page says where to look instead.
    const auto explanation = [&] {
        return shown(*diagnostics, [](QWidget* w) { return qobject_cast<QLabel*>(w) != nullptr; })
            .filter(u"没有找到可打开的系统设置程序"_s);
    };
    grantButtons(*diagnostics)[0]->click();
    EXPECT_EQ(explanation().size(), 1);
    launcher->installed = {u"gnome-control-center"_s};
    grantButtons(*diagnostics)[0]->click();
    EXPECT_EQ(launcher->launches, (QList<QStringList>{{u"gnome-control-center"_s, u"sound"_s}}));
    EXPECT_TRUE(explanation().isEmpty());
}

TEST_F(DiagnosticsPageTest, CopyPutsTheReportOfTheLastSnapshotAndTheFirstWaitToEndClearsCopied)
{
    auto diagnostics = page();
    showAndSettle(*diagnostics);
    accessibility->enabled = false; // read only at the next appearance

    diagnostics->copyButton()->click();
    const QString report = pasteboard->text(PasteboardSelection::clipboard).value_or(QString());
    EXPECT_TRUE(report.startsWith(u"=== Vellamor Diagnostics ===\n"_s));
    EXPECT_TRUE(report.contains(u"\n- accessibility: granted\n"_s));
    EXPECT_TRUE(report.endsWith(u"(未能读取)\nredacted=0"_s));
    EXPECT_EQ(diagnostics->copyButton()->text(), u"已复制"_s);

    clock.advance(std::chrono::milliseconds(1000));
    diagnostics->copyButton()->click();
    clock.advance(std::chrono::milliseconds(799));
    EXPECT_EQ(diagnostics->copyButton()->text(), u"已复制"_s);
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(waitUntil([&] { return diagnostics->copyButton()->text() == u"复制诊断信息"_s; }));
    EXPECT_EQ(clock.sleepsBegun(), 2);
}

TEST_F(DiagnosticsPageTest, OpeningTheLogHidesTheCardsAndClosingShowsThemAgain)
{
    auto diagnostics = page();
    showAndSettle(*diagnostics);
    EXPECT_FALSE(diagnostics->logViewer()->isVisible());

    diagnostics->logToggle()->click();
    EXPECT_FALSE(diagnostics->cards()->isVisible());
    EXPECT_TRUE(diagnostics->logViewer()->isVisible());
    EXPECT_EQ(diagnostics->logViewer()->model().status.value(), u"(未知) · 0 行"_s) << "loaded when it opened";
    renderForReview(*diagnostics, u"diagnostics-page-log"_s);

    diagnostics->logToggle()->click();
    EXPECT_TRUE(diagnostics->cards()->isVisible());
    EXPECT_FALSE(diagnostics->logViewer()->isVisible());
}

TEST(AboutPage, ShowsTheVersionItWasGivenAndOpensItsLinks)
{
    auto workspace = std::make_shared<FakeWorkspace>();
    AboutPage about(ApplicationVersion{u"1.2.3"_s, u"45"_s}, workspace);
    about.resize(560, 420);
    about.show();
    EXPECT_EQ(about.versionLabel()->text(), L10n::About::versionFormat(u"1.2.3"_s, u"45"_s));
    EXPECT_THAT(about.versionLabel()->text().toStdString(), ::testing::ContainsRegex("1\\.2\\.3.*45"));
    EXPECT_TRUE(about.versionLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    renderForReview(about, u"about-page"_s);

    for (QPushButton* link : about.links()) {
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        link->click();
    }
    ASSERT_EQ(workspace->openedUrls.size(), 3);
    EXPECT_EQ(workspace->openedUrls[0], QUrl(u"https://vellamor.com"_s));
    EXPECT_EQ(workspace->openedUrls[1].toString(QUrl::FullyEncoded),
              u"mailto:feedback@vellamor.com?subject=Vellamor%20Feedback"_s);
    EXPECT_EQ(QUrlQuery(workspace->openedUrls[1]).queryItemValue(u"subject"_s, QUrl::FullyDecoded),
              u"Vellamor Feedback"_s);
    EXPECT_EQ(workspace->openedUrls[2], QUrl(u"https://vellamor.com/legal"_s));

    AboutPage::openUrl(*workspace, u"https://exa mple.com"_s);
    EXPECT_EQ(workspace->openedUrls.size(), 3) << "an invalid address opens nothing";
}

} // namespace
} // namespace vellamor::test
