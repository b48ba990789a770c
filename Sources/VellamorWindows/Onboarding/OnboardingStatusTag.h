#pragma once

#include "Permissions/VellamorPermission.h"
#include "Windows/ThemedLabel.h"

namespace vellamor {

// A permission's status as a small coloured capsule: "待开启", "被拒绝", "已开启".
class OnboardingStatusTag final : public ThemedLabel {
    Q_OBJECT

public:
    explicit OnboardingStatusTag(VellamorPermissionStatus status, QWidget* parent = nullptr);

    static QString text(VellamorPermissionStatus status);
    static QColor colour(VellamorPermissionStatus status);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    VellamorPermissionStatus status_;
};

} // namespace vellamor
