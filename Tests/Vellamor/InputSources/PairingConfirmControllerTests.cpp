#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include "InputSources/InputSourceAPIError.h"
#include "InputSources/PairingConfirmController.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Async/TaskHandle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <gmock/gmock.h>

#include <array>
#include <functional>
#include <stdexcept>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// Records each answer as "<sid> <accept>" and fails it when `fail` is set.
class FakeInputSourceAPI final : public InputSourceAPIProtocol {
public:
    QCoro::Task<PairingInfo> createPairing() override { throw std::logic_error("not used"); }
    QCoro::Task<QList<InputSource>> list() override { throw std::logic_error("not used"); }
    QCoro::Task<void> revoke(qint64) override { throw std::logic_error("not used"); }
    QCoro::Task<QString> status(QString) override { throw std::logic_error("not used"); }
    QCoro::Task<void> confirmPairing(qint64 sourceID, bool accept) override
    {
        sent.append(QString::number(sourceID) + (accept ? u" true"_s : u" false"_s));
        if (fail)
            throw InputSourceAPIError::missingToken();
        co_return;
    }

    QStringList sent;
    bool fail = false;
};

QMessageBox* openDialog()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

class PairingConfirmTest : public ::testing::Test {
protected:
    // The dialog is on screen when this returns; finish() waits for the
    // answer and fails the test if an exception escaped.
    QMessageBox* open(PairingRequestPayload payload, std::chrono::milliseconds timeout = 10s)
    {
        task_ = TaskHandle::start([this, payload, timeout](std::stop_token) {
            return PairingConfirmController::show(payload, api_, timeout, log_);
        });
        return openDialog();
    }
    void finish() { runBlocking(task_.join(), 5s); }

    std::shared_ptr<FakeInputSourceAPI> api_ = std::make_shared<FakeInputSourceAPI>();
    VellamorLog log_{u"com.vellamor.app"_s, u"pairing-confirm"_s, std::make_shared<RecordingSystemLog>(), nullptr};
    TaskHandle task_;
};

// The dialog runs in a task of its own: a failed answer must not escape it.
TEST_F(PairingConfirmTest, EveryEndOfTheDialogSendsItsDecision)
{
    struct Case {
        const char* name;
        std::chrono::milliseconds timeout;
        std::function<void(QMessageBox&)> answer;
        bool answerFails;
        QString sent;
    };
    const auto pressReturn = [](QMessageBox& box) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&box, &press);
    };
    const auto refuse = [](QMessageBox& box) { box.escapeButton()->click(); };
    const std::array cases{
        Case{"Return", 10s, pressReturn, false, u"7 true"_s},
        Case{"Return, the answer fails", 10s, pressReturn, true, u"7 true"_s},
        Case{"click refuse", 10s, refuse, false, u"7 false"_s},
        Case{"no answer in time", 50ms, [](QMessageBox&) {}, false, u"7 false"_s},
        Case{"dialog destroyed while quitting", 10s, [](QMessageBox& box) { delete &box; }, false, u"7 false"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        api_->sent.clear();
        api_->fail = c.answerFails;
        QMessageBox* box = open(PairingRequestPayload{7, u"Pixel"_s, u"10.0.0.2"_s, u"ua"_s, 0}, c.timeout);
        ASSERT_NE(box, nullptr);
        c.answer(*box);
        finish();
        EXPECT_EQ(api_->sent, QStringList{c.sent});
        EXPECT_EQ(openDialog(), nullptr);
    }
}

TEST_F(PairingConfirmTest, AnEmptyNameAndAddressShowAsUnknown)
{
    QMessageBox* box = open(PairingRequestPayload{7, QString(), QString(), u"ua"_s, 0});
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), u"新设备请求绑定"_s);
    EXPECT_EQ(box->defaultButton()->text(), u"确认绑定"_s);
    EXPECT_EQ(box->escapeButton()->text(), u"拒绝"_s);
    EXPECT_THAT(box->informativeText().toStdString(),
                ::testing::MatchesRegex("设备：未知设备\n来源：未知网络\n请求时间：[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"
                                        "\n\n确认后该设备可将语音转写直接插入到本机当前光标位置。"));
    box->escapeButton()->click();
    finish();
}

} // namespace
} // namespace vellamor::test
