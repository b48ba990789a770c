#include "App/MicrophoneGate.h"

#include "Support/Async/Spawn.h"

#include <QAbstractButton>
#include <QPushButton>

#include <utility>

namespace vellamor {

MicrophoneGate::MicrophoneGate(std::shared_ptr<PermissionChecker> checker, VellamorLog log, Hooks hooks,
                               QObject* parent)
    : QObject(parent)
    , checker_(std::move(checker))
    , log_(std::move(log))
    , hooks_(std::move(hooks))
{
}

MicrophoneGate::~MicrophoneGate()
{
    if (alert_)
        delete alert_.data();
}

QCoro::Task<bool> MicrophoneGate::admit()
{
    QPointer<MicrophoneGate> self(this);
    const std::shared_ptr<PermissionChecker> checker = checker_;
    const PermissionState microphone = co_await checker->microphone();
    if (!self)
        co_return false;
    switch (microphone.status) {
    case VellamorPermissionStatus::granted:
        co_return true;
    case VellamorPermissionStatus::denied:
        log_.warn(QStringLiteral("beginDictation blocked: microphone denied"));
        hooks_.standDown();
        refuse(microphone.explanation);
        co_return false;
    case VellamorPermissionStatus::notDetermined:
        break;
    }
    hooks_.standDown();
    if (requestInFlight_) {
        log_.info(QStringLiteral("beginDictation skipped: microphone permission request already in flight"));
        co_return false;
    }
    log_.info(QStringLiteral("beginDictation requesting microphone permission"));
    requestInFlight_ = true;
    spawn(this, QStringLiteral("microphone permission request"),
          [self, checker](std::stop_token) -> QCoro::Task<void> {
              const PermissionState answer = co_await checker->requestMicrophone();
              if (!self)
                  co_return;
              self->requestInFlight_ = false;
              static const QString names[] = {QStringLiteral("notDetermined"), QStringLiteral("denied"),
                                              QStringLiteral("granted")};
              self->log_.info(QStringLiteral("microphone permission request result=")
                              + names[static_cast<int>(answer.status)]);
              if (answer.status != VellamorPermissionStatus::granted) {
                  self->refuse(answer.explanation);
                  co_return;
              }
              self->hooks_.grantedLater();
          });
    co_return false;
}

void MicrophoneGate::refuse(const QString& reason)
{
    hooks_.showHint();
    hooks_.standDown();
    showAlert(reason);
}

void MicrophoneGate::showAlert(const QString& reason)
{
    if (alertVisible_)
        return;
    alertVisible_ = true;
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Vellamor"), alertTitle());
    alert->setInformativeText(reason
                              + QStringLiteral("请确认声音服务器正在运行，并在系统设置的声音页面里检查输入设备。"));
    QPointer<QAbstractButton> openButton = alert->addButton(QStringLiteral("打开系统设置"), QMessageBox::AcceptRole);
    alert->addButton(QStringLiteral("稍后"), QMessageBox::RejectRole);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    // Modal without a nested event loop: the answer arrives as a signal.
    alert->setWindowModality(Qt::ApplicationModal);
    connect(alert, &QMessageBox::finished, this, [this, alert, openButton] {
        alertVisible_ = false;
        if (openButton && alert->clickedButton() == openButton)
            checker_->openSystemSettings(VellamorPermission::microphone);
    });
    alert_ = alert;
    alert->show();
    alert->raise();
    alert->activateWindow();
}

} // namespace vellamor
