#include "Onboarding/OnboardingWindowController.h"

#include "Support/Async/MainThread.h"

#include <QLayout>

namespace vellamor {

OnboardingWindowController::OnboardingWindowController(std::shared_ptr<const PermissionChecker> permissions)
    : permissions_(std::move(permissions))
    , window_(QStringLiteral("欢迎使用 Vellamor"),
              QStringLiteral("在任意文本框中按住右 Ctrl 键说话，松开后文字会出现在光标处。"))
    , finishButton_(new QPushButton(QStringLiteral("开始使用"), &window_))
{
    window_.layout()->addWidget(finishButton_);
    QObject::connect(finishButton_, &QPushButton::clicked, &window_, [this] {
        window_.hide();
        if (auto finish = onFinish_)
            finish();
    });
}

void OnboardingWindowController::show(std::function<void()> onFinish, std::function<void()> onReachedFirstRun)
{
    onFinish_ = std::move(onFinish);
    window_.present();
    postTo(&window_, [reached = std::move(onReachedFirstRun)] {
        if (reached)
            reached();
    });
}

void OnboardingWindowController::markRecordingSuccess()
{
    ++recordingSuccesses_;
    window_.setText(QStringLiteral("第一次听写成功了。点“开始使用”完成引导。"));
}

} // namespace vellamor
