#include "FakeGlobalInputMonitor.h"
#include "HistoryPanelFixture.h"
#include "LayoutSweep.h"

#include "HistoryWindows/HistoryPanel.h"
#include "HistoryWindows/HistoryRowList.h"
#include "HistoryWindows/HistoryRowText.h"
#include "HistoryWindows/HistoryWindowController.h"
#include "SettingsWindow/ThemeManager.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QToolButton>

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

HistoryRecord record(const QString& text, const QString& recognized, std::optional<QString> polished,
                     std::optional<QString> source)
{
    const QDateTime created(QDate(2026, 3, 1), QTime(8, 15));
    return HistoryRecord(QUuid::createUuid(), text, recognized, std::move(polished), std::move(source),
                         Date::fromUnixMilliseconds(created.toMSecsSinceEpoch()), std::nullopt, std::nullopt, false,
                         std::nullopt);
}

TEST(HistoryRowTextTest, RowsDeriveTheirTextsFromTheRecord)
{
    struct Case {
        HistoryRecord record;
        bool inserted;
        QString display;
        QString badge;
        QString meta;
    };
    HistoryRecord emptyPolish = record(u"typed"_s, u"heard"_s, std::nullopt, u"com.apple.dt.Xcode"_s);
    emptyPolish.polishedText = QString();
    const Case cases[] = {
        {record(u"t"_s, u"heard *[b]* 100%"_s, std::nullopt, std::nullopt), false, u"heard *[b]* 100%"_s, u"未"_s,
         u"03-01 08:15 · 未知 App"_s},
        {emptyPolish, true, u"heard"_s, u"X"_s, u"03-01 08:15 · Xcode · 含识别/润色 · 已插入 ✓"_s},
        {record(u"typed"_s, {}, u"  "_s, u"com.vendor.ßeta "_s), false, u"  "_s, u"SS"_s,
         u"03-01 08:15 · ßeta  · 含识别/润色"_s},
        {record(u"typed"_s, {}, std::nullopt, u"..."_s), false, u"typed"_s, u"."_s, u"03-01 08:15 · ..."_s},
        {record(u"typed"_s, {}, std::nullopt, u"mobile-input-source"_s), false, u"typed"_s, u"M"_s,
         u"03-01 08:15 · mobile-input-source"_s},
        {record(u"typed"_s, {}, std::nullopt, u"com.x. "_s), false, u"typed"_s, u"?"_s, u"03-01 08:15 ·  "_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.meta.toStdString());
        EXPECT_EQ(HistoryRowText::displayText(c.record), c.display);
        EXPECT_EQ(HistoryRowText::badgeLetter(HistoryRowText::sourceLabel(c.record)), c.badge);
        EXPECT_EQ(HistoryRowText::metaText(c.record, c.inserted), c.meta);
    }
}

// A narrow row cuts the other parts of its meta line first: the inserted
// mark stays whole while there is room for it.
TEST(HistoryRowTextTest, ANarrowMetaLineKeepsTheInsertedMark)
{
    const QFontMetricsF metrics(QFont(u"WenQuanYi Micro Hei"_s, 10));
    const HistoryRecord long_ = record(u"t"_s, u"heard"_s, u"polished"_s, u"com.vendor.AVeryLongEditorName"_s);
    const QString whole = HistoryRowText::metaText(long_, true);
    const struct {
        qreal width;
        bool inserted;
        QString ending;
    } cases[] = {
        {metrics.horizontalAdvance(whole) + 1, true, u"已插入 ✓"_s},
        {metrics.horizontalAdvance(whole) * 0.6, true, u"… · 已插入 ✓"_s},
        {metrics.horizontalAdvance(whole) * 0.6, false, u"…"_s},
        {metrics.horizontalAdvance(u"已插入 ✓"_s) + 2, true, u"已插入 ✓"_s},
    };
    for (const auto& c : cases) {
        const QString fitted = HistoryRowText::fittedMetaText(long_, c.inserted, metrics, c.width);
        EXPECT_TRUE(fitted.endsWith(c.ending)) << fitted.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(fitted), c.width) << fitted.toStdString();
    }
}

