#pragma once

#include <QWidget>

#include <functional>

namespace vellamor {

// A symbol beside a short coloured title and one sentence, for the boxes of
// the permission and account steps.
class OnboardingBenefitRow final : public QWidget {
    Q_OBJECT

public:
    OnboardingBenefitRow(const QString& icon, std::function<QColor()> colour, const QString& title,
                         const QString& text, QWidget* parent = nullptr);
};

} // namespace vellamor
