#include "FakeInputSourceAPI.h"
#include "ManualSteadyClock.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "InputSources/PairingConfirmController.h"

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

using namespace Qt::StringLiterals;
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
PairingRequestPayload request(qint64 sid, std::optional<QString> name = std::nullopt, const QString& ip = u"10.0.0.2"_s)
{
    return PairingRequestPayload{sid, name.value_or(u"Pixel "_s + QString::number(sid)), ip, u"ua"_s, 0};
}

class PairingConfirmTest : public ::testing::Test {
protected:
    // The dialog on screen for `sid`, once it is.
    PairingConfirmDialog* shownFor(qint64 sid)
    {
        waitUntil([&] { return controller_.dialog() && controller_.dialog()->isVisible() && shown(sid); }, 2s);
        return controller_.dialog() && shown(sid) ? controller_.dialog() : nullptr;
    }
    bool shown(qint64 sid) const
    {
        return controller_.dialog()->informativeText().startsWith(u"设备：Pixel "_s + QString::number(sid) + u'\n');
    }
    bool answered(const QStringList& expected)
    {
        waitUntil([&] { return api_->confirmed.size() >= expected.size() && !controller_.dialog(); }, 2s);
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
    PairingConfirmController controller_{[this] { return api_; }, clock_.sleeper(), 300s,
                                         VellamorLog(u"com.vellamor.app"_s, u"pairing-confirm"_s, log_, nullptr)};
};

// Each way a dialog ends sends one answer; keys that would press a button do
// nothing until the user has moved into the dialog.
TEST_F(PairingConfirmTest, EveryEndOfTheDialogSendsItsDecision)
{
    struct Case {
        const char* name;
        std::function<void(PairingConfirmDialog&, ManualSteadyClock&)> answer;
        bool answerFails;
        QString sent;
    };
    const auto tabThenReturn = [](PairingConfirmDialog& box, ManualSteadyClock&) {
        press(box, Qt::Key_Tab);
        press(box, Qt::Key_Return);
    };
    const std::array cases{
        Case{"Tab, then Return", tabThenReturn, false, u"7 true"_s},
        Case{"Tab, then Return; the answer fails", tabThenReturn, true, u"7 true"_s},
        Case{"click confirm", [](PairingConfirmDialog& box, ManualSteadyClock&) {
                 click(*box.confirmButton());
             }, false, u"7 true"_s},
        Case{"click refuse", [](PairingConfirmDialog& box, ManualSteadyClock&) {
                 click(*box.rejectButton());
             }, false, u"7 false"_s},
        Case{"Return, Enter and Space before the user moved in, then no answer in time",
             [](PairingConfirmDialog& box, ManualSteadyClock& clock) {
                 const QPointer<PairingConfirmDialog> open(&box);
                 for (QWidget* target : {static_cast<QWidget*>(&box), static_cast<QWidget*>(box.confirmButton())}) {
                     for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
                         press(*target, key);
                 }
                 runEventLoopFor(20ms);
                 ASSERT_TRUE(open && open->isVisible());
                 clock.advance(299s);
                 runEventLoopFor(20ms);
                 ASSERT_TRUE(open && open->isVisible());
                 clock.advance(1s);
             }, false, u"7 false"_s},
        Case{"dialog destroyed while quitting", [](PairingConfirmDialog& box, ManualSteadyClock&) { delete &box; },
             false, u"7 false"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        api_->confirmed.clear();
        api_->failConfirm = c.answerFails;
        controller_.enqueue(request(7));
        PairingConfirmDialog* box = shownFor(7);
        ASSERT_NE(box, nullptr);
        c.answer(*box, clock_);
        EXPECT_TRUE(answered({c.sent})) << api_->confirmed.join(u", "_s).toStdString();
    }
    EXPECT_THAT(logged(), ::testing::Contains(u"confirmPairing failed sid=7 error=missingToken"_s));
}

// A burst of requests, one of them repeated: one dialog at a time in arrival
// order, each timed from when it shows, each answered once.
TEST_F(PairingConfirmTest, RequestsWaitTheirTurnAndARepeatedOneShowsOnce)
{
    controller_.enqueue(request(7));
    controller_.enqueue(request(8));
    controller_.enqueue(request(7));
    ASSERT_NE(shownFor(7), nullptr);
    EXPECT_EQ(logged().filter(u"already pending"_s), QStringList{u"pairing request already pending sid=7"_s});

    clock_.advance(200s);
    runEventLoopFor(10ms);
    EXPECT_NE(shownFor(7), nullptr);
    clock_.advance(100s);
    PairingConfirmDialog* second = shownFor(8);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(api_->confirmed, QStringList{u"7 false"_s});
    clock_.advance(299s);
    runEventLoopFor(10ms);
    ASSERT_EQ(controller_.dialog(), second);
    click(*second->confirmButton());
    EXPECT_TRUE(answered({u"7 false"_s, u"8 true"_s}));
    clock_.advance(300s);
    runEventLoopFor(10ms);
    EXPECT_EQ(api_->confirmed.size(), 2);
    EXPECT_EQ(logged().filter(u"show pairing dialog"_s).size(), 2);
}

// What the device says of itself is shown as it came, never as markup.
TEST_F(PairingConfirmTest, TheDeviceIsShownAsPlainTextWithUnknownsNamed)
{
    struct Case {
        PairingRequestPayload payload;
        const char* shown;
    };
    const std::array cases{
        Case{request(7, QString(), QString()), "设备：未知设备\n来源：未知网络\n"},
        Case{request(8, u"<a href=\"https://x.io\">Pixel</a><b>"_s, u"<i>10.0.0.2</i>"_s),
             "设备：<a href=\"https://x.io\">Pixel</a><b>\n来源：<i>10.0.0.2</i>\n"},
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
        EXPECT_EQ(box->findChildren<QPushButton*>().first(), box->confirmButton());
        EXPECT_EQ(box->confirmButton()->text(), u"确认绑定"_s);
        EXPECT_TRUE(box->confirmButton()->isDefault());
        EXPECT_EQ(box->rejectButton()->text(), u"拒绝"_s);
        renderView(*box, u"pairing-dialog-"_s + QString::number(c.payload.sourceID));
        click(*box->rejectButton());
        ASSERT_TRUE(waitUntil([&] { return controller_.dialog() == nullptr; }));
    }
}

} // namespace
} // namespace vellamor::test