class HistoryPanelViewTest : public HistoryPanelTest {
protected:
    void open()
    {
        controller->configure(store, broadcaster, nullptr);
        controller->show();
        ASSERT_NE(controller->panel(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return !controller->viewModel()->isLoading.value(); }));
    }

    HistoryPanel& panel() { return *controller->panel(); }
    HistoryViewModel& model() { return *controller->viewModel(); }
    HistoryRowList& list() { return *panel().findChild<HistoryRowList*>(); }

    QString page() { return panel().findChild<QStackedWidget*>()->currentWidget()->objectName(); }
    QString label(const char* name) { return panel().findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    bool pillShown() { return !panel().findChild<QWidget*>(u"historyCopiedPill"_s)->isHidden(); }

    void mouse(QEvent::Type type, int row)
    {
        const QPoint at = list().visualRect(list().model()->index(row, 0)).center();
        QMouseEvent event(type, at, list().viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list().viewport(), &event);
    }

    void click(int row)
    {
        mouse(QEvent::MouseButtonPress, row);
        mouse(QEvent::MouseButtonRelease, row);
    }

    // Its tasks end on the loop's last turns.
    void TearDown() override
    {
        controller.reset();
        HistoryPanelTest::TearDown();
    }

    std::shared_ptr<FakeGlobalInputMonitor> input = std::make_shared<FakeGlobalInputMonitor>();
    std::unique_ptr<HistoryWindowController> controller =
        std::make_unique<HistoryWindowController>(HistoryWindowController::Services{
            .layered = inserter(),
            .isAccessibilityTrusted = [this] { return trusted; },
            .auth = auth->publisher(),
            .globalInput = input,
            .sleep = timers.sleeper(),
        });
};

TEST_F(HistoryPanelViewTest, ContentShowsErrorThenLoadingOnlyWhileEmptyThenListOrEmpty)
{
    open();
    EXPECT_TRUE(waitUntil([&] { return page() == u"historyEmpty"_s; }));
    EXPECT_EQ(label("historyFooterLeft"), u"esc 关闭"_s);
    EXPECT_EQ(label("historyFooterRight"), u"点击外部亦可关闭"_s);
    model().isLoading = true;
    EXPECT_TRUE(waitUntil([&] { return page() == u"historyLoading"_s; }));

    append(u"kept"_s);
    EXPECT_TRUE(waitUntil([&] { return page() == u"historyList"_s && list().model()->rowCount() == 1; }));
    model().isLoading = true;
    runEventLoopFor(5ms);
    EXPECT_EQ(page(), u"historyList"_s) << "a reload keeps the list, without a spinner";
    model().errorText = u"读取失败"_s;
    EXPECT_TRUE(waitUntil([&] { return page() == u"historyError"_s; })) << "the error wins over the records";
    if (const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR"); !folder.isEmpty()) {
        model().errorText = std::optional<QString>();
        model().degradeBannerText = HistoryViewModel::clipboardBanner();
        runEventLoopFor(300ms);
        QDir().mkpath(folder);
        panel().grab().save(folder + u"/history-panel.png"_s);
    }
}

TEST_F(HistoryPanelViewTest, ClickingARowInsertsItsTextOrLeavesItOnTheClipboard)
{
    append(u"older"_s);
    append(u"newest"_s);
    open();
    ASSERT_TRUE(waitUntil([&] { return list().model()->rowCount() == 2; }));
    click(1);
    ASSERT_TRUE(waitUntil([&] { return model().sessionInsertedCount() == 1; }));
    EXPECT_EQ(ax->texts, QStringList{u"older"_s});
    EXPECT_TRUE(waitUntil([&] { return label("historyFooterLeft") == u"本次已插入 1 条"_s; }));
    EXPECT_EQ(label("historyFooterRight"), u"esc 完成"_s);

    probe->hasTarget = false;
    click(0);
    ASSERT_TRUE(waitUntil([&] { return pillShown(); }));
    EXPECT_EQ(pasteboard->text(platform::PasteboardSelection::clipboard), u"\nnewest"_s);
}

