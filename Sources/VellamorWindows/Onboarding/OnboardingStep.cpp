#include "Onboarding/OnboardingStep.h"

namespace vellamor {

int rawValue(OnboardingStep step)
{
    return static_cast<int>(step);
}

std::optional<OnboardingStep> onboardingStepFromRawValue(int raw)
{
    if (raw < 0 || raw >= onboardingStepCount)
        return std::nullopt;
    return static_cast<OnboardingStep>(raw);
}

QString progressLabel(OnboardingStep step)
{
    return QStringLiteral("STEP %1 / %2")
        .arg(rawValue(step) + 1, 2, 10, QLatin1Char('0'))
        .arg(onboardingStepCount, 2, 10, QLatin1Char('0'));
}

std::optional<VellamorPermission> permissionOf(OnboardingStep step)
{
    switch (step) {
    case OnboardingStep::microphone:
        return VellamorPermission::microphone;
    case OnboardingStep::accessibility:
        return VellamorPermission::accessibility;
    case OnboardingStep::inputMonitoring:
        return VellamorPermission::inputMonitoring;
    default:
        return std::nullopt;
    }
}

QString debugName(OnboardingStep step)
{
    static const char* const names[] = {"welcome", "overview", "microphone", "accessibility",
                                        "inputMonitoring", "account", "firstRun", "success"};
    return QString::fromLatin1(names[rawValue(step)]);
}

} // namespace vellamor
