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
#include "I18n/LocaleResolver.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "Diagnostics/LogViewerView.h"
#include "Permissions/PermissionChecker.h"
#include "Windows/PaintKit.h"
#include "Windows/StatusPill.h"
#include "Windows/SymbolView.h"

#include <QGraphicsEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRegularExpression>
#include <QKeySequence>
#include <QUrlQuery>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using platform::PasteboardSelection;

class DiagnosticsPageTest : public ::testing::Test {
protected:
    std::unique_ptr<DiagnosticsPage> page()
    {
        auto checker = std::make_shared<PermissionChecker>(
            PermissionChecker::Facilities { inputMonitoring, soundServer, accessibility, launcher },
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("permission"), nullptr, nullptr));
        auto page = std::make_unique<DiagnosticsPage>(
            DiagnosticsServices{checker, pasteboard, std::make_shared<FakeWorkspace>(), std::nullopt, {}}, nullptr,
            clock.sleeper());
        page->resize(640, 560);
        return page;
    }

    void showAndSettle(DiagnosticsPage& page)
    {
        page.show();
        ASSERT_TRUE(waitUntil([&] { return !page.model().statuses.value().isEmpty(); }));
    }

    // The widgets of a kind that the page shows with a text matching `pattern`.
    template<typename Widget>
    static QList<Widget*> shown(QWidget& page, const QString& pattern)
    {
        QList<Widget*> found = page.findChildren<Widget*>();
        found.removeIf([&](Widget* w) { return !w->isVisibleTo(&page) || !w->text().contains(QRegularExpression(pattern)); });
        return found;
    }
    // Each shown pill's text and symbol.
    static QStringList pills(QWidget& page)
    {
        QStringList pills;
        for (StatusPill* pill : shownInReadingOrder<StatusPill>(page))
            pills << pill->accessibleName() + u' ' + pill->findChild<SymbolView*>()->name();
        return pills;
    }
    static QList<QPushButton*> grantButtons(QWidget& page)
    {
        return shown<QPushButton>(page, QStringLiteral("^去授权$"));
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
    const QString granted = QStringLiteral("已授权 checkmark.circle.fill");
    EXPECT_EQ(pills(*diagnostics), (QStringList{granted, granted, granted}));
    EXPECT_TRUE(grantButtons(*diagnostics).isEmpty());
    renderForReview(*diagnostics, QStringLiteral("diagnostics-page-granted"));

    soundServer->answer.reachable = false;
    accessibility->enabled = false;
    inputMonitoring->answer = platform::InputMonitoringSupport::waylandSession;
    EXPECT_EQ(pills(*diagnostics), (QStringList{granted, granted, granted})) << "no refresh while shown";
    diagnostics->hide();
    showAndSettle(*diagnostics);
    const QStringList missing { QStringLiteral("已拒绝 xmark.circle.fill"), QStringLiteral("未授权 circle.dashed"),
        QStringLiteral("已拒绝 xmark.circle.fill") };
    EXPECT_TRUE(waitUntil([&] { return pills(*diagnostics) == missing; })) << pills(*diagnostics).join(u", ").toStdString();
    EXPECT_EQ(grantButtons(*diagnostics).size(), 3);
    renderForReview(*diagnostics, QStringLiteral("diagnostics-page-missing"));

    // Without a settings program the page says where to look instead.
    const auto explanation
        = [&] { return shown<QLabel>(*diagnostics, QStringLiteral("没有找到可打开的系统设置程序")); };
    grantButtons(*diagnostics)[0]->click();
    EXPECT_EQ(explanation().size(), 1);
    launcher->installed = { QStringLiteral("gnome-control-center") };
    grantButtons(*diagnostics)[0]->click();
    EXPECT_EQ(launcher->launches,
        (QList<QStringList> { { QStringLiteral("gnome-control-center"), QStringLiteral("sound") } }));
    EXPECT_TRUE(explanation().isEmpty());
}

