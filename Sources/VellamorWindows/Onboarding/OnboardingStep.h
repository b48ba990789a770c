#pragma once

#include "Permissions/VellamorPermission.h"

#include <QString>

#include <optional>

namespace vellamor {

// The steps of the first-run guide, in their order.
enum class OnboardingStep { welcome, overview, microphone, accessibility, inputMonitoring, account, firstRun, success };

inline constexpr int onboardingStepCount = 8;

int rawValue(OnboardingStep step);
std::optional<OnboardingStep> onboardingStepFromRawValue(int raw);
// "STEP 03 / 08".
QString progressLabel(OnboardingStep step);
// The permission a permission step asks for; none for the other steps.
std::optional<VellamorPermission> permissionOf(OnboardingStep step);
QString debugName(OnboardingStep step);

} // namespace vellamor
