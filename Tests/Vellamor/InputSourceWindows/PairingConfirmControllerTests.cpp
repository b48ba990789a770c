#include "FakeInputSourceAPI.h"
#include "ManualSteadyClock.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "InputSourceWindows/PairingConfirmController.h"
#include "Windows/SymbolView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include <gmock/gmock.h>

#include <array>
#include <functional>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

void press(QWidget& widget, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &up);
}

// A click as the user makes it: press and release over the button.
void click(QAbstractButton& button)
{
    const QPointF centre = QRectF(button.rect()).center();
    QMouseEvent down(QEvent::MouseButtonPress, centre, button.mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&button, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, centre, button.mapToGlobal(centre), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(&button, &up);
}

// Named "Pixel <sid>" unless told otherwise.
PairingRequestPayload request(
    qint64 sid, std::optional<QString> name = std::nullopt, const QString& ip = QStringLiteral("10.0.0.2"))
{
    return PairingRequestPayload { sid, name.value_or(QStringLiteral("Pixel ") + QString::number(sid)), ip,
        QStringLiteral("ua"), 0 };
}

class PairingConfirmTest : public ::testing::Test {
protected:
    // The dialog on screen for `sid`, once the window system has made it the
    // active window, as it does every window it shows, on a later turn: a
    // key sent before that moves no focus and leaves the default button.
    PairingConfirmDialog* shownFor(qint64 sid)
    {
        waitUntil([&] { return controller_.dialog() && controller_.dialog()->isActiveWindow() && shown(sid); });
        return controller_.dialog() && shown(sid) ? controller_.dialog() : nullptr;
    }
    bool shown(qint64 sid) const
    {
        return controller_.dialog()->informativeText().startsWith(
            QStringLiteral("设备：Pixel ") + QString::number(sid) + u'\n');
    }
    bool answered(const QStringList& expected)
    {
        waitUntil([&] { return api_->confirmed.size() >= expected.size() && !controller_.dialog(); });
        return api_->confirmed == expected;
    }
    QStringList logged() const
    {
        QStringList lines;
        for (const auto& entry : log_->entries())
            lines.append(entry.publicPart);
        return lines;
    }

    std::shared_ptr<FakeInputSourceAPI> api_ = std::make_shared<FakeInputSourceAPI>();
    std::shared_ptr<RecordingSystemLog> log_ = std::make_shared<RecordingSystemLog>();
    ManualSteadyClock clock_;
    PairingConfirmController controller_ { [this] { return api_; }, clock_.sleeper(), 300s,
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("pairing-confirm"), log_, nullptr) };
};

// Each way a dialog ends sends one answer; keys that would press a button do
// nothing until the user has moved into the dialog, then Return presses the
// button the focus is on (确认绑定 when the dialog becomes active).
TEST_F(PairingConfirmTest, EveryEndOfTheDialogSendsItsDecision)
{
    struct Case {
        const char* name;
        std::function<void(PairingConfirmDialog&, ManualSteadyClock&)> answer;
        bool answerFails;
        QString sent;
    };
    const auto tabs = [](int times) {
        return [times](PairingConfirmDialog& box, ManualSteadyClock&) {
            for (int i = 0; i < times; ++i)
                press(box, Qt::Key_Tab);
            press(box, Qt::Key_Return);
        };
    };
    const std::array cases {
        Case { "Tab to 拒绝, then Return", tabs(1), false, QStringLiteral("7 false") },
        Case { "Tab round to 确认绑定, then Return; the answer fails", tabs(2), true, QStringLiteral("7 true") },
        Case { "click confirm", [](PairingConfirmDialog& box, ManualSteadyClock&) { click(*box.confirmButton()); },
            false, QStringLiteral("7 true") },
        Case { "click refuse", [](PairingConfirmDialog& box, ManualSteadyClock&) { click(*box.rejectButton()); }, false,
            QStringLiteral("7 false") },
        Case { "Return, Enter and Space before the user moved in, then no answer in time",
            [](PairingConfirmDialog& box, ManualSteadyClock& clock) {
                const QPointer<PairingConfirmDialog> open(&box);
                for (QWidget* target : { static_cast<QWidget*>(&box), static_cast<QWidget*>(box.confirmButton()) }) {
                    for (Qt::Key key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space })
                        press(*target, key);
                }
                afterQueuedCalls();
                ASSERT_TRUE(open && open->isVisible());
                clock.advance(299s);
                afterQueuedCalls();
                ASSERT_TRUE(open && open->isVisible());
                clock.advance(1s);
            },
            false, QStringLiteral("7 false") },
        Case { "dialog destroyed while quitting", [](PairingConfirmDialog& box, ManualSteadyClock&) { delete &box; },
            false, QStringLiteral("7 false") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        api_->confirmed.clear();
        api_->failConfirm = c.answerFails;
        controller_.enqueue(request(7));
        PairingConfirmDialog* box = shownFor(7);
        ASSERT_NE(box, nullptr);
        c.answer(*box, clock_);
        EXPECT_TRUE(answered({ c.sent })) << api_->confirmed.join(QStringLiteral(", ")).toStdString();
    }
    EXPECT_THAT(logged(), ::testing::Contains(QStringLiteral("confirmPairing failed sid=7 error=missingToken")));
}

