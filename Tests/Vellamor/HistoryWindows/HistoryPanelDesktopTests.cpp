#include "DesktopTest.h"
#include "TextTarget.h"
#include "WaitUntil.h"

#include "HistoryWindows/HistoryPanel.h"
#include "HistoryWindows/HistoryRowList.h"
#include "HistoryWindows/HistoryViewModel.h"
#include "HistoryWindows/HistoryWindowController.h"
#include "Platform/Accessibility/AtspiAccessibilityBus.h"
#include "Platform/GlobalInput/X11GlobalInputMonitor.h"
#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/SystemLayeredInserter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>

namespace vellamor::test {
namespace {

// The panel on a real display: its clicks reach the application in front
// and the global monitors see Escape and presses elsewhere.
class HistoryPanelDesktopTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        // Listening for focus from before the target starts, as the application does.
        bus_ = std::make_shared<platform::AtspiAccessibilityBus>(QCoreApplication::applicationPid());
        ASSERT_TRUE(runBlocking(bus_->connected()));
    }

    void TearDown() override
    {
        controller_.reset();
        runEventLoopFor(std::chrono::milliseconds(20));
        DesktopTest::TearDown();
    }

    bool clickAt(QPoint global)
    {
        return xdotool({ QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
                   QString::number(global.y()) })
            && xdotool({ QStringLiteral("click"), QStringLiteral("1") });
    }

    QTemporaryDir folder_;
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster_ = std::make_shared<HistoryChangeBroadcaster>();
    std::shared_ptr<LocalHistoryStore> store_ = LocalHistoryStore::anonymous(broadcaster_, folder_.path());
    std::shared_ptr<platform::AtspiAccessibilityBus> bus_;
    std::unique_ptr<HistoryWindowController> controller_;
};

TEST_F(HistoryPanelDesktopTest, ClickedRowLandsInTheFocusedFieldAndEscapeClosesThePanel)
{
    const QString dictated = QStringLiteral("再说一遍 again");
    runBlocking(store_->append(HistoryRecord(QUuid::createUuid(), dictated, std::nullopt, std::nullopt, std::nullopt,
                                             Date::now(), std::nullopt, std::nullopt, false, std::nullopt)));
    controller_ = std::make_unique<HistoryWindowController>(HistoryWindowController::Services{
        .layered = SystemLayeredInserter::make(bus_, std::make_shared<platform::XTestKeyInjector>(),
                                               std::make_shared<platform::X11SelectionBroker>(), [] { return true; },
                                               [](bool) {}, UserDefaults::standard()),
        .isAccessibilityTrusted = [] { return true; },
        .auth = std::make_shared<AuthSessionObserver>(),
        .globalInput = std::make_shared<platform::X11GlobalInputMonitor>(),
        .sleep = {},
    });
    controller_->configure(store_, broadcaster_, nullptr);
    TextTarget target(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("QtLineEdit") });
    ASSERT_TRUE(target.isReady());

    controller_->show();
    HistoryPanel& panel = *controller_->panel();
    HistoryRowList& list = *panel.findChild<HistoryRowList*>();
    ASSERT_TRUE(waitUntil([&] { return panel.isVisible() && list.model()->rowCount() == 1; }));
    // Placed by the window manager, or the press below may land beside the panel and close it.
    ASSERT_TRUE(afterWindowManager());
    // A press on the panel reaches the monitor too; its frame keeps it open.
    // (This desktop's window manager keeps synthetic clicks from the
    // window, so the row's click is handed to it directly.)
    ASSERT_TRUE(clickAt(panel.frameGeometry().topLeft() + QPoint(40, 10)));
    const QPoint row = list.visualRect(list.model()->index(0, 0)).center();
    ASSERT_TRUE(xdotool(
        { QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(list.viewport()->mapToGlobal(row).x()),
            QString::number(list.viewport()->mapToGlobal(row).y()) }));
    ASSERT_TRUE(waitUntil([&] {
        const auto* viewModel = controller_->viewModel();
        return viewModel && viewModel->hoveredItemId.value().has_value();
    })) << "the panel closed";
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, row, list.viewport()->mapToGlobal(row), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &event);
    }
    EXPECT_EQ(target.waitForText(dictated), dictated);
    EXPECT_TRUE(target.isFocused()) << "the panel never takes the focus";
    EXPECT_TRUE(panel.isVisible());

    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Escape") }));
    EXPECT_TRUE(waitUntil([&] { return !panel.isVisible(); }));

    controller_->show();
    ASSERT_TRUE(waitUntil([&] { return panel.isVisible(); }));
    ASSERT_TRUE(clickAt(panel.frameGeometry().topLeft() - QPoint(20, 20)));
    EXPECT_TRUE(waitUntil([&] { return !panel.isVisible(); })) << "a press outside closes it";
}

} // namespace
} // namespace vellamor::test
