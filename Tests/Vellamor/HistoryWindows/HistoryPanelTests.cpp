#include "FakeGlobalInputMonitor.h"
#include "HistoryPanelFixture.h"
#include "LayoutSweep.h"

#include "HistoryWindows/HistoryPanel.h"
#include "HistoryWindows/HistoryRowList.h"
#include "HistoryWindows/HistoryRowText.h"
#include "HistoryWindows/HistoryWindowController.h"
#include "SettingsWindow/ThemeManager.h"
#include "Windows/WindowTheme.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QToolButton>

#include <gmock/gmock.h>

#include <algorithm>

namespace vellamor::test {
namespace {

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
    HistoryRecord emptyPolish
        = record(QStringLiteral("typed"), QStringLiteral("heard"), std::nullopt, QStringLiteral("com.apple.dt.Xcode"));
    emptyPolish.polishedText = QString();
    const Case cases[] = {
        { record(QStringLiteral("t"), QStringLiteral("heard *[b]* 100%"), std::nullopt, std::nullopt), false,
            QStringLiteral("heard *[b]* 100%"), QStringLiteral("未"), QStringLiteral("03-01 08:15 · 未知 App") },
        { emptyPolish, true, QStringLiteral("heard"), QStringLiteral("X"),
            QStringLiteral("03-01 08:15 · Xcode · 含识别/润色 · 已插入 ✓") },
        { record(QStringLiteral("typed"), {}, QStringLiteral("  "), QStringLiteral("com.vendor.ßeta ")), false,
            QStringLiteral("  "), QStringLiteral("SS"), QStringLiteral("03-01 08:15 · ßeta  · 含识别/润色") },
        { record(QStringLiteral("typed"), {}, std::nullopt, QStringLiteral("...")), false, QStringLiteral("typed"),
            QStringLiteral("."), QStringLiteral("03-01 08:15 · ...") },
        { record(QStringLiteral("typed"), {}, std::nullopt, QStringLiteral("mobile-input-source")), false,
            QStringLiteral("typed"), QStringLiteral("M"), QStringLiteral("03-01 08:15 · mobile-input-source") },
        { record(QStringLiteral("typed"), {}, std::nullopt, QStringLiteral("com.x. ")), false, QStringLiteral("typed"),
            QStringLiteral("?"), QStringLiteral("03-01 08:15 ·  ") },
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
    const QFontMetricsF metrics(QFont(QStringLiteral("WenQuanYi Micro Hei"), 10));
    const HistoryRecord long_ = record(QStringLiteral("t"), QStringLiteral("heard"), QStringLiteral("polished"),
        QStringLiteral("com.vendor.AVeryLongEditorName"));
    const QString whole = HistoryRowText::metaText(long_, true);
    const struct {
        qreal width;
        bool inserted;
        QString ending;
    } cases[] = {
        { metrics.horizontalAdvance(whole) + 1, true, QStringLiteral("已插入 ✓") },
        { metrics.horizontalAdvance(whole) * 0.6, true, QStringLiteral("… · 已插入 ✓") },
        { metrics.horizontalAdvance(whole) * 0.6, false, QStringLiteral("…") },
        { metrics.horizontalAdvance(QStringLiteral("已插入 ✓")) + 2, true, QStringLiteral("已插入 ✓") },
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
    bool pillShown() { return !panel().findChild<QWidget*>(QStringLiteral("historyCopiedPill"))->isHidden(); }

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
    EXPECT_TRUE(waitUntil([&] { return page() == QStringLiteral("historyEmpty"); }));
    EXPECT_EQ(label("historyFooterLeft"), QStringLiteral("esc 关闭"));
    EXPECT_EQ(label("historyFooterRight"), QStringLiteral("点击外部亦可关闭"));
    model().isLoading = true;
    EXPECT_TRUE(waitUntil([&] { return page() == QStringLiteral("historyLoading"); }));

    append(QStringLiteral("kept"));
    EXPECT_TRUE(waitUntil([&] { return page() == QStringLiteral("historyList") && list().model()->rowCount() == 1; }));
    model().isLoading = true;
    afterQueuedCalls();
    EXPECT_EQ(page(), QStringLiteral("historyList")) << "a reload keeps the list, without a spinner";
    model().errorText = QStringLiteral("读取失败");
    EXPECT_TRUE(waitUntil([&] { return page() == QStringLiteral("historyError"); }))
        << "the error wins over the records";
    if (const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR"); !folder.isEmpty()) {
        model().errorText = std::optional<QString>();
        model().degradeBannerText = HistoryViewModel::clipboardBanner();
        // Until the banner has slid all the way in.
        const auto sliding = [&] {
            const QList<QPropertyAnimation*> slides = panel().findChildren<QPropertyAnimation*>();
            return std::any_of(slides.begin(), slides.end(), [](const QPropertyAnimation* slide) {
                return slide->propertyName() == "maximumHeight" && slide->state() == QAbstractAnimation::Running;
            });
        };
        EXPECT_TRUE(waitUntil(
            [&] { return panel().findChild<QLabel*>(QStringLiteral("historyBanner"))->isVisible() && !sliding(); }));
        QDir().mkpath(folder);
        panel().grab().save(folder + QStringLiteral("/history-panel.png"));
    }
}

TEST_F(HistoryPanelViewTest, ClickingARowInsertsItsTextOrLeavesItOnTheClipboard)
{
    append(QStringLiteral("older"));
    append(QStringLiteral("newest"));
    open();
    ASSERT_TRUE(waitUntil([&] { return list().model()->rowCount() == 2; }));
    click(1);
    ASSERT_TRUE(waitUntil([&] { return model().sessionInsertedCount() == 1; }));
    EXPECT_EQ(ax->texts, QStringList { QStringLiteral("older") });
    EXPECT_TRUE(waitUntil([&] { return label("historyFooterLeft") == QStringLiteral("本次已插入 1 条"); }));
    EXPECT_EQ(label("historyFooterRight"), QStringLiteral("esc 完成"));

    probe->hasTarget = false;
    click(0);
    ASSERT_TRUE(waitUntil([&] { return pillShown(); }));
    EXPECT_EQ(pasteboard->text(platform::PasteboardSelection::clipboard), QStringLiteral("\nnewest"));
}

TEST_F(HistoryPanelViewTest, LeavingARowClearsTheHoveredRowWhicheverItNames)
{
    append(QStringLiteral("a"));
    append(QStringLiteral("b"));
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
    append(QStringLiteral("a"));
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
    panel().findChild<QToolButton*>(QStringLiteral("historyClose"))->click();
    EXPECT_FALSE(first->isVisible());

    controller->show();
    controller->configure(store, broadcaster, nullptr);
    EXPECT_EQ(controller->panel(), first) << "the same store keeps the panel";
    controller->configure(
        LocalHistoryStore::anonymous(broadcaster, folder.filePath(QStringLiteral("other"))), broadcaster, nullptr);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_EQ(input->pointerMonitors() + input->keyMonitors(), 0u);
}

TEST_F(HistoryPanelViewTest, APanelLeftClosedIsReleasedAndTheNextShowBuildsItAfresh)
{
    append(QStringLiteral("a"));
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
// once, and fits in both; its edge stands out of a window of the same
// appearance behind it.
TEST_F(HistoryPanelViewTest, FollowsAnAppearanceChangeWhileShown)
{
    ThemeManager theme(defaults, nullptr);
    theme.setMode(ThemeMode::light);
    append(QStringLiteral("第一条"), QStringLiteral("com.vendor.editor"));
    open();
    ASSERT_TRUE(waitUntil([&] { return list().model()->rowCount() == 1; }));
    QLabel* header = nullptr;
    for (QLabel* label : panel().findChildren<QLabel*>()) {
        if (label->text().startsWith(QStringLiteral("历史记录")))
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
        const QImage shown = renderView(panel(), QStringLiteral("history-panel-") + rawValue(step.mode));
        const double behind = WindowTheme::windowBackground().lightnessF();
        for (const QPoint edge : { QPoint(0, shown.height() / 2), QPoint(shown.width() - 1, shown.height() / 2),
                 QPoint(shown.width() / 2, 0), QPoint(shown.width() / 2, shown.height() - 1) })
            EXPECT_GT(std::abs(shown.pixelColor(edge).lightnessF() - behind), 0.15)
                << rawValue(step.mode).toStdString();
        QImage overDarkWindow(shown.size() + QSize(80, 80), QImage::Format_ARGB32_Premultiplied);
        overDarkWindow.fill(QColor(0x2b, 0x2b, 0x2b));
        QPainter(&overDarkWindow).drawImage(40, 40, shown);
        saveScreenshot(overDarkWindow, QStringLiteral("history-panel-over-dark-window-") + rawValue(step.mode));
    }
    theme.setMode(ThemeMode::system);
}

} // namespace
} // namespace vellamor::test