// A burst of requests, one of them repeated: one dialog at a time in arrival
// order, each timed from when it shows, each answered once.
TEST_F(PairingConfirmTest, RequestsWaitTheirTurnAndARepeatedOneShowsOnce)
{
    controller_.enqueue(request(7));
    controller_.enqueue(request(8));
    controller_.enqueue(request(7));
    ASSERT_NE(shownFor(7), nullptr);
    EXPECT_EQ(logged().filter(QStringLiteral("already pending")),
        QStringList { QStringLiteral("pairing request already pending sid=7") });

    clock_.advance(200s);
    afterQueuedCalls();
    EXPECT_NE(shownFor(7), nullptr);
    clock_.advance(100s);
    PairingConfirmDialog* second = shownFor(8);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(api_->confirmed, QStringList { QStringLiteral("7 false") });
    clock_.advance(299s);
    afterQueuedCalls();
    ASSERT_EQ(controller_.dialog(), second);
    click(*second->confirmButton());
    EXPECT_TRUE(answered({ QStringLiteral("7 false"), QStringLiteral("8 true") }));
    clock_.advance(300s);
    afterQueuedCalls();
    EXPECT_EQ(api_->confirmed.size(), 2);
    EXPECT_EQ(logged().filter(QStringLiteral("show pairing dialog")).size(), 2);
}

// What the device says of itself is shown as it came, never as markup.
TEST_F(PairingConfirmTest, TheDeviceIsShownAsPlainTextWithUnknownsNamed)
{
    struct Case {
        PairingRequestPayload payload;
        const char* shown;
    };
    const std::array cases {
        Case { request(7, QString(), QString()), "设备：未知设备\n来源：未知网络\n" },
        Case { request(8, QStringLiteral("<a href=\"https://x.io\">Pixel</a><b>"), QStringLiteral("<i>10.0.0.2</i>")),
            "设备：<a href=\"https://x.io\">Pixel</a><b>\n来源：<i>10.0.0.2</i>\n" },
    };
    for (const Case& c : cases) {
        controller_.enqueue(c.payload);
        ASSERT_TRUE(waitUntil([&] { return controller_.dialog() != nullptr; }));
        PairingConfirmDialog* box = controller_.dialog();
        EXPECT_THAT(box->informativeText().toStdString(),
                    ::testing::MatchesRegex(std::string(c.shown) + "请求时间：[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"
                                            "\n\n确认后该设备可将语音转写直接插入到本机当前光标位置。"));
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == box->informativeText()) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText);
            }
        }
        ASSERT_NE(box->findChild<SymbolView*>(), nullptr);
        EXPECT_EQ(box->findChild<SymbolView*>()->name(), QStringLiteral("info.circle"));
        EXPECT_EQ(box->findChildren<QPushButton*>().first(), box->confirmButton());
        EXPECT_EQ(box->confirmButton()->text(), QStringLiteral("确认绑定"));
        EXPECT_TRUE(box->confirmButton()->isDefault());
        EXPECT_EQ(box->rejectButton()->text(), QStringLiteral("拒绝"));
        renderView(*box, QStringLiteral("pairing-dialog-") + QString::number(c.payload.sourceID));
        click(*box->rejectButton());
        ASSERT_TRUE(waitUntil([&] { return controller_.dialog() == nullptr; }));
    }
}

} // namespace
} // namespace vellamor::test