TEST_F(HistoryPanelViewTest, LeavingARowClearsTheHoveredRowWhicheverItNames)
{
    append(u"a"_s);
    append(u"b"_s);
    open();
    ASSERT_TRUE(waitUntil([&] { return list().model()->rowCount() == 2; }));
    const QUuid first = list().records().at(0).id;
    mouse(QEvent::MouseMove, 0);
    EXPECT_EQ(model().hoveredItemId.value(), first);
    std::vector<std::optional<QUuid>> seen;
    const Subscription watch = model().hoveredItemId.subscribe([&](const auto& id) { seen.push_back(id); });
    mouse(QEvent::MouseMove, 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(list().viewport(), &leave);
    EXPECT_EQ(seen, (std::vector<std::optional<QUuid>>{first, std::nullopt, list().records().at(1).id, std::nullopt}));
}

TEST_F(HistoryPanelViewTest, EscapeOutsideClicksAndTheCloseButtonCloseOnlyWhileOpen)
{
    append(u"a"_s);
    open();
    const HistoryPanel* first = controller->panel();
    EXPECT_TRUE(first->isVisible());
    controller->show();
    EXPECT_EQ(input->pointerMonitors() + input->keyMonitors(), 2u) << "no second pair of monitors";

    input->pressKey(platform::virtualKey::a);
    input->press(first->frameGeometry().center());
    EXPECT_TRUE(first->isVisible());
    input->press(first->frameGeometry().bottomRight() + QPoint(1, 1));
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(input->pointerMonitors() + input->keyMonitors(), 0u);

    ASSERT_TRUE(waitUntil([&] { return list().model()->rowCount() == 1; }));
    controller->show();
    EXPECT_EQ(controller->panel(), first);
    click(0);
    ASSERT_TRUE(waitUntil([&] { return model().sessionInsertedCount() == 1; }));
    input->pressKey(platform::virtualKey::escape);
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(model().sessionInsertedCount(), 0) << "every close ends the insertion session";

    controller->show();
    panel().findChild<QToolButton*>(u"historyClose"_s)->click();
    EXPECT_FALSE(first->isVisible());

    controller->show();
    controller->configure(store, broadcaster, nullptr);
    EXPECT_EQ(controller->panel(), first) << "the same store keeps the panel";
    controller->configure(LocalHistoryStore::anonymous(broadcaster, folder.filePath(u"other"_s)), broadcaster,
                         nullptr);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(input->pointerMonitors() + input->keyMonitors(), 0u);
}

TEST_F(HistoryPanelViewTest, APanelLeftClosedIsReleasedAndTheNextShowBuildsItAfresh)
{
    append(u"a"_s);
    open();
    input->pressKey(platform::virtualKey::escape);
    timers.advance(ClosedWindowRelease::delay);
    ASSERT_TRUE(waitUntil([&] { return controller->panel() == nullptr; }));
    EXPECT_EQ(controller->viewModel(), nullptr);

    open();
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(waitUntil([&] { return list().model()->rowCount() == 1; }));
    EXPECT_EQ(input->pointerMonitors() + input->keyMonitors(), 2u);
}

// Switched while it shows, the panel takes the new appearance's colours at
// once, and fits in both.
TEST_F(HistoryPanelViewTest, FollowsAnAppearanceChangeWhileShown)
{
    ThemeManager theme(defaults, nullptr);
    theme.setMode(ThemeMode::light);
    append(u"第一条"_s, u"com.vendor.editor"_s);
    open();
    ASSERT_TRUE(waitUntil([&] { return list().model()->rowCount() == 1; }));
    QLabel* header = nullptr;
    for (QLabel* label : panel().findChildren<QLabel*>()) {
        if (label->text().startsWith(u"历史记录"_s))
            header = label;
    }
    ASSERT_NE(header, nullptr);
    const auto lightness = [&] {
        return std::pair(header->palette().color(QPalette::WindowText).lightnessF(),
                         header->parentWidget()->parentWidget()->palette().color(QPalette::Window).lightnessF());
    };
    struct Step {
        ThemeMode mode;
        bool darkGround;
    };
    for (const Step step : {Step{ThemeMode::dark, true}, Step{ThemeMode::light, false}, Step{ThemeMode::dark, true}}) {
        theme.setMode(step.mode);
        settleWidgets();
        const auto [text, ground] = lightness();
        EXPECT_EQ(ground < 0.5, step.darkGround) << rawValue(step.mode).toStdString();
        EXPECT_EQ(text > 0.5, step.darkGround) << rawValue(step.mode).toStdString();
        const QStringList faults = layoutFaults(panel());
        EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
        renderView(panel(), u"history-panel-"_s + rawValue(step.mode));
    }
    theme.setMode(ThemeMode::system);
}

} // namespace
} // namespace vellamor::test