TEST_F(DiagnosticsPageTest, CopyPutsTheReportOfTheLastSnapshotAndTheFirstWaitToEndClearsCopied)
{
    auto diagnostics = page();
    showAndSettle(*diagnostics);
    accessibility->enabled = false; // read only at the next appearance

    diagnostics->copyButton()->click();
    const QString report = pasteboard->text(PasteboardSelection::clipboard).value_or(QString());
    EXPECT_TRUE(report.startsWith(QStringLiteral("=== Vellamor Diagnostics ===\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("\n- accessibility: granted\n")));
    EXPECT_TRUE(report.endsWith(QStringLiteral("(未能读取)\nredacted=0")));
    EXPECT_EQ(diagnostics->copyButton()->text(), QStringLiteral("已复制"));

    clock.advance(std::chrono::milliseconds(1000));
    diagnostics->copyButton()->click();
    clock.advance(std::chrono::milliseconds(799));
    EXPECT_EQ(diagnostics->copyButton()->text(), QStringLiteral("已复制"));
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(waitUntil([&] { return diagnostics->copyButton()->text() == QStringLiteral("复制诊断信息"); }));
    clock.advance(std::chrono::milliseconds(1000));
    QCoreApplication::processEvents();
    EXPECT_EQ(diagnostics->copyButton()->text(), QStringLiteral("复制诊断信息"))
        << "the second wait ends without a change";
}

TEST_F(DiagnosticsPageTest, OpeningTheLogHidesTheCardsAndClosingShowsThemAgain)
{
    auto diagnostics = page();
    showAndSettle(*diagnostics);
    EXPECT_FALSE(diagnostics->logViewer()->isVisible());

    diagnostics->logToggle()->click();
    EXPECT_FALSE(diagnostics->cards()->isVisible());
    EXPECT_TRUE(diagnostics->logViewer()->isVisible());
    // The log fades in over the toggle's time, and paints directly once there.
    auto* fade = diagnostics->logViewer()->findChild<QPropertyAnimation*>();
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->state(), QAbstractAnimation::Running);
    EXPECT_EQ(fade->duration(), 200);
    EXPECT_EQ(fade->easingCurve(), PaintKit::easeInOut());
    EXPECT_TRUE(waitUntil([&] { return diagnostics->logViewer()->graphicsEffect() == nullptr; }));
    EXPECT_TRUE(waitUntil([&] { return !diagnostics->logViewer()->model().isLoading.value(); }));
    EXPECT_EQ(diagnostics->logViewer()->model().status.value(), QStringLiteral("(未知) · 0 行"))
        << "loaded when it opened";
    renderForReview(*diagnostics, QStringLiteral("diagnostics-page-log"));

    diagnostics->logToggle()->click();
    EXPECT_TRUE(diagnostics->cards()->isVisible());
    EXPECT_FALSE(diagnostics->logViewer()->isVisible());
}

TEST(AboutPage, ShowsTheVersionItWasGivenAndOpensItsLinks)
{
    auto workspace = std::make_shared<FakeWorkspace>();
    AboutPage about(ApplicationVersion { QStringLiteral("1.2.3"), QStringLiteral("45") }, workspace);
    about.resize(560, 420);
    about.show();
    EXPECT_THAT(about.versionLabel()->text().toStdString(), ::testing::ContainsRegex("1\\.2\\.3.*45"));
    renderForReview(about, QStringLiteral("about-page"));

    for (QPushButton* link : about.links()) {
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        link->click();
    }
    ASSERT_EQ(workspace->openedUrls,
        (QList<QUrl> { QUrl(QStringLiteral("https://vellamor.com")),
            QUrl(QStringLiteral("mailto:feedback@vellamor.com?subject=Vellamor%20Feedback")),
            QUrl(QStringLiteral("https://vellamor.com/legal")) }));
    EXPECT_EQ(QUrlQuery(workspace->openedUrls[1]).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
        QStringLiteral("Vellamor Feedback"));

    AboutPage::openUrl(*workspace, QStringLiteral("https://exa mple.com"));
    EXPECT_EQ(workspace->openedUrls.size(), 3) << "an invalid address opens nothing";
}

// With no application for an address, each link says so and gives the address
// to copy, in one alert; the tray's help page says so in its own words.
TEST(AboutPage, ALinkNoApplicationOpenedSaysSoWithItsAddress)
{
    auto workspace = std::make_shared<FakeWorkspace>();
    workspace->opens = false;
    AboutPage about(ApplicationVersion { QStringLiteral("1.2.3"), QStringLiteral("45") }, workspace);
    about.show();
    EXPECT_EQ(about.notOpenedAlert(), nullptr);
    QMessageBox* first = nullptr;
    for (QPushButton* link : about.links()) {
        link->click();
        ASSERT_NE(about.notOpenedAlert(), nullptr) << link->text().toStdString();
        EXPECT_TRUE(about.notOpenedAlert()->isVisible());
        EXPECT_EQ(about.notOpenedAlert()->text(), QStringLiteral("无法打开链接"));
        EXPECT_TRUE(about.notOpenedAlert()->informativeText().endsWith(workspace->openedUrls.last().toString()));
        if (!first)
            first = about.notOpenedAlert();
        EXPECT_EQ(about.notOpenedAlert(), first) << "one alert at a time";
    }
    EXPECT_EQ(workspace->openedUrls.size(), 3);
}

// "Licenses & Credits" shows its "&" instead of taking it for a shortcut mark.
TEST(AboutPage, ShowsItsLinksAsWrittenInEveryLanguage)
{
    for (const QString& language : { QStringLiteral("zh"), QStringLiteral("en") }) {
        LocaleResolver::shared().setLanguage(language);
        AboutPage about(
            ApplicationVersion { QStringLiteral("1.2.3"), QStringLiteral("45") }, std::make_shared<FakeWorkspace>());
        for (QPushButton* link : about.links())
            EXPECT_TRUE(QKeySequence::mnemonic(link->text()).isEmpty()) << link->text().toStdString();
    }
    LocaleResolver::shared().setLanguage(QStringLiteral("auto"));
}

} // namespace
} // namespace vellamor::test
