#include "InputSources/PairingConfirmController.h"

#include "Support/Async/Resumption.h"
#include "Support/Error.h"

#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTime>
#include <QTimer>

#include <exception>
#include <vector>

namespace vellamor {

using namespace Qt::StringLiterals;

QString pairingConfirmActionName(PairingConfirmAction action)
{
    switch (action) {
    case PairingConfirmAction::accept:
        return u"accept"_s;
    case PairingConfirmAction::reject:
        return u"reject"_s;
    case PairingConfirmAction::timeout:
        return u"timeout"_s;
    }
    return {};
}

bool pairingConfirmDecision(PairingConfirmAction action)
{
    return action == PairingConfirmAction::accept;
}

VellamorLog PairingConfirmController::defaultLog()
{
    return VellamorLog(u"com.vellamor.app"_s, u"pairing-confirm"_s);
}

QCoro::Task<void> PairingConfirmController::show(PairingRequestPayload payload,
                                                 std::shared_ptr<InputSourceAPIProtocol> api,
                                                 std::chrono::milliseconds timeout, VellamorLog log)
{
    const QString sid = QString::number(payload.sourceID);
    log.info(u"show pairing dialog sid="_s + sid);
    const PairingConfirmAction action = co_await waitForAction(payload, timeout);
    const bool accept = pairingConfirmDecision(action);
    log.info(u"pairing decision sid="_s + sid + u" action="_s + pairingConfirmActionName(action) + u" accept="_s
             + (accept ? u"true"_s : u"false"_s));
    try {
        co_await api->confirmPairing(payload.sourceID, accept);
    } catch (...) {
        log.warn(u"confirmPairing failed sid="_s + sid + u" error="_s + describeException(std::current_exception()));
    }
}

QCoro::Task<PairingConfirmAction> PairingConfirmController::waitForAction(PairingRequestPayload payload,
                                                                          std::chrono::milliseconds timeout)
{
    // No parent: the dialog belongs to this wait alone. The application may
    // still destroy it while quitting, which the QPointer notices.
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Information, u"Vellamor"_s, u"新设备请求绑定"_s);
    box->setInformativeText(buildInformativeText(payload));
    QPushButton* confirmButton = box->addButton(u"确认绑定"_s, QMessageBox::AcceptRole);
    box->setEscapeButton(box->addButton(u"拒绝"_s, QMessageBox::RejectRole));
    box->setDefaultButton(confirmButton);
    // Modal without a nested event loop, so a time-out can close this
    // dialog and no other one that happens to be open on top of it.
    box->setWindowModality(Qt::ApplicationModal);

    // Only the first of answer, time-out and destruction counts: an answer
    // that slips in after the time-out fired is not taken.
    auto action = std::make_shared<PairingConfirmAction>(PairingConfirmAction::timeout);
    QTimer deadline;
    deadline.setSingleShot(true);
    std::vector<QMetaObject::Connection> links;
    co_await detail::Resumption::make()->suspend({}, [&](auto waker) {
        const auto endAsTimeout = [waker] { waker->fire(detail::Resumption::Reason::Signalled); };
        QMessageBox* dialog = box.data();
        links.push_back(QObject::connect(dialog, &QDialog::finished, dialog, [waker, action, dialog, confirmButton] {
            if (waker->fire(detail::Resumption::Reason::Signalled))
                *action = dialog->clickedButton() == confirmButton ? PairingConfirmAction::accept
                                                                   : PairingConfirmAction::reject;
        }));
        links.push_back(QObject::connect(dialog, &QObject::destroyed, endAsTimeout));
        links.push_back(QObject::connect(&deadline, &QTimer::timeout, endAsTimeout));
        deadline.start(timeout);
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    });
    for (const auto& link : links)
        QObject::disconnect(link);
    if (box) {
        box->hide();
        box->deleteLater();
    }
    co_return *action;
}

QString PairingConfirmController::buildInformativeText(const PairingRequestPayload& payload)
{
    const QString time = QLocale(u"zh_CN"_s).toString(QTime::currentTime(), u"HH:mm:ss"_s);
    const QString name = payload.friendlyName.isEmpty() ? u"未知设备"_s : payload.friendlyName;
    const QString address = payload.ip.isEmpty() ? u"未知网络"_s : payload.ip;
    return u"设备："_s + name + u"\n来源："_s + address + u"\n请求时间："_s + time
           + u"\n\n确认后该设备可将语音转写直接插入到本机当前光标位置。"_s;
}

} // namespace vellamor
