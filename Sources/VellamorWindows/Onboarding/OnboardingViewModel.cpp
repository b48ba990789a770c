#include "Onboarding/OnboardingViewModel.h"

#include "Support/Async/Spawn.h"

#include <QPointer>

namespace vellamor {

namespace {

bool isPermissionStep(OnboardingStep step)
{
    return permissionOf(step).has_value();
}

// Where to switch a permission on when no settings program could be opened.
QString whereToGrant(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("没有找到可打开的声音设置程序。请接好麦克风，并在桌面的声音设置里把它设为输入设备。");
    case VellamorPermission::accessibility:
        return QStringLiteral("没有找到可打开的系统设置程序。请在桌面设置的“辅助功能”（无障碍）中开启辅助技术支持。");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("这一项没有可以打开的系统设置：全局热键需要 X11 会话，请在登录界面选择 X11 会话。");
    }
    return {};
}

QString joined(const QString& first, const QString& second)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    return first + QLatin1Char('\n') + second;
}

} // namespace

OnboardingViewModel::OnboardingViewModel(std::shared_ptr<const PermissionChecker> checker,
                                         std::shared_ptr<AuthSessionObserver> auth, QObject* parent)
    : QObject(parent)
    , checker_(std::move(checker))
    , auth_(std::move(auth))
{
    refreshStatuses();
}

bool OnboardingViewModel::isGranted(VellamorPermission permission) const
{
    return statuses.value().value(permission, VellamorPermissionStatus::notDetermined)
           == VellamorPermissionStatus::granted;
}

bool OnboardingViewModel::isSignedIn() const
{
    return auth_->state().isAuthenticated();
}

void OnboardingViewModel::next()
{
    std::optional<OnboardingStep> candidate = onboardingStepFromRawValue(rawValue(step.value()) + 1);
    if (!candidate)
        return;
    while (isPermissionStep(*candidate) && isGranted(*permissionOf(*candidate)))
        candidate = onboardingStepFromRawValue(rawValue(*candidate) + 1);
    if (*candidate == OnboardingStep::account && isSignedIn())
        candidate = OnboardingStep::firstRun;
    moveTo(*candidate);
}

void OnboardingViewModel::back()
{
    std::optional<OnboardingStep> candidate = onboardingStepFromRawValue(rawValue(step.value()) - 1);
    if (!candidate)
        return;
    if (*candidate == OnboardingStep::account && isSignedIn())
        candidate = OnboardingStep::inputMonitoring;
    while (isPermissionStep(*candidate) && isGranted(*permissionOf(*candidate)))
        candidate = onboardingStepFromRawValue(rawValue(*candidate) - 1);
    moveTo(*candidate);
}

void OnboardingViewModel::moveTo(OnboardingStep candidate)
{
    notice = QString();
    step = candidate;
}

bool OnboardingViewModel::canGoBack() const
{
    return step.value() != OnboardingStep::welcome && step.value() != OnboardingStep::success;
}

bool OnboardingViewModel::canContinue() const
{
    const OnboardingStep current = step.value();
    if (const std::optional<VellamorPermission> permission = permissionOf(current))
        return isGranted(*permission);
    switch (current) {
    case OnboardingStep::account:
        return isSignedIn();
    case OnboardingStep::firstRun:
        return hasTriedRecording.value();
    default:
        return true;
    }
}

QString OnboardingViewModel::nextButtonTitle() const
{
    const OnboardingStep current = step.value();
    if (const std::optional<VellamorPermission> permission = permissionOf(current))
        return isGranted(*permission) ? QStringLiteral("已开启，下一项") : QStringLiteral("等待你在系统设置里开启…");
    switch (current) {
    case OnboardingStep::welcome:
        return QStringLiteral("开始设置（约 3 分钟）");
    case OnboardingStep::overview: {
        const QList<VellamorPermission> all = allPermissions();
        const bool allGranted
            = std::all_of(all.begin(), all.end(), [this](VellamorPermission p) { return isGranted(p); });
        return allGranted ? QStringLiteral("三项都开好了，继续") : QStringLiteral("开始逐项授权");
    }
    case OnboardingStep::account:
        return isSignedIn() ? QStringLiteral("已登录，开始试录") : QStringLiteral("登录后继续");
    case OnboardingStep::firstRun:
        return QStringLiteral("完成");
    case OnboardingStep::success:
        return QStringLiteral("开始使用");
    default:
        return {};
    }
}

void OnboardingViewModel::refreshStatuses()
{
    if (pollRunning_)
        return;
    pollRunning_ = true;
    QPointer<OnboardingViewModel> self(this);
    spawn(this, QStringLiteral("onboarding permission poll"), [self](std::stop_token) -> QCoro::Task<void> {
        co_await self->readStatuses();
        if (self)
            self->pollRunning_ = false;
    });
}

QCoro::Task<void> OnboardingViewModel::readStatuses()
{
    QPointer<OnboardingViewModel> self(this);
    const std::shared_ptr<const PermissionChecker> checker = checker_;
    const quint64 read = ++readsStarted_;
    PermissionStatuses fresh = co_await checker->snapshot();
    if (!self || read < readShown_)
        co_return;
    readShown_ = read;
    statuses = std::move(fresh);
}

void OnboardingViewModel::requestPermission(VellamorPermission permission)
{
    QPointer<OnboardingViewModel> self(this);
    spawn(this, QStringLiteral("onboarding permission request"),
          [self, permission](std::stop_token) -> QCoro::Task<void> { co_await self->runRequest(permission); });
}

QCoro::Task<void> OnboardingViewModel::runRequest(VellamorPermission permission)
{
    QPointer<OnboardingViewModel> self(this);
    const std::shared_ptr<const PermissionChecker> checker = checker_;
    PermissionState answer;
    switch (permission) {
    case VellamorPermission::microphone:
        answer = co_await checker->requestMicrophone();
        if (!self)
            co_return;
        break;
    case VellamorPermission::accessibility:
        answer = checker->requestAccessibility();
        break;
    case VellamorPermission::inputMonitoring:
        // Nothing to ask: the display server decides.
        answer = checker->inputMonitoring();
        break;
    }
    bool settingsOpened = true;
    // Switched on by the request itself, nothing is left to do in the settings.
    if (answer.status != VellamorPermissionStatus::granted)
        settingsOpened = checker->openSystemSettings(permission);
    notice = joined(answer.explanation, settingsOpened ? QString() : whereToGrant(permission));
    co_await readStatuses();
}

} // namespace vellamor
