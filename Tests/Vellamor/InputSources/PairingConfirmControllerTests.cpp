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

// Records each answer as "<sid> <accept>" and fails it when `failure` is set.
class FakeInputSourceAPI final : public InputSourceAPIProtocol {
public:
    QCoro::Task<PairingInfo> createPairing() override { throw std::logic_error("not used"); }
    QCoro::Task<QList<InputSource>> list() override { throw std::logic_error("not used"); }
    QCoro::Task<void> revoke(qint64) override { throw std::logic_error("not used"); }
    QCoro::Task<QString> status(QString) override { throw std::logic_error("not used"); }
    QCoro::Task<void> confirmPairing(qint64 sourceID, bool accept) override
    {
        sent.append(QString::number(sourceID) + (accept ? u" true"_s : u" false"_s));
        if (failure)
            throw *failure;
        co_return;
    }

    QStringList sent;
    std::optional<InputSourceAPIError> failure;
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

    const PairingRequestPayload payload_{7, u"Pixel"_s, u"10.0.0.2"_s, u"ua"_s, 0};
    std::shared_ptr<FakeInputSourceAPI> api_ = std::make_shared<FakeInputSourceAPI>();
    std::shared_ptr<RecordingSystemLog> systemLog_ = std::make_shared<RecordingSystemLog>();
    VellamorLog log_{u"com.vellamor.app"_s, u"pairing-confirm"_s, systemLog_, nullptr};
    TaskHandle task_;
};

TEST_F(PairingConfirmTest, EveryEndOfTheDialogSendsItsDecision)
{
    struct Case {
        const char* name;
        std::chrono::milliseconds timeout;
        std::function<void(QMessageBox&)> answer;
        QString sent;
        QString decisionLine;
    };
    const auto pressReturn = [](QMessageBox& box) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&box, &press);
    };
    const std::array cases{
        Case{"Return", 10s, pressReturn, u"7 true"_s, u"pairing decision sid=7 action=accept accept=true"_s},
        Case{"click refuse", 10s, [](QMessageBox& box) { box.escapeButton()->click(); }, u"7 false"_s,
             u"pairing decision sid=7 action=reject accept=false"_s},
        Case{"no answer in time", 50ms, [](QMessageBox&) {}, u"7 false"_s,
             u"pairing decision sid=7 action=timeout accept=false"_s},
        Case{"dialog destroyed while quitting", 10s, [](QMessageBox& box) { delete &box; }, u"7 false"_s,
             u"pairing decision sid=7 action=timeout accept=false"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        api_->sent.clear();
        const qsizetype logged = systemLog_->entries().size();
        QMessageBox* box = open(payload_, c.timeout);
        ASSERT_NE(box, nullptr);
        c.answer(*box);
        finish();
        EXPECT_EQ(api_->sent, QStringList{c.sent});
        EXPECT_EQ(systemLog_->entries().size(), logged + 2);
        EXPECT_EQ(systemLog_->entries().value(logged).publicPart, u"show pairing dialog sid=7"_s);
        EXPECT_EQ(systemLog_->entries().last().publicPart, c.decisionLine);
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

TEST_F(PairingConfirmTest, AFailedAnswerIsOnlyLogged)
{
    api_->failure = InputSourceAPIError::missingToken();
    open(payload_)->defaultButton()->click();
    finish();
    EXPECT_EQ(api_->sent, QStringList{u"7 true"_s});
    const RecordingSystemLog::Entry last = systemLog_->entries().last();
    EXPECT_EQ(last.level, SystemLogLevel::Default);
    EXPECT_EQ(last.publicPart,
              u"confirmPairing failed sid=7 error="_s + InputSourceAPIError::missingToken().debugDescription());
    EXPECT_EQ(openDialog(), nullptr);
}

} // namespace
} // namespace vellamor::test
